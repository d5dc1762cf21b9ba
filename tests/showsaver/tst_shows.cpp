// Listing the open controller's shows and saving one into a show file,
// against the scripted doubles of both libraries; boxes and the save dialog
// are answered by a ModalCatcher.
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

#include "showsaver_test_support.h"
#include "showsavermainwindow.h"
#include "suites.h"

using namespace showsaver_test;
using doubles::Reply;

namespace {

constexpr int32_t kDevice = 7;
const QString kFatal = QStringLiteral("Fatal Error");

QStringList listed(const QListWidget* box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i) out << box->item(i)->text();
    return out;
}

QStringList opsList() {
    QStringList out;
    for (const std::string& op : doubles::ops()) out << QString::fromStdString(op);
    return out;
}

QStringList messages(const QSignalSpy& spy) {
    QStringList out;
    for (const QList<QVariant>& args : spy)
        out << QStringLiteral("%1/%2").arg(args[0].toString()).arg(args[1].toInt());
    return out;
}

ShowtapeHeader sampleHeader() {
    ShowtapeHeader h{};
    h.constantFrameRate = 1;
    h.loopShow = 2;  // a library's own truthy value, passed on as it is
    h.date = 0x0123456789abcdefLL;
    doubles::setText(h.commentField, u"opening night");
    h.frameRate = 44.1;
    h.numberChannels = 512;
    h.totalFrames = -3;
    doubles::setText(h.effectSignature, u"sig");
    return h;
}

bool sameBytes(const std::vector<std::byte>& recorded, const ShowtapeHeader& h) {
    return recorded.size() == sizeof h && std::memcmp(recorded.data(), &h, sizeof h) == 0;
}

}  // namespace

class ShowsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void listingShowsEveryEntryInOrder();
    void listingEnds_data();
    void listingEnds();

    void saveWithoutCurrentItemDoesNothing();
    void refusedShowIsReportedAndNothingClosed();
    void cancelledDialogClosesControllerShow();
    void savedPathGetsDmxSuffix_data();
    void savedPathGetsDmxSuffix();
    void savedPathUsesPlatformFileNameEncoding();
    void copyHandsHeaderAndFramesOnUnchanged();
    void emptyShowCreatesAndClosesFile();
    void failedCopyIsReportedAndClosesBoth_data();
    void failedCopyIsReportedAndClosesBoth();
    void oversizedFrameIsNotWritten();

private:
    // Opens the window on one controller and lists the given shows; the
    // first show is made current. The doubles' log starts empty afterwards.
    void openWithShows(const std::vector<std::u16string>& shows);

    std::unique_ptr<ShowsaverMainWindow> m_window;
    std::unique_ptr<ModalCatcher> m_catcher;
    std::unique_ptr<QSignalSpy> m_status;
    QTemporaryDir m_dir;
};

void ShowsTest::init() {
    doubles::reset();
    QVERIFY(m_dir.isValid());
}

void ShowsTest::cleanup() {
    m_status.reset();
    m_catcher.reset();
    m_window.reset();
    doubles::reset();
}

void ShowsTest::openWithShows(const std::vector<std::u16string>& shows) {
    m_window = makeWindow({desk(1)}, kDevice);
    bool first = true;
    for (const std::u16string& name : shows) {
        doubles::push(first ? "getFirstFile" : "getNextFile", fileEntry(name));
        first = false;
    }
    m_window->listFiles();
    if (!shows.empty()) m_window->m_fileBox->setCurrentRow(0);
    doubles::reset();
    m_catcher = std::make_unique<ModalCatcher>();
    m_status = std::make_unique<QSignalSpy>(m_window.get(), &ShowsaverMainWindow::statusBarMessage);
}

