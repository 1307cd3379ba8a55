// Reply decoding: every key of the table with its checks, store order, partial stores and
// log lines, driven through DecodeResponse with frames the test builds itself.
#include "app/Conversions.h"
#include "link/Frame.h"
#include "link/ResponseDecoder.h"
#include "model/CommandSet.h"
#include "model/clsInstrument.h"
#include "support/LinkTestSupport.h"

#include <QRandomGenerator>
#include <QtTest>

using linktest::reply;

namespace {
const QString kFormat = QStringLiteral("<<< Format error >>>");
const QString kResponse = QStringLiteral("<<< Response error >>>");
const QByteArray kAck("\x06");
} // namespace

class TestDecoder : public QObject {
    Q_OBJECT

    std::unique_ptr<linktest::LogFolder> m_log;
    std::unique_ptr<clsInstrument> m_rec;
    std::unique_ptr<LinkState> m_state;
    std::unique_ptr<ResponseDecoder> m_dec;
    int m_connected = 0;
    QList<std::array<float, 5>> m_densty;

    bool decode(const QByteArray& key, const QByteArray& data) {
        return m_dec->DecodeResponse(reply(key, data));
    }
    int formatErrors() const { return m_log->count(kFormat); }
    int responseErrors() const { return m_log->count(kResponse); }
    static bool levelFlag(const QByteArray& code, const clsInstrument& r, int i) {
        if (code == "A1")
            return r.Change_Warn(i);
        if (code == "A2")
            return r.Change_Alarm(i);
        if (code == "AS")
            return r.Change_Stel(i);
        if (code == "AW")
            return r.Change_Twa(i);
        return r.Change_AutoCal(i);
    }

private slots:
    void init() {
        m_log = std::make_unique<linktest::LogFolder>();
        m_rec = std::make_unique<clsInstrument>();
        m_state = std::make_unique<LinkState>();
        m_state->Instrument = m_rec.get();
        m_connected = 0;
        m_densty.clear();
        m_dec = std::make_unique<ResponseDecoder>(
            *m_state,
            ResponseDecoder::Events{[this] { ++m_connected; },
                                    [this](const std::array<float, 5>& v) { m_densty << v; }});
    }

    void frameChecks() {
        // 14 characters fail the length check with a log line; 15 pass it.
        const QByteArray fifteen = reply("AO,R", "1");
        QCOMPARE(fifteen.size(), 15);
        QVERIFY(!m_dec->DecodeResponse(fifteen.left(14)));
        QCOMPARE(formatErrors(), 1);
        QVERIFY(!m_dec->DecodeResponse(fifteen)); // passes length; AO needs four characters
        QCOMPARE(formatErrors(), 2);

        // A key the table does not list: rejected without a log line.
        m_log->clear();
        QVERIFY(!decode("ZZ,R", "1"));
        QVERIFY(!decode("YW,R", "1"));
        QVERIFY(m_log->lines().isEmpty());

        // A wrong checksum is a rejected block with its own line, unless the check is off.
        QByteArray bad = reply("VP,R", "1234");
        bad[bad.size() - 2] = bad[bad.size() - 2] == 'A' ? 'B' : 'A';
        QVERIFY(!m_dec->DecodeResponse(bad));
        QCOMPARE(m_log->count("<<< Checksum error >>>"), 1);
        QCOMPARE(m_rec->RomNumber(), 0);
        m_state->VerifyChecksum = false;
        QVERIFY(m_dec->DecodeResponse(bad));
        QCOMPARE(m_rec->RomNumber(), 1234);
        m_state->VerifyChecksum = true;

        // More fields than the tokenizer holds: rejected, nothing thrown.
        QByteArray many;
        for (int i = 0; i < 300; ++i)
            many += "1,";
        QVERIFY(!decode("DN,R", many));
        QCOMPARE(formatErrors(), 1);

        // A decoder without a record rejects instead of touching memory.
        m_state->Instrument = nullptr;
        QVERIFY(!decode("VP,R", "1"));
    }

