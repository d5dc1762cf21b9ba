// The window's form, menus and status messages, and how it finds, offers and
// switches controllers, against the scripted controller double.
#include <QAction>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpacerItem>
#include <QStatusBar>
#include <QTest>
#include <QVBoxLayout>

#include "showsaver_test_support.h"
#include "showsavermainwindow.h"
#include "suites.h"

using namespace showsaver_test;

namespace {

QStringList texts(const QList<QAction*>& actions) {
    QStringList out;
    for (const QAction* a : actions) out << (a->isSeparator() ? QStringLiteral("<separator>") : a->text());
    return out;
}

QList<bool> checks(const QList<QAction*>& actions) {
    QList<bool> out;
    for (const QAction* a : actions) out << a->isChecked();
    return out;
}

// (op, device handle) of every controller call recorded, for comparing orders.
QStringList deviceOps() {
    QStringList out;
    for (const doubles::Call& c : doubles::calls())
        out << QStringLiteral("%1(%2)").arg(QString::fromStdString(c.op)).arg(c.handle);
    return out;
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    void init() { doubles::reset(); }
    void cleanup() { doubles::reset(); }

    void formHasTheNamedWidgetsAndTexts();
    void layoutsHoldListThenButtonColumn();
    void shownWindowShowsEveryButtonUnclipped();
    void fileMenuHoldsControllersSeparatorAndExit();
    void openedControllerShowsForTwoSeconds();
    void statusMessageClearsAfterItsDuration();

    void scanOffersUsableControllersAsNameOnPort();
    void scanOpensFirstUsableByTypeAndNumber();
    void scanStopsAtTenControllers();
    void fullLengthNameStaysInsideItsField();
    void switchingClosesThenOpensAndMovesCheckMark();
    void choosingOpenControllerAgainDoesNothing();
    void switchKeepsListAndSavesFromNewController();
    void destroyingWindowClosesOpenControllerOnce();
};

void WindowTest::formHasTheNamedWidgetsAndTexts() {
    auto window = makeWindow({desk(1)}, 5);

    QCOMPARE(window->objectName(), QStringLiteral("ShowsaverMainWindowBase"));
    QCOMPARE(window->windowTitle(), QStringLiteral("Controller Read Utility"));
    QCOMPARE(window->size(), QSize(223, 258));
    QVERIFY(window->statusBar());
    QCOMPARE(window->centralWidget()->objectName(), QStringLiteral("qt_central_widget"));

    auto* layoutWidget = window->centralWidget()->findChild<QWidget*>(QStringLiteral("Layout6"),
                                                                     Qt::FindDirectChildrenOnly);
    QVERIFY(layoutWidget);
    QCOMPARE(layoutWidget->geometry(), QRect(10, 10, 190, 200));

    QCOMPARE(window->m_fileBox->objectName(), QStringLiteral("m_fileBox"));
    QCOMPARE(window->m_listButton->objectName(), QStringLiteral("m_listButton"));
    QCOMPARE(window->m_extractButton->objectName(), QStringLiteral("m_extractButton"));
    QCOMPARE(window->m_exitButton->objectName(), QStringLiteral("m_exitButton"));
    QCOMPARE(window->m_listButton->text(), QStringLiteral("List Shows"));
    QCOMPARE(window->m_extractButton->text(), QStringLiteral("Save Show"));
    QCOMPARE(window->m_exitButton->text(), QStringLiteral("Exit"));
    for (QWidget* w : {static_cast<QWidget*>(window->m_fileBox),
                       static_cast<QWidget*>(window->m_listButton),
                       static_cast<QWidget*>(window->m_extractButton),
                       static_cast<QWidget*>(window->m_exitButton)})
        QCOMPARE(w->parentWidget(), layoutWidget);

    // The form's placeholder item never reaches the user.
    QCOMPARE(window->m_fileBox->count(), 0);

    // The form class alone keeps its placeholder item and is named after itself.
    ShowsaverMainWindowBase form;
    QCOMPARE(form.m_fileBox->count(), 1);
    QCOMPARE(form.m_fileBox->item(0)->text(), QStringLiteral("New Item"));
    ShowsaverMainWindowBase named(nullptr, "custom");
    QCOMPARE(named.objectName(), QStringLiteral("custom"));
    QCOMPARE(QString::fromLatin1(window->metaObject()->className()), QStringLiteral("ShowsaverMainWindow"));
    QCOMPARE(QString::fromLatin1(window->metaObject()->superClass()->className()),
             QStringLiteral("ShowsaverMainWindowBase"));
}

void WindowTest::layoutsHoldListThenButtonColumn() {
    auto window = makeWindow({desk(1)}, 5);
    auto* row = window->findChild<QHBoxLayout*>(QStringLiteral("Layout6"));
    auto* column = window->findChild<QVBoxLayout*>(QStringLiteral("Layout5"));
    QVERIFY(row);
    QVERIFY(column);
    QCOMPARE(row->spacing(), 6);
    QCOMPARE(column->spacing(), 6);
    QCOMPARE(row->contentsMargins(), QMargins(0, 0, 0, 0));
    QCOMPARE(column->contentsMargins(), QMargins(0, 0, 0, 0));

    QCOMPARE(row->count(), 2);
    QCOMPARE(row->itemAt(0)->widget(), window->m_fileBox);
    QCOMPARE(row->itemAt(1)->layout(), column);

    QCOMPARE(column->count(), 4);
    QCOMPARE(column->itemAt(0)->widget(), window->m_listButton);
    QCOMPARE(column->itemAt(1)->widget(), window->m_extractButton);
    QSpacerItem* gap = column->itemAt(2)->spacerItem();
    QVERIFY(gap);
    QCOMPARE(gap->sizeHint(), QSize(20, 20));
    QCOMPARE(gap->sizePolicy().horizontalPolicy(), QSizePolicy::Minimum);
    QCOMPARE(gap->sizePolicy().verticalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(column->itemAt(3)->widget(), window->m_exitButton);

    QCOMPARE(window->m_fileBox->sizePolicy().horizontalPolicy(), QSizePolicy::Preferred);
    QCOMPARE(window->m_fileBox->sizePolicy().verticalPolicy(), QSizePolicy::Preferred);
    for (QPushButton* b : {window->m_listButton, window->m_extractButton}) {
        QCOMPARE(b->sizePolicy().horizontalPolicy(), QSizePolicy::Minimum);
        QCOMPARE(b->sizePolicy().verticalPolicy(), QSizePolicy::Preferred);
    }
}

void WindowTest::shownWindowShowsEveryButtonUnclipped() {
    auto window = makeWindow({desk(1)}, 5);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));