void ShowsTest::listingShowsEveryEntryInOrder() {
    openWithShows({u"old show"});
    doubles::push("getFirstFile", fileEntry(u"Zeta"));
    doubles::push("getNextFile", fileEntry(u"alpha"));
    doubles::push("getNextFile", fileEntry(u"a folder", true));
    doubles::push("getNextFile", fileEntry(u"Straße ☀"));

    m_window->m_listButton->click();

    // Replaces what was listed before; nothing sorted or left out.
    QCOMPARE(listed(m_window->m_fileBox),
             (QStringList{QStringLiteral("Zeta"), QStringLiteral("alpha"), QStringLiteral("a folder"),
                          QString::fromUtf8("Straße ☀")}));
    const auto first = doubles::callsOf("getFirstFile");
    QCOMPARE(first.size(), size_t{1});
    QCOMPARE(first[0].handle, kDevice);
    QCOMPARE(qs(first[0].text), QStringLiteral("."));
    QVERIFY(!first[0].outWasNull);
    for (const doubles::Call& next : doubles::callsOf("getNextFile")) QCOMPARE(next.handle, kDevice);
    QCOMPARE(opsList(), (QStringList{"getFirstFile", "getNextFile", "getNextFile", "getNextFile",
                                     "getNextFile"}));
    QCOMPARE(messages(*m_status), QStringList{"Listing files/1000"});
    QCOMPARE(m_catcher->boxes.size(), 0);
}

void ShowsTest::listingEnds_data() {
    QTest::addColumn<int>("namesBeforeEnd");
    QTest::addColumn<int>("endCode");
    QTest::addColumn<QString>("boxText");  // empty: no box

    QTest::newRow("no shows") << 0 << int{DevNoMoreData} << QString();
    QTest::newRow("all listed") << 2 << int{DevNoMoreData} << QString();
    QTest::newRow("first fails") << 0 << int{DevIOError}
                                 << QStringLiteral("Error listing shows on controller: 9");
    QTest::newRow("next fails") << 2 << -5 << QStringLiteral("Error listing shows on controller: -5");
    QTest::newRow("next fails generally") << 1 << int{DevError}
                                          << QStringLiteral("Error listing shows on controller: 1");
}

void ShowsTest::listingEnds() {
    QFETCH(int, namesBeforeEnd);
    QFETCH(int, endCode);
    QFETCH(QString, boxText);
    openWithShows({u"old show"});

    QStringList expected;
    for (int i = 0; i < namesBeforeEnd; ++i) {
        const std::u16string name = u"show " + std::u16string(1, char16_t(u'A' + i));
        doubles::push(i == 0 ? "getFirstFile" : "getNextFile", fileEntry(name));
        expected << qs(name);
    }
    doubles::push(namesBeforeEnd == 0 ? "getFirstFile" : "getNextFile", endCode);

    m_window->listFiles();

    // The names read before the end stay listed; only a real failure is
    // reported, and only after the list is filled.
    QCOMPARE(listed(m_window->m_fileBox), expected);
    if (boxText.isEmpty()) {
        QCOMPARE(m_catcher->boxes.size(), 0);
    } else {
        QCOMPARE(m_catcher->boxes.size(), 1);
        QCOMPARE(m_catcher->boxes[0].caption, kFatal);
        QCOMPARE(m_catcher->boxes[0].text, boxText);
        QCOMPARE(m_catcher->boxes[0].parent, m_window.get());
        QCOMPARE(m_catcher->boxes[0].callsBefore, size_t(namesBeforeEnd + 1));
    }
    QCOMPARE(doubles::ops().size(), size_t(namesBeforeEnd + 1));
    QCOMPARE(messages(*m_status), QStringList{"Listing files/1000"});
}

void ShowsTest::saveWithoutCurrentItemDoesNothing() {
    openWithShows({});
    m_window->m_extractButton->click();
    QCOMPARE(opsList(), QStringList{});
    QCOMPARE(m_catcher->dialogs.size(), 0);
    QCOMPARE(m_catcher->boxes.size(), 0);
    QCOMPARE(messages(*m_status), QStringList{"Reading show/1000"});

    // A filled list with no current item is the same.
    doubles::push("getFirstFile", fileEntry(u"Show A"));
    m_window->listFiles();
    QVERIFY(!m_window->m_fileBox->currentItem());
    doubles::reset();
    m_window->readShow();
    QCOMPARE(opsList(), QStringList{});
}

