// Settings checks: level ranges by slot and kind, warning/alarm order, and the validation
// before "Update" with the message it reports.
#include "model/GasDefaults.h"
#include "model/GasLevels.h"
#include "model/SettingsChecks.h"
#include "model/clsInstrument.h"
#include "state/AppState.h"

#include <QtTest>

namespace {

// A record fit to be written: CH4 in slots 0 and 4, O2, H2S and CO from the default table.
clsInstrument valid() {
    GasDefaultTable t;
    t.FillDefaults();
    clsInstrument r;
    for (int s = 0; s < 5; ++s)
        SelectGas(r, t, s, 0, false);
    r.setAlarmO2(1);
    r.setWarning(1, 19.5f);
    r.setAlarm(1, 18);
    r.setAutoCalib(1, 12);
    return r;
}

using K = LevelKind;
using C = LevelColumn;

} // namespace

Q_DECLARE_METATYPE(LevelColumn)

class TestSettingsChecks : public QObject {
    Q_OBJECT
private slots:
    void init() { resetAppState(); }

    void enteringALevel_data() {
        QTest::addColumn<int>("slot");
        QTest::addColumn<LevelColumn>("column");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<float>("stored");
        // Refused entries leave the level as it was.
        QTest::newRow("combustible alarm at 0.6 x full scale")
            << 0 << C::Alarm << "60" << true << 60.0f;
        QTest::newRow("one step above") << 0 << C::Alarm << "61" << false << valid().Alarm(0);
        QTest::newRow("not a number") << 0 << C::Warning << "1x" << false << valid().Warning(0);
        QTest::newRow("negative") << 3 << C::Warning << "-5" << false << valid().Warning(3);
        QTest::newRow("not finite") << 3 << C::Alarm << "1e39" << false << valid().Alarm(3);
        QTest::newRow("cleared: not used") << 2 << C::AutoCal << " " << true << -101.0f;
        QTest::newRow("oxygen falling: 20.9") << 1 << C::Warning << "20.9" << true << 20.9f;
        QTest::newRow("oxygen falling: 21.0") << 1 << C::Warning << "21.0" << false << 19.5f;
        QTest::newRow("rounded to the step") << 1 << C::Warning << "20.94" << true << 20.9f;
        QTest::newRow("auto-calibration above full scale")
            << 2 << C::AutoCal << "1000" << false << valid().AutoCalib(2);
    }
    void enteringALevel() {
        QFETCH(int, slot);
        QFETCH(LevelColumn, column);
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        QFETCH(float, stored);
        clsInstrument r = valid();
        QCOMPARE(EnterLevel(r, slot, column, text), accepted);
        QCOMPARE(LevelOf(r, slot, column), stored);
    }

    void switchingAGasOffAndOn() {
        clsInstrument r = valid();
        ClearLevels(r, 1);
        for (C c : {C::Warning, C::Alarm, C::Stel, C::Twa, C::AutoCal})
            QCOMPARE(LevelOf(r, 1, c), -101.0f);
        // Oxygen takes the default record's alarm type; another gas leaves it.
        clsInstrument defaults;
        defaults.setAlarmO2(0);
        ApplyChosenGas(r, 2, defaults);
        QCOMPARE(r.AlarmO2(), valid().AlarmO2());
        for (const char* name : {"O2", "OXY"}) {
            r.setGasName(1, QString::fromLatin1(name));
            r.setAlarmO2(1);
            ApplyChosenGas(r, 1, defaults);
            QCOMPARE(r.AlarmO2(), defaults.AlarmO2());
        }
    }

    void combustibleRange() {
        clsInstrument r;
        r.setGasFullScale(0, 100);
        QVERIFY(CheckLevelRange(r, 0, K::Alarm, 60));
        QVERIFY(!CheckLevelRange(r, 0, K::Alarm, 61));
        QVERIFY(!CheckLevelRange(r, 0, K::Alarm, 60.1f));
        QVERIFY(CheckLevelRange(r, 0, K::Alarm, 0));
        // The single 1.2 lies above 0.6 x 2 in double; exactly 0.6 x full scale still passes.
        r.setGasFullScale(0, 2);
        QVERIFY(CheckLevelRange(r, 0, K::Alarm, 1.2f));
        QVERIFY(!CheckLevelRange(r, 0, K::Alarm, 1.3f));
        r.setGasFullScale(0, 4.5f);
        QVERIFY(CheckLevelRange(r, 0, K::Alarm, 2.7f));
        QVERIFY(!CheckLevelRange(r, 0, K::Alarm, 2.8f));
        r.setGasFullScale(0, 5);
        QVERIFY(CheckLevelRange(r, 0, K::Alarm, 3));
        QVERIFY(!CheckLevelRange(r, 0, K::Alarm, 3.1f));
        QVERIFY(CheckLevelRange(r, 0, K::Warning, 0));
        QVERIFY(CheckLevelRange(r, 0, K::Warning, 1000));
        QVERIFY(!CheckLevelRange(r, 0, K::Stel, 1));
        QVERIFY(!CheckLevelRange(r, 0, K::Twa, 0));
    }

