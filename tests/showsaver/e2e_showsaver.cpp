// End to end: the real Showsaver program on the real controller simulator
// (its built-in controllers) and the real show-file library, in a private X
// server (Xvfb), driven only by keyboard input sent through the X server
// (xdotool) and one paste from the clipboard (xclip), as a person at the
// keyboard would: list the shows, pick one, save it through the save dialog
// under a name with letters outside Latin-1, switch controllers in the menu,
// save another, quit with Ctrl+X. Each saved file is then read back through
// the show-file library and compared, header and every frame, with the show
// as the controller library delivers it. A second case starts the program
// with no controller attached and checks that it ends with status 255.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <string>
#include <vector>

#include "lumidrive.h"
#include "showtape.h"

namespace {

struct Frame {
    int32_t startCode = 0;
    int32_t timeCode = 0;
    std::vector<uint8_t> channels;
    bool operator==(const Frame&) const = default;
};

struct Show {
    std::u16string name;
    ShowtapeHeader header{};
    std::vector<Frame> frames;
};

std::u16string textOf(const DevChar (&field)[DEV_TEXT_UNITS]) {
    const DevChar* end = std::find(std::begin(field), std::end(field), u'\0');
    return std::u16string(std::begin(field), end);
}

// The usable controllers (supportsPlayBackConfig), in enumeration order.
std::vector<DevEntry> usableControllers() {
    std::vector<DevEntry> out;
    DevEntry e{};
    for (DevReturn r = getFirstDevice(&e); r == DevSuccess; r = getNextDevice(&e))
        if (supportsPlayBackConfig(e.deviceClasses)) out.push_back(e);
    return out;
}

// Reads every show of one controller through the controller library.
std::vector<Show> showsOf(const DevEntry& controller) {
    std::vector<Show> shows;
    int32_t handle = -1;
    if (openDevice(&handle, &controller) != DevSuccess) return shows;
    DevFileEntry f{};
    for (DevReturn r = getFirstFile(handle, u".", &f); r == DevSuccess; r = getNextFile(handle, &f))
        shows.push_back({textOf(f.fileName), {}, {}});
    for (Show& show : shows) {
        if (openFile(handle, show.name.c_str(), &show.header) != DevSuccess) continue;
        std::vector<uint8_t> buffer(512);
        DMXFrame frame{};
        frame.dmxData = buffer.data();
        while (readFrame(handle, &frame) == DevSuccess)
            show.frames.push_back({frame.startCode, frame.timeCode,
                                   {buffer.begin(), buffer.begin() + frame.channelCount}});
        closeFile(handle);
    }
    closeDevice(handle);
    return shows;
}

// Reads a show file back through the show-file library.
bool readShowFile(const QString& path, Show& out, QString& error) {
    ShowtapeHandle handle{0, -1};
    DevChar name[DEV_TEXT_UNITS] = {};
    const QByteArray nativePath = QFile::encodeName(path);
    if (const DevReturn r = openShowtape(&handle, nativePath.constData(), name, &out.header)) {
        error = QStringLiteral("openShowtape: %1").arg(r);
        return false;
    }
    out.name = textOf(name);
    std::vector<uint8_t> buffer(SHOWTAPE_MAX_CHANNELS);
    DMXFrame frame{};
    frame.dmxData = buffer.data();
    DevReturn r;
    while ((r = readDMXFrame(&handle, &frame)) == DevSuccess)
        out.frames.push_back({frame.startCode, frame.timeCode,
                              {buffer.begin(), buffer.begin() + frame.channelCount}});
    closeShowtape(&handle);
    if (r != DevNoMoreData) {
        error = QStringLiteral("readDMXFrame: %1").arg(r);
        return false;
    }
    return true;
}

// What is in the folder, for failure messages.
QString savedFiles(const QDir& dir) {
    return QStringLiteral("files saved: [") +
           dir.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name).join(QStringLiteral(", ")) +
           QLatin1Char(']');
}

