#include "showsavermainwindow.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSizePolicy>
#include <QSpacerItem>
#include <QStatusBar>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "lumidrive.h"
#include "showtape.h"

namespace {

// Visible texts of the form and of the window go through the translator
// under the class's own context; no translator is installed, so they show as
// written.
QString formText(const char* text, const char* comment = nullptr) {
    return QCoreApplication::translate("ShowsaverMainWindowBase", text, comment);
}

QString windowText(const char* text, const char* comment = nullptr) {
    return QCoreApplication::translate("ShowsaverMainWindow", text, comment);
}

// A record's text field: the units before the first zero unit, and never past
// the field's end even when a library forgot the terminator.
QString fieldText(const DevChar (&field)[DEV_TEXT_UNITS]) {
    const DevChar* end = std::find(std::begin(field), std::end(field), u'\0');
    return QString::fromUtf16(field, end - std::begin(field));
}

// Size policy with the given directions, no stretch, and the height-for-width
// flag the widget already has.
QSizePolicy formPolicy(const QWidget* widget, QSizePolicy::Policy horizontal,
                       QSizePolicy::Policy vertical) {
    QSizePolicy policy(horizontal, vertical);
    policy.setHorizontalStretch(0);
    policy.setVerticalStretch(0);
    policy.setHeightForWidth(widget->sizePolicy().hasHeightForWidth());
    return policy;
}

// What one show copy has opened on the controller and on disk. Whatever way
// the copy ends, the controller's show is closed first and the show file
// second, each only if it was opened.
class ShowCopy {
public:
    explicit ShowCopy(int32_t device) : m_device(device) {}
    ~ShowCopy() {
        // Results are not looked at: there is nothing left to do about them.
        if (m_showOpen) closeFile(m_device);
        if (m_fileOpen) closeShowtape(&m_file);
    }
    ShowCopy(const ShowCopy&) = delete;
    ShowCopy& operator=(const ShowCopy&) = delete;

    DevReturn openShow(const DevChar* name, ShowtapeHeader* header) {
        const DevReturn r = openFile(m_device, name, header);
        m_showOpen = r == DevSuccess;
        return r;
    }

    // The format version and the replace flag are the ones the utility always
    // asks for: the newest format (1), replacing an existing file.
    DevReturn createFile(const char* path, const DevChar* name, const ShowtapeHeader* header) {
        const DevReturn r = createShowtape(&m_file, path, name, header, 1, 1);
        m_fileOpen = r == DevSuccess;
        return r;
    }

    DevReturn readNext(DMXFrame* frame) { return readFrame(m_device, frame); }
    DevReturn writeNext(const DMXFrame* frame) { return writeDMXFrame(&m_file, frame); }

private:
    int32_t m_device;
    ShowtapeHandle m_file{0, -1};
    bool m_showOpen = false;
    bool m_fileOpen = false;
};

}  // namespace

ShowsaverMainWindowBase::ShowsaverMainWindowBase(QWidget* parent, const char* name,
                                                 Qt::WindowFlags fl)
    : QMainWindow(parent, fl) {
    if (name) setObjectName(QString::fromLatin1(name));
    statusBar();  // created now, so the window always has one
    if (!name) setObjectName(QStringLiteral("ShowsaverMainWindowBase"));
    resize(223, 258);
    setWindowTitle(formText("Controller Read Utility"));

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("qt_central_widget"));
    setCentralWidget(central);

    auto* layoutWidget = new QWidget(central);
    layoutWidget->setObjectName(QStringLiteral("Layout6"));
    layoutWidget->setGeometry(QRect(10, 10, 190, 200));

    Layout6 = new QHBoxLayout(layoutWidget);
    Layout6->setContentsMargins(0, 0, 0, 0);
    Layout6->setSpacing(6);
    Layout6->setObjectName(QStringLiteral("Layout6"));

    m_fileBox = new QListWidget(layoutWidget);
    m_fileBox->setObjectName(QStringLiteral("m_fileBox"));
    m_fileBox->addItem(formText("New Item"));
    m_fileBox->setSizePolicy(formPolicy(m_fileBox, QSizePolicy::Preferred, QSizePolicy::Preferred));
    Layout6->addWidget(m_fileBox);

    Layout5 = new QVBoxLayout();
    Layout5->setContentsMargins(0, 0, 0, 0);
    Layout5->setSpacing(6);
    Layout5->setObjectName(QStringLiteral("Layout5"));

    m_listButton = new QPushButton(layoutWidget);
    m_listButton->setObjectName(QStringLiteral("m_listButton"));
    m_listButton->setSizePolicy(formPolicy(m_listButton, QSizePolicy::Minimum, QSizePolicy::Preferred));
    m_listButton->setText(formText("List Shows"));
    Layout5->addWidget(m_listButton);

    m_extractButton = new QPushButton(layoutWidget);
    m_extractButton->setObjectName(QStringLiteral("m_extractButton"));
    m_extractButton->setSizePolicy(
        formPolicy(m_extractButton, QSizePolicy::Minimum, QSizePolicy::Preferred));
    m_extractButton->setText(formText("Save Show"));
    Layout5->addWidget(m_extractButton);

    Layout5->addItem(new QSpacerItem(20, 20, QSizePolicy::Minimum, QSizePolicy::Expanding));

    m_exitButton = new QPushButton(layoutWidget);
    m_exitButton->setObjectName(QStringLiteral("m_exitButton"));
    m_exitButton->setText(formText("Exit"));
    Layout5->addWidget(m_exitButton);

    Layout6->addLayout(Layout5);
}