    void oxygenRange() {
        clsInstrument r;
        r.setAlarmO2(0);
        for (K k : {K::Warning, K::Alarm}) {
            QVERIFY(CheckLevelRange(r, 1, k, 18.0f));
            QVERIFY(CheckLevelRange(r, 1, k, 25.0f));
            QVERIFY(!CheckLevelRange(r, 1, k, 17.9f));
            QVERIFY(!CheckLevelRange(r, 1, k, 25.1f));
        }
        r.setAlarmO2(1);
        for (K k : {K::Warning, K::Alarm}) {
            QVERIFY(CheckLevelRange(r, 1, k, 20.9f));
            QVERIFY(!CheckLevelRange(r, 1, k, 21.0f));
            QVERIFY(CheckLevelRange(r, 1, k, 18.0f));
            QVERIFY(!CheckLevelRange(r, 1, k, 17.9f));
        }
        r.setAlarmO2(2);
        r.setGasFullScale(1, 40);
        r.setWarning(1, 23);
        r.setAlarm(1, 25);
        QVERIFY(CheckLevelRange(r, 1, K::Warning, 25));
        QVERIFY(!CheckLevelRange(r, 1, K::Warning, 25.1f));
        QVERIFY(CheckLevelRange(r, 1, K::Warning, 0));
        QVERIFY(CheckLevelRange(r, 1, K::Alarm, 23));
        QVERIFY(CheckLevelRange(r, 1, K::Alarm, 40));
        QVERIFY(!CheckLevelRange(r, 1, K::Alarm, 22.9f));
        QVERIFY(!CheckLevelRange(r, 1, K::Alarm, 40.1f));
        QVERIFY(!CheckLevelRange(r, 1, K::Stel, 20));
        // An alarm type the table does not know accepts no set value.
        r.setAlarmO2(3);
        QVERIFY(!CheckLevelRange(r, 1, K::Warning, 19.5f));
    }

    void toxicRangesAndOtherSlots() {
        clsInstrument r;
        for (K k : {K::Warning, K::Alarm, K::Stel, K::Twa}) {
            QVERIFY(CheckLevelRange(r, 2, k, 0));
            QVERIFY(CheckLevelRange(r, 2, k, 30));
            QVERIFY(!CheckLevelRange(r, 2, k, 30.5f));
            QVERIFY(CheckLevelRange(r, 3, k, 200));
            QVERIFY(!CheckLevelRange(r, 3, k, 201));
            QVERIFY(!CheckLevelRange(r, 4, k, 0));
            QVERIFY(!CheckLevelRange(r, 5, k, 1));
            QVERIFY(!CheckLevelRange(r, -1, k, 1));
        }
    }

    void unusedLevelsAlwaysPass() {
        clsInstrument r;
        r.setAlarmO2(1);
        for (int slot = -1; slot < 7; ++slot)
            for (K k : {K::Warning, K::Alarm, K::Stel, K::Twa}) {
                QVERIFY(CheckLevelRange(r, slot, k, -101));
                QVERIFY(CheckLevelRange(r, slot, k, -1));
            }
        // The stored form: an H2S sensor without STEL and TWA levels.
        r.setStel(2, -101);
        r.setTwa(2, -101);
        QVERIFY(CheckLevelRange(r, 2, K::Stel));
        QVERIFY(CheckLevelRange(r, 2, K::Twa));
        r.setStel(2, 31);
        QVERIFY(!CheckLevelRange(r, 2, K::Stel));
        QVERIFY(!CheckLevelRange(r, 6, K::Stel));
    }

    void warningAndAlarmOrder() {
        clsInstrument r;
        r.setWarning(0, 60);
        r.setAlarm(0, 50);
        QVERIFY(!CheckLevelOrder(r, 0));
        r.setWarning(0, 50);
        QVERIFY(CheckLevelOrder(r, 0));
        r.setAlarm(0, -101);
        r.setWarning(0, 99);
        QVERIFY(CheckLevelOrder(r, 0));

        r.setAlarmO2(1);
        r.setWarning(1, 18);
        r.setAlarm(1, 19.5f);
        QVERIFY(!CheckLevelOrder(r, 1));
        r.setWarning(1, 19.5f);
        r.setAlarm(1, 18);
        QVERIFY(CheckLevelOrder(r, 1));
        r.setAlarmO2(0);
        QVERIFY(!CheckLevelOrder(r, 1));
        r.setAlarmO2(2);
        QVERIFY(!CheckLevelOrder(r, 1));
        // Only the oxygen slot alarms on falling values.
        r.setAlarmO2(1);
        r.setWarning(2, 20);
        r.setAlarm(2, 10);
        QVERIFY(!CheckLevelOrder(r, 2));
        QVERIFY(CheckLevelOrder(r, 9));
    }

