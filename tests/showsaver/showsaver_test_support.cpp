#include "showsaver_test_support.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "showsavermainwindow.h"

namespace showsaver_test {

using doubles::Reply;

Controller desk(int n) {
    Controller c;
    c.type = 3;
    c.number = 100 + n;
    c.classes = 0x04 | n << 8;
    c.name = doubles::u16(("Desk " + std::to_string(n)).c_str());
    c.port = doubles::u16(("port-" + std::to_string(n)).c_str());
    return c;
}

void scriptControllers(const std::vector<Controller>& controllers) {
    bool first = true;
    for (const Controller& c : controllers) {
        DevEntry e{};
        e.deviceType = c.type;
        e.deviceNumber = c.number;
        e.deviceClasses = c.classes;
        doubles::setText(e.deviceName, c.name);
        doubles::setText(e.devicePort, c.port);
        doubles::push(first ? "getFirstDevice" : "getNextDevice", Reply::withRecord(DevSuccess, e));
        doubles::push("supportsPlayBackConfig", Reply::code_(c.usable ? 1 : 0));
        first = false;
    }
}

void scriptOpenDevice(int32_t handle) {
    Reply r;
    r.number = handle;
    doubles::push("openDevice", r);
}

Reply fileEntry(const std::u16string& name, bool isDirectory) {
    DevFileEntry e{};
    doubles::setText(e.fileName, name);
    e.fileSize = 1234;
    e.isDirectory = isDirectory ? 1 : 0;
    return Reply::withRecord(DevSuccess, e);
}

Reply frameReply(int32_t startCode, int32_t timeCode, std::vector<uint8_t> channels) {
    Reply r;
    r.startCode = startCode;
    r.timeCode = timeCode;
    r.channels = std::move(channels);
    return r;
}

std::unique_ptr<ShowsaverMainWindow> makeWindow(const std::vector<Controller>& controllers,
                                                int32_t handle) {
    scriptControllers(controllers);
    scriptOpenDevice(handle);
    return std::make_unique<ShowsaverMainWindow>();
}

QList<QAction*> controllerItems(const ShowsaverMainWindow& window) {
    const QList<QAction*> bar = window.menuBar()->actions();
    if (bar.isEmpty() || !bar.first()->menu()) return {};
    const QList<QAction*> file = bar.first()->menu()->actions();
    if (file.isEmpty() || !file.first()->menu()) return {};
    return file.first()->menu()->actions();
}

std::u16string u16(const QString& text) { return text.toStdU16String(); }
QString qs(const std::u16string& text) { return QString::fromStdU16String(text); }
QString qs(const std::optional<std::u16string>& text) {
    return text ? qs(*text) : QStringLiteral("<null>");
}

ModalCatcher::ModalCatcher() { QApplication::instance()->installEventFilter(this); }

ModalCatcher::~ModalCatcher() {
    if (QCoreApplication* app = QApplication::instance()) app->removeEventFilter(this);
}

void ModalCatcher::answerSave(const QString& path) { m_answers.append(path); }
void ModalCatcher::answerCancel() { m_answers.append(std::nullopt); }

bool ModalCatcher::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Show) return false;

    if (auto* box = qobject_cast<QMessageBox*>(watched)) {
        boxes.append({box->windowTitle(), box->text(), box->parentWidget(), doubles::calls().size()});
        if (onBox) onBox(boxes.last());
        QPointer<QMessageBox> guard(box);
        QTimer::singleShot(0, this, [guard] {
            if (!guard) return;
            if (QPushButton* button = guard->defaultButton())
                button->click();
            else
                guard->accept();
        });
    } else if (auto* dialog = qobject_cast<QFileDialog*>(watched)) {
        dialogs.append({dialog->windowTitle(), dialog->directory().absolutePath(),
                        dialog->nameFilters(), dialog->acceptMode() == QFileDialog::AcceptSave,
                        dialog->parentWidget(), doubles::calls().size()});
        std::optional<QString> answer;
        if (m_answers.isEmpty())
            ++unexpectedDialogs;
        else
            answer = m_answers.takeFirst();
        QPointer<QFileDialog> guard(dialog);
        QTimer::singleShot(0, this, [guard, answer] {
            if (!guard) return;
            if (answer) {
                guard->selectFile(*answer);
                // What the dialog's Save button does (QFileDialog's override is protected).
                static_cast<QDialog*>(guard.data())->accept();
            } else {
                guard->reject();
            }
        });
    }
    return false;
}

}  // namespace showsaver_test