    void identityTexts_data() {
        QTest::addColumn<QByteArray>("code");
        QTest::addColumn<int>("width");
        QTest::newRow("IN") << QByteArray("IN") << 20;
        QTest::newRow("HN") << QByteArray("HN") << 20;
        QTest::newRow("XZ") << QByteArray("XZ") << 16;
        QTest::newRow("BS") << QByteArray("BS") << 10;
    }
    void identityTexts() {
        QFETCH(QByteArray, code);
        QFETCH(int, width);
        const IdentityCommand* c = FindIdentityCommand(QString::fromLatin1(code));
        QVERIFY(c);
        clsInstrument& r = *m_rec;
        (r.*(c->setFlag))(true);
        QVERIFY(decode(code + ",R", "  AB12  "));
        QCOMPARE((r.*(c->get))(), QStringLiteral("AB12"));
        QCOMPARE(r.Change_SerialNo() || r.Change_DummySerial() || r.Change_UserID() ||
                     r.Change_SpecNo(),
                 false);
        // Write reply: equal after trimming accepted, anything else rejected.
        QVERIFY(decode(code + ",W", "AB12      "));
        QVERIFY(!decode(code + ",W", "AB13"));
        // Longer than the field: rejected, the stored text stays.
        QVERIFY(!decode(code + ",R", QByteArray(width + 1, 'Z')));
        QCOMPARE((r.*(c->get))(), QStringLiteral("AB12"));
        QVERIFY(decode(code + ",R", QByteArray(width, 'Z')));
        QCOMPARE((r.*(c->get))(), QString(width, u'Z'));
    }

    void stationList() {
        clsInstrument& r = *m_rec;
        r.setChange_StationID(true);
        r.setChange_StationList(31, true);
        QVERIFY(decode("XS,R", "****,Main Gate       "));
        QCOMPARE(r.StationID(), QStringLiteral("Main Gate"));
        QVERIFY(!r.Change_StationID());
        QVERIFY(decode("XS,R", "001F,Tank 31         "));
        QCOMPARE(r.StationList(31), QStringLiteral("Tank 31         "));
        QVERIFY(!r.Change_StationList(31));
        // Index past the list or not hex: rejected, nothing stored.
        QVERIFY(!decode("XS,R", "0080,Beyond"));
        QVERIFY(!decode("XS,R", "00G1,Bad"));
        QCOMPARE(formatErrors(), 2);
        QCOMPARE(r.StationList(1), QString(16, u'-'));
        // No text: the station has no name, which is no bad reply.
        QVERIFY(decode("XS,R", "0001"));
        QCOMPARE(formatErrors(), 2);
        QVERIFY(decode("XS,W", kAck));
    }

    void numericSettings_data() {
        QTest::addColumn<QByteArray>("code");
        QTest::addColumn<QByteArray>("field"); // as the instrument sends it
        QTest::addColumn<int>("value");        // as the record stores it
        QTest::addColumn<QByteArray>("tooWide");
        QTest::newRow("AP decimal")
            << QByteArray("AP") << QByteArray("1") << 1 << QByteArray("40000");
        QTest::newRow("LP decimal")
            << QByteArray("LP") << QByteArray("2") << 2 << QByteArray("-40000");
        QTest::newRow("SC hex") << QByteArray("SC") << QByteArray("16D") << 365
                                << QByteArray("FFFFF");
        QTest::newRow("XP hex") << QByteArray("XP") << QByteArray("12C") << 300
                                << QByteArray("10000");
        QTest::newRow("SD decimal")
            << QByteArray("SD") << QByteArray("1") << 1 << QByteArray("99999");
        QTest::newRow("SM decimal")
            << QByteArray("SM") << QByteArray("2") << 2 << QByteArray("1e9");
        QTest::newRow("XB hex") << QByteArray("XB") << QByteArray("1E") << 30
                                << QByteArray("FFFFF");
        QTest::newRow("XW decimal")
            << QByteArray("XW") << QByteArray("1") << 1 << QByteArray("32768");
        QTest::newRow("XT hex") << QByteArray("XT") << QByteArray("0FF") << 255
                                << QByteArray("12345");
        QTest::newRow("UQ decimal")
            << QByteArray("UQ") << QByteArray("0") << 0 << QByteArray("70000");
        QTest::newRow("AF decimal")
            << QByteArray("AF") << QByteArray("0") << 0 << QByteArray("70000");
        QTest::newRow("AM decimal")
            << QByteArray("AM") << QByteArray("0") << 0 << QByteArray("70000");
        QTest::newRow("AT decimal")
            << QByteArray("AT") << QByteArray("2") << 2 << QByteArray("70000");
        QTest::newRow("CP hex 32-bit")
            << QByteArray("CP") << QByteArray("FFFFF") << 0xFFFFF << QByteArray("FFFFFFFFF");
        QTest::newRow("HF hex") << QByteArray("HF") << QByteArray("0A") << 10
                                << QByteArray("FFFFF");
        QTest::newRow("SJ first char")
            << QByteArray("SJ") << QByteArray("1") << 1 << QByteArray("x");
        QTest::newRow("SG first char")
            << QByteArray("SG") << QByteArray("0") << 0 << QByteArray("-");
    }
    void numericSettings() {
        QFETCH(QByteArray, code);
        QFETCH(QByteArray, field);
        QFETCH(int, value);
        QFETCH(QByteArray, tooWide);
        const NumericSetting* s = FindNumericSetting(QString::fromLatin1(code));
        QVERIFY(s);
        clsInstrument& r = *m_rec;
        s->set(r, 7);
        QVERIFY(decode(code + ",R", field));
        QCOMPARE(s->get(r), value);
        s->setFlag(r, true);
        QVERIFY(decode(code + ",R", field));
        QVERIFY(!r.Change_AlarmMode() && !r.Change_HCMode() && !r.Change_CalLimit() &&
                !r.Change_Interval() && !r.Change_DispCalLimit() && !r.Change_CalCheck() &&
                !r.Change_Confirmation() && !r.Change_LogOverWrite() && !r.Change_LcdBackLight() &&
                !r.Change_autoBackLight() && !r.Change_AlarmOnOff() && !r.Change_StelTwaOnOff() &&
                !r.Change_AlarmO2() && !r.Change_FlowLevel() && !r.Change_pressOffset() &&
                !r.Change_AutoZero() && !r.Change_DemandZero());

        // Not numeric, or too wide for the property: rejected with a log line, value kept.
        QVERIFY(!decode(code + ",R", "xyz"));
        QVERIFY(!decode(code + ",R", tooWide));
        QCOMPARE(s->get(r), value);
        QCOMPARE(formatErrors(), 2);

        // The write reply is the value as the instrument reads it back.
        QVERIFY(decode(code + ",W", field));
        s->set(r, value == 1 ? 0 : 1);
        QVERIFY(!decode(code + ",W", field));
        QVERIFY(!decode(code + ",W", "zz"));
    }