ShowsaverMainWindowBase::~ShowsaverMainWindowBase() = default;

ShowsaverMainWindow::ShowsaverMainWindow(QWidget* parent, const char* name, Qt::WindowFlags fl)
    : ShowsaverMainWindowBase(parent, name, fl),
      m_deviceHandle(-1),
      m_controllerCount(0),
      m_currentMenuId(-1),
      m_controllerMenu(nullptr),
      m_fileMenu(nullptr) {
    connect(m_extractButton, &QPushButton::clicked, this, &ShowsaverMainWindow::readShow);
    connect(m_listButton, &QPushButton::clicked, this, &ShowsaverMainWindow::listFiles);
    connect(m_exitButton, &QPushButton::clicked, QCoreApplication::instance(),
            &QCoreApplication::quit);
    m_fileBox->clear();

    // Controllers: one checkable item per usable controller; the open one
    // carries the check mark (see controllerChanged).
    m_controllerMenu = new QMenu(windowText("Controllers"), this);
    connect(m_controllerMenu, &QMenu::triggered, this,
            [this](QAction* item) { controllerChanged(item->data().toInt()); });

    m_fileMenu = new QMenu(windowText("&File"), menuBar());
    m_fileMenu->addMenu(m_controllerMenu);
    m_fileMenu->addSeparator();
    QAction* exitItem = m_fileMenu->addAction(windowText("E&xit"));
    connect(exitItem, &QAction::triggered, QCoreApplication::instance(), &QCoreApplication::quit);
    exitItem->setShortcut(QKeySequence(windowText("CTRL+X", "File|Exit")));

    menuBar()->addMenu(m_fileMenu);

    connect(this, &ShowsaverMainWindow::statusBarMessage, statusBar(), &QStatusBar::showMessage);

    findControllers();
}

ShowsaverMainWindow::~ShowsaverMainWindow() {
    if (m_deviceHandle != -1) closeDevice(m_deviceHandle);
    delete m_fileMenu;
    delete m_controllerMenu;
    m_controllers.reset();
}

void ShowsaverMainWindow::findControllers() {
    m_controllerCount = 0;
    m_controllers = std::make_unique<ControllerSlot[]>(maxControllers);

    if (m_deviceHandle != -1) {
        closeDevice(m_deviceHandle);
        m_deviceHandle = -1;
    }

    DevEntry found{};
    if (getFirstDevice(&found) != DevSuccess) fatalControllerError();

    for (;;) {
        // The controller the last getNextDevice delivered is not looked at
        // once the table is full, and no further one is asked for.
        if (m_controllerCount >= maxControllers) break;
        if (supportsPlayBackConfig(found.deviceClasses)) {
            ControllerSlot& slot = m_controllers[static_cast<size_t>(m_controllerCount)];
            slot.entry.deviceType = found.deviceType;
            slot.entry.deviceNumber = found.deviceNumber;

            const QString text =
                fieldText(found.deviceName) + QStringLiteral(" on ") + fieldText(found.devicePort);
            const int id = static_cast<int>(m_controllerMenu->actions().size());
            QAction* item = m_controllerMenu->addAction(text);
            item->setCheckable(true);
            item->setData(id);
            slot.menuId = id;
            ++m_controllerCount;
        }
        if (getNextDevice(&found) != DevSuccess) break;
    }

    if (m_controllerCount == 0) fatalControllerError();

    m_controllerMenu->actions().at(m_controllers[0].menuId)->setChecked(true);
    m_currentMenuId = m_controllers[0].menuId;

    if (openDevice(&m_deviceHandle, &m_controllers[0].entry) != DevSuccess) fatalControllerError();

    emit statusBarMessage(windowText("Opened controller"), 2000);
}

