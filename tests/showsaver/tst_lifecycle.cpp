// How the program starts and ends: the fatal controller paths (exit status -1
// before or after the window is shown) and every way of quitting. Each case
// runs the whole program in a child process (this test program started again
// with --child <scenario>) against the scripted doubles, and the parent
// checks the exit status and what the child printed: the boxes it was shown,
// whether the window appeared, and the library calls made until the end.
#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>

#include "showsaver_test_support.h"
#include "showsaverapp.h"
#include "showsavermainwindow.h"
#include "suites.h"

using namespace showsaver_test;

namespace {

const QString kNoController = QStringLiteral(
    "Unable to find a controller on your system.\n"
    "Please check the connection to the controller and restart this program.\n"
    "The program will now exit.");

// ---- child side ----

using WindowAction = std::function<void(ShowsaverMainWindow&)>;

struct Scenario {
    std::function<void()> script;  // scripts the doubles before the program starts
    WindowAction action;           // done once the window is shown, if set
};

void twoDesks() {
    scriptControllers({desk(1), desk(2)});
    scriptOpenDevice(4);
}

void chooseSecondController(ShowsaverMainWindow& w) { controllerItems(w).at(1)->trigger(); }

const std::map<std::string, Scenario>& scenarios() {
    static const std::map<std::string, Scenario> all{
        {"noController", {[] { doubles::push("getFirstDevice", DevNoMoreData); }, {}}},
        {"noneUsable",
         {[] {
              Controller a = desk(1);
              Controller b = desk(2);
              a.usable = b.usable = false;
              scriptControllers({a, b});
          },
          {}}},
        {"openFails",
         {[] {
              scriptControllers({desk(1)});
              doubles::push("openDevice", DevDeviceBusy);
          },
          {}}},
        {"switchCloseFails",
         {[] {
              twoDesks();
              doubles::push("closeDevice", DevDeviceBusy);
          },
          chooseSecondController}},
        {"switchOpenFails",
         {[] {
              twoDesks();
              doubles::push("openDevice", DevDeviceNotFound);
          },
          chooseSecondController}},
        {"exitButton", {twoDesks, [](ShowsaverMainWindow& w) { w.m_exitButton->click(); }}},
        {"exitMenuItem",
         {twoDesks,
          [](ShowsaverMainWindow& w) { w.menuBar()->actions().at(0)->menu()->actions().at(2)->trigger(); }}},
        {"ctrlX",
         {twoDesks,
          [](ShowsaverMainWindow& w) {
              w.activateWindow();
              if (!QTest::qWaitForWindowActive(&w)) std::puts("NOT ACTIVE");
              w.m_fileBox->setFocus();
              QTest::keyClick(w.m_fileBox, Qt::Key_X, Qt::ControlModifier);
          }}},
        {"closeWindow", {twoDesks, [](ShowsaverMainWindow& w) { w.close(); }}},
        {"loopResult", {twoDesks, [](ShowsaverMainWindow&) { QCoreApplication::exit(3); }}},
    };
    return all;
}

const Scenario* g_scenario = nullptr;

// Watches the child's application: reports the window's first showing and
// starts the scenario's action from there.
class ChildWatcher : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && !m_shown) {
            if (auto* window = qobject_cast<ShowsaverMainWindow*>(watched)) {
                m_shown = true;
                std::puts("SHOWN");
                std::fflush(stdout);
                if (g_scenario->action) {
                    QPointer<ShowsaverMainWindow> guard(window);
                    QTimer::singleShot(0, this, [guard] {
                        if (guard) g_scenario->action(*guard);
                    });
                }
            }
        }
        return false;
    }

private:
    bool m_shown = false;
};

QString escaped(QString text) { return text.replace(QLatin1Char('\n'), QStringLiteral("\\n")); }

// The library calls made so far. Printed when a box is shown (a fatal box
// ends the process at once, so nothing can follow it) and when the program
// returns.
void printCalls() {
    std::string line = "CALLS";
    for (const doubles::Call& c : doubles::calls())
        line += " " + c.op + "(" + std::to_string(c.handle) + ")";
    std::puts(line.c_str());
    std::fflush(stdout);
}

// Runs inside the program's QApplication constructor.
void installChildWatchers() {
    auto* app = QCoreApplication::instance();
    // A scenario that fails to end the program must not hang the test.
    QTimer::singleShot(20000, app, [] {
        std::puts("WATCHDOG");
        std::fflush(stdout);
        std::_Exit(98);
    });
    app->installEventFilter(new ChildWatcher(app));
    auto* catcher = new ModalCatcher;
    catcher->setParent(app);
    catcher->onBox = [](const ModalCatcher::Box& box) {
        std::printf("BOX\t%s\t%s\n", qPrintable(box.caption), qPrintable(escaped(box.text)));
        printCalls();
    };
}

// ---- parent side ----

struct ChildRun {
    int exitCode = -1000;
    bool crashed = false;
    bool shown = false;
    QStringList boxes;  // "caption|text"
    QString calls;
    QString output;
};

