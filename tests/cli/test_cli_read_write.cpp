// tq5800-cli end to end on tq5800-sim's pseudo-terminal: the full read in table order, JSON,
// the settings file and setting record it stores, a settings-file write in step order and
// its refusal by the checks, the clock, time-outs and resends under faults, a garbage flood,
// and the exit status of usage errors and absent instruments.
#include "link/CommLog.h"
#include "link/LinkBringUp.h"
#include "state/AppState.h"
#include "support/CliTestSupport.h"
#include "support/LinkSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using clitest::runCli;
using clitest::Simulator;

namespace {

// The commands of one session after its connect command.
QStringList afterConnect(const QStringList& sent) {
    const qsizetype at = sent.lastIndexOf("RC,R,");
    return at < 0 ? sent : sent.mid(at + 1);
}

// Consecutive repeats (resends) folded into one.
QStringList withoutRepeats(const QStringList& sent, int* repeats) {
    QStringList out;
    *repeats = 0;
    for (const QString& p : sent) {
        if (!out.isEmpty() && out.last() == p)
            ++*repeats;
        else
            out << p;
    }
    return out;
}

QStringList keysOf(const QStringList& payloads) {
    QStringList out;
    for (const QString& p : payloads)
        out << p.left(4);
    return out;
}

} // namespace

