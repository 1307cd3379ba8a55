// Instrument record: defaults, change-flag semantics, index rules, gas tables, SelectGas.
#include "app/Errors.h"
#include "model/GasDefaults.h"
#include "model/clsInstrument.h"
#include "state/AppState.h"

#include <QJsonArray>
#include <QtTest>

class TestInstrument : public QObject {
    Q_OBJECT

    // Every change flag of the record as (name, value), so tests can say "all clear" or
    // "exactly these set".
    static QMap<QString, bool> flags(const clsInstrument& r) {
        QMap<QString, bool> m;
#define F(name, type, def, flag, mode) m.insert(QStringLiteral(#flag), r.flag());
        TQ_SETTINGS(F)
#undef F
#define F(name, kind, flag) m.insert(QStringLiteral(#flag), r.flag());
        TQ_IDENTITY(F)
#undef F
#define F(flag) m.insert(QStringLiteral(#flag), r.flag());
        TQ_COEFF_FLAGS(F)
#undef F
        for (int i = 0; i < 6; ++i) {
            const QString n = QString::number(i);
            m.insert("Change_GasEnable" + n, r.Change_GasEnable(i));
            m.insert("Change_GasPoint" + n, r.Change_GasPoint(i));
            m.insert("Change_AutoCal" + n, r.Change_AutoCal(i));
            m.insert("Change_Zero" + n, r.Change_Zero(i));
            m.insert("Change_OverScale" + n, r.Change_OverScale(i));
            m.insert("Change_Ratio" + n, r.Change_Ratio(i));
            m.insert("Change_Warn" + n, r.Change_Warn(i));
            m.insert("Change_Alarm" + n, r.Change_Alarm(i));
            m.insert("Change_Stel" + n, r.Change_Stel(i));
            m.insert("Change_Twa" + n, r.Change_Twa(i));
        }
        for (int i = 0; i < 2; ++i)
            m.insert("Change_LSData" + QString::number(i), r.Change_LSData(i));
        for (int i = 0; i < 128; ++i)
            m.insert("Change_StationList" + QString::number(i), r.Change_StationList(i));
        return m;
    }
    static QStringList setFlags(const clsInstrument& r) {
        QStringList out;
        const auto m = flags(r);
        for (auto it = m.cbegin(); it != m.cend(); ++it)
            if (it.value())
                out << it.key();
        return out;
    }

private slots:
    void init() {
        resetAppState();
    }

