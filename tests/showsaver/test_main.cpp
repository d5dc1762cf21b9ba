// The Showsaver test program.
//
//   showsaver_tests [--suite window|shows|lifecycle] [QtTest options]
//   showsaver_tests --child <scenario>     (started by the lifecycle suite)
//
// Runs on whatever Qt platform is set (the tests are registered with the
// offscreen one). Dialogs are Qt's own, never the desktop's, so the tests can
// answer them; settings and caches go to a private folder, never the user's.
#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstring>
#include <memory>

#include "suites.h"

namespace {

// Points every per-user folder Qt might write to at a private folder that the
// child processes inherit too.
std::unique_ptr<QTemporaryDir> isolateUserFolders() {
    auto home = std::make_unique<QTemporaryDir>();
    if (!home->isValid()) return home;
    for (const char* var : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME",
                            "XDG_RUNTIME_DIR"}) {
        const QString dir = home->filePath(QString::fromLatin1(var));
        QDir().mkpath(dir);
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv(var, QFile::encodeName(dir));
    }
    qunsetenv("XDG_CURRENT_DESKTOP");
    return home;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    if (argc >= 3 && std::strcmp(argv[1], "--child") == 0) return runChildScenario(argc, argv, argv[2]);

    const auto userFolders = isolateUserFolders();
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);

    QStringList args = QCoreApplication::arguments();
    QString suite = QStringLiteral("all");
    if (const qsizetype at = args.indexOf(QStringLiteral("--suite")); at > 0 && at + 1 < args.size()) {
        suite = args.at(at + 1);
        args.remove(at, 2);
    }

    int failed = 0;
    bool ran = false;
    if (suite == QLatin1String("all") || suite == QLatin1String("window")) {
        failed += runWindowTests(args);
        ran = true;
    }
    if (suite == QLatin1String("all") || suite == QLatin1String("shows")) {
        failed += runShowsTests(args);
        ran = true;
    }
    if (suite == QLatin1String("all") || suite == QLatin1String("lifecycle")) {
        failed += runLifecycleTests(args);
        ran = true;
    }
    if (!ran) {
        qCritical("unknown suite %s", qPrintable(suite));
        return 2;
    }
    return failed == 0 ? 0 : 1;
}