void ShowsTest::refusedShowIsReportedAndNothingClosed() {
    openWithShows({u"Show A", u"Show B"});
    m_window->m_fileBox->setCurrentRow(1);
    doubles::push("openFile", DevFileNotFound);

    m_window->m_extractButton->click();

    QCOMPARE(opsList(), QStringList{"openFile"});
    const auto open = doubles::callsOf("openFile")[0];
    QCOMPARE(open.handle, kDevice);
    QCOMPARE(qs(open.text), QStringLiteral("Show B"));
    QVERIFY(!open.outWasNull);
    QCOMPARE(m_catcher->dialogs.size(), 0);
    QCOMPARE(m_catcher->boxes.size(), 1);
    QCOMPARE(m_catcher->boxes[0].caption, kFatal);
    QCOMPARE(m_catcher->boxes[0].text, QStringLiteral("Error opening file on controller: 7"));
    QCOMPARE(messages(*m_status), QStringList{"Reading show/1000"});
    QCOMPARE(listed(m_window->m_fileBox), (QStringList{"Show A", "Show B"}));
}

void ShowsTest::cancelledDialogClosesControllerShow() {
    openWithShows({u"Show A"});
    m_catcher->answerCancel();

    m_window->m_extractButton->click();

    QCOMPARE(opsList(), (QStringList{"openFile", "closeFile"}));
    QCOMPARE(doubles::callsOf("closeFile")[0].handle, kDevice);
    QCOMPARE(m_catcher->boxes.size(), 0);
    QCOMPARE(messages(*m_status), QStringList{"Reading show/1000"});

    // The dialog asked for: a save target, starting in the working folder,
    // offering show files, over the window.
    QCOMPARE(m_catcher->dialogs.size(), 1);
    const ModalCatcher::Dialog& dialog = m_catcher->dialogs[0];
    QCOMPARE(dialog.caption, QStringLiteral("Choose a file"));
    QCOMPARE(dialog.nameFilters, QStringList{"DMX Files (*.dmx)"});
    QCOMPARE(dialog.directory, QDir::current().absolutePath());
    QVERIFY(dialog.saveMode);
    QCOMPARE(dialog.parent, m_window.get());
    QCOMPARE(dialog.callsBefore, size_t{1});  // after openFile
    QCOMPARE(m_catcher->unexpectedDialogs, 0);
}

void ShowsTest::savedPathGetsDmxSuffix_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("saved");
    QTest::newRow("no extension") << "show" << "show.dmx";
    QTest::newRow("already .dmx") << "show.dmx" << "show.dmx";
    QTest::newRow("upper-case .DMX") << "show.DMX" << "show.DMX.dmx";
    QTest::newRow("other extension") << "show.dmx.bak" << "show.dmx.bak.dmx";
    QTest::newRow("only the extension") << ".dmx" << ".dmx";
}

void ShowsTest::savedPathGetsDmxSuffix() {
    QFETCH(QString, chosen);
    QFETCH(QString, saved);
    openWithShows({u"Show A"});
    m_catcher->answerSave(m_dir.filePath(chosen));

    m_window->readShow();

    const auto created = doubles::callsOf("createShowtape");
    QCOMPARE(created.size(), size_t{1});
    QVERIFY(created[0].path);
    QCOMPARE(QString::fromStdString(*created[0].path), m_dir.filePath(saved));
}

void ShowsTest::savedPathUsesPlatformFileNameEncoding() {
    openWithShows({u"Show A"});
    // Latin-1 letters and a character Latin-1 does not have.
    m_catcher->answerSave(m_dir.filePath(QString::fromUtf8("Bühne ☀")));

    m_window->readShow();

    const auto created = doubles::callsOf("createShowtape");
    QCOMPARE(created.size(), size_t{1});
    QVERIFY(created[0].path);
    const QByteArray expected = QFile::encodeName(m_dir.path()) + "/B\xc3\xbchne \xe2\x98\x80.dmx";
    QCOMPARE(QByteArray::fromStdString(*created[0].path), expected);
    QCOMPARE(QFile::decodeName(expected), m_dir.filePath(QString::fromUtf8("Bühne ☀.dmx")));
}