void ShowsaverMainWindow::controllerChanged(int id) {
    if (id == m_currentMenuId) {
        // Choosing a checkable item has just toggled its mark off; the open
        // controller stays open and keeps it.
        m_controllerMenu->actions().at(id)->setChecked(true);
        return;
    }

    const ControllerSlot* const table = m_controllers.get();
    const ControllerSlot* const end = table + m_controllerCount;
    const ControllerSlot* const chosen =
        std::find_if(table, end, [id](const ControllerSlot& slot) { return slot.menuId == id; });
    // Ids come only from the items of this menu, so one record always matches.
    if (chosen == end) return;

    const QList<QAction*> items = m_controllerMenu->actions();
    for (const ControllerSlot* slot = table; slot != end; ++slot) items.at(slot->menuId)->setChecked(false);
    items.at(id)->setChecked(true);

    if (m_deviceHandle != -1) {
        if (closeDevice(m_deviceHandle) != DevSuccess) fatalControllerError();
        m_deviceHandle = -1;
    }
    if (openDevice(&m_deviceHandle, &chosen->entry) != DevSuccess) fatalControllerError();
    m_currentMenuId = id;
}

void ShowsaverMainWindow::fatalControllerError() {
    QMessageBox::critical(this, windowText("Fatal Error"),
                          windowText("Unable to find a controller on your system.\n"
                                     "Please check the connection to the controller and restart "
                                     "this program.\n"
                                     "The program will now exit."));
    // End at once: no destructor runs, so no controller is closed and no
    // toolkit thread is torn down under a live application.
    std::fflush(nullptr);
    std::_Exit(-1);
}

void ShowsaverMainWindow::showError(const char* prefix, DevReturn code) {
    QMessageBox::critical(this, windowText("Fatal Error"),
                          QString::fromLatin1(prefix) + QString::number(code));
}

void ShowsaverMainWindow::listFiles() {
    emit statusBarMessage(QStringLiteral("Listing files"), 1000);
    if (m_deviceHandle == -1) return;
    m_fileBox->clear();

    DevFileEntry entry{};
    DevReturn r = getFirstFile(m_deviceHandle, u".", &entry);
    while (r == DevSuccess) {
        m_fileBox->addItem(fieldText(entry.fileName));
        r = getNextFile(m_deviceHandle, &entry);
    }
    // DevNoMoreData is the end of the listing; anything else cut it short,
    // and the names read so far stay listed.
    if (r != DevNoMoreData) showError("Error listing shows on controller: ", r);
}

void ShowsaverMainWindow::readShow() {
    emit statusBarMessage(QStringLiteral("Reading show"), 1000);
    if (m_deviceHandle == -1) return;
    const QListWidgetItem* current = m_fileBox->currentItem();
    if (!current) return;

    // Reported after the copy has closed the show and the show file.
    if (copyShow(current->text().toStdU16String()))
        emit statusBarMessage(QStringLiteral("Finished reading file"), 1000);
}

bool ShowsaverMainWindow::copyShow(const std::u16string& showName) {
    ShowCopy copy(m_deviceHandle);

    ShowtapeHeader header{};
    if (const DevReturn r = copy.openShow(showName.c_str(), &header); r != DevSuccess) {
        showError("Error opening file on controller: ", r);
        return false;
    }

    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Choose a file"),
                                                QStringLiteral("./"),
                                                QStringLiteral("DMX Files (*.dmx)"));
    if (path.isEmpty()) return false;  // cancelled
    if (!path.endsWith(QLatin1String(".dmx"))) path += QLatin1String(".dmx");

    // The show-file library opens the path as given, so it gets the bytes
    // the platform uses for this file name.
    const QByteArray nativePath = QFile::encodeName(path);
    if (const DevReturn r = copy.createFile(nativePath.constData(), showName.c_str(), &header);
        r != DevSuccess) {
        showError("Error creating DMX file: ", r);
        return false;
    }

    std::array<uint8_t, channelBufferSize> channels{};
    DMXFrame frame{};
    frame.dmxData = channels.data();
    for (;;) {
        const DevReturn r = copy.readNext(&frame);
        if (r == DevNoMoreData) return true;
        if (r != DevSuccess) {
            showError("Error reading frame from controller: ", r);
            return false;
        }
        // A count outside the buffer would make the write read past it.
        if (frame.channelCount < 0 || frame.channelCount > channelBufferSize) {
            showError("Error reading frame from controller: ", DevFrameTooLarge);
            return false;
        }
        if (const DevReturn w = copy.writeNext(&frame); w != DevSuccess) {
            showError("Error writing frame to DMX file: ", w);
            return false;
        }
    }
}
