// tq5800-cli end to end on tq5800-sim: what every file it writes says when a run goes wrong.
// A failed run exits 1, names its cause, leaves the earlier good file byte for byte as it was
// and keeps what arrived under a ".partial" name; a refused settings file sends nothing; every
// reply is in the communication log. A full disk is a file-size limit on the command line's
// process: its writes past the limit fail as they would on a full disk.
#include "support/CliTestSupport.h"
#include "sim/SimLoggerMemory.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using clitest::readFile;
using clitest::runCli;
using clitest::Simulator;

namespace {

// For the new process: writes past this many bytes into any one file fail (EFBIG).
std::function<void()> fullDiskAt(qint64 bytes) {
    return [bytes] {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{rlim_t(bytes), rlim_t(bytes)};
        setrlimit(RLIMIT_FSIZE, &limit);
    };
}

QString lastLine(const QString& text) {
    return text.trimmed().split('\n').last();
}

} // namespace

class TestCliFileFaults : public QObject {
    Q_OBJECT

private slots:
    void aReadWhoseHistoryFailedSavesNothing() {
        // The connect reply and the 190 reads are answered; the history read is not.
        Simulator sim({"--faults", "silent=191"});
        QTemporaryDir dir;
        const auto r = runCli(dir.path(), {"--port", sim.pty(), "--timeout", "0.2", "read",
                                           "--record", "_S", "--json", "r.json"});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.err.contains("The calibration history (SO,R) was not read"));
        QVERIFY(!r.out.contains("Download Complete"));
        QVERIFY(!QFile::exists(dir.path() + "/TQ5800_Setting_S.csv"));
        QVERIFY(!QFile::exists(dir.path() + "/r.json"));
    }

    void aFailedDumpKeepsTheEarlierFile_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("faults");
        QTest::addColumn<QString>("fault"); // of the file: "" or "full"
        QTest::addColumn<QString>("why");   // in the run's error output
        QTest::addColumn<bool>("partial");  // what arrived is kept beside it
        // The other faults of the files are run in-process for every file kind; here each
        // command meets a silent instrument and a file it may not write.
        QTest::newRow("download, silence mid-run")
            << "download"
            << "silent=300" << QString() << "No reply from the instrument" << true;
        QTest::newRow("download, full disk")
            << "download" << QString() << "full" << qt_error_string(EFBIG) << false;
        QTest::newRow("fram-dump, silence mid-run")
            << "fram-dump"
            << "silent=4" << QString() << "No reply from the instrument" << true;
        // A folder that takes no file is refused before the instrument is touched
        // (test_cli_conventions: refusedBeforeAnythingIsSent).
    }
    void aFailedDumpKeepsTheEarlierFile() {
        QFETCH(QString, command);
        QFETCH(QString, faults);
        QFETCH(QString, fault);
        QFETCH(QString, why);
        QFETCH(bool, partial);
        Simulator good;
        QTemporaryDir dir;
        const QString name = command == "download" ? "TQ5800.DAT" : "DumpEF.dat";
        QVERIFY(runCli(dir.path(), {"--port", good.pty(), command, name}).exitCode == 0);
        const QByteArray before = readFile(dir.path() + '/' + name);

        Simulator sim(faults.isEmpty() ? QStringList() : QStringList{"--faults", faults});
        std::function<void()> inChild;
        if (fault == "full")
            inChild = fullDiskAt(before.size() / 2);
        const auto r = runCli(dir.path(), {"--port", sim.pty(), "--timeout", "0.2", command, name},
                              clitest::CommandLimitMs, inChild);
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains(why), qPrintable(r.err));
        QCOMPARE(lastLine(r.err), "tq5800-cli: " + command + " failed");
        QCOMPARE(readFile(dir.path() + '/' + name), before);
        const QString kept =
            dir.path() + (command == "download" ? "/TQ5800.partial.DAT" : "/DumpEF.partial.dat");
        QCOMPARE(QFile::exists(kept), partial);
        if (partial)
            QVERIFY(r.err.contains("What arrived was kept in"));
        if (partial && command == "fram-dump")
            QVERIFY(readFile(kept).contains(";\tIncomplete list: blocks "));
        // The log closes the run as a failure (a download logs a line after every block),
        // or, in a folder that takes no file, the run said that it could not log.
        const QByteArray log = readFile(dir.path() + "/SerialLog.log");
        QVERIFY(log.contains("Download Failed") ||
                r.err.contains("The communication log " + dir.path()));
        QVERIFY(!log.contains(command == "download" ? "Interval Trend Download Finished"
                                                    : "Dump List Download Finished"));
    }

    void surplusBytesAreAskedAgain() {
        // Every 200th reply is 600 bytes of garbage instead of a 512-byte block.
        Simulator sim({"--faults", "garbage=600:200"});
        QTemporaryDir dir;
        const auto r = runCli(dir.path(), {"--port", sim.pty(), "download", "TQ5800.DAT"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QCOMPARE(readFile(dir.path() + "/TQ5800.DAT"), SimLoggerMemory::sampleImage());
        QVERIFY(clitest::countLines(dir.path(), "went on past its end") > 0);
    }

    void jsonAfterADownloadHoldsOnlyWhatWasRead() {
        Simulator sim;
        QTemporaryDir dir;
        const auto r = runCli(dir.path(),
                              {"--port", sim.pty(), "--json", "id.json", "download", "TQ5800.DAT"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        const QJsonObject json =
            QJsonDocument::fromJson(readFile(dir.path() + "/id.json")).object();
        QStringList keys = json.keys();
        keys.sort();
        QCOMPARE(keys, (QStringList{"DummySerial", "FormatVersion", "RomNumber", "SerialNo",
                                    "StationID", "UserID"}));
        QVERIFY(json.value("RomNumber").toInt() > 0);
    }

    void aFullDiskLeavesTheSettingRecordWhole() {
        Simulator sim;
        QTemporaryDir dir;
        QVERIFY(runCli(dir.path(), {"--port", sim.pty(), "read", "--record", "_F"}).exitCode == 0);
        const QString csv = dir.path() + "/TQ5800_Setting_F.csv";
        const QByteArray before = readFile(csv);
        // Room for a part of the next row only.
        const auto r = runCli(dir.path(), {"--port", sim.pty(), "read", "--record", "_F"},
                              clitest::CommandLimitMs, fullDiskAt(before.size() + 300));
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(readFile(csv), before);
        QVERIFY2(r.err.contains(qt_error_string(EFBIG)), qPrintable(r.err));
        QVERIFY(!r.err.contains("Unknown error"));
        QVERIFY(lastLine(r.err).contains("the instrument was read, but"));
    }

    void everyReplyIsInTheCommunicationLog() {
        Simulator sim;
        QTemporaryDir dir;
        QVERIFY(runCli(dir.path(), {"--port", sim.pty(), "read", "--seq", "a.seq"}).exitCode == 0);
        // A read and a write: more replies than the log's allowance for babble.
        const auto r = runCli(dir.path(), {"--port", sim.pty(), "write", "a.seq"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        const int sent = clitest::countLines(dir.path(), "W : [STX]0001");
        QVERIFY(sent > 200);
        QCOMPARE(clitest::countLines(dir.path(), "R : [STX]0001"), sent);
        QCOMPARE(clitest::countLines(dir.path(), "not logged"), 0);
    }

    void aRefusedSettingsFileSendsNothing_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("why");
        const QString wide = QStringLiteral("\uFEFFAP,W,1,\r\n");
        QTest::newRow("UTF-16") << QByteArray(reinterpret_cast<const char*>(wide.utf16()),
                                              wide.size() * 2)
                                << "holds no settings";
        QTest::newRow("empty") << QByteArray() << "holds no settings";
        QTest::newRow("AP 7") << QByteArray("SM,W,2,\r\nAP,W,7,\r\n") << "line 2: AP: 7";
        QTest::newRow("10 MB of unknown lines")
            << QByteArray("AP,W,1,\r\n") + QByteArray("what,is,this\r\n").repeated(800000)
            << "line 2: More than 8 lines are no settings";
    }
    void aRefusedSettingsFileSendsNothing() {
        QFETCH(QByteArray, text);
        QFETCH(QString, why);
        Simulator sim;
        QTemporaryDir dir;
        QFile f(dir.path() + "/x.seq");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.close();
        const auto r = runCli(dir.path(), {"--port", sim.pty(), "write", "x.seq"});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains(why), qPrintable(r.err.left(400)));
        // One message and the last line: the instrument is not even connected.
        QCOMPARE(r.err.trimmed().split('\n').size(), 2);
        QVERIFY(r.err.trimmed().endsWith("write failed: nothing was sent"));
        QVERIFY(clitest::sentPayloads(dir.path()).isEmpty());
    }

    void theLastLineSaysWhatFailed() {
        Simulator sim;
        QTemporaryDir dir;
        QVERIFY(runCli(dir.path(), {"--port", sim.pty(), "read", "--seq", "a.seq", "--record", ""})
                    .exitCode == 0);
        const QString csv = dir.path() + "/TQ5800_Setting.csv";
        const QByteArray before = readFile(csv);
        // The record file passes the check before the run (a read-only one is refused there);
        // the disk fills while the instrument is written.
        const auto r = runCli(dir.path(), {"--port", sim.pty(), "write", "a.seq"},
                              clitest::CommandLimitMs, fullDiskAt(before.size() + 300));
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.out.contains("Upload Complete.") || r.out.contains("TQ-5800 Upload Complete"));
        QCOMPARE(lastLine(r.err), QString("tq5800-cli: write: the instrument was written, but its "
                                          "setting record was not saved"));
        QVERIFY(r.err.contains(qt_error_string(EFBIG)));
        QCOMPARE(readFile(csv), before);
    }
};

QTEST_GUILESS_MAIN(TestCliFileFaults)
#include "test_cli_file_faults.moc"