void ShowsTest::copyHandsHeaderAndFramesOnUnchanged() {
    openWithShows({u"Other", u"Show ☀ B"});
    m_window->m_fileBox->setCurrentRow(1);
    const ShowtapeHeader header = sampleHeader();
    doubles::push("openFile", Reply::withRecord(DevSuccess, header));
    Reply created;
    created.tape = ShowtapeHandle{3, 42};
    doubles::push("createShowtape", created);

    std::vector<uint8_t> full(512);
    for (size_t i = 0; i < full.size(); ++i) full[i] = static_cast<uint8_t>(255 - i % 256);
    const std::vector<Reply> frames{frameReply(0, 0, {1, 2, 3}), frameReply(0xcc, -1, {}),
                                    frameReply(0, 0x7fffffff, full)};
    for (const Reply& f : frames) doubles::push("readFrame", f);
    m_catcher->answerSave(m_dir.filePath(QStringLiteral("saved under another name")));

    m_window->m_extractButton->click();

    QCOMPARE(opsList(), (QStringList{"openFile", "createShowtape", "readFrame", "writeDMXFrame",
                                     "readFrame", "writeDMXFrame", "readFrame", "writeDMXFrame",
                                     "readFrame", "closeFile", "closeShowtape"}));
    QCOMPARE(m_catcher->boxes.size(), 0);
    QCOMPARE(messages(*m_status), (QStringList{"Reading show/1000", "Finished reading file/1000"}));

    // The show keeps the list item's name whatever the file is called, and
    // gets the controller's header byte for byte.
    const auto create = doubles::callsOf("createShowtape")[0];
    QCOMPARE(qs(create.text), QString::fromUtf8("Show ☀ B"));
    QCOMPARE(QString::fromStdString(create.path.value_or("")),
             m_dir.filePath(QStringLiteral("saved under another name.dmx")));
    QVERIFY(sameBytes(create.record, header));
    QCOMPARE(create.number, 1);
    QCOMPARE(int(create.flag), 1);
    QVERIFY(!create.tapeWasNull);

    for (const doubles::Call& read : doubles::callsOf("readFrame")) {
        QCOMPARE(read.handle, kDevice);
        QVERIFY(!read.outWasNull);  // a channel buffer is always supplied
    }
    const auto writes = doubles::callsOf("writeDMXFrame");
    QCOMPARE(writes.size(), frames.size());
    for (size_t i = 0; i < writes.size(); ++i) {
        QCOMPARE(writes[i].tape.versionNumber, 3);
        QCOMPARE(writes[i].tape.fileHandle, 42);
        const doubles::FrameCopy& got = writes[i].frames.at(0);
        QCOMPARE(got.startCode, frames[i].startCode);
        QCOMPARE(got.timeCode, frames[i].timeCode);
        QCOMPARE(got.channelCount, static_cast<int32_t>(frames[i].channels.size()));
        QVERIFY(!got.dataWasNull);
        QVERIFY(got.data == frames[i].channels);
    }
    const auto close = doubles::callsOf("closeShowtape")[0];
    QCOMPARE(close.tape.fileHandle, 42);
    QCOMPARE(doubles::callsOf("closeFile")[0].handle, kDevice);
}

void ShowsTest::emptyShowCreatesAndClosesFile() {
    openWithShows({u"Show A"});
    m_catcher->answerSave(m_dir.filePath(QStringLiteral("empty")));

    m_window->readShow();

    QCOMPARE(opsList(), (QStringList{"openFile", "createShowtape", "readFrame", "closeFile",
                                     "closeShowtape"}));
    QCOMPARE(messages(*m_status), (QStringList{"Reading show/1000", "Finished reading file/1000"}));
}