    void settingSpecialCases() {
        clsInstrument& r = *m_rec;
        // Flag-digit write reply: "1" for any non-zero value.
        r.setDispCalLimit(5);
        QVERIFY(decode("SD,W", "1"));
        QVERIFY(!decode("SD,W", "5"));
        r.setDispCalLimit(0);
        QVERIFY(decode("SD,W", "0"));
        // Hex read: four digits are the 16-bit value ("FFFF" is -1), five do not fit.
        QVERIFY(decode("XT,R", "FFFF"));
        QCOMPARE(r.LcdBackLight(), qint16(-1));
        // The destination code is one of three texts.
        r.setChange_SpecType(true);
        QVERIFY(decode("UJ,R", "2"));
        QCOMPARE(r.SpecType(), QStringLiteral("2"));
        QVERIFY(!r.Change_SpecType());
        QVERIFY(!decode("UJ,R", "3"));
        QVERIFY(!decode("UJ,R", "02"));
        QCOMPARE(r.SpecType(), QStringLiteral("2"));
        QVERIFY(decode("UJ,W", "2"));
        QVERIFY(!decode("UJ,W", "1"));
        // A fraction rounds as integer conversion does (half to even).
        QVERIFY(decode("AP,R", "2.5"));
        QCOMPARE(r.AlarmMode(), qint16(2));
        // SJ: only a leading "1" means on.
        QVERIFY(decode("SJ,R", "10"));
        QCOMPARE(r.AutoZero(), qint16(1));
        QVERIFY(decode("SJ,R", "01"));
        QCOMPARE(r.AutoZero(), qint16(0));
    }

    void levels_data() {
        QTest::addColumn<QByteArray>("code");
        QTest::newRow("A1") << QByteArray("A1");
        QTest::newRow("A2") << QByteArray("A2");
        QTest::newRow("AS") << QByteArray("AS");
        QTest::newRow("AW") << QByteArray("AW");
        QTest::newRow("SA") << QByteArray("SA");
    }
    void levels() {
        QFETCH(QByteArray, code);
        const LevelCommand* c = FindLevelCommand(QString::fromLatin1(code));
        QVERIFY(c);
        clsInstrument& r = *m_rec;
        for (int i = 0; i < 5; ++i) {
            c->set(r, i, 9.0f);
            c->setFlag(r, i, true);
        }
        // The third field is neither a number nor "*****": the others are stored, the
        // reply is rejected.
        QVERIFY(!decode(code + ",R", " 10.0,  200,  abc,*****,  1.5"));
        QCOMPARE(c->get(r, 0), 10.0f);
        QCOMPARE(c->get(r, 1), 200.0f);
        QCOMPARE(c->get(r, 2), 9.0f);
        QCOMPARE(c->get(r, 3), -101.0f);
        QCOMPARE(c->get(r, 4), 1.5f);
        // Stored slots have their change flag cleared; the failed slot keeps it.
        QVERIFY(!levelFlag(code, r, 0) && !levelFlag(code, r, 1) && !levelFlag(code, r, 4));
        QVERIFY(levelFlag(code, r, 2));
        // Four fields: rejected, nothing stored.
        QVERIFY(!decode(code + ",R", "1,2,3,4"));
        QCOMPARE(c->get(r, 0), 10.0f);
        QVERIFY(decode(code + ",R", "1,2,3,4,5"));
        QCOMPARE(c->get(r, 2), 3.0f);
        // Write replies: five levels or stars.
        if (code != "SA") {
            QVERIFY(decode(code + ",W", "    1,*****,    3,  4.5,    5"));
            QVERIFY(!decode(code + ",W", "1,2,3,4"));
            QVERIFY(!decode(code + ",W", "1,2,x,4,5"));
        } else {
            QVERIFY(!decode("SA,W", "1,2,3,4,5"));
        }
    }