    void updateValidation() {
        QVERIFY(CheckBeforeUpdate(valid()).ok);

        clsInstrument none;
        UpdateCheck c = CheckBeforeUpdate(none);
        QVERIFY(!c.ok);
        QCOMPARE(c.message, 5365);
        QCOMPARE(c.title, 5366);

        // A red cell: combustible alarm above 0.6 x full scale.
        clsInstrument r = valid();
        r.setAlarm(0, 70);
        c = CheckBeforeUpdate(r);
        QCOMPARE(c.message, 5361);
        QCOMPARE(c.title, 5362);
        QCOMPARE(c.slot, 0);
        // ... ignored while the slot is disabled (both combustible slots, for HcMode 0).
        r.setGasEnabled(0, false);
        r.setGasEnabled(4, false);
        QVERIFY(CheckBeforeUpdate(r).ok);

        r = valid();
        r.setWarning(3, 60);
        r.setAlarm(3, 50);
        QCOMPARE(CheckBeforeUpdate(r).message, 5361);
        r = valid();
        r.setAlarm(1, 21);
        QCOMPARE(CheckBeforeUpdate(r).slot, 1);
        r = valid();
        r.setStel(2, 40);
        QCOMPARE(CheckBeforeUpdate(r).message, 5361);
        // STEL and TWA of the combustible and oxygen slots are not checked.
        r = valid();
        r.setStel(0, 40);
        r.setTwa(1, 40);
        QVERIFY(CheckBeforeUpdate(r).ok);
        // An H2S or CO sensor without STEL and TWA levels can be written.
        r.setStel(2, -101);
        r.setTwa(3, -101);
        QVERIFY(CheckBeforeUpdate(r).ok);

        // Auto-calibration of any slot, enabled or not.
        r = valid();
        r.setAutoCalib(0, 5);
        c = CheckBeforeUpdate(r);
        QCOMPARE(c.message, 5380);
        QCOMPARE(c.title, 5381);
        QCOMPARE(c.slot, 0);
        r.setAutoCalib(0, 50);
        r.setGasEnabled(2, false);
        r.setAutoCalib(2, 5);
        QCOMPARE(CheckBeforeUpdate(r).message, 5380);
        // Levels are checked before the auto-calibration values.
        r.setGasEnabled(2, true);
        r.setAlarm(2, 31);
        QCOMPARE(CheckBeforeUpdate(r).message, 5361);
    }

    void combustibleCombinations() {
        const auto check = [](int mode, bool lel, bool vol, const char* volName = "CH4") {
            clsInstrument r = valid();
            r.setHcMode(qint16(mode));
            r.setGasEnabled(0, lel);
            r.setGasEnabled(4, vol);
            r.setGasName(4, QString::fromLatin1(volName));
            const UpdateCheck c = CheckBeforeUpdate(r);
            if (!c.ok) {
                if (c.message != 5369 || c.title != 5370)
                    return -1;
            }
            return c.ok ? 1 : 0;
        };
        QCOMPARE(check(0, true, true), 1);
        QCOMPARE(check(0, false, false), 1);
        QCOMPARE(check(0, true, false), 0);
        QCOMPARE(check(0, false, true), 0);
        QCOMPARE(check(0, true, true, "H2"), 0);
        QCOMPARE(check(1, true, false), 1);
        QCOMPARE(check(1, false, true), 0);
        QCOMPARE(check(1, true, true), 1);
        QCOMPARE(check(1, true, true, "H2"), 0);
        QCOMPARE(check(1, false, false), 1);
        QCOMPARE(check(2, false, true), 1);
        QCOMPARE(check(2, true, false), 0);
        QCOMPARE(check(2, true, true, " CH4 "), 1);
        QCOMPARE(check(3, true, false), 1);
        QCOMPARE(check(3, true, true, "H2"), 0);

        clsInstrument r = valid();
        r.setGasName(3, QStringLiteral("  "));
        QCOMPARE(CheckBeforeUpdate(r).message, 5369);
        r.setGasEnabled(3, false);
        QVERIFY(CheckBeforeUpdate(r).ok);
    }

    void textWithACommaIsNotWritten_data() {
        QTest::addColumn<QString>("field");
        QTest::newRow("serial number") << "IN";
        QTest::newRow("station") << "XS";
        QTest::newRow("type") << "UJ";
        QTest::newRow("gas unit") << "GJ 2";
        QTest::newRow("user gas name") << "LS 2";
    }
    void textWithACommaIsNotWritten() {
        QFETCH(QString, field);
        clsInstrument r = valid();
        const QString text = QStringLiteral("A,B");
        if (field == "IN")
            r.setSerialNo(text);
        else if (field == "XS")
            r.setStationID(text);
        else if (field == "UJ")
            r.setSpecType(text);
        else if (field == "GJ 2")
            r.setGasUnit(1, text);
        else
            r.setLS_Name(1, text);
        const UpdateCheck c = CheckBeforeUpdate(r);
        QVERIFY(!c.ok);
        QCOMPARE(c.message, 5795);
        QCOMPARE(c.title, 5796);
        QCOMPARE(c.params, (QStringList{field, text}));
        // A disabled slot's gas record is sent as asterisks.
        if (field == "GJ 2") {
            r.setGasEnabled(1, false);
            QVERIFY(CheckBeforeUpdate(r).ok);
        }
    }
};

QTEST_GUILESS_MAIN(TestSettingsChecks)
#include "test_settings_checks.moc"