class TestCliReadWrite : public QObject {
    Q_OBJECT

private slots:
    void aFullReadSendsTheReadTableThenTheHistory() {
        Simulator sim;
        QVERIFY(!sim.pty().isEmpty());
        QTemporaryDir dir;
        const auto r = runCli(dir.path(), {"--port", sim.pty(), "read", "--json", "record.json",
                                           "--seq", "a.seq", "--record", "_T1"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QStringList expected = linksupport::ExpectedFullRead();
        expected << "SO,R,";
        QCOMPARE(afterConnect(clitest::sentPayloads(dir.path())), expected);
        QVERIFY(r.out.contains("...Connection Successful."));
        QVERIFY(r.out.contains("TQ-5800 Instrument Information Download Complete."));
        QVERIFY(r.out.contains("ch6 BATT.     \t: 3.720V"));
        QVERIFY(r.err.isEmpty());

        const QJsonObject json =
            QJsonDocument::fromJson(clitest::readFile(dir.path() + "/record.json")).object();
        QCOMPARE(json.value("GasName").toArray().size(), 5);
        QCOMPARE(json.value("GasName").toArray().at(0).toString(), QString("CH4"));
        QCOMPARE(json.value("StationList").toArray().size(), 128);
        QCOMPARE(json.value("LI_Name").toArray().size(), 31);
        QCOMPARE(json.value("LS_Name").toArray().size(), 2);
        QVERIFY(!json.contains("Change_AlarmMode"));
        QVERIFY(json.value("SysDate").toString().contains('T'));

        QVERIFY(clitest::readFile(dir.path() + "/a.seq").startsWith("BS,W,"));
        const QList<QByteArray> csv =
            clitest::readFile(dir.path() + "/TQ5800_Setting_T1.csv").split('\n');
        QCOMPARE(csv.size(), 3); // header, one line, the end of the last line
        QVERIFY(csv[1].startsWith("Read,"));
        // The configuration file is read, never written.
        QVERIFY(!QFile::exists(dir.path() + "/TQ5800Config.ini"));
    }

    void jsonToStandardOutputStandsAlone() {
        Simulator sim;
        QTemporaryDir dir;
        const auto r = runCli(dir.path(), {"--port", sim.pty(), "--json", "-", "read"});
        QCOMPARE(r.exitCode, 0);
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(r.out.toUtf8(), &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        QVERIFY(doc.object().contains("SerialNo"));
        QVERIFY(r.err.contains("TQ-5800 Instrument Information Download Complete."));
    }

    void aSettingsFileIsWrittenInStepOrder() {
        Simulator sim;
        QTemporaryDir dir;
        QCOMPARE(runCli(dir.path(), {"--port", sim.pty(), "read", "--seq", "a.seq"}).exitCode, 0);
        QByteArray text = clitest::readFile(dir.path() + "/a.seq");
        QVERIFY(text.contains("XT,W,001E,"));
        text.replace("XT,W,001E,", "XT,W,003C,");
        text += "ZZ,W,1,\r\n";
        QFile f(dir.path() + "/b.seq");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.close();
        QFile::remove(dir.path() + "/SerialLog.log");

        const auto r = runCli(dir.path(), {"--port", sim.pty(), "write", "b.seq"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY(r.err.contains("unknown line skipped: ZZ,W,1,"));
        QVERIFY(r.out.contains("TQ-5800 Instrument Information Upload."));
        QVERIFY(r.out.contains("TQ-5800 Upload Complete."));
        // The read the write starts with, then the steps in their order.
        const QStringList sent = afterConnect(clitest::sentPayloads(dir.path()));
        const qsizetype history = sent.indexOf("SO,R,");
        QCOMPARE(history, 190);
        QCOMPARE(keysOf(sent.mid(history + 1)),
                 (QStringList{"BS,W", "GJ,W", "LS,W", "AP,W", "SD,W", "SM,W", "XB,W",
                              "XW,W", "XT,W", "UQ,W", "AF,W", "AT,W", "A1,W", "A2,W",
                              "SC,W", "XP,W", "UJ,W", "SJ,W", "SG,W", "DW,W"}));
        QCOMPARE(sent.last(), QString("DW,W,"));
        QVERIFY(sent.contains("XT,W,03C"));
        QCOMPARE(clitest::countLines(dir.path(), "---Instrument Upload Finished---"), 1);
        const QList<QByteArray> csv =
            clitest::readFile(dir.path() + "/TQ5800_Setting.csv").split('\n');
        QVERIFY(csv.size() == 3 && csv[1].startsWith("Write,"));

        // The instrument keeps what was written.
        const auto check = runCli(dir.path(), {"--port", sim.pty(), "--json", "-", "read"});
        QCOMPARE(QJsonDocument::fromJson(check.out.toUtf8()).object().value("LcdBackLight"),
                 QJsonValue(60));
    }

    void aSettingsFileThatFailsTheChecksIsRefused() {
        Simulator sim;
        QTemporaryDir dir;
        QFile f(dir.path() + "/none.seq");
        QVERIFY(f.open(QIODevice::WriteOnly));
        const QByteArray none(25, '*');
        f.write("GJ,W," + none + ',' + none + ',' + none + ',' + none + ',' + none + ",\r\n");
        f.close();
        const auto r = runCli(dir.path(), {"--port", sim.pty(), "write", "none.seq"});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.err.contains("No available sensor."));
        for (const QString& p : clitest::sentPayloads(dir.path()))
            QVERIFY2(p.mid(2, 3) != ",W,", qPrintable(p));

        const auto missing = runCli(dir.path(), {"--port", sim.pty(), "write", "missing.seq"});
        QCOMPARE(missing.exitCode, 2);
    }

    void theClockIsSetToTheTimeGiven() {
        Simulator sim;
        QTemporaryDir dir;
        const auto r =
            runCli(dir.path(), {"--port", sim.pty(), "set-clock", "--time", "2027-01-02T03:04:05"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(afterConnect(clitest::sentPayloads(dir.path())), QStringList{"HC,W,270102030405"});
        const auto check = runCli(dir.path(), {"--port", sim.pty(), "--json", "-", "read"});
        QVERIFY(QJsonDocument::fromJson(check.out.toUtf8())
                    .object()
                    .value("SysDate")
                    .toString()
                    .startsWith("2027-01-02T03:04:"));
        // The clock a day and more away from the PC's is pointed out.
        QVERIFY(check.err.contains("A date doesn't correspond to the host."));
    }

    void droppedRepliesAreResentAfterTheTimeout() {
        Simulator sim({"--faults", "drop=40"});
        QTemporaryDir dir;
        const auto r = runCli(dir.path(), {"--port", sim.pty(), "--timeout", "0.2", "read"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        int resends = 0;
        QStringList expected = linksupport::ExpectedFullRead();
        expected << "SO,R,";
        const QStringList sent = afterConnect(clitest::sentPayloads(dir.path()));
        QCOMPARE(withoutRepeats(sent, &resends), expected);
        // Replies 40, 80, ... of the 192 the session needs are lost: four resends.
        QCOMPARE(resends, 4);
        // Each resend follows the time-out: no reply came between the frame and its resend.
        const QStringList log = clitest::logLines(dir.path());
        int checked = 0;
        for (int i = 1; i < log.size(); ++i) {
            if (log[i].startsWith("W : ") && log[i] == log[i - 1]) {
                ++checked;
                QVERIFY(!log[i].contains("RC,R"));
            }
        }
        QCOMPARE(checked, 4);
    }

    void corruptRepliesAreRequestedAgainAtOnce() {
        Simulator sim({"--faults", "corrupt=25"});
        QTemporaryDir dir;
        QElapsedTimer t;
        t.start();
        const auto r = runCli(dir.path(), {"--port", sim.pty(), "--timeout", "30", "read"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        int resends = 0;
        withoutRepeats(afterConnect(clitest::sentPayloads(dir.path())), &resends);
        QVERIFY(resends >= 7);
        // No time-out was waited for: a 30 s time-out would have shown.
        QVERIFY(r.ms < 20000);
    }

    void aGarbageFloodFailsCleanlyInBoundedTime() {
        // Every reply is replaced by garbage without a block end: nothing ever connects.
        Simulator flood({"--faults", "garbage=200000:1"});
        QTemporaryDir dir;
        const auto r = runCli(dir.path(), {"--port", flood.pty(), "--retry", "2", "read"});
        QVERIFY(r.finished);
        QCOMPARE(r.exitCode, 3);
        QVERIFY(r.err.contains("TQ-5800 No Response. Check Port,Cable And Power."));
        QVERIFY(r.ms < 15000);
        QVERIFY(clitest::countLines(dir.path(), "bytes outside any frame dropped >>>") > 0);

        // Now and then a burst far larger than the receive buffer instead of a reply: the
        // link drops it, the time-out resends and the read completes.
        Simulator burst({"--faults", "garbage=20000:60"});
        QTemporaryDir second;
        const auto h = runCli(second.path(), {"--port", burst.pty(), "--timeout", "0.2", "read"});
        QVERIFY2(h.exitCode == 0, qPrintable(h.err));
        QVERIFY(h.ms < 15000);

        // Garbage within the bound now and then: the time-out resends and the read completes.
        Simulator some({"--faults", "garbage=3000:40"});
        QTemporaryDir third;
        const auto g = runCli(third.path(), {"--port", some.pty(), "--timeout", "0.2", "read"});
        QVERIFY2(g.exitCode == 0, qPrintable(g.err));
        int resends = 0;
        QStringList expected = linksupport::ExpectedFullRead();
        expected << "SO,R,";
        QCOMPARE(withoutRepeats(afterConnect(clitest::sentPayloads(third.path())), &resends),
                 expected);
        QCOMPARE(resends, 4);
    }

    void theConfigurationFileGivesTheDefaultsAndStaysAsItWas() {
        // The instrument answers the connect command and then nothing.
        Simulator sim({"--faults", "silent=1"});
        QTemporaryDir dir;
        const QByteArray ini =
            "; written by the test\r\nTimeout\t1\r\nRetry\t1\r\nSerial Log File\tON\r\n";
        QFile f(dir.path() + "/TQ5800Config.ini");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(ini);
        f.close();
        const auto r = runCli(dir.path(), {"--port", sim.pty(), "read"});
        QCOMPARE(r.exitCode, 1);
        // One resend (Retry 1), a second apart (Timeout 1).
        QCOMPARE(afterConnect(clitest::sentPayloads(dir.path())), QStringList(2, "VP,R,"));
        QVERIFY(r.ms >= 1800);
        QCOMPARE(clitest::readFile(dir.path() + "/TQ5800Config.ini"), ini);
        QVERIFY(r.err.contains("TQ-5800 Instrument Information Download Failed."));

        // A run whose port does not open leaves the logs as they were: nothing rotated away.
        const QByteArray log = clitest::readFile(dir.path() + "/SerialLog.log");
        auto next = runCli(dir.path(), {"--port", dir.path() + "/no-such-port", "read"});
        QCOMPARE(next.exitCode, 3);
        QCOMPARE(clitest::readFile(dir.path() + "/SerialLog.log"), log);
        QVERIFY(!QFile::exists(dir.path() + "/SerialLog1.log"));
        // The next run that reaches its port (the instrument is silent now) starts its own log;
        // the configuration keeps the earlier one.
        next = runCli(dir.path(), {"--port", sim.pty(), "read"});
        QCOMPARE(next.exitCode, 3);
        QCOMPARE(clitest::readFile(dir.path() + "/SerialLog1.log"), log);
        QVERIFY(!clitest::readFile(dir.path() + "/SerialLog.log").contains("VP,R,"));
    }

    void aRunningProgramsLogIsLeftAlone() {
        Simulator sim;
        QTemporaryDir dir;
        QTemporaryDir elsewhere;
        // The program running in this folder holds its log, through its own start step.
        appState().StartFolder = dir.path();
        appState().SerialLogEnabled = true;
        QVERIFY(StartCommLog());
        WriteSerialLog("the program's line");
        const QByteArray programs = clitest::readFile(dir.path() + "/SerialLog.log");
        QVERIFY(programs.endsWith(" the program's line\r\n"));

        const auto r = runCli(dir.path(), {"--port", sim.pty(), "read"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(clitest::readFile(dir.path() + "/SerialLog.log"), programs);
        QVERIFY(!QFile::exists(dir.path() + "/SerialLog1.log"));
        const QStringList own = QDir(dir.path()).entryList({"SerialLog-*.log"});
        QCOMPARE(own.size(), 1);
        QVERIFY(clitest::readFile(dir.path() + '/' + own[0]).contains("VP,R,"));
        QVERIFY(r.err.contains(own[0]));

        // Once the program has left the folder the run takes the folder's log again.
        appState().StartFolder = elsewhere.path();
        QVERIFY(StartCommLog());
        QCOMPARE(runCli(dir.path(), {"--port", sim.pty(), "read"}).exitCode, 0);
        QVERIFY(clitest::readFile(dir.path() + "/SerialLog.log").contains("VP,R,"));
    }

    void exitStatusOfUsageErrorsAndAbsentInstruments() {
        QTemporaryDir dir;
        auto r = runCli(dir.path(), {});
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(r.err, QString("tq5800-cli: no command given\nTry 'tq5800-cli --help'.\n"));
        r = runCli(dir.path(), {"--port", "x", "format"});
        QCOMPARE(r.exitCode, 2);
        r = runCli(dir.path(), {"--help"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.contains("Exit status"));

        r = runCli(dir.path(), {"--port", dir.path() + "/no-such-port", "read"});
        QCOMPARE(r.exitCode, 3);
        QVERIFY(r.err.contains("TQ-5800 No Response. Check Port,Cable And Power."));

        // A port that opens but where nothing answers: the connect sequence gives up.
        Simulator silent({"--faults", "silent=0"});
        r = runCli(dir.path(), {"--port", silent.pty(), "--retry", "1", "read"});
        QCOMPARE(r.exitCode, 3);
        QVERIFY(r.err.contains("TQ-5800 No Response. Check Port,Cable And Power."));
        QVERIFY(r.ms < 10000);
    }
};

QTEST_MAIN(TestCliReadWrite)
#include "test_cli_read_write.moc"