    void switches() {
        clsInstrument& r = *m_rec;
        for (int i = 0; i < 4; ++i)
            r.setChange_Zero(i, true);
        QVERIFY(decode("UZ,R", "1010"));
        QCOMPARE(r.Zero(0), qint16(1));
        QCOMPARE(r.Zero(1), qint16(0));
        QCOMPARE(r.Zero(2), qint16(1));
        QCOMPARE(r.Zero(3), qint16(0));
        QVERIFY(!r.Change_Zero(0) && !r.Change_Zero(3));
        // A non-digit character is skipped: that sensor keeps its value and flag.
        r.setChange_OverScale(1, true);
        r.setOverScale(1, 1);
        QVERIFY(decode("AO,R", "2x11"));
        QCOMPARE(r.OverScale(0), qint16(0));
        QCOMPARE(r.OverScale(1), qint16(1));
        QVERIFY(r.Change_OverScale(1));
        QCOMPARE(r.OverScale(2), qint16(1));
        QVERIFY(!decode("UZ,R", "101"));
        QCOMPARE(formatErrors(), 1);
        QVERIFY(decode("UZ,W", "1010"));
        QVERIFY(!decode("UZ,W", "10"));
        QCOMPARE(responseErrors(), 1);
        QVERIFY(!decode("AO,W", "1010")); // read only
    }

    void gasTable() {
        clsInstrument& r = *m_rec;
        const QByteArray ch4 = "CH4        100.0  0.1%LEL"; // 25 characters
        const QByteArray none(25, '*');
        const QByteArray o2 = "O2        ,25.00 0.01vol%";
        QCOMPARE(ch4.size(), 25);
        QCOMPARE(o2.size(), 25);
        for (int i = 0; i < 5; ++i)
            r.setChange_GasEnable(i, true);
        QVERIFY(decode("GJ,R", ch4 + ',' + none + ',' + none + ',' + none + ',' + none));
        QCOMPARE(r.GasName(0), QStringLiteral("CH4"));
        QCOMPARE(r.GasFullScale(0), 100.0f);
        QCOMPARE(r.GasDesit(0), 0.1f);
        QCOMPARE(r.GasPoint(0), qint16(1));
        QCOMPARE(r.GasUnit(0), QStringLiteral("%LEL"));
        QVERIFY(r.GasEnabled(0));
        QVERIFY(!r.GasEnabled(1));
        QCOMPARE(r.GasFullScale(1), -101.0f);
        QVERIFY(!r.Change_GasEnable(0) && !r.Change_GasEnable(4));

        // A 24-character field: rejected without a log line, nothing stored.
        m_log->clear();
        QVERIFY(!decode("GJ,R", none + ',' + ch4.left(24) + ',' + none + ',' + none + ',' + none));
        QVERIFY(m_log->lines().isEmpty());
        QVERIFY(r.GasEnabled(0));
        // Four fields: a format error.
        QVERIFY(!decode("GJ,R", none + ',' + none + ',' + none + ',' + none));
        QCOMPARE(formatErrors(), 1);
        // A full scale that is no number: rejected before any slot is touched.
        QVERIFY(!decode("GJ,R", none + ',' + "XX        ,abcde  0.1ppm " + ',' + none + ',' + none +
                                    ',' + none));
        QVERIFY(r.GasEnabled(0));
        QCOMPARE(r.GasName(1), QString());
        QVERIFY(decode("GJ,W", kAck));
        // A comma inside a record splits it: the field count no longer fits.
        QVERIFY(!decode("GJ,R", ch4 + ',' + o2 + ',' + none + ',' + none + ',' + none));
    }

    void bumpAndBacklight() {
        clsInstrument& r = *m_rec;
        r.setBumpTime(2);
        r.setChange_BumpTime(true);
        r.setChange_BumpThreshold(true);
        QVERIFY(decode("BU,R", "5,1,1,1"));
        QCOMPARE(r.BumpTime(), qint16(2));
        QVERIFY(r.Change_BumpTime());
        QCOMPARE(r.BumpThreshold(), qint16(1));
        QVERIFY(!r.Change_BumpThreshold());
        QCOMPARE(r.BumpFailCalTime(), qint16(1));
        QCOMPARE(r.BumpFailAfter(), qint16(1));
        m_log->clear();
        QVERIFY(!decode("BU,R", "1,1,1"));
        QVERIFY(m_log->lines().isEmpty());
        QVERIFY(decode("WB,R", "3,x,1"));
        QCOMPARE(r.LcBhMode(), qint16(3));
        QCOMPARE(r.BhTime(), qint16(0));
        QCOMPARE(r.LcBuzzer(), qint16(1));
        QVERIFY(!decode("WB,R", "1,1"));
        QCOMPARE(formatErrors(), 1);
        QVERIFY(decode("BU,W", kAck));
        QVERIFY(decode("WB,W", kAck));
    }

