// What a user of a Debian system expects of the command line, end to end: nothing lost and
// nothing sent before the inputs are checked, the system's reason for a port that does not
// open, standard output that fails, JSON lines from live, the JSON record against its schema,
// and the usage habits of the three programs.
#include "app/MessageTable.h"
#include "support/CliTestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using clitest::runCli;
using clitest::Simulator;

namespace {

const QByteArray LastGoodRun = "12:00:00 W : the last good run\r\n";

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Clears or sets the owner's write permission, which the command line honours even for root.
void setWritable(const QString& path, bool on) {
    const QFile::Permissions w = QFile::WriteOwner | QFile::WriteUser;
    const QFile::Permissions p = QFile::permissions(path);
    QFile::setPermissions(path, on ? p | w : p & ~w);
}

} // namespace

class TestCliConventions : public QObject {
    Q_OBJECT

private slots:
    // The earlier log stays whole, and the reason is the system's.
    void aPortThatDoesNotOpenKeepsTheLastLog_data() {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no such device") << "no-such-port"
                                        << "No such file or directory";
        QTest::newRow("not a terminal") << "plain-file"
                                        << "Inappropriate ioctl for device";
    }
    void aPortThatDoesNotOpenKeepsTheLastLog() {
        QFETCH(QString, port);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        writeFile(dir.filePath("plain-file"), "not a port");
        writeFile(dir.filePath("SerialLog.log"), LastGoodRun);
        writeFile(dir.filePath("TQ5800Config.ini"), "Serial Log File\tON\r\n");
        const auto r = runCli(dir.path(), {"--port", dir.filePath(port), "read"});
        QCOMPARE(r.exitCode, 3);
        // The line the program's log pane shows too.
        QVERIFY2(r.err.contains(LoadMessage(5779, {dir.filePath(port), reason})),
                 qPrintable(r.err));
        QCOMPARE(clitest::readFile(dir.filePath("SerialLog.log")), LastGoodRun);
        QVERIFY(!QFile::exists(dir.filePath("SerialLog1.log")));
    }