QString headerDifference(const ShowtapeHeader& a, const ShowtapeHeader& b) {
    QStringList diff;
    if ((a.constantFrameRate != 0) != (b.constantFrameRate != 0)) diff << "constantFrameRate";
    if ((a.loopShow != 0) != (b.loopShow != 0)) diff << "loopShow";
    if (a.date != b.date) diff << "date";
    if (textOf(a.commentField) != textOf(b.commentField)) diff << "commentField";
    if (a.frameRate != b.frameRate) diff << "frameRate";
    if (a.numberChannels != b.numberChannels) diff << "numberChannels";
    if (a.totalFrames != b.totalFrames) diff << "totalFrames";
    if (textOf(a.effectSignature) != textOf(b.effectSignature)) diff << "effectSignature";
    return diff.join(QLatin1Char(' '));
}

}  // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void savesShowsTypedAndChosenByKeyboard();
    void withoutControllersEndsWithStatus255();

private:
    // Runs xdotool with these arguments; its output, or a failed check.
    QString xdotool(const QStringList& args, int timeoutMs = 15000);
    void keys(const QStringList& keyNames);
    bool copyToClipboard(const QString& text);
    QString waitForWindow(const QString& title);
    // Presses "Save Show" and enters the file name into the dialog: each piece
    // is typed, or pasted from the clipboard when it starts with "paste:".
    void saveCurrentShowAs(const QStringList& nameTyped);

    void startShowsaver(QProcess& program, const QString& workDir, const QString& simDir);
    static void stop(QProcess& program);

    QString m_xdotool;
    QString m_xclip;
    QProcess m_xserver;
    QString m_display;
    QTemporaryDir m_home;
};

void EndToEndTest::startShowsaver(QProcess& program, const QString& workDir, const QString& simDir) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    for (const char* unset : {"QT_QPA_PLATFORM", "QT_QPA_PLATFORMTHEME", "XDG_CURRENT_DESKTOP",
                              "WAYLAND_DISPLAY", "LUMIDRIVE_SIM_DIR", "SESSION_MANAGER"})
        env.remove(QString::fromLatin1(unset));
    if (!simDir.isEmpty()) env.insert(QStringLiteral("LUMIDRIVE_SIM_DIR"), simDir);
    // Qt keeps its per-user state (e.g. the file dialog's) under these.
    env.insert(QStringLiteral("HOME"), m_home.path());
    for (const char* var : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME",
                            "XDG_RUNTIME_DIR"}) {
        const QString dir = m_home.filePath(QString::fromLatin1(var));
        QDir().mkpath(dir);
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env.insert(QString::fromLatin1(var), dir);
    }
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(workDir);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(QStringLiteral(SHOWSAVER_PROGRAM), QStringList{});
}

void EndToEndTest::stop(QProcess& program) {
    if (program.state() != QProcess::NotRunning) {
        program.kill();
        program.waitForFinished();
    }
}

QString EndToEndTest::xdotool(const QStringList& args, int timeoutMs) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    p.setProcessEnvironment(env);
    p.start(m_xdotool, args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        qWarning("xdotool %s did not finish", qPrintable(args.join(' ')));
        return {};
    }
    // A search that finds nothing fails silently; anything else says why.
    if (const QByteArray errors = p.readAllStandardError(); !errors.isEmpty())
        qWarning("xdotool %s: %s", qPrintable(args.join(' ')), errors.constData());
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

bool EndToEndTest::copyToClipboard(const QString& text) {
    // xclip takes the clipboard, then leaves a child serving it for one paste
    // (it ends with the X server at the latest) and returns.
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    p.setProcessEnvironment(env);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start(m_xclip, {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-loops"),
                      QStringLiteral("1")});
    if (!p.waitForStarted(10000)) return false;
    p.write(text.toUtf8());
    p.closeWriteChannel();
    return p.waitForFinished(15000) && p.exitCode() == 0;
}

