// The calibration rules without a link: the concentration field that is never cut, the span
// request, the grid's concentration edit with its refusals, and the result texts.
#include "app/MessageTable.h"
#include "model/CalibrationRules.h"
#include "model/clsInstrument.h"
#include "state/AppState.h"

#include <QtTest>

using namespace Calibration;

namespace {

// CH4 %LEL, O2, H2S, CO, CH4 vol% as the instrument reports them.
void fillGases(clsInstrument& r) {
    const struct {
        const char* name;
        const char* unit;
        float fs, step;
        qint16 point;
    } gases[] = {{"CH4", "%LEL", 100, 1, 0},
                 {"O2", "vol%", 40, 0.1f, 1},
                 {"H2S", "ppm", 100, 0.5f, 1},
                 {"CO", "ppm", 500, 1, 0},
                 {"CH4", "vol%", 100, 1, 0}};
    for (int i = 0; i < Channels; ++i) {
        r.setGasEnabled(i, true);
        r.setGasName(i, QString::fromLatin1(gases[i].name));
        r.setGasUnit(i, QString::fromLatin1(gases[i].unit));
        r.setGasFullScale(i, gases[i].fs);
        r.setGasDesit(i, gases[i].step);
        r.setGasPoint(i, gases[i].point);
    }
}

} // namespace

class TestCalibrationRules : public QObject {
    Q_OBJECT

    clsInstrument cal, main;

private slots:
    void initTestCase() { SetMessageLanguage("en"); }
    void init() {
        cal = clsInstrument();
        main = clsInstrument();
        fillGases(cal);
        fillGases(main);
        main.setWarning(0, 10.0f);
        main.setWarning(1, 19.5f);
        main.setWarning(3, -101.0f);
        main.setAlarmO2(1);
    }

    void concentrationFieldIsNeverCut_data() {
        QTest::addColumn<float>("value");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QString>("field"); // empty: does not fit
        QTest::newRow("whole") << 50.0f << 0 << "   50";
        QTest::newRow("one decimal") << 12.0f << 1 << " 12.0";
        QTest::newRow("exactly five") << 100.0f << 1 << "100.0";
        QTest::newRow("other decimals as #0") << 7.6f << 5 << "    8";
        QTest::newRow("negative") << -101.0f << 1 << "*****";
        QTest::newRow("six characters") << 100.0f << 2 << "";
        QTest::newRow("seven characters") << 1000.0f << 3 << "";
    }
    void concentrationFieldIsNeverCut() {
        QFETCH(float, value);
        QFETCH(int, decimals);
        QFETCH(QString, field);
        QString out = QStringLiteral("untouched");
        QCOMPARE(ConcentrationField(value, decimals, &out), !field.isEmpty());
        if (!field.isEmpty())
            QCOMPARE(out, field);
    }

    void spanRequestCarriesTheSelectedConcentrations() {
        cal.setAutoCalib(0, 50.0f);
        cal.setAutoCalib(1, 12.0f);
        cal.setAutoCalib(2, -101.0f);
        cal.setAutoCalib(3, 100.0f);
        SpanRequest r = BuildSpanRequest(cal, {true, true, true, false, false});
        QVERIFY(r.ok());
        QCOMPARE(r.text, QStringLiteral("11100,   50, 12.0,*****,*****,*****"));
        QCOMPARE(BuildSpanRequest(cal, {}).noSelection, 1);
        cal.setGasPoint(3, 3);
        r = BuildSpanRequest(cal, {true, false, false, true, false});
        QCOMPARE(r.tooLong, 3);
        QVERIFY(r.text.isEmpty());
        // An unselected channel's field is not sent, so its length does not matter.
        QVERIFY(BuildSpanRequest(cal, {true, false, false, false, false}).ok());
    }