    void clock() {
        clsInstrument& r = *m_rec;
        QVERIFY(decode("HC,R", "991231235958"));
        QCOMPARE(r.SysDate().toDateTime(), QDateTime(QDate(2099, 12, 31), QTime(23, 59, 58)));
        const double expectedOffset = r.SysDate().days() - AppDate::now().days();
        QVERIFY(qAbs(r.SysDateOffset().days() - expectedOffset) < 1.0 / 86400 * 5);
        QVERIFY(r.SysDateOffset().days() > 0);

        QVERIFY(!decode("HC,R", "261307120000"));
        QCOMPARE(r.FailLine(), QStringLiteral("HC,R"));
        QCOMPARE(m_log->count("<<< improper date at HC >>> 261307120000"), 1);
        QCOMPARE(r.SysDate().toDateTime().date().year(), 2099);
        r.setFailLine("");
        QVERIFY(!decode("HC,R", "26010112000")); // eleven characters
        QCOMPARE(r.FailLine(), QString());
        QVERIFY(!decode("HC,R", "2601011200xx"));
        QCOMPARE(r.FailLine(), QStringLiteral("HC,R"));

        // The write reply must be the frame sent, character for character.
        m_state->LastFrame = BuildFrame(QByteArrayLiteral("HC,W,261207143005"), Ctl::EOT);
        QVERIFY(m_dec->DecodeResponse(m_state->LastFrame));
        QVERIFY(!decode("HC,W", "261207143006"));
        QCOMPARE(responseErrors(), 1);
    }

    void calibrationHistory() {
        clsInstrument& r = *m_rec;
        const QByteArray f0 = "250314093000 20.5 50.0";
        const QByteArray f1 = "250101000000  -.-  1.0";
        const QByteArray f2 = "25133100000010.00 abcd";
        r.setCalibAfter(3, 5.0f);
        QCOMPARE(f0.size(), 22);
        QVERIFY(decode("SO,R", f0 + ',' + f1 + ',' + f2 + ",short," + f0));
        QCOMPARE(r.CalibDate(0).toDateTime(), QDateTime(QDate(2025, 3, 14), QTime(9, 30)));
        QCOMPARE(r.CalibBefore(0), 20.5f);
        QCOMPARE(r.CalibAfter(0), 50.0f);
        QCOMPARE(r.CalibBefore(1), -101.0f);
        QCOMPARE(r.CalibAfter(1), 1.0f);
        QCOMPARE(r.CalibDate(2).days(), -101.0); // month 13: the date is not stored
        QCOMPARE(r.CalibBefore(2), 10.0f);
        QCOMPARE(r.CalibAfter(2), -101.0f);
        QCOMPARE(r.CalibAfter(3), 5.0f); // a short field is skipped
        QVERIFY(!decode("SO,R", f0 + ',' + f0));
    }

    void liveReadings() {
        clsInstrument& r = *m_rec;
        r.setLimitValue(1, 7.0f);
        QVERIFY(decode("DN,R", "12.5,----,0.0,20.9,1e39"));
        QCOMPARE(r.LimitValue(0), 12.5f);
        QCOMPARE(r.LimitValue(1), 7.0f);
        QCOMPARE(r.LimitValue(3), 20.9f);
        QCOMPARE(r.LimitValue(4), 0.0f); // too large for a single: left as it was
        QCOMPARE(m_densty.size(), 1);
        QCOMPARE(m_densty[0][0], 12.5f);
        QCOMPARE(m_densty[0][1], 7.0f);
        QCOMPARE(m_densty[0][3], 20.9f);
    }