    // Everything must lie inside the part of the window between the menu bar
    // and the status bar.
    const QRect visible = window->centralWidget()->rect();
    auto placed = [&](QWidget* w) {
        return QRect(w->mapTo(window->centralWidget(), QPoint(0, 0)), w->size());
    };
    const QRect list = placed(window->m_fileBox);
    const QRect listButton = placed(window->m_listButton);
    const QRect saveButton = placed(window->m_extractButton);
    const QRect exitButton = placed(window->m_exitButton);
    for (const QRect& r : {list, listButton, saveButton, exitButton}) {
        QVERIFY2(visible.contains(r), qPrintable(QStringLiteral("%1,%2 %3x%4 outside %5x%6")
                                                     .arg(r.x()).arg(r.y()).arg(r.width())
                                                     .arg(r.height()).arg(visible.width())
                                                     .arg(visible.height())));
    }
    // Buttons wide enough for their texts, in a column right of the list.
    for (QPushButton* b : {window->m_listButton, window->m_extractButton, window->m_exitButton})
        QVERIFY(b->width() >= b->minimumSizeHint().width());
    QVERIFY(list.right() < listButton.left());
    QVERIFY(listButton.bottom() < saveButton.top());
    QVERIFY(saveButton.bottom() < exitButton.top());
    QCOMPARE(exitButton.bottom(), list.bottom());
}

void WindowTest::fileMenuHoldsControllersSeparatorAndExit() {
    auto window = makeWindow({desk(1), desk(2)}, 5);

    const QList<QAction*> bar = window->menuBar()->actions();
    QCOMPARE(texts(bar), QStringList{QStringLiteral("&File")});
    QMenu* file = bar.first()->menu();
    QVERIFY(file);

    const QList<QAction*> items = file->actions();
    QCOMPARE(texts(items), (QStringList{QStringLiteral("Controllers"), QStringLiteral("<separator>"),
                                        QStringLiteral("E&xit")}));
    QVERIFY(items[0]->menu());
    QCOMPARE(texts(items[0]->menu()->actions()),
             (QStringList{QStringLiteral("Desk 1 on port-1"), QStringLiteral("Desk 2 on port-2")}));
    QVERIFY(!items[2]->menu());
    QCOMPARE(items[2]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_X));
}