    void concentrationEdits_data() {
        QTest::addColumn<int>("channel");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("shown");
        // The stored value before each edit is 40 (CH4, CO) or 15.0 (O2).
        using E = ConcentrationEdit;
        QTest::newRow("accepted, rounded to the step")
            << 0 << "51.4" << int(E::Accepted) << 51.0f << "51";
        QTest::newRow("full scale accepted") << 0 << "100" << int(E::Accepted) << 100.0f << "100";
        QTest::newRow("above full scale") << 0 << "101" << int(E::Refused) << 40.0f << "40";
        QTest::newRow("negative") << 0 << "-1" << int(E::Refused) << 40.0f << "40";
        QTest::newRow("below the warning level") << 0 << "9" << int(E::Refused) << 40.0f << "40";
        QTest::newRow("no warning: default level") << 3 << "24" << int(E::Refused) << 40.0f << "40";
        QTest::newRow("oxygen below warning")
            << 1 << "12.04" << int(E::Accepted) << 12.0f << "12.0";
        QTest::newRow("oxygen above warning") << 1 << "20.0" << int(E::Refused) << 15.0f << "15.0";
        QTest::newRow("dashes mean zero") << 0 << "--" << int(E::Accepted) << 0.0f << "0";
        QTest::newRow("not a number") << 0 << "abc" << int(E::Refused) << 40.0f << "40";
        QTest::newRow("empty unsets") << 0 << "  " << int(E::Accepted) << -101.0f << "";
    }
    void concentrationEdits() {
        QFETCH(int, channel);
        QFETCH(QString, typed);
        QFETCH(int, outcome);
        QFETCH(float, value);
        QFETCH(QString, shown);
        cal.setAutoCalib(0, 40.0f);
        cal.setAutoCalib(1, 15.0f);
        cal.setAutoCalib(3, 40.0f);
        const ConcentrationEdit e = EditConcentration(typed, channel, cal, main);
        QCOMPARE(int(e.outcome), outcome);
        QCOMPARE(e.value, value);
        QCOMPARE(e.text, shown);
    }

    void overLongConcentrationIsRefusedNotCut() {
        cal.setGasPoint(3, 3);
        cal.setGasDesit(3, 0.001f);
        cal.setAutoCalib(3, 30.0f);
        ConcentrationEdit e = EditConcentration(QStringLiteral("100"), 3, cal, main);
        QCOMPARE(e.outcome, ConcentrationEdit::TooLong);
        QCOMPARE(e.value, 30.0f);
        QCOMPARE(e.text, QStringLiteral("30.000"));
        e = EditConcentration(QStringLiteral("99.5"), 3, cal, main);
        QCOMPARE(e.outcome, ConcentrationEdit::TooLong);
        // "9.500" would fit, but 9.5 is below the default level of 25.
        QCOMPARE(EditConcentration(QStringLiteral("9.5"), 3, cal, main).outcome,
                 ConcentrationEdit::Refused);
    }

    void resultTextReportsZeroForEnabledAndSpanForSelected() {
        const Flags enabled{true, true, false, true, true};
        const Flags selection{false, true, false, true, false};
        const Flags status{true, false, false, true, false};
        const Readings live{1, 17.25f, 3, 98, 4};
        QCOMPARE(ResultText(cal, enabled, selection, status, live, true),
                 QStringLiteral("CH4  Adjustment Complete.\r\nO2(17.3) Failed\r\n"
                                "CO  Adjustment Complete.\r\nCH4(4) Failed\r\n"));
        QCOMPARE(ResultText(cal, enabled, selection, status, live, false),
                 QStringLiteral("O2(17.3) Failed\r\nCO  Adjustment Complete.\r\n"));
        // A selected channel that is not enabled shows no reading.
        QCOMPARE(ResultText(cal, {}, {true, false, false, false, false}, {}, live, false),
                 QStringLiteral("CH4(-----) Failed\r\n"));
    }

    void nitrogenTexts() {
        QCOMPARE(NitrogenReadingText(0.4f, 1), QStringLiteral("  0.4"));
        QCOMPARE(NitrogenReadingText(20.9f, 1), QStringLiteral(" 20.9"));
        QCOMPARE(NitrogenResultLine(cal, true, true, 2),
                 QStringLiteral("CH4  Adjustment Complete.\r\n"));
        QCOMPARE(NitrogenResultLine(cal, false, true, 2), QStringLiteral("CH4(2) Failed\r\n"));
        QCOMPARE(NitrogenResultLine(cal, false, false, 2), QStringLiteral("CH4(-----) Failed\r\n"));
    }

    void gasLabels() {
        QCOMPARE(GasLabel(cal, 2), QStringLiteral("H2S(100.0ppm)"));
        cal.setGasFullScale(2, -1.0f);
        QCOMPARE(GasLabel(cal, 2), QStringLiteral("H2S(ppm)"));
        cal.setGasName(2, QStringLiteral("  "));
        QCOMPARE(GasLabel(cal, 2), QStringLiteral("----(---)"));
    }
};

QTEST_GUILESS_MAIN(TestCalibrationRules)
#include "test_calibration_rules.moc"
