// tq5800-cli calibrate end to end on tq5800-sim's pseudo-terminal: zero, span with the
// instrument's own concentrations and with given ones, a channel whose gas is wrong or whose
// sensor fails, the refusals that send nothing, the pump around the adjustment, an instrument
// that stops answering, the calibration log and the certificate, and the bump test.
#include "support/CliTestSupport.h"
#include "support/PdfText.h"

#include <QtTest>

using clitest::runCli;
using clitest::Simulator;

namespace {
QStringList spans(const QString& folder) {
    return clitest::sentPayloads(folder).filter(QStringLiteral("S2,W,"));
}

// The calibration log's last line, split into its fields.
QStringList lastLogLine(const QString& folder) {
    const QList<QByteArray> lines =
        clitest::readFile(folder + "/TQ5800_Calibration.csv").trimmed().split('\n');
    return QString::fromLocal8Bit(lines.last()).trimmed().split(',');
}
// Fields of channel i in a span's log line: gas, unit, span gas, before, after, result.
QStringList channelFields(const QStringList& line, int i) {
    return line.mid(8 + 6 * i, 6);
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
        // The pump runs around the adjustment, as the window's Calibration command runs it.
        const QStringList sent = clitest::sentPayloads(dir.path());
        const qsizetype on = sent.indexOf("BP,W,1"), off = sent.indexOf("BP,W,0");
        QVERIFY(on >= 0 && on < sent.indexOf(spans(dir.path()).first()));
        QVERIFY(off > sent.indexOf(spans(dir.path()).first()));
        const QString text = pdftext::extract(dir.path() + "/cert.pdf");
        for (const char* s :
             {"TQ58-2403-00127", "04426", "PLANT A", "A. Sato", "L-77", "H2S", "CH4", "Passed"})
            QVERIFY2(text.contains(s), qPrintable(s + (" not in\n" + text)));
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
        // The reading before the adjustment is shown, not lost.
        QVERIFY2(!r.err.contains("(-----)") && !r.err.contains("(unknown)"), qPrintable(r.err));
        const QStringList line = lastLogLine(dir.path());
        QCOMPARE(channelFields(line, 2).value(5), QStringLiteral("Failed"));
        QVERIFY(channelFields(line, 2).value(3).toFloat() > 8); // Before: the live reading
        QCOMPARE(channelFields(line, 1).value(5), QStringLiteral("Not calibrated"));
    }

    void spanRecordStatesWhatThisSpanSaw_data() {
        QTest::addColumn<QStringList>("simArgs");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("result"); // every channel's, in the log and the certificate
        QTest::addColumn<QString>("after");  // CO's reading after, in the log
        QTest::addColumn<QString>("stderrHas");
        // The span answered, the history read after it not: before and after are unknown.
        QTest::newRow("history unanswered")
            << QStringList{"--span-gas", "--faults", "silent=197"} << 1 << "Passed"
            << "unknown"
            << "history could not be read";
        // The request itself unanswered: whatever the instrument did, nothing is confirmed.
        QTest::newRow("span unanswered")
            << QStringList{"--span-gas", "--faults", "silent=196"} << 3 << "Not confirmed"
            << "unknown"
            << "No Response";
        // Clean air: every channel fails, and that is a record too.
        QTest::newRow("every channel fails") << QStringList{} << 1 << "Failed"
                                             << "-----"
                                             << "CO(";
    }
    void spanRecordStatesWhatThisSpanSaw() {
        QFETCH(QStringList, simArgs);
        QFETCH(int, exitCode);
        QFETCH(QString, result);
        QFETCH(QString, after);
        QFETCH(QString, stderrHas);
        Simulator sim(simArgs);
        QTemporaryDir dir;
        const auto r = runCli(dir.path(), {"--port", sim.pty(), "--timeout", "0.3", "calibrate",
                                           "span", "--certificate", "cert.pdf"});
        QVERIFY2(r.exitCode == exitCode, qPrintable(r.out + r.err));
        QVERIFY2(r.err.contains(stderrHas), qPrintable(r.err));
        const QStringList line = lastLogLine(dir.path());
        for (int i = 0; i < 5; ++i)
            QCOMPARE(channelFields(line, i).value(5), result);
        QCOMPARE(channelFields(line, 3).value(4), after);
        // The certificate is written and says the same; never "Passed" for what was not seen.
        const QString text = pdftext::extract(dir.path() + "/cert.pdf");
        QVERIFY2(text.contains("CO ppm 100 " + channelFields(line, 3).value(3) + " " + after + " " +
                               result),
                 qPrintable(text));
        QCOMPARE(text.contains("Passed"), result == "Passed");
    }