    void newRecordDefaults() {
        clsInstrument r;
        QCOMPARE(r.SerialNo(), QString(20, u'-'));
        QCOMPARE(r.DummySerial(), QString(20, u'-'));
        QCOMPARE(r.UserID(), QString(16, u'-'));
        QCOMPARE(r.StationID(), QString(16, u'-'));
        QCOMPARE(r.UserPassword2(), QStringLiteral("0000"));
        QCOMPARE(r.BumpTime(), 2);
        QCOMPARE(r.CalLimit(), 1);
        QCOMPARE(r.LcdBackLight(), 1);
        QCOMPARE(r.AlarmO2(), 1);
        QCOMPARE(r.SpecType(), QStringLiteral("0"));
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(r.GasPoint(i), -101);
            QCOMPARE(r.Alarm(i), -101.0f);
            QCOMPARE(r.GasFullScale(i), -101.0f);
            QCOMPARE(r.AutoCalib(i), -101.0f);
            QCOMPARE(r.CalibDate(i).toDateTime().date(), QDate(1899, 9, 20));
            QVERIFY(!r.GasEnabled(i));
        }
        QCOMPARE(r.StationList(127), QString(16, u'-'));
        QCOMPARE(r.StationList(128), QString());
        QVERIFY(setFlags(r).isEmpty());
    }

    void flagModes() {
        clsInstrument r;
        r.setSerialNo(QStringLiteral("   "));
        QCOMPARE(r.SerialNo(), QString(20, u'-'));
        QVERIFY(r.Change_SerialNo());
        r.setUserID(QStringLiteral(" AB "));
        QCOMPARE(r.UserID(), QStringLiteral("AB"));
        // No truncation: only trimming and the empty rule.
        r.setStationID(QString(30, u'X'));
        QCOMPARE(r.StationID().size(), 30);

        r.setIntervals(r.Intervals());
        QVERIFY(!r.Change_Interval());
        r.setIntervals(300);
        QVERIFY(r.Change_Interval());
        r.setCalLimit(r.CalLimit());
        QVERIFY(r.Change_CalLimit());

        r.setC1_lel_span(QStringLiteral("1.5"));
        QVERIFY(r.Change_C1());
        const QStringList before = setFlags(r);
        r.setCN_ir(QStringLiteral("1"));
        r.setV2_hi_sq(QStringLiteral("x"));
        QCOMPARE(setFlags(r), before);
        r.setC2_lel_span_f(QStringLiteral("a"));
        r.setC2_lel_span(QStringLiteral("b"));
        QCOMPARE(r.C2_lel_span_f(), QStringLiteral("a"));
        QCOMPARE(r.C2_lel_span(), QStringLiteral("b"));
        r.setV2_lo_sq(QStringLiteral("lo"));
        QCOMPARE(r.V2_hi_sq(), QStringLiteral("x"));

        // LI_/LS_ writes set no flag.
        clsInstrument t;
        t.setLI_Name(3, QStringLiteral("C3H8"));
        t.setLS_Ratio(1, 1.5f);
        QVERIFY(setFlags(t).isEmpty());
    }

    void setChangeFlagsGroups() {
        clsInstrument r;
        r.SetChangeFlags(true, false);
        QVERIFY(r.Change_CalLimit());
        QVERIFY(r.Change_Warn(0) && r.Change_Alarm(4) && r.Change_GasEnable(2));
        QVERIFY(r.Change_C5() && r.Change_LSData(1) && r.Change_UserPassword2());
        QVERIFY(!r.Change_SerialNo() && !r.Change_StationList(0));
        // Flags SetChangeFlags never touches.
        QVERIFY(!r.Change_HCMode() && !r.Change_Stel(0) && !r.Change_Twa(0) &&
                !r.Change_FlowLevel());
        QVERIFY(!r.Change_BumpTime() && !r.Change_LcBuzzer() && !r.Change_StelTwaOnOff());
        r.SetChangeFlags(false, true);
        QVERIFY(r.Change_SerialNo() && r.Change_StationList(127) && r.Change_StationID());
        QVERIFY(!r.Change_CalLimit());

        clsInstrument w;
        w.setBumpTime(3);
        w.setHcMode(1);
        w.setStel(2, 15.0f);
        w.setAlarm(5, 1.0f);
        w.ClearChangeFlags();
        QVERIFY(w.Change_BumpTime() && w.Change_HCMode() && w.Change_Stel(2) && w.Change_Alarm(5));
        w.setChange_BumpTime(false);
        QVERIFY(!w.Change_BumpTime());
    }

    void indexRules() {
        clsInstrument r;
        QCOMPARE(r.GasName(5), QString());
        r.setGasName(5, QStringLiteral("X"));
        QCOMPARE(r.GasName(5), QString());
        r.setGasName(-1, QStringLiteral("X"));
        r.setAlarm(5, 12.5f);
        QCOMPARE(r.Alarm(5), 12.5f);
        QVERIFY(r.Change_Alarm(5));
        QVERIFY_THROWS_EXCEPTION(IndexOutOfRange, r.setAlarm(6, 1.0f));
        QVERIFY_THROWS_EXCEPTION(IndexOutOfRange, r.Warning(-1));
        QVERIFY_THROWS_EXCEPTION(IndexOutOfRange, r.LI_Name(31));
        QVERIFY_THROWS_EXCEPTION(IndexOutOfRange, r.LS_Name(2));
        QVERIFY_THROWS_EXCEPTION(IndexOutOfRange, r.setLS_No(-1, 1));
        QVERIFY_THROWS_EXCEPTION(IndexOutOfRange, r.AnalogValue(9));
        QVERIFY_THROWS_EXCEPTION(IndexOutOfRange, r.setLimitValue(6, 1.0f));
        r.setAnalogValue(8, 5);
        QCOMPARE(r.AnalogValue(8), 5);
        r.setLI_Name(30, QStringLiteral("MEK"));
        QCOMPARE(r.LI_Name(30), QStringLiteral("MEK"));
        r.setStationList(128, QStringLiteral("X"));
        r.setStationList(-1, QStringLiteral("X"));
        QCOMPARE(r.StationList(128), QString());
        QVERIFY(!r.Change_StationList(128));
        r.setStationList(31, QStringLiteral("PLANT"));
        QVERIFY(r.Change_StationList(31));
        QCOMPARE(r.StationList(31), QStringLiteral("PLANT"));
    }

    void clearDatasKeepsWhatItShould() {
        clsInstrument r;
        r.setSpecNo(QStringLiteral("S-1"));
        r.setConfirmation(30);
        r.setFlowLevel(500);
        r.setFailLine(QStringLiteral("HC,R"));
        r.setC1_lel_zero(QStringLiteral("7"));
        r.setLI_Name(1, QStringLiteral("CH4"));
        r.setLogMax(0, 55.0f);
        r.setImportFlag(-1);
        r.setCommFlags(-1);
        r.setRomNumber(4426);
        r.setGasName(0, QStringLiteral("CH4"));
        r.setGasEnabled(0, true);
        r.setStationList(3, QStringLiteral("ABC"));
        r.setBumpTime(0);
        r.setHcMode(2);
        r.ClearDatas();
        QCOMPARE(r.SpecNo(), QStringLiteral("S-1"));
        QCOMPARE(r.Confirmation(), 30);
        QCOMPARE(r.FlowLevel(), 500);
        QCOMPARE(r.FailLine(), QStringLiteral("HC,R"));
        QCOMPARE(r.C1_lel_zero(), QStringLiteral("7"));
        QCOMPARE(r.LI_Name(1), QStringLiteral("CH4"));
        QCOMPARE(r.LogMax(0), 55.0f);
        QCOMPARE(r.ImportFlag(), -1);
        QCOMPARE(r.CommFlags(), 0);
        QCOMPARE(r.RomNumber(), 0);
        QVERIFY(r.GasName(0).isEmpty());
        QVERIFY(!r.GasEnabled(0));
        QCOMPARE(r.StationList(3), QString(16, u'-'));
        QCOMPARE(r.BumpTime(), 2);
        QCOMPARE(r.HcMode(), 0);
        // Flags outside SetChangeFlags stay as their writes left them.
        QVERIFY(r.Change_BumpTime() && r.Change_HCMode());
        QVERIFY(!r.Change_SpecNo() && !r.Change_C1() && !r.Change_GasEnable(0));
    }

    void gasDefaultTable() {
        GasDefaultTable t;
        t.FillDefaults();
        QCOMPARE(t.at(0, 0).Name, QStringLiteral("CH4"));
        QCOMPARE(t.at(7, 4).Name, QStringLiteral("MEK"));
        QCOMPARE(t.at(7, 4).Unit, QStringLiteral("vol%"));
        QCOMPARE(t.at(3, 0).Alarm, 50.0f);
        QCOMPARE(t.at(0, 1).Name, QStringLiteral("O2"));
        QCOMPARE(t.at(0, 1).Warning, 19.5f);
        QCOMPARE(t.at(0, 1).Point, 1);
        QCOMPARE(t.at(0, 2).STEL, 15.0f);
        QCOMPARE(t.at(0, 3).FullScale, 500.0f);
        QVERIFY(t.at(8, 0).Name.isEmpty() && !t.at(8, 0).Enabled);
        QVERIFY(t.at(1, 1).Name.isEmpty());
        QVERIFY(!t.at(16, 5).Enabled);
        QVERIFY_THROWS_EXCEPTION(IndexOutOfRange, t.at(17, 0));
        QVERIFY_THROWS_EXCEPTION(IndexOutOfRange, t.at(0, 6));
    }

    void selectGasSources() {
        GasDefaultTable t;
        t.FillDefaults();
        t.at(0, 4).Warning = 11.0f; // alarm row 0 of slot 4, recognisable
        clsInstrument r;
        r.setLS_Name(1, QStringLiteral(" USERGAS "));
        r.setLS_Unit(1, QStringLiteral("vol%"));
        r.setLS_FullScale(1, 80.0f);
        r.setLS_Point(1, 1);
        r.setLS_Ratio(1, 1.25f);
        r.setLI_Name(1 + 2, QStringLiteral("LIB-H2"));
        r.setLI_FullScale(3, 75.0f);

        SelectGas(r, t, 4, 15, true);
        QCOMPARE(r.GasName(4), QStringLiteral("USERGAS"));
        QCOMPARE(r.GasFullScale(4), 80.0f);
        QCOMPARE(r.Ratio(4), 1.25f);
        QCOMPARE(r.Warning(4), 11.0f);
        QVERIFY(r.GasEnabled(4) && r.Change_GasEnable(4) && r.Change_Warn(4) && r.Change_Stel(4));

        SelectGas(r, t, 0, 2, true);
        QCOMPARE(r.GasName(0), QStringLiteral("LIB-H2"));
        QCOMPARE(r.GasFullScale(0), 75.0f);
        QCOMPARE(r.Alarm(0), 50.0f);

        SelectGas(r, t, 0, 2, false);
        QCOMPARE(r.GasName(0), QStringLiteral("H2"));
        QCOMPARE(r.GasUnit(0), QStringLiteral("%LEL"));

        // Slot 1 always takes the default table, connected or not.
        SelectGas(r, t, 1, 3, true);
        QVERIFY(r.GasName(1).isEmpty());
        SelectGas(r, t, 1, 0, true);
        QCOMPARE(r.GasName(1), QStringLiteral("O2"));
        QCOMPARE(r.GasPoint(1), 1);
        QCOMPARE(r.AutoCalib(1), 12.0f);

        // A bad code: the failing steps are skipped, the rest still runs.
        clsInstrument b;
        SelectGas(b, t, 0, 40, false);
        QVERIFY(b.GasEnabled(0));
        QVERIFY(b.GasName(0).isEmpty());
        SelectGas(b, t, 0, 20, true); // library entry 21 exists, alarm row 20 does not
        QVERIFY(b.GasEnabled(0));
        SelectGas(b, t, 5, 0, false); // gas 5: levels exist, the rest is ignored
        QCOMPARE(b.Warning(5), 0.0f);
    }

    void jsonRecord() {
        clsInstrument r;
        r.setSerialNo(QStringLiteral("SN1"));
        r.setGasName(0, QStringLiteral("CH4"));
        r.setLS_Name(0, QStringLiteral("CH4       ")); // as the instrument pads it
        r.setSysDate(AppDate::fromDateTime(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5))));
        r.setSysDateOffset(AppDate(-90.0 / 86400.0));
        r.setWarning(1, 19.5f);
        r.setC1_lel_span(QStringLiteral("2213"));
        r.setC2_lel_span(QStringLiteral("not read"));
        r.setVG_hi(QStringLiteral("1C07"));
        r.setImportFlag(-1);
        r.setSUM(QStringLiteral("3A7F"));
        const QJsonObject o = r.ToJson();
        QCOMPARE(o.value("FormatVersion"), QJsonValue(1));
        QCOMPARE(o.value("SerialNo").toString(), QStringLiteral("SN1"));
        QCOMPARE(o.value("GasName").toArray().size(), 5);
        QCOMPARE(o.value("GasName").toArray().at(0).toString(), QStringLiteral("CH4"));
        QCOMPARE(o.value("LS_Name").toArray().at(0), QJsonValue("CH4"));
        QCOMPARE(o.value("StationList").toArray().size(), 128);
        QCOMPARE(o.value("LI_Name").toArray().size(), 31);
        QCOMPARE(o.value("LS_Name").toArray().size(), 2);
        QCOMPARE(o.value("Warning").toArray().at(1).toDouble(), 19.5);
        // A time with its offset from UTC, whatever the zone; no day-0 placeholder.
        const QDateTime sysDate = QDateTime::fromString(o.value("SysDate").toString(), Qt::ISODate);
        QCOMPARE(sysDate, QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)));
        QVERIFY(sysDate.timeSpec() != Qt::LocalTime);
        QCOMPARE(o.value("SysDateOffset"), QJsonValue(-90));
        QVERIFY(o.value("LogMaxDate").toArray().at(0).isNull());
        QVERIFY(o.value("CalibDate").toArray().at(0).isNull());
        // Numbers as numbers, hexadecimal texts as texts, switches as booleans.
        QCOMPARE(o.value("C1_lel_span"), QJsonValue(2213));
        QVERIFY(o.value("C2_lel_span").isNull());
        QCOMPARE(o.value("VG_hi"), QJsonValue("1C07"));
        QCOMPARE(o.value("SUM"), QJsonValue("3A7F"));
        QCOMPARE(o.value("ImportFlag"), QJsonValue(true));
        QCOMPARE(o.value("CommFlags"), QJsonValue(false));
        QVERIFY(!o.contains("Change_SerialNo"));
    }
};

QTEST_GUILESS_MAIN(TestInstrument)
#include "test_instrument.moc"