    // A file the command cannot use is found before anything goes to the instrument. Files in
    // the folder: "notes.seq" (no settings), "a.seq" (one), "DumpEF.dat" and
    // "TQ5800_Setting.csv" (earlier ones); `readOnly` is made so for the run.
    void refusedBeforeAnythingIsSent_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("readOnly");
        const QString missing = "no-folder/";
        QTest::newRow("certificate")
            << QStringList{"calibrate", "span", "--certificate", missing + "c.pdf"} << 2
            << "The certificate could not be written" << QString();
        QTest::newRow("bump report")
            << QStringList{"calibrate", "bump", "--certificate", missing + "b.pdf"} << 2
            << "The bump test report could not be written" << QString();
        QTest::newRow("no concentration")
            << QStringList{"calibrate", "span", "--gas", "ten,-,-,-,-"} << 2
            << "concentration ten refused for channel 0" << QString();
        QTest::newRow("negative concentration")
            << QStringList{"calibrate", "bump", "--gas", "-,-,-5,-,-"} << 2
            << "concentration -5 refused for channel 2" << QString();
        QTest::newRow("settings file missing")
            << QStringList{"write", "missing.seq"} << 2 << "cannot read missing.seq" << QString();
        QTest::newRow("settings file with nothing to write")
            << QStringList{"write", "notes.seq"} << 1 << "holds no settings" << QString();
        QTest::newRow("download") << QStringList{"download", missing + "TQ5800.DAT"} << 2
                                  << "cannot write no-folder/TQ5800.DAT" << QString();
        QTest::newRow("dump list") << QStringList{"fram-dump", missing + "d.txt"} << 2
                                   << "cannot write no-folder/d.txt" << QString();
        QTest::newRow("settings file out")
            << QStringList{"read", "--seq", missing + "a.seq"} << 2 << "cannot write" << QString();
        QTest::newRow("json out") << QStringList{"read", "--json", missing + "r.json"} << 2
                                  << "cannot write" << QString();
        QTest::newRow("station file out") << QStringList{"stations", "export", missing + "s.csv"}
                                          << 2 << "cannot write" << QString();
        QTest::newRow("dump list, read-only folder")
            << QStringList{"fram-dump", "DumpEF.dat"} << 2 << "DumpEF.dat: Permission denied"
            << ".";
        QTest::newRow("setting record, read-only")
            << QStringList{"write", "a.seq"} << 2 << "TQ5800_Setting.csv: Permission denied"
            << "TQ5800_Setting.csv";
    }

    void refusedBeforeAnythingIsSent() {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QFETCH(QString, readOnly);
        Simulator sim({"--span-gas"});
        QTemporaryDir dir;
        writeFile(dir.filePath("notes.seq"), "; settings for plant A\r\nhello\r\n");
        writeFile(dir.filePath("a.seq"), "AP,W,1,\r\n");
        writeFile(dir.filePath("DumpEF.dat"), "the earlier list\r\n");
        writeFile(dir.filePath("TQ5800_Setting.csv"), "the earlier records\r\n");
        if (!readOnly.isEmpty())
            setWritable(dir.filePath(readOnly), false);
        const auto r = runCli(dir.path(), QStringList{"--port", sim.pty()} + args);
        if (!readOnly.isEmpty())
            setWritable(dir.filePath(readOnly), true);
        QVERIFY2(r.exitCode == exitCode, qPrintable(r.err));
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QCOMPARE(clitest::sentPayloads(dir.path()), QStringList());
        QVERIFY(!QFile::exists(dir.filePath("TQ5800_Calibration.csv")));
        QCOMPARE(clitest::readFile(dir.filePath("DumpEF.dat")), QByteArray("the earlier list\r\n"));
        QCOMPARE(clitest::readFile(dir.filePath("TQ5800_Setting.csv")),
                 QByteArray("the earlier records\r\n"));
    }

    void aFailedStandardOutputIsAFailure_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("progress lines") << QStringList{"--simulate", "set-clock"};
        QTest::newRow("json") << QStringList{"--simulate", "read", "--json", "-"};
        QTest::newRow("help") << QStringList{"read", "--help"};
    }
    void aFailedStandardOutputIsAFailure() {
        QFETCH(QStringList, args);
        QTemporaryDir dir;
        const auto r = clitest::runProgram("tq5800-cli", dir.path(), args, clitest::CommandLimitMs,
                                           "/dev/full");
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains("cannot write to standard output: No space left on device"),
                 qPrintable(r.err));
    }

    void liveJsonIsOneObjectALine() {
        QTemporaryDir dir;
        const auto r = runCli(dir.path(), {"--simulate", "live", "--count", "2", "--json", "-"});
        QCOMPARE(r.exitCode, 0);
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        for (const QString& line : lines) {
            const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
            QCOMPARE(o.value("FormatVersion").toInt(), 1);
            QCOMPARE(o.value("Channels").toArray().size(), 5);
            QCOMPARE(o.value("Channels").toArray().at(1).toObject().value("Gas").toString(),
                     QString("O2"));
            QVERIFY(o.value("Channels").toArray().at(1).toObject().value("Value").isDouble());
            QVERIFY(QDateTime::fromString(o.value("Time").toString(), Qt::ISODate).isValid());
        }
        QVERIFY2(r.err.contains("Time ") && r.err.contains("CH4(%LEL)"), qPrintable(r.err));
    }

    void theRecordFollowsItsSchema_data() {
        QTest::addColumn<QString>("command");
        QTest::newRow("read") << "read";
        QTest::newRow("write") << "write"; // the user gas names come back padded
    }
    void theRecordFollowsItsSchema() {
        QFETCH(QString, command);
        QTemporaryDir dir;
        QCOMPARE(runCli(dir.path(), {"--simulate", "read", "--seq", "a.seq"}).exitCode, 0);
        const QStringList args =
            command == "read" ? QStringList{"--simulate", "read", "--json", "r.json"}
                              : QStringList{"--simulate", "write", "a.seq", "--json", "r.json"};
        const auto r = runCli(dir.path(), args);
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        const QByteArray text = clitest::readFile(dir.filePath("r.json"));
        QVERIFY(!text.contains("1899-12-30"));
        const QJsonObject o = QJsonDocument::fromJson(text).object();
        QCOMPARE(o.value("LS_Name").toArray().at(0).toString(), QString("CH4"));
        QCOMPARE(o.value("CommFlags"), QJsonValue(true));
        const QString errors = clitest::SchemaErrors(
            TQ_SOURCE_DIR "/docs/tq5800-record.schema.json", dir.filePath("r.json"), true);
        if (errors == "skip")
            QSKIP("python3-jsonschema is not installed (scripts/install-deps installs it)");
        QVERIFY2(errors.isEmpty(), qPrintable(errors));
    }

    // GNU habits: a usage error is one line and where to find help, with exit status 2.
    void usageErrorsOfEveryProgram_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("err");
        QTest::newRow("cli") << "tq5800-cli" << QStringList{"--bogus", "read"}
                             << "tq5800-cli: Unknown option 'bogus'.\nTry 'tq5800-cli --help'.\n";
        QTest::newRow("cli command") << "tq5800-cli" << QStringList{"live", "--count=none"}
                                     << "tq5800-cli: --count needs a number of lines from 1\n"
                                        "Try 'tq5800-cli live --help'.\n";
        QTest::newRow("sim") << "tq5800-sim" << QStringList{"--pty", "--baud=fast"}
                             << "tq5800-sim: bad --baud value\nTry 'tq5800-sim --help'.\n";
        QTest::newRow("program") << "tq5800" << QStringList{"--bogus"}
                                 << "tq5800: Unknown option 'bogus'.\nTry 'tq5800 --help'.\n";
    }
    void usageErrorsOfEveryProgram() {
        QFETCH(QString, program);
        QFETCH(QStringList, args);
        QFETCH(QString, err);
        QTemporaryDir dir;
        const auto r = clitest::runProgram(qPrintable(program), dir.path(), args);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.endsWith(err), qPrintable(r.err)); // after any warning of Qt's own
        QCOMPARE(r.out, QString());
        const auto v = clitest::runProgram(qPrintable(program), dir.path(), {"-V"});
        QCOMPARE(v.exitCode, 0);
        QVERIFY2(v.out.startsWith(program + ' '), qPrintable(v.out));
    }
};

QTEST_GUILESS_MAIN(TestCliConventions)
#include "test_cli_conventions.moc"