    void identityNumbers() {
        clsInstrument& r = *m_rec;
        QVERIFY(decode("VP,R", "123456"));
        QCOMPARE(r.RomNumber(), 123456);
        QVERIFY(!decode("VP,R", "12a"));
        QVERIFY(!decode("VP,R", "99999999999"));
        QCOMPARE(r.RomNumber(), 123456);
        QVERIFY(decode("VS,R", "A5F0"));
        QCOMPARE(r.SUM(), QStringLiteral("A5F0"));
        QVERIFY(!decode("VS,R", "XYZ"));
        QCOMPARE(r.SUM(), QStringLiteral("A5F0"));
        QVERIFY(decode("CN,R", "IO"));
        QCOMPARE(r.CN_ir(), QStringLiteral("I"));
        QCOMPARE(r.CN_o2(), QStringLiteral("O"));
        QVERIFY(!decode("CN,R", "IOX"));

        // The connect reply: text kept, connected once.
        m_state->LinkMode = ConnectMode::Connecting;
        QVERIFY(decode("RC,R", "TQ-5800,V1.00"));
        QCOMPARE(m_state->ConnectReply, QStringLiteral("TQ-5800,V1.00"));
        QCOMPARE(m_state->LinkMode, ConnectMode::Connected);
        QCOMPARE(m_connected, 1);
        QCOMPARE(m_log->count("---StartUp Connect Sequence Finished---"), 1);
        QVERIFY(decode("RC,R", "again"));
        QCOMPARE(m_connected, 1);
        QCOMPARE(m_state->ConnectReply, QStringLiteral("again"));
    }

    void analogValues() {
        clsInstrument& r = *m_rec;
        r.setAnalogValue(2, 77);
        r.setAdrealValue(3.0f);
        QVERIFY(decode("HA,R", "0100,0FFF,XYZ,7FFF,FFFF,0,1,2," + SingleToHex(1.5f).toLatin1()));
        QCOMPARE(r.AnalogValue(0), qint16(256));
        QCOMPARE(r.AnalogValue(1), qint16(4095));
        QCOMPARE(r.AnalogValue(2), qint16(77));
        QCOMPARE(r.AnalogValue(3), qint16(32767));
        QCOMPARE(r.AnalogValue(4), qint16(-1));
        QCOMPARE(r.AdrealValue(), 1.5f);
        QVERIFY(decode("HA,R", "10000,0,0,0,0,0,0,0,7FC00000")); // too wide; NaN single
        QCOMPARE(r.AnalogValue(0), qint16(256));
        QCOMPARE(r.AdrealValue(), 1.5f);
    }

    void userGasRecords() {
        clsInstrument& r = *m_rec;
        r.setChange_LSData(0, true);
        r.setChange_LSData(1, true);
        const QByteArray rec0 =
            "0F,Hexane    ,  100,  0.5,%LEL,1F4," + SingleToHex(0.75f).toLatin1();
        const QByteArray rec1 =
            "10,User2     ,*****,*****,ppm ,000," + SingleToHex(1.0f).toLatin1();
        QVERIFY(decode("LS,R", rec0 + ',' + rec1));
        QCOMPARE(r.LS_No(0), qint16(15));
        QCOMPARE(r.LS_Name(0), QStringLiteral("Hexane"));
        QCOMPARE(r.LS_FullScale(0), 100.0f);
        QCOMPARE(r.LS_Digit(0), 0.5f);
        QCOMPARE(r.LS_Point(0), qint16(1));
        QCOMPARE(r.LS_Unit(0), QStringLiteral("%LEL"));
        QCOMPARE(r.LS_elem_vol(0), 500);
        QCOMPARE(r.LS_Ratio(0), 0.75f);
        QCOMPARE(r.LS_FullScale(1), -101.0f);
        QCOMPARE(r.LS_Point(1), qint16(0));
        QVERIFY(!r.Change_LSData(0) && !r.Change_LSData(1));
        // Wrong count, or one bad field: rejected with a log line, nothing stored.
        QVERIFY(!decode("LS,R", rec0));
        const QByteArray badRatio = "11,Other     ,  100,  0.5,%LEL,1F4,XYZ";
        QVERIFY(!decode("LS,R", badRatio + ',' + rec1));
        QCOMPARE(formatErrors(), 2);
        QCOMPARE(r.LS_No(0), qint16(15));
        QVERIFY(decode("LS,W", kAck));
        // The write payload reads back to the same record.
        clsInstrument copy;
        LinkState st;
        st.Instrument = &copy;
        ResponseDecoder d(st);
        QVERIFY(d.DecodeResponse(reply("LS,R", UserGasWritePayload(r).mid(5).toLatin1())));
        QCOMPARE(copy.LS_Name(0), r.LS_Name(0));
        QCOMPARE(copy.LS_elem_vol(0), r.LS_elem_vol(0));
        QCOMPARE(copy.LS_Ratio(1), r.LS_Ratio(1));
    }