void WindowTest::openedControllerShowsForTwoSeconds() {
    QElapsedTimer clock;
    clock.start();
    auto window = makeWindow({desk(1)}, 5);
    QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Opened controller"));
    QTRY_VERIFY_WITH_TIMEOUT(window->statusBar()->currentMessage().isEmpty(), 5000);
    QVERIFY2(clock.elapsed() >= 1900, qPrintable(QString::number(clock.elapsed())));
}

void WindowTest::statusMessageClearsAfterItsDuration() {
    auto window = makeWindow({desk(1)}, 5);
    QSignalSpy spy(window.get(), &ShowsaverMainWindow::statusBarMessage);

    QElapsedTimer clock;
    clock.start();
    window->m_listButton->click();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy[0][0].toString(), QStringLiteral("Listing files"));
    QCOMPARE(spy[0][1].toInt(), 1000);
    QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Listing files"));
    QTRY_VERIFY_WITH_TIMEOUT(window->statusBar()->currentMessage().isEmpty(), 4000);
    QVERIFY2(clock.elapsed() >= 900, qPrintable(QString::number(clock.elapsed())));
}

void WindowTest::scanOffersUsableControllersAsNameOnPort() {
    Controller a = desk(1);
    Controller b = desk(2);
    b.usable = false;
    b.classes = 0x01;
    Controller c = desk(3);
    c.name = u"Bühne ☀";
    c.port = u"/dev/ttyUSB0";
    Controller d = desk(4);
    d.usable = false;
    d.classes = 0x0b;
    auto window = makeWindow({a, b, c, d}, 5);

    const QList<QAction*> items = controllerItems(*window);
    QCOMPARE(texts(items), (QStringList{QStringLiteral("Desk 1 on port-1"),
                                        QString::fromUtf8("Bühne ☀ on /dev/ttyUSB0")}));
    QCOMPARE(checks(items), (QList<bool>{true, false}));
    for (const QAction* item : items) QVERIFY(item->isCheckable());

    // Each enumerated controller's classes were asked about, in order.
    QList<int32_t> asked;
    for (const doubles::Call& call : doubles::callsOf("supportsPlayBackConfig")) asked << call.number;
    QCOMPARE(asked, (QList<int32_t>{a.classes, b.classes, c.classes, d.classes}));
    QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Opened controller"));
}

void WindowTest::scanOpensFirstUsableByTypeAndNumber() {
    Controller unusable = desk(1);
    unusable.usable = false;
    Controller first = desk(2);
    first.type = 77;
    first.number = -9;
    auto window = makeWindow({unusable, first, desk(3)}, 5);

    QCOMPARE(deviceOps(), (QStringList{"getFirstDevice(0)", "supportsPlayBackConfig(0)",
                                       "getNextDevice(0)", "supportsPlayBackConfig(0)",
                                       "getNextDevice(0)", "supportsPlayBackConfig(0)",
                                       "getNextDevice(0)", "openDevice(0)"}));
    const auto opened = doubles::callsOf("openDevice");
    QVERIFY(!opened[0].outWasNull);
    const auto entry = opened[0].recordAs<DevEntry>();
    QCOMPARE(entry.deviceType, 77);
    QCOMPARE(entry.deviceNumber, -9);

    // The handle openDevice gave is the one the window works with.
    doubles::reset();
    window->listFiles();
    QCOMPARE(doubles::callsOf("getFirstFile").at(0).handle, 5);
}

void WindowTest::scanStopsAtTenControllers() {
    std::vector<Controller> twelve;
    for (int i = 1; i <= 12; ++i) twelve.push_back(desk(i));
    auto window = makeWindow(twelve, 5);

    QStringList expected{QStringLiteral("Desk 1 on port-1")};
    for (int i = 2; i <= 10; ++i) expected << QStringLiteral("Desk %1 on port-%1").arg(i);
    QCOMPARE(texts(controllerItems(*window)), expected);

    // The eleventh controller is fetched but not examined; no twelfth is asked for.
    QCOMPARE(doubles::callsOf("getFirstDevice").size(), size_t{1});
    QCOMPARE(doubles::callsOf("getNextDevice").size(), size_t{10});
    QCOMPARE(doubles::callsOf("supportsPlayBackConfig").size(), size_t{10});
    QCOMPARE(doubles::ops().back(), std::string("openDevice"));
}