ChildRun runChild(const QString& scenario) {
    QProcess child;
    child.setProgram(QCoreApplication::applicationFilePath());
    child.setArguments({QStringLiteral("--child"), scenario});
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.start();
    ChildRun run;
    if (!child.waitForFinished(60000)) {
        child.kill();
        child.waitForFinished();
        run.output = QStringLiteral("timed out");
        return run;
    }
    run.crashed = child.exitStatus() != QProcess::NormalExit;
    run.exitCode = child.exitCode();
    run.output = QString::fromUtf8(child.readAllStandardOutput());
    const QString errors = QString::fromUtf8(child.readAllStandardError());
    for (const QString& line : run.output.split(QLatin1Char('\n'))) {
        if (line == QLatin1String("SHOWN")) run.shown = true;
        if (line.startsWith(QLatin1String("BOX\t"))) {
            const QStringList parts = line.split(QLatin1Char('\t'));
            run.boxes << parts.value(1) + QLatin1Char('|') +
                             parts.value(2).replace(QStringLiteral("\\n"), QStringLiteral("\n"));
        }
        if (line.startsWith(QLatin1String("CALLS"))) run.calls = line.mid(6);
    }
    run.output += errors;
    return run;
}

const QString kScanTwo = QStringLiteral(
    "getFirstDevice(0) supportsPlayBackConfig(0) getNextDevice(0) supportsPlayBackConfig(0) "
    "getNextDevice(0) openDevice(0)");

}  // namespace

class LifecycleTest : public QObject {
    Q_OBJECT

private slots:
    void fatalControllerPathsExitWithMinusOne_data();
    void fatalControllerPathsExitWithMinusOne();
    void quittingClosesControllerOnceAndReturnsLoopResult_data();
    void quittingClosesControllerOnceAndReturnsLoopResult();
};

void LifecycleTest::fatalControllerPathsExitWithMinusOne_data() {
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QString>("calls");

    QTest::newRow("no controller") << "noController" << false << "getFirstDevice(0)";
    QTest::newRow("none usable")
        << "noneUsable" << false
        << "getFirstDevice(0) supportsPlayBackConfig(0) getNextDevice(0) "
           "supportsPlayBackConfig(0) getNextDevice(0)";
    QTest::newRow("first open fails")
        << "openFails" << false
        << "getFirstDevice(0) supportsPlayBackConfig(0) getNextDevice(0) openDevice(0)";
    // A failed switch ends the program with nothing closed afterwards.
    QTest::newRow("switch: close fails") << "switchCloseFails" << true << kScanTwo + " closeDevice(4)";
    QTest::newRow("switch: open fails")
        << "switchOpenFails" << true << kScanTwo + " closeDevice(4) openDevice(0)";
}

void LifecycleTest::fatalControllerPathsExitWithMinusOne() {
    QFETCH(QString, scenario);
    QFETCH(bool, shown);
    QFETCH(QString, calls);

    const ChildRun run = runChild(scenario);
    QVERIFY2(!run.crashed, qPrintable(run.output));
    QVERIFY2(run.exitCode == 255, qPrintable(QString::number(run.exitCode) + "\n" + run.output));
    QCOMPARE(run.shown, shown);
    QCOMPARE(run.boxes, QStringList{QStringLiteral("Fatal Error|") + kNoController});
    QCOMPARE(run.calls, calls);
}

void LifecycleTest::quittingClosesControllerOnceAndReturnsLoopResult_data() {
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("Exit button") << "exitButton" << 0;
    QTest::newRow("File > Exit") << "exitMenuItem" << 0;
    QTest::newRow("Ctrl+X") << "ctrlX" << 0;
    QTest::newRow("closing the window") << "closeWindow" << 0;
    QTest::newRow("loop's own result") << "loopResult" << 3;
}

void LifecycleTest::quittingClosesControllerOnceAndReturnsLoopResult() {
    QFETCH(QString, scenario);
    QFETCH(int, exitCode);

    const ChildRun run = runChild(scenario);
    QVERIFY2(!run.crashed, qPrintable(run.output));
    QVERIFY2(run.exitCode == exitCode, qPrintable(QString::number(run.exitCode) + "\n" + run.output));
    QVERIFY(run.shown);
    QCOMPARE(run.boxes, QStringList{});
    QCOMPARE(run.calls, kScanTwo + " closeDevice(4)");
    QVERIFY2(run.output.contains(QStringLiteral("RESULT %1").arg(exitCode)), qPrintable(run.output));
}

int runLifecycleTests(const QStringList& args) {
    LifecycleTest test;
    return QTest::qExec(&test, args);
}

int runChildScenario(int argc, char** argv, const char* name) {
    const auto found = scenarios().find(name);
    if (found == scenarios().end()) {
        std::fprintf(stderr, "unknown scenario %s\n", name);
        return 100;
    }
    g_scenario = &found->second;
    doubles::reset();
    g_scenario->script();
    qAddPreRoutine(installChildWatchers);

    // The program sees only its own name, as when started by a user.
    int programArgc = argc > 0 ? 1 : 0;
    const int result = runShowsaver(programArgc, argv);
    printCalls();
    std::printf("RESULT %d\n", result);
    std::fflush(stdout);
    return result;
}

#include "tst_lifecycle.moc"