    void instrumentThatStopsAnsweringIsNoUsageError_data() {
        QTest::addColumn<QString>("faults");
        QTest::newRow("gas information") << "silent=192";
        QTest::newRow("span gas concentrations") << "silent=193";
    }
    void instrumentThatStopsAnsweringIsNoUsageError() {
        QFETCH(QString, faults);
        Simulator sim({"--span-gas", "--faults", faults});
        QTemporaryDir dir;
        const auto r =
            runCli(dir.path(), {"--port", sim.pty(), "--timeout", "0.3", "calibrate", "span"});
        QCOMPARE(r.exitCode, 3);
        QVERIFY2(r.err.contains("No Response") && !r.err.contains("no sensor") &&
                     !r.err.contains("No sensors selected"),
                 qPrintable(r.err));
        QVERIFY(spans(dir.path()).isEmpty());
    }

    void bumpTestPassesOrNamesTheDeadChannel_data() {
        QTest::addColumn<QString>("faults");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("all respond") << "" << 0;
        QTest::newRow("dead CO sensor") << "deadsensor=3" << 1;
    }
    void bumpTestPassesOrNamesTheDeadChannel() {
        QFETCH(QString, faults);
        QFETCH(int, exitCode);
        Simulator sim({"--span-gas", "--cylinder", "50,12,20,100,50", "--faults", faults});
        QTemporaryDir dir;
        const auto r = runCli(dir.path(), {"--port", sim.pty(), "calibrate", "bump", "--gas",
                                           "50,12,20,100,50", "--within", "3", "--certificate",
                                           "bump.pdf", "--operator", "A. Sato"});
        QVERIFY2(r.exitCode == exitCode, qPrintable(r.out + r.err));
        QCOMPARE(r.out.count(" Passed (peak "), exitCode == 0 ? 5 : 4);
        if (exitCode != 0)
            QVERIFY2(r.err.contains(QRegularExpression("^CO\\([0-9]+\\) Failed$",
                                                       QRegularExpression::MultilineOption)),
                     qPrintable(r.err));
        // Only live readings and the pump: nothing adjusted.
        const QStringList sent = clitest::sentPayloads(dir.path());
        QVERIFY(sent.filter(QRegularExpression("^(SZ|S1|S2|SN),W")).isEmpty());
        QVERIFY(sent.contains("BP,W,1") && sent.contains("BP,W,0"));
        const QStringList line = lastLogLine(dir.path());
        QCOMPARE(line.value(38), QStringLiteral("Bump test"));
        QCOMPARE(channelFields(line, 3).value(5), exitCode == 0 ? "Passed" : "Failed");
        const QString text = pdftext::extract(dir.path() + "/bump.pdf");
        QVERIFY2(text.contains("Bump Test Report") && text.contains("TQ58-2403-00127") &&
                     text.contains("A. Sato"),
                 qPrintable(text));
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
                                        QStringList{"calibrate", "span", "--within", "5"},
                                        QStringList{"calibrate", "bump", "--within", "0"},
                                        QStringList{"calibrate", "bump", "--share", "101"},
                                        QStringList{"read", "--certificate", "c.pdf"}}) {
            const auto r = runCli(dir.path(), args);
            QVERIFY2(r.exitCode == 2, qPrintable(args.join(' ') + ": " + r.err));
        }
    }
};

QTEST_GUILESS_MAIN(TestCliCalibrate)
#include "test_cli_calibrate.moc"