    void libraryEntries() {
        clsInstrument& r = *m_rec;
        const QByteArray lel = "i-C4H10   ,  100,    1,%LEL,064," + SingleToHex(1.2f).toLatin1();
        const QByteArray vol = "i-C4H10   , 1.80, 0.05,vol%,065," + SingleToHex(0.8f).toLatin1();
        QVERIFY(decode("LI,R", "05," + lel + ',' + vol));
        QCOMPARE(r.LI_Name(5), QStringLiteral("i-C4H10"));
        QCOMPARE(r.LI_FullScale(5), 100.0f);
        QCOMPARE(r.LI_Point(5), qint16(0));
        QCOMPARE(r.LI_elem_vol(5), qint16(100));
        QCOMPARE(r.LI_Ratio(5), 1.2f);
        QCOMPARE(r.LI_Unit(20), QStringLiteral("vol%"));
        QCOMPARE(r.LI_Digit(20), 0.05f);
        QCOMPARE(r.LI_Point(20), qint16(2));
        QCOMPARE(r.LI_Ratio(20), 0.8f);
        // Table 16 or 0 does not exist; twelve fields are a format error.
        QVERIFY(!decode("LI,R", "10," + lel + ',' + vol));
        QVERIFY(!decode("LI,R", "00," + lel + ',' + vol));
        QVERIFY(!decode("LI,R", lel + ',' + vol));
        QCOMPARE(formatErrors(), 3);
        QCOMPARE(r.LI_Name(0), QString());
    }

    void coefficients_data() {
        QTest::addColumn<QByteArray>("code");
        for (const CoefficientCommand& c : CoefficientCommands())
            QTest::newRow(c.code) << QByteArray(c.code);
    }
    void coefficients() {
        QFETCH(QByteArray, code);
        const CoefficientCommand* c = FindCoefficientCommand(QString::fromLatin1(code));
        QVERIFY(c);
        clsInstrument& r = *m_rec;
        QByteArrayList fields;
        for (int i = 0; i < c->count; ++i)
            fields << QByteArray::number(i + 1) + ".5"; // eight fit in 31 characters
        if (c->setFlag)
            (r.*(c->setFlag))(true);
        QVERIFY(decode(code + ",R", fields.join(',')));
        for (int i = 0; i < c->count; ++i)
            QCOMPARE((r.*(c->get[std::size_t(i)]))(), QString::fromLatin1(fields[i]));
        QVERIFY(!r.Change_C1() && !r.Change_C5() && !r.Change_CD() && !r.Change_CM());
        // One field too many or too few: a format error, nothing stored.
        QVERIFY(!decode(code + ",R", fields.join(',') + ",9"));
        QVERIFY(!decode(code + ",W", fields.mid(1).join(',')));
        QCOMPARE(formatErrors(), 2);
        QCOMPARE((r.*(c->get[0]))(), QStringLiteral("1.5"));
        // The write reply carries the same fields and is stored the same way.
        fields[0] = "-3.5";
        QVERIFY(decode(code + ",W", fields.join(',')));
        QCOMPARE((r.*(c->get[0]))(), QStringLiteral("-3.5"));
        if (c->numeric) {
            QVERIFY(!decode(code + ",R", "abc"));
            QCOMPARE((r.*(c->get[0]))(), QStringLiteral("-3.5"));
        }
    }

    void coefficientSpecialForms() {
        clsInstrument& r = *m_rec;
        // The C5 write reply counts only its first 31 data characters.
        const QByteArray c5 = "1.000,2.000,3.000,4.000,5,6,7,8,extra,fields";
        QVERIFY(decode("C5,W", c5));
        QCOMPARE(r.C5_lel_zero_f(), QStringLiteral("1.000"));
        QCOMPARE(r.C5_vol_zeroh(), QStringLiteral("8"));
        QVERIFY(!decode("C5,R", c5));
        // Execute forms are acknowledged.
        for (const QByteArray k : {"C1,E", "C2,E", "C5,E"}) {
            QVERIFY(decode(k, kAck));
            QVERIFY(!decode(k, "\x15"));
        }
        QCOMPARE(responseErrors(), 3);
    }

    void zeroAndSpan() {
        QVERIFY(decode("SZ,R", "1,2,3,4"));
        QVERIFY(decode("S1,R", "1,2,3,4"));
        QVERIFY(!decode("SZ,R", "1,2,3"));
        QCOMPARE(formatErrors(), 1);
        QVERIFY(decode("SZ,W", kAck));
        QVERIFY(!decode("SZ,W", "\x1A"));
        QCOMPARE(responseErrors(), 1);

        QVERIFY(decode("S1,W", kAck + "01000"));
        QCOMPARE(m_state->SpanResult, QStringLiteral("01000"));
        QVERIFY(decode("S2,W", kAck + "0100"));
        QCOMPARE(m_state->SpanResult, QString());

        QVERIFY(decode("SZ,C", kAck + "00100"));
        QCOMPARE(m_state->ZeroResult, QStringLiteral("00100"));
        QVERIFY(decode("SZ,C", "\x1A"));
        QCOMPARE(m_state->ZeroResult, QString());
        QVERIFY(!decode("SZ,C", kAck + "12"));
        QCOMPARE(responseErrors(), 2);
    }