void EndToEndTest::keys(const QStringList& keyNames) {
    xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("30")} + keyNames);
}

QString EndToEndTest::waitForWindow(const QString& title) {
    const QString found = xdotool({QStringLiteral("search"), QStringLiteral("--sync"),
                                   QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                                   QStringLiteral("^%1$").arg(title)});
    const QString window = found.section(QLatin1Char('\n'), 0, 0);
    if (!window.isEmpty()) xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
    return window;
}

void EndToEndTest::initTestCase() {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    m_xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    m_xclip = QStandardPaths::findExecutable(QStringLiteral("xclip"));
    QVERIFY2(!xvfb.isEmpty() && !m_xdotool.isEmpty() && !m_xclip.isEmpty(),
             "needs Xvfb, xdotool and xclip (Debian packages xvfb, xdotool and xclip; "
             "scripts/install-deps installs them)");
    QVERIFY(m_home.isValid());

    // Xvfb picks a free display and writes its number to stdout.
    m_xserver.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                           QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                           QStringLiteral("tcp")});
    QVERIFY2(m_xserver.waitForStarted(10000), "Xvfb did not start");
    QElapsedTimer clock;
    clock.start();
    while (!m_xserver.canReadLine() && clock.elapsed() < 15000) m_xserver.waitForReadyRead(500);
    const QString number = QString::fromLatin1(m_xserver.readLine()).trimmed();
    QVERIFY2(!number.isEmpty(), "Xvfb did not report its display");
    m_display = QLatin1Char(':') + number;
}

void EndToEndTest::cleanupTestCase() {
    if (m_xserver.state() != QProcess::NotRunning) {
        m_xserver.terminate();
        if (!m_xserver.waitForFinished(5000)) {
            m_xserver.kill();
            m_xserver.waitForFinished();
        }
    }
}

void EndToEndTest::saveCurrentShowAs(const QStringList& nameTyped) {
    // Focus is on the list: on to "List Shows", then "Save Show", and press it.
    keys({QStringLiteral("Tab"), QStringLiteral("Tab"), QStringLiteral("space")});
    const QString dialog = waitForWindow(QStringLiteral("Choose a file"));
    QVERIFY2(!dialog.isEmpty(), "the save dialog did not appear");
    // The file name field has the focus: type the name and press Enter.
    for (const QString& piece : nameTyped) {
        if (piece.startsWith(QLatin1String("paste:"))) {
            QVERIFY(copyToClipboard(piece.mid(6)));
            keys({QStringLiteral("ctrl+v")});
        } else {
            xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), piece});
        }
    }
    keys({QStringLiteral("Return")});
}

