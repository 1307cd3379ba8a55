// tq5800-cli calibrate end to end on tq5800-sim's pseudo-terminal: zero, span with the
// instrument's own concentrations and with given ones, a channel whose gas is wrong or whose
// sensor fails, the refusals that send nothing, the calibration log and the certificate.
#include "CliTestSupport.h"

#include <QtTest>

using clitest::runCli;
using clitest::Simulator;

namespace {
QStringList spans(const QString& folder) {
    return clitest::sentPayloads(folder).filter(QStringLiteral("S2,W,"));
}
} // namespace

class TestCliCalibrate : public QObject {
    Q_OBJECT

private slots:
    void zeroReportsEveryChannel_data() {
        QTest::addColumn<QStringList>("simArgs");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("failed"); // a line on standard error, or empty
        QTest::newRow("clean air") << QStringList{} << 0 << QString();
        QTest::newRow("worn sensor") << QStringList{"--faults", "failcal=3"} << 1 << "CO(";
        QTest::newRow("span gas still on") << QStringList{"--span-gas"} << 1 << "CH4(";
    }
    void zeroReportsEveryChannel() {
        QFETCH(QStringList, simArgs);
        QFETCH(int, exitCode);
        QFETCH(QString, failed);
        Simulator sim(simArgs);
        QTemporaryDir dir;
        const auto r = runCli(dir.path(), {"--port", sim.pty(), "calibrate", "zero"});
        QVERIFY2(r.exitCode == exitCode, qPrintable(r.out + r.err));
        QVERIFY(clitest::sentPayloads(dir.path()).contains("SZ,W,11111"));
        if (failed.isEmpty())
            QCOMPARE(r.out.count("Adjustment Complete."), 5);
        else
            QVERIFY2(r.err.contains(failed) && r.err.contains(") Failed"), qPrintable(r.err));
    }

    void spanWritesTheLogAndTheCertificate() {
        Simulator sim({"--span-gas"});
        QTemporaryDir dir;
        const auto r =
            runCli(dir.path(), {"--port", sim.pty(), "calibrate", "span", "--certificate",
                                "cert.pdf", "--operator", "A. Sato", "--lot", "L-77"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QCOMPARE(spans(dir.path()), QStringList{"S2,W,11111,   50, 12.0, 10.0,  100,   50"});
        QCOMPARE(r.out.count("Adjustment Complete."), 5);
        QVERIFY(clitest::readFile(dir.path() + "/cert.pdf").startsWith("%PDF-"));
        const QList<QByteArray> log =
            clitest::readFile(dir.path() + "/TQ5800_Calibration.csv").split('\n');
        QCOMPARE(log.size(), 3);
        QVERIFY(log[0].startsWith("Calibration date,Serial No.,"));
        QVERIFY(log[1].contains(",A. Sato,L-77,"));
        QVERIFY(log[1].contains("O2,vol%,12.0,"));
        QVERIFY(log[1].contains(",12.0,Passed"));
    }

    void spanFailsTheChannelsThatDoNotMatch() {
        // The CO cylinder holds 40 ppm, not the 100 asked for; H2S has a worn sensor.
        Simulator sim({"--span-gas", "--cylinder", "50,12,10,40,50", "--faults", "failcal=2"});
        QTemporaryDir dir;
        const auto r =
            runCli(dir.path(), {"--port", sim.pty(), "calibrate", "span", "--gas", "50,-,10,100,"});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(spans(dir.path()), QStringList{"S2,W,10110,   50,*****, 10.0,  100,*****"});
        QVERIFY(r.out.contains("CH4  Adjustment Complete."));
        QVERIFY2(r.err.contains("H2S(") && r.err.contains("CO("), qPrintable(r.err));
        const QByteArray log = clitest::readFile(dir.path() + "/TQ5800_Calibration.csv");
        QVERIFY(log.contains(",Failed"));
        QVERIFY(log.contains("Not calibrated"));
    }

    void refusedConcentrationsSendNothing_data() {
        QTest::addColumn<QString>("gas");
        QTest::addColumn<QString>("message");
        QTest::newRow("above full scale") << "101,-,-,-,-"
                                          << "refused for CH4(100%LEL)";
        QTest::newRow("below the warning level") << "5,-,-,-,-"
                                                 << "refused for CH4";
        QTest::newRow("oxygen above its warning") << "-,20.5,-,-,-"
                                                  << "refused for O2";
        QTest::newRow("nothing selected") << "-,-,-,-,-"
                                          << "No sensors selected.";
    }
    void refusedConcentrationsSendNothing() {
        QFETCH(QString, gas);
        QFETCH(QString, message);
        Simulator sim({"--span-gas"});
        QTemporaryDir dir;
        const auto r = runCli(dir.path(), {"--port", sim.pty(), "calibrate", "span", "--gas", gas});
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QVERIFY(spans(dir.path()).isEmpty());
        QVERIFY(!QFile::exists(dir.path() + "/TQ5800_Calibration.csv"));
    }

    void usageErrors() {
        QTemporaryDir dir;
        for (const QStringList& args : {QStringList{"calibrate"}, QStringList{"calibrate", "full"},
                                        QStringList{"calibrate", "zero", "--gas", "1,2,3,4,5"},
                                        QStringList{"calibrate", "span", "--gas", "1,2,3"},
                                        QStringList{"read", "--certificate", "c.pdf"}}) {
            const auto r = runCli(dir.path(), args);
            QVERIFY2(r.exitCode == 2, qPrintable(args.join(' ') + ": " + r.err));
        }
    }
};

QTEST_GUILESS_MAIN(TestCliCalibrate)
#include "test_cli_calibrate.moc"