    void clearAndDefault() {
        for (const QByteArray k :
             {"XC,W", "XY,W", "RO,W", "UX,W", "UD,W", "UP,W", "DW,W", "XH,E"}) {
            QVERIFY2(decode(k, kAck), k.constData());
            QVERIFY2(!decode(k, "\x15"), k.constData());
        }
        QCOMPARE(responseErrors(), 8);
        for (const QByteArray k : {"XC,C", "XY,C", "UX,C"}) {
            QVERIFY(decode(k, kAck));
            QVERIFY(m_state->Completion);
            QVERIFY(decode(k, "\x1A"));
            QVERIFY(!m_state->Completion);
        }
        QVERIFY(decode("SN,W", kAck + "20.9"));
        QCOMPARE(m_state->ReturnedText, QStringLiteral("20.9"));
        QVERIFY(!decode("SN,W", "\x15"
                                "20.9"));
        QCOMPARE(m_state->ReturnedText, QString());
    }

    void dumpListing() {
        QList<QList<HexListBuffer::Line>> groups;
        m_state->DumpList.setFullHandler([&](const QList<HexListBuffer::Line>& g) { groups << g; });
        QVERIFY(decode("EF,R", "2,1,000000," + QByteArray(32 * 8, 'A')));
        QVERIFY(decode("EF,R", "2,2,000080,4142434445"));
        const auto& lines = m_state->DumpList.lines();
        QCOMPARE(lines.size(), 9);
        QCOMPARE(lines[0].address, 0u);
        QCOMPARE(lines[7].address, 0x70u);
        QCOMPARE(lines[8].address, 0x80u);
        QCOMPARE(lines[8].bytes, QByteArray("ABCDE") + QByteArray(11, char(0xFF)));
        // Not numeric, or no data: accepted, nothing stored.
        QVERIFY(decode("EP,R", "2,x,0,AA"));
        QVERIFY(decode("ES,R", "2,3,0"));
        QCOMPARE(m_state->DumpList.lines().size(), 9);
        // A block number or data that cannot be listed: rejected.
        QVERIFY(!decode("EF,R", "2,0,0,AA"));
        QVERIFY(!decode("EF,R", "2,1.5,0,AA"));
        QVERIFY(!decode("EF,R", "2,3,0,AZ"));
        QVERIFY(!decode("EF,R", "2,1e12,0,AA"));
        QCOMPARE(m_state->DumpList.lines().size(), 9);
        QVERIFY(decode("EF,R", "2,3,000100," + QByteArray(32 * 7, '0')));
        QCOMPARE(groups.size(), 1);
        QCOMPARE(groups[0][15].address, 0x160u);
    }

    void acknowledgedWithoutDecoding() {
        QByteArrayList keys{"XS,W", "GJ,W", "BU,W", "WB,W", "LS,W", "UG,R", "UG,W", "BP,R", "BP,W"};
        for (char c = 'A'; c <= 'V'; ++c)
            keys << QByteArray("Y") + c + ",R";
        QCOMPARE(keys.size(), 9 + 22);
        const clsInstrument before = *m_rec;
        for (const QByteArray& k : keys) {
            QVERIFY2(decode(k, "anything,at,all"), k.constData());
            QVERIFY(ResponseDecoder::IsKnownKey(k));
        }
        QVERIFY(!ResponseDecoder::IsKnownKey("YW,R"));
        QCOMPARE(m_rec->ToJson(), before.ToJson());
    }

    // Random bytes around real keys must never crash, hang or throw.
    void hostileBlocks() {
        QRandomGenerator rng(4711);
        QByteArrayList keys;
        for (const auto& c : IdentityCommands())
            keys << QByteArray(c.code) + ",R";
        keys << "GJ,R"
             << "LS,R"
             << "LI,R"
             << "HA,R"
             << "SO,R"
             << "EF,R"
             << "XS,R"
             << "HC,R"
             << "DN,R"
             << "A1,R"
             << "C5,W"
             << "SZ,C"
             << "BU,R";
        for (int i = 0; i < 3000; ++i) {
            QByteArray data(int(rng.bounded(120)), Qt::Uninitialized);
            for (char& ch : data)
                ch = char(rng.bounded(256));
            const QByteArray& key = keys[int(rng.bounded(qsizetype(keys.size())))];
            m_dec->DecodeResponse(reply(key, data));
            m_dec->DecodeResponse(data);
        }
        // The decoder still works after the abuse.
        QVERIFY(decode("VP,R", "42"));
        QCOMPARE(m_rec->RomNumber(), 42);
    }
};

QTEST_MAIN(TestDecoder)
#include "test_decoder.moc"