void EndToEndTest::savesShowsTypedAndChosenByKeyboard() {
    // What the controllers hold, read through the controller library here.
    const std::vector<DevEntry> controllers = usableControllers();
    QVERIFY2(controllers.size() >= 2, "the simulator should offer two usable controllers");
    const std::vector<Show> first = showsOf(controllers[0]);
    const std::vector<Show> second = showsOf(controllers[1]);
    QVERIFY(first.size() >= 2);
    QVERIFY(!second.empty());

    QDir saves(m_home.filePath(QStringLiteral("saves")));
    QVERIFY(saves.mkpath(QStringLiteral(".")));

    QProcess program;
    startShowsaver(program, saves.path(), QString());
    QVERIFY2(program.waitForStarted(10000), "Showsaver did not start");
    auto stopProgram = qScopeGuard([&program] { stop(program); });

    const QString window = waitForWindow(QStringLiteral("Controller Read Utility"));
    QVERIFY2(!window.isEmpty(), "the Showsaver window did not appear");

    // The list has the focus: Tab to "List Shows" and press it; back to the
    // list, whose first show becomes current, and Down to the second show.
    keys({QStringLiteral("Tab"), QStringLiteral("space"), QStringLiteral("shift+Tab"),
          QStringLiteral("Down")});
    // A name with letters outside Latin-1 must be saved exactly as typed.
    const QString firstName = QString::fromUtf8("Bühne ☀ zwei");
    // Typed where a US keyboard has the keys, pasted where it has none.
    saveCurrentShowAs({QStringLiteral("B"), QString::fromUtf8("paste:ühne ☀"), QStringLiteral(" zwei")});
    const QString firstPath = saves.filePath(firstName + QStringLiteral(".dmx"));
    QTRY_VERIFY2_WITH_TIMEOUT(QFile::exists(firstPath), qPrintable(savedFiles(saves)), 15000);

    // File > Controllers > the second controller. Focus went back to "Save
    // Show" when the dialog closed: back to "List Shows", press it, back to
    // the list, whose first show becomes current; save it under a name that
    // already ends in .dmx.
    waitForWindow(QStringLiteral("Controller Read Utility"));
    keys({QStringLiteral("alt+f"), QStringLiteral("Right"), QStringLiteral("Down"),
          QStringLiteral("Return")});
    keys({QStringLiteral("shift+Tab"), QStringLiteral("space"), QStringLiteral("shift+Tab")});
    const QString secondPath = saves.filePath(QStringLiteral("studio.dmx"));
    saveCurrentShowAs({QStringLiteral("studio.dmx")});
    QTRY_VERIFY2_WITH_TIMEOUT(QFile::exists(secondPath), qPrintable(savedFiles(saves)), 15000);

    waitForWindow(QStringLiteral("Controller Read Utility"));
    keys({QStringLiteral("ctrl+x")});
    QVERIFY2(program.waitForFinished(15000), "Ctrl+X did not end Showsaver");
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);

    // Exactly the two files the user named, nothing else.
    QCOMPARE(saves.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name),
             (QStringList{firstName + QStringLiteral(".dmx"), QStringLiteral("studio.dmx")}));

    const struct {
        QString path;
        const Show& expected;
    } checks[] = {{firstPath, first[1]}, {secondPath, second[0]}};
    for (const auto& check : checks) {
        Show saved;
        QString error;
        QVERIFY2(readShowFile(check.path, saved, error), qPrintable(check.path + ": " + error));
        QCOMPARE(QString::fromStdU16String(saved.name), QString::fromStdU16String(check.expected.name));
        const QString diff = headerDifference(saved.header, check.expected.header);
        QVERIFY2(diff.isEmpty(), qPrintable("header differs in " + diff));
        QCOMPARE(saved.frames.size(), check.expected.frames.size());
        QVERIFY(!saved.frames.empty());
        for (size_t i = 0; i < saved.frames.size(); ++i)
            QVERIFY2(saved.frames[i] == check.expected.frames[i], qPrintable(QStringLiteral("frame %1").arg(i)));
    }
}

void EndToEndTest::withoutControllersEndsWithStatus255() {
    // A simulator folder with no controller in it.
    QTemporaryDir noControllers;
    QVERIFY(noControllers.isValid());
    QProcess program;
    startShowsaver(program, noControllers.path(), noControllers.path());
    QVERIFY2(program.waitForStarted(10000), "Showsaver did not start");
    auto stopProgram = qScopeGuard([&program] { stop(program); });

    const QString box = waitForWindow(QStringLiteral("Fatal Error"));
    QVERIFY2(!box.isEmpty(), "no Fatal Error box appeared");
    // The main window is never shown on this path.
    QCOMPARE(xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                      QStringLiteral("^Controller Read Utility$")}),
             QString());
    keys({QStringLiteral("Return")});
    QVERIFY2(program.waitForFinished(15000), "Showsaver did not end after the box");
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 255);
}

QTEST_GUILESS_MAIN(EndToEndTest)
#include "e2e_showsaver.moc"
