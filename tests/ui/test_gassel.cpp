// Gas selection lists and their layout rule.
#include "model/GasChoices.h"
#include "state/AppState.h"
#include "ui/calibration/frmGasSel.h"

#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

class TestGasSel : public QObject {
    Q_OBJECT

    static int visibleCount(const frmGasSel& d) {
        int n = 0;
        for (int i = 0; i < frmGasSel::OptionCount; ++i)
            n += d.optGasList(i)->isHidden() ? 0 : 1;
        return n;
    }

private slots:
    void init() {
        resetAppState();
        appState().GasDefaults.FillDefaults();
    }

    void combustibleSlotOffersTheGasTable() {
        clsInstrument& r = appState().Instrument;
        for (int e = 16; e <= 30; ++e) {
            r.setLI_Name(e, QStringLiteral("GAS%1").arg(e));
            r.setLI_Unit(e, QStringLiteral("vol%"));
            r.setLI_FullScale(e, 100.0f);
            r.setLI_Point(e, 0);
        }
        r.setLI_Name(20, QStringLiteral("---"));
        frmGasSel d;
        d.setConnected(true);
        d.setGasNo(4);
        QCOMPARE(visibleCount(d), 14);
        QVERIFY(d.optGasList(4)->isHidden());
        QCOMPARE(d.optGasList(0)->text(), QStringLiteral("GAS16(100vol%)"));
        QCOMPARE(d.layoutRows(), 4);
        QCOMPARE(d.layoutCols(), 4);
        // Entries keep their places in the 4 x 4 layout.
        QCOMPARE(d.optionCell(5), qMakePair(1, 1));
        QCOMPARE(d.optionCell(4), qMakePair(-1, -1));
        // Slot 0 reads the other half, which is empty here.
        d.setGasNo(0);
        QCOMPARE(visibleCount(d), 0);
    }

    void userGasOnlyWhenNotInTheTable() {
        clsInstrument& r = appState().Instrument;
        r.setLI_Name(1, QStringLiteral("CH4"));
        r.setLS_Name(0, QStringLiteral(" USER1 "));
        r.setLS_Unit(0, QStringLiteral("%LEL"));
        r.setLS_FullScale(0, 50.0f);
        r.setLS_Point(0, 1);
        frmGasSel d;
        d.setConnected(true);
        d.setGasNo(0);
        QVERIFY(!d.optGasList(15)->isHidden());
        QCOMPARE(d.optGasList(15)->text(), QStringLiteral("USER1(50.0%LEL)"));
        r.setLI_Name(2, QStringLiteral("USER1"));
        d.setGasNo(0);
        QVERIFY(d.optGasList(15)->isHidden());
    }

    void defaultSlotsLayout() {
        GasDefaultTable& t = appState().GasDefaults;
        frmGasSel d;
        d.setGasNo(1);
        QCOMPARE(visibleCount(d), 1);
        QCOMPARE(d.optGasList(0)->text(), QStringLiteral("O2(40.0vol%)"));
        QCOMPARE(d.layoutCols(), 1);
        for (int code = 1; code < 3; ++code) {
            t.at(code, 2).Enabled = true;
            t.at(code, 2).Name = QStringLiteral("G%1").arg(code);
        }
        d.setGasNo(2);
        QCOMPARE(visibleCount(d), 3);
        QCOMPARE(d.layoutCols(), 1);
        QCOMPARE(d.layoutRows(), 3);
        for (int code = 3; code < 6; ++code) {
            t.at(code, 2).Enabled = true;
            t.at(code, 2).Name = QStringLiteral("G%1").arg(code);
        }
        d.setGasNo(2);
        QCOMPARE(visibleCount(d), 6);
        QCOMPARE(d.layoutCols(), 2);
        QCOMPARE(d.layoutRows(), 3);
        QCOMPARE(d.optionCell(3), qMakePair(0, 1));
        // Rows past 8 are never offered.
        t.at(9, 2).Enabled = true;
        t.at(9, 2).Name = QStringLiteral("LATE");
        d.setGasNo(2);
        QVERIFY(d.optGasList(9)->isHidden());
    }

    void offlineCombustibleSlotListsWhatIsApplied() {
        // The library holds other gases than the default table; offline both the list and
        // the gas applied are the default table's.
        clsInstrument& r = appState().Instrument;
        r.setLI_Name(1, QStringLiteral("LIB-A"));
        frmGasSel d;
        d.setGasNo(0);
        QCOMPARE(d.Source(), GasSource::Defaults);
        QCOMPARE(visibleCount(d), 8);
        QCOMPARE(d.optGasList(2)->text(), QStringLiteral("H2(100%LEL)"));
        d.optGasList(2)->setChecked(true);
        QVERIFY(ApplyGasChoice(r, appState().GasDefaults, 0, d.SelNum(), d.Source()));
        QCOMPARE(r.GasName(0), QStringLiteral("H2"));
        // Connected, the same option means the library's entry, shown and applied alike.
        d.setConnected(true);
        QCOMPARE(d.Source(), GasSource::Library);
        QCOMPARE(d.optGasList(0)->text(), QStringLiteral("LIB-A(0)"));
        QVERIFY(d.optGasList(2)->isHidden());
        QVERIFY(!ApplyGasChoice(r, appState().GasDefaults, 0, 2, d.Source()));
        QVERIFY(ApplyGasChoice(r, appState().GasDefaults, 0, 0, d.Source()));
        QCOMPARE(r.GasName(0), QStringLiteral("LIB-A"));
    }

    void okWithoutAChoiceEnablesNothing() {
        clsInstrument& r = appState().Instrument;
        r.setGasEnabled(2, false);
        frmGasSel d;
        d.setGasNo(2);
        QVERIFY(!d.cmdGasSel(0)->isEnabled());
        d.cmdGasSel_Click(0);
        QVERIFY(!d.Flags());
        QVERIFY(!ApplyGasChoice(r, appState().GasDefaults, 2, d.SelNum(), d.Source()));
        QVERIFY(!r.GasEnabled(2));
        QCOMPARE(r.Warning(2), clsInstrument().Warning(2));
        d.optGasList(0)->setChecked(true);
        QVERIFY(d.cmdGasSel(0)->isEnabled());
    }

    void okAndCancel() {
        frmGasSel d;
        d.setGasNo(1);
        d.optGasList(0)->setChecked(true);
        QCOMPARE(d.SelNum(), 0);
        d.cmdGasSel_Click(1);
        QVERIFY(!d.Flags());
        QCOMPARE(d.SelNum(), 0);
        d.cmdGasSel_Click(0);
        QVERIFY(d.Flags());
    }
};

QTEST_MAIN(TestGasSel)
#include "test_gassel.moc"
