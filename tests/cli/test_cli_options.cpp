// The command line's options and commands, and the choice of port, without any process.
#include "app/MessageTable.h"
#include "cli/CliCommandLine.h"
#include "state/AppState.h"

#include <QtTest>

namespace {

CliParse parse(const QString& line) {
    return ParseCliArguments(line.split(' ', Qt::SkipEmptyParts));
}

} // namespace

class TestCliOptions : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SetMessageLanguage("en"); }
    void init() { resetAppState(); }

    void commandsAndTheirArguments() {
        CliParse p = parse("--port /dev/pts/7 --timeout 1.5 --retry 2 read --seq a.seq "
                           "--record _01 --json -");
        QVERIFY2(p.ok, qPrintable(p.error));
        QCOMPARE(p.options.command, CliCommand::Read);
        QCOMPARE(p.options.port, QString("/dev/pts/7"));
        QCOMPARE(*p.options.timeoutTicks, qint16(15));
        QCOMPARE(*p.options.retry, qint16(2));
        QCOMPARE(p.options.seqFile, QString("a.seq"));
        QCOMPARE(*p.options.recordSuffix, QString("_01"));
        QCOMPARE(p.options.json, QString("-"));
        QCOMPARE(p.options.settings, QString("921600,n,8,1"));

        p = parse("write settings.seq --simulate --settings 115200,e,7,2");
        QVERIFY(p.ok);
        QCOMPARE(p.options.command, CliCommand::Write);
        QCOMPARE(p.options.file, QString("settings.seq"));
        QVERIFY(p.options.simulate);
        QVERIFY(!p.options.timeoutTicks);
        QVERIFY(!p.options.retry);

        p = parse("set-clock --time 2027-01-02T03:04:05");
        QVERIFY(p.ok);
        QCOMPARE(*p.options.time, QDateTime(QDate(2027, 1, 2), QTime(3, 4, 5)));
        p = parse("live");
        QCOMPARE(p.options.count, 10);
        p = parse("live --count 3");
        QCOMPARE(p.options.count, 3);

        const QList<QPair<QString, CliCommand>> simple = {
            {"download x.dat", CliCommand::Download},
            {"fram-dump d.txt", CliCommand::FramDump},
            {"power-off", CliCommand::PowerOff},
            {"clear-logger", CliCommand::ClearLogger},
            {"clear-power", CliCommand::ClearPower},
            {"defaults", CliCommand::Defaults},
            {"check-data", CliCommand::CheckData},
            {"stations import s.csv", CliCommand::StationsImport},
            {"calibrate zero", CliCommand::CalibrateZero}};
        for (const auto& [line, command] : simple) {
            p = parse(line);
            QVERIFY2(p.ok, qPrintable(line));
            QCOMPARE(p.options.command, command);
        }
        p = parse("calibrate bump --gas 1,,-,4,5 --within 20 --share 50 --operator=Ann --lot L1");
        QVERIFY2(p.ok, qPrintable(p.error));
        QCOMPARE(p.options.command, CliCommand::CalibrateBump);
        QCOMPARE(p.options.gas, QStringList({"1", "", "-", "4", "5"}));
        QCOMPARE(p.options.withinSeconds, 20);
        QCOMPARE(p.options.sharePercent, 50);
        QCOMPARE(p.options.operatorName, QString("Ann"));
        QCOMPARE(p.options.cylinderLot, QString("L1"));
        QVERIFY(parse("--help").options.help);
        QVERIFY(parse("-h read").ok);
    }

    void usageErrors_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("helpCommand");
        QTest::newRow("nothing") << ""
                                 << "tq5800-cli";
        QTest::newRow("unknown command") << "format"
                                         << "tq5800-cli";
        QTest::newRow("unknown option") << "read --fast"
                                        << "tq5800-cli read";
        QTest::newRow("unknown option first") << "--fast read"
                                              << "tq5800-cli";
        QTest::newRow("write without file") << "write"
                                            << "tq5800-cli write";
        QTest::newRow("extra argument") << "read extra"
                                        << "tq5800-cli read";
        QTest::newRow("two ports") << "--port a --simulate read"
                                   << "tq5800-cli read";
        QTest::newRow("port and irda") << "--port a --irda b read"
                                       << "tq5800-cli read";
        QTest::newRow("timeout zero") << "--timeout 0 read"
                                      << "tq5800-cli read";
        QTest::newRow("timeout text") << "--timeout soon read"
                                      << "tq5800-cli read";
        QTest::newRow("timeout missing") << "read --timeout"
                                         << "tq5800-cli read";
        QTest::newRow("retry negative") << "--retry -1 read"
                                        << "tq5800-cli read";
        QTest::newRow("retry zero sends nothing") << "--retry=0 read"
                                                  << "tq5800-cli read";
        QTest::newRow("bad settings") << "--settings 921600,x,8,1 read"
                                      << "tq5800-cli read";
        QTest::newRow("seq with write") << "write a.seq --seq b.seq"
                                        << "tq5800-cli write";
        QTest::newRow("seq before its command") << "--seq b.seq read"
                                                << "tq5800-cli";
        QTest::newRow("record suffix with slash") << "read --record a/b"
                                                  << "tq5800-cli read";
        QTest::newRow("time with read") << "read --time 2027-01-02T03:04:05"
                                        << "tq5800-cli read";
        QTest::newRow("time outside the clock") << "set-clock --time 1999-12-31T23:59:59"
                                                << "tq5800-cli set-clock";
        QTest::newRow("time not a date") << "set-clock --time yesterday"
                                         << "tq5800-cli set-clock";
        QTest::newRow("count zero") << "live --count 0"
                                    << "tq5800-cli live";
        QTest::newRow("count with read") << "read --count 2"
                                         << "tq5800-cli read";
        QTest::newRow("empty json") << "read --json"
                                    << "tq5800-cli read";
        QTest::newRow("json with power-off") << "--json - power-off"
                                             << "tq5800-cli power-off";
        QTest::newRow("gas with zero") << "calibrate zero --gas 1,2,3,4,5"
                                       << "tq5800-cli calibrate zero";
        QTest::newRow("share with span") << "calibrate span --share 50"
                                         << "tq5800-cli calibrate span";
        QTest::newRow("gas of four") << "calibrate span --gas 1,2,3,4"
                                     << "tq5800-cli calibrate span";
        QTest::newRow("calibrate alone") << "calibrate"
                                         << "tq5800-cli";
        QTest::newRow("stations without file") << "stations export"
                                               << "tq5800-cli stations export";
        QTest::newRow("a switch with a value") << "read --simulate=yes"
                                               << "tq5800-cli read";
    }
    void usageErrors() {
        QFETCH(QString, line);
        QFETCH(QString, helpCommand);
        const CliParse p = parse(line);
        QVERIFY(!p.ok);
        QVERIFY(!p.error.isEmpty());
        QVERIFY2(!p.error.contains(u'\n'), qPrintable(p.error));
        QCOMPARE(p.helpCommand, helpCommand);
    }

    // The habits of GNU tools: "--name=value", "--" before an argument that looks like an
    // option, -V, and help for one command.
    void gnuHabits() {
        CliParse p = parse("--port=/dev/ttyUSB0 write --json=- -- -odd.seq");
        QVERIFY2(p.ok, qPrintable(p.error));
        QCOMPARE(p.options.port, QString("/dev/ttyUSB0"));
        QCOMPARE(p.options.json, QString("-"));
        QCOMPARE(p.options.file, QString("-odd.seq"));
        QVERIFY(parse("-V").options.version);
        p = parse("calibrate bump --help");
        QVERIFY(p.ok && p.options.help);
        QCOMPARE(p.helpText, CliCommandHelpText("calibrate bump"));
        QVERIFY(p.helpText.startsWith("Usage: tq5800-cli calibrate bump [options]"));
        QVERIFY(p.helpText.contains("--within <SECONDS>"));
        QVERIFY(!p.helpText.contains("--seq"));
        p = parse("-h");
        QCOMPARE(p.helpText, CliHelpText());
        QVERIFY(parse("stations --help").helpText.contains("stations import FILE"));
    }

    void anInvalidSuffixIsRefusedWithTheWindowsText() {
        QCOMPARE(parse("read --record a*b").error, LoadMessage(5382));
    }

    void theHelpNamesEveryCommandAndExitStatus() {
        const QString usage = CliHelpText();
        for (const char* word : {"--port",
                                 "--irda",
                                 "--simulate",
                                 "--timeout",
                                 "--retry",
                                 "--settings",
                                 "--json",
                                 "--version",
                                 "read",
                                 "write",
                                 "set-clock",
                                 "download",
                                 "fram-dump",
                                 "live",
                                 "power-off",
                                 "clear-logger",
                                 "clear-power",
                                 "defaults",
                                 "check-data",
                                 "stations export",
                                 "stations import",
                                 "calibrate zero",
                                 "calibrate span",
                                 "calibrate bump",
                                 "Exit status: 0 done"})
            QVERIFY2(usage.contains(QLatin1String(word)), word);
    }
};

QTEST_MAIN(TestCliOptions)
#include "test_cli_options.moc"