void WindowTest::fullLengthNameStaysInsideItsField() {
    // A controller whose name and port fill their fields with no zero unit:
    // the texts end at the fields' ends.
    DevEntry e{};
    std::fill(std::begin(e.deviceName), std::end(e.deviceName), u'N');
    std::fill(std::begin(e.devicePort), std::end(e.devicePort), u'P');
    e.deviceClasses = 4;
    doubles::push("getFirstDevice", doubles::Reply::withRecord(DevSuccess, e));
    doubles::push("supportsPlayBackConfig", doubles::Reply::code_(1));
    scriptOpenDevice(5);
    ShowsaverMainWindow window;

    const QString expected = QString(DEV_TEXT_UNITS, QLatin1Char('N')) + QStringLiteral(" on ") +
                             QString(DEV_TEXT_UNITS, QLatin1Char('P'));
    QCOMPARE(texts(controllerItems(window)), QStringList{expected});
}

void WindowTest::switchingClosesThenOpensAndMovesCheckMark() {
    auto window = makeWindow({desk(1), desk(2), desk(3)}, 11);
    const QList<QAction*> items = controllerItems(*window);
    QCOMPARE(items.size(), 3);

    doubles::reset();
    scriptOpenDevice(12);
    items[1]->trigger();
    QCOMPARE(deviceOps(), (QStringList{"closeDevice(11)", "openDevice(0)"}));
    QCOMPARE(doubles::callsOf("openDevice")[0].recordAs<DevEntry>().deviceNumber, desk(2).number);
    QCOMPARE(checks(items), (QList<bool>{false, true, false}));

    doubles::reset();
    scriptOpenDevice(13);
    items[0]->trigger();
    QCOMPARE(deviceOps(), (QStringList{"closeDevice(12)", "openDevice(0)"}));
    QCOMPARE(doubles::callsOf("openDevice")[0].recordAs<DevEntry>().deviceNumber, desk(1).number);
    QCOMPARE(checks(items), (QList<bool>{true, false, false}));

    // The slot itself, as the menu calls it, does the same.
    doubles::reset();
    scriptOpenDevice(14);
    window->controllerChanged(items[2]->data().toInt());
    QCOMPARE(deviceOps(), (QStringList{"closeDevice(13)", "openDevice(0)"}));
    QCOMPARE(checks(items), (QList<bool>{false, false, true}));

    // A switch reports nothing in the status bar.
    QSignalSpy spy(window.get(), &ShowsaverMainWindow::statusBarMessage);
    scriptOpenDevice(15);
    items[0]->trigger();
    QCOMPARE(spy.count(), 0);
}

void WindowTest::choosingOpenControllerAgainDoesNothing() {
    auto window = makeWindow({desk(1), desk(2)}, 11);
    const QList<QAction*> items = controllerItems(*window);

    doubles::reset();
    items[0]->trigger();
    QCOMPARE(deviceOps(), QStringList{});
    QCOMPARE(checks(items), (QList<bool>{true, false}));

    // The same after a switch, on the newly open controller.
    scriptOpenDevice(12);
    items[1]->trigger();
    doubles::reset();
    items[1]->trigger();
    window->controllerChanged(items[1]->data().toInt());
    QCOMPARE(deviceOps(), QStringList{});
    QCOMPARE(checks(items), (QList<bool>{false, true}));
}

void WindowTest::switchKeepsListAndSavesFromNewController() {
    auto window = makeWindow({desk(1), desk(2)}, 11);
    doubles::push("getFirstFile", fileEntry(u"Show A"));
    window->listFiles();
    window->m_fileBox->setCurrentRow(0);

    scriptOpenDevice(12);
    controllerItems(*window)[1]->trigger();
    QCOMPARE(window->m_fileBox->count(), 1);
    QCOMPARE(window->m_fileBox->item(0)->text(), QStringLiteral("Show A"));

    doubles::reset();
    doubles::push("openFile", DevFileNotFound);
    ModalCatcher catcher;
    window->readShow();
    const auto opened = doubles::callsOf("openFile");
    QCOMPARE(opened.size(), size_t{1});
    QCOMPARE(opened[0].handle, 12);
    QCOMPARE(qs(opened[0].text), QStringLiteral("Show A"));
}

void WindowTest::destroyingWindowClosesOpenControllerOnce() {
    auto window = makeWindow({desk(1), desk(2)}, 21);
    scriptOpenDevice(22);
    controllerItems(*window)[1]->trigger();

    doubles::reset();
    window.reset();
    QCOMPARE(deviceOps(), QStringList{"closeDevice(22)"});
}

int runWindowTests(const QStringList& args) {
    WindowTest test;
    return QTest::qExec(&test, args);
}

#include "tst_window.moc"