void ShowsTest::failedCopyIsReportedAndClosesBoth_data() {
    QTest::addColumn<int>("createCode");
    QTest::addColumn<int>("framesRead");   // frames readFrame delivers before endCode
    QTest::addColumn<int>("endCode");      // readFrame's code after them
    QTest::addColumn<int>("writeFailsAt");  // 1-based write that fails, 0 for none
    QTest::addColumn<int>("writeCode");
    QTest::addColumn<QString>("boxText");
    QTest::addColumn<QStringList>("expectedOps");

    const QString read = QStringLiteral("readFrame");
    const QString write = QStringLiteral("writeDMXFrame");

    QTest::newRow("create fails")
        << int{DevFileExists} << 0 << 0 << 0 << 0 << QStringLiteral("Error creating DMX file: 15")
        << QStringList{"openFile", "createShowtape", "closeFile"};

    QStringList fifthWrite{"openFile", "createShowtape"};
    for (int i = 0; i < 5; ++i) fifthWrite << read << write;
    QTest::newRow("fifth write fails")
        << 0 << 9 << int{DevNoMoreData} << 5 << int{DevIOError}
        << QStringLiteral("Error writing frame to DMX file: 9")
        << (fifthWrite + QStringList{"closeFile", "closeShowtape"});

    QStringList thirdRead{"openFile", "createShowtape", read, write, read, write, read};
    QTest::newRow("read fails")
        << 0 << 2 << int{DevIOError} << 0 << 0
        << QStringLiteral("Error reading frame from controller: 9")
        << (thirdRead + QStringList{"closeFile", "closeShowtape"});
    QTest::newRow("read fails with negative code")
        << 0 << 2 << -1 << 0 << 0 << QStringLiteral("Error reading frame from controller: -1")
        << (thirdRead + QStringList{"closeFile", "closeShowtape"});
    QTest::newRow("first read fails")
        << 0 << 0 << int{DevError} << 0 << 0
        << QStringLiteral("Error reading frame from controller: 1")
        << QStringList{"openFile", "createShowtape", read, "closeFile", "closeShowtape"};
}

void ShowsTest::failedCopyIsReportedAndClosesBoth() {
    QFETCH(int, createCode);
    QFETCH(int, framesRead);
    QFETCH(int, endCode);
    QFETCH(int, writeFailsAt);
    QFETCH(int, writeCode);
    QFETCH(QString, boxText);
    QFETCH(QStringList, expectedOps);

    openWithShows({u"Show A"});
    m_catcher->answerSave(m_dir.filePath(QStringLiteral("partial.dmx")));
    doubles::push("createShowtape", createCode);
    for (int i = 0; i < framesRead; ++i)
        doubles::push("readFrame", frameReply(0, i, {static_cast<uint8_t>(i)}));
    Reply end;
    end.code = endCode;
    doubles::push("readFrame", end);
    for (int i = 1; i < writeFailsAt; ++i) doubles::push("writeDMXFrame", DevSuccess);
    if (writeFailsAt) doubles::push("writeDMXFrame", writeCode);

    m_window->readShow();

    QCOMPARE(opsList(), expectedOps);
    // The box comes before the closes, and the copy is not reported finished.
    QCOMPARE(m_catcher->boxes.size(), 1);
    QCOMPARE(m_catcher->boxes[0].caption, kFatal);
    QCOMPARE(m_catcher->boxes[0].text, boxText);
    QCOMPARE(m_catcher->boxes[0].parent, m_window.get());
    const qsizetype closes = createCode ? 1 : 2;
    QCOMPARE(m_catcher->boxes[0].callsBefore, size_t(expectedOps.size() - closes));
    QCOMPARE(messages(*m_status), QStringList{"Reading show/1000"});
}

void ShowsTest::oversizedFrameIsNotWritten() {
    // A frame claiming more channels than the 512-byte buffer holds would
    // make the write read past the buffer: it is refused instead.
    openWithShows({u"Show A"});
    m_catcher->answerSave(m_dir.filePath(QStringLiteral("big")));
    doubles::push("readFrame", frameReply(0, 0, {1}));
    Reply oversized = frameReply(0, 1, {});
    oversized.channelCount = 513;
    doubles::push("readFrame", oversized);

    m_window->readShow();

    QCOMPARE(opsList(), (QStringList{"openFile", "createShowtape", "readFrame", "writeDMXFrame",
                                     "readFrame", "closeFile", "closeShowtape"}));
    QCOMPARE(m_catcher->boxes.size(), 1);
    QCOMPARE(m_catcher->boxes[0].text, QStringLiteral("Error reading frame from controller: 13"));
    QCOMPARE(messages(*m_status), QStringList{"Reading show/1000"});
}

int runShowsTests(const QStringList& args) {
    ShowsTest test;
    return QTest::qExec(&test, args);
}

#include "tst_shows.moc"
