// Reads over the link checked by property name: every setting of the simulated instrument is
// preset to a value of its own, and the record must hold it under the property written out
// below for its command. The record is looked at through its JSON form, never through the
// command tables the decoder reads, so a setting stored in the wrong property, two fields
// swapped, or a reply taken for the wrong command shows as a wrong value under a name.
#include "app/MessageTable.h"
#include "ops/ReadSequences.h"
#include "sim/SimFields.h"
#include "sim/SimResponder.h"
#include "support/SequenceTestSupport.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QtTest>
#include <functional>
#include <utility>

using seqtest::Watchdog;

namespace {

struct Expect {
    QString code;     // the command whose reply carries the value
    QString property; // the record's property
    int index;        // -1 for a scalar property
    QJsonValue value;
};

struct Scalar {
    const char* code;
    const char* property;
    int value;
};

const QDateTime ClockSet(QDate(2031, 7, 8), QTime(9, 10, 11));

// Presets the instrument with a distinct value for every setting the reads below cover and
// returns what the record must then hold, property by property.
QList<Expect> presetInstrument(SimDeviceState& s) {
    QList<Expect> e;
    const auto expect = [&e](const QString& code, const QString& property, int index,
                             const QJsonValue& v) {
        e.append({code, property, index, v});
    };

    const struct {
        const char* code;
        const char* property;
        QByteArray SimDeviceState::*field;
        const char* value;
    } texts[] = {{"IN", "SerialNo", &SimDeviceState::serialNo, "SER-IN-0042"},
                 {"HN", "DummySerial", &SimDeviceState::dummySerial, "DUMMY-HN-77"},
                 {"XZ", "UserID", &SimDeviceState::userId, "USER-XZ-5"},
                 {"BS", "SpecNo", &SimDeviceState::specNo, "BSNO-BS9"},
                 {"XS", "StationID", &SimDeviceState::stationId, "STATION-ID-3"},
                 {"UJ", "SpecType", &SimDeviceState::specType, "2"}};
    for (const auto& x : texts) {
        s.*x.field = x.value;
        // The destination code is a number in the JSON.
        expect(x.code, x.property, -1,
               x.code == QLatin1String("UJ") ? QJsonValue(QString(x.value).toInt()) : x.value);
    }
    s.romNumber = 70123; // wider than 16 bits
    expect("VP", "RomNumber", -1, 70123);
    s.romSum = 0xBEEF;
    expect("VS", "SUM", -1, "BEEF");

    // Each value is the instrument's; its read encoding (decimal, hex, flag) is the sim's.
    const Scalar settings[] = {
        {"AP", "AlarmMode", 11},       {"LP", "HcMode", 12},        {"SD", "DispCalLimit", 13},
        {"SM", "CalCheck", 14},        {"XW", "LogOverWrite", 15},  {"UQ", "autoBackLight", 16},
        {"AF", "AlarmOnOff", 17},      {"AM", "StelTwaOnOff", 18},  {"AT", "AlarmO2", 19},
        {"SC", "CalLimit", 0x123},     {"XP", "Intervals", 0x124},  {"XB", "Confirmation", 0x25},
        {"XT", "LcdBackLight", 0x126}, {"CP", "FlowLevel", 0x1234}, {"HF", "pressOffset", 0x27},
        {"SJ", "AutoZero", 1},         {"SG", "DemandZero", 0}, // the record holds 1 before
    };
    for (const auto& x : settings) {
        s.settings.insert(x.code, x.value);
        expect(x.code, x.property, -1, x.value);
    }

    // Gas slots with 0, 1, 2 and 3 decimals; slot 3 has no sensor.
    const SimGas gases[] = {{true, "CH4-S0", "  100", "    1", "%LEL"},
                            {true, "O2-S1", " 25.0", "  0.5", "vol%"},
                            {true, "H2S-S2", "75.00", " 0.25", "ppm"},
                            {},
                            {true, "CO-S4", "5.000", "0.125", "vol%"}};
    const double fullScale[] = {100, 25, 75, -101, 5};
    const double step[] = {1, 0.5, 0.25, 0, 0.125};
    const int point[] = {0, 1, 2, -101, 3};
    for (int i = 0; i < 5; ++i) {
        s.gases[i] = gases[i];
        expect("GJ", "GasEnabled", i, gases[i].enabled);
        expect("GJ", "GasName", i, QString::fromLatin1(gases[i].name));
        expect("GJ", "GasFullScale", i, fullScale[i]);
        expect("GJ", "GasDesit", i, step[i]);
        expect("GJ", "GasPoint", i, point[i]);
        expect("GJ", "GasUnit", i, QString::fromLatin1(gases[i].unit));
    }

    // Levels in each slot's decimals: the tens tell the kind, the units the slot.
    const char* const levelCodes[] = {"A1", "A2", "AS", "AW"};
    const char* const levelProperties[] = {"Warning", "Alarm", "Stel", "Twa"};
    const float levels[4][5] = {{11, 12.5f, 13.25f, 14, 1.125f},
                                {21, 22.5f, 23.25f, 24, 2.125f},
                                {31, 32.5f, 33.25f, 34, 3.125f},
                                {41, 42.5f, 43.25f, 44, 4.125f}};
    const float autoCal[5] = {61, 62.5f, 63.25f, 64, 6.125f};
    const float before[5] = {5, 6.5f, 7.25f, 8, 0.375f};
    const float after[5] = {50, 16.5f, 17.75f, 18, 0.875f};
    for (int i = 0; i < 5; ++i) {
        for (int k = 0; k < 4; ++k) {
            s.levels[k][i] = levels[k][i];
            expect(levelCodes[k], levelProperties[k], i, levels[k][i]);
        }
        s.autoCal[i] = autoCal[i];
        expect("SA", "AutoCalib", i, autoCal[i]);
        const QDateTime when(QDate(2024, 1 + i, 2 + i), QTime(3 + i, 4 + i, 5 + i));
        s.history[i] = SimCalibration{when, before[i], after[i]};
        expect("SO", "CalibDate", i,
               when.toOffsetFromUtc(when.offsetFromUtc()).toString(Qt::ISODate));
        expect("SO", "CalibBefore", i, before[i]);
        expect("SO", "CalibAfter", i, after[i]);
    }

    s.zeroSwitches = "1101";
    s.overScale = "0100";
    s.bump = {3, 4, 2, 0};
    s.backlight = {3, 2, 1};
    for (int i = 0; i < 4; ++i) {
        expect("UZ", "Zero", i, s.zeroSwitches.at(i) == '1' ? 1 : 0);
        expect("AO", "OverScale", i, s.overScale.at(i) == '1' ? 1 : 0);
    }
    const Scalar ranged[] = {
        {"BU", "BumpTime", 3},      {"BU", "BumpThreshold", 4}, {"BU", "BumpFailCalTime", 2},
        {"BU", "BumpFailAfter", 0}, {"WB", "LcBhMode", 3},      {"WB", "BhTime", 2},
        {"WB", "LcBuzzer", 1},
    };
    for (const Scalar& x : ranged)
        expect(x.code, x.property, -1, x.value);

    for (int i = 0; i < 8; ++i) {
        s.analog[i] = quint16(0x111 * (i + 1));
        expect("HA", "AnalogValue", i, 0x111 * (i + 1));
    }
    s.adReal = 2.75f;
    expect("HA", "AdrealValue", -1, 2.75);

    // Stations keep their 16 columns in the record (the JSON leaves the padding out); station
    // 77 has an empty name.
    for (int i = 0; i < SimDeviceState::Stations; ++i) {
        const QString name = i == 77 ? QString() : QString("STN-%1").arg(i, 3, 10, QChar('0'));
        s.stationList[i] = name.toLatin1();
        expect("XS", "StationList", i, name);
    }

    // Table t carries library entries t (one decimal) and t + 15 (two decimals).
    for (int n = 1; n <= SimDeviceState::LibraryEntries; ++n) {
        const bool low = n <= 15;
        const double fullScale = low ? 100 + n : n + 0.75;
        const QString name = QString("LIB-%1").arg(n, 2, 10, QChar('0'));
        const QString unit = QString("U%1").arg(n, 2, 10, QChar('0'));
        s.library[n] =
            SimLibraryGas{name.toLatin1(),      QByteArray::number(fullScale, 'f', low ? 0 : 2),
                          low ? "0.5" : "0.25", unit.toLatin1(),
                          quint32(0x200 + n),   float(n) + 0.5f};
        expect("LI", "LI_Name", n, name);
        expect("LI", "LI_FullScale", n, fullScale);
        expect("LI", "LI_Digit", n, low ? 0.5 : 0.25);
        expect("LI", "LI_Point", n, low ? 1 : 2);
        expect("LI", "LI_Unit", n, unit);
        expect("LI", "LI_elem_vol", n, 0x200 + n);
        expect("LI", "LI_Ratio", n, n + 0.5);
    }

    s.userGas[0] = {"07", "USR-ONE", "250", "0.5", "ppm", "1A2", SimFields::hexSingle(1.5f)};
    s.userGas[1] = {"1C", "USR-TWO", "12.5", "0.25", "vol%", "2B3", SimFields::hexSingle(2.75f)};
    const struct {
        const char* property;
        QJsonValue values[2];
    } userGas[] = {
        {"LS_No", {7, 28}},
        {"LS_Name", {"USR-ONE", "USR-TWO"}},
        {"LS_FullScale", {250, 12.5}},
        {"LS_Digit", {0.5, 0.25}},
        {"LS_Point", {1, 2}},
        {"LS_Unit", {"ppm", "vol%"}},
        {"LS_elem_vol", {0x1A2, 0x2B3}},
        {"LS_Ratio", {1.5, 2.75}},
    };
    for (const auto& x : userGas)
        for (int r = 0; r < 2; ++r)
            expect("LS", x.property, r, x.values[r]);

    // Raw texts in the order of their reply fields (a name starts with its command code);
    // every field gets its own number.
    const QString coefficients =
        "C1_lel_zero_f C1_lel_zero C1_lel_span_f C1_lel_span C1_vol_zero_f C1_vol_zero "
        "C1_vol_span_f C1_vol_span C2_lel_zero_f C2_lel_zero C2_lel_span_f C2_lel_span "
        "C2_vol_zero_f C2_vol_zero C2_vol_span_f C2_vol_span C3_lel_sq C3_lel_th C3_vol_sq "
        "C3_vol_th C4_lel_sq C4_lel_th C4_vol_sq C4_vol_th C5_lel_zero_f C5_lel_zero "
        "C5_vol_zero_f C5_vol_zero C5_lel_zero_fh C5_lel_zeroh C5_vol_zero_fh C5_vol_zeroh "
        "CA_lel_sq CA_lel_th CA_vol_sq CA_vol_th CB_lel_sq CB_lel_th CB_vol_sq CB_vol_th "
        "CC_lel_sq CC_lel_th CC_vol_sq CC_vol_th OG_lo OG_hi VG_lo VG_hi V2_lo_sq V2_lo_th "
        "V2_lo_cn V2_hi_sq V2_hi_th V2_hi_cn CD_span CE_span CF_span CK_span CL_span CM_span";
    s.coefficients.clear();
    int number = 100;
    for (const QString& property : coefficients.split(u' ')) {
        s.coefficients[property.left(2).toLatin1()] << QByteArray::number(++number);
        // The instrument gives these four in hexadecimal digits, the others in decimal ones.
        const bool hex = QStringList{"VG_lo", "VG_hi", "V2_lo_sq", "V2_hi_sq"}.contains(property);
        expect(property.left(2), property, -1,
               hex ? QJsonValue(QString::number(number)) : QJsonValue(number));
    }
    s.coefficients["CN"] = {"72"};
    expect("CN", "CN_ir", -1, 7);
    expect("CN", "CN_o2", -1, 2);
    return e;
}

// The rows of the commands `take` picks that the record does not hold, one line each.
QString mismatches(const clsInstrument& record, const QList<Expect>& rows,
                   const std::function<bool(const QString& code)>& take) {
    const QJsonObject o = record.ToJson();
    QStringList bad;
    for (const Expect& x : rows) {
        if (!take(x.code))
            continue;
        const QJsonValue v = o.value(x.property);
        const QJsonValue got = x.index < 0 ? v : v.toArray().at(x.index);
        if (v.isUndefined() || got != x.value)
            bad << QString("%1 %2%3 = \"%4\", expected \"%5\"")
                       .arg(x.code, x.property,
                            x.index < 0 ? QString() : QString("(%1)").arg(x.index),
                            got.toVariant().toString(), x.value.toVariant().toString());
    }
    return bad.join(u'\n');
}

// An instrument on a serial line, answering from the simulator's own responder: one reply is
// on the wire at a time (the next goes out once the PC has taken the one before), and the
// first try of `slow` is answered late, when the PC's resend arrives, so the answer to the
// resend trails behind it and reaches the PC after the next command has gone out.
class SlowOnceLine : public PortControl {
public:
    SlowOnceLine(QByteArray slow, QObject* parent) : PortControl(parent), m_slow(std::move(slow)) {}
    bool open() override { return m_open = true; }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    int modemStatus() override { return m_open ? ModemCts | ModemDsr : 0; }
    QByteArray readAll() override { return std::exchange(m_rx, {}); }
    qint64 write(const QByteArray& bytes) override {
        m_reader.feed(bytes);
        while (m_reader.hasFrame()) {
            const QByteArray frame = m_reader.takeFrame();
            const SimFrame::Parsed p = SimFrame::parse(frame);
            SimRequest request;
            if (!p.ok || !SimRequest::fromPayload(frame, p.payload, &request))
                continue;
            payloads << QString::fromLatin1(request.payload);
            const QByteArray reply = m_responder.respond(request).bytes;
            if (!m_held.isEmpty())
                m_line << std::exchange(m_held, {});
            if (request.payload == m_slow && payloads.count(QString::fromLatin1(m_slow)) == 1)
                m_held = reply;
            else
                m_line << reply;
        }
        sendNext();
        return bytes.size();
    }

    SimDeviceState state;
    QStringList payloads;

private:
    void sendNext() {
        if (m_sending || m_line.isEmpty())
            return;
        m_sending = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_sending = false;
                m_rx += m_line.takeFirst();
                emit portEvent(PortEvent::Received, 0);
                sendNext(); // posted from inside this event: it arrives in a later pass
            },
            Qt::QueuedConnection);
    }

    SimResponder m_responder{state};
    SimFrameReader m_reader;
    QByteArray m_slow;
    QByteArray m_held;
    QList<QByteArray> m_line;
    QByteArray m_rx;
    bool m_open = false;
    bool m_sending = false;
};

} // namespace

class TestReadProperties : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SetMessageLanguage("en"); }

    void fullReadStoresEverySettingUnderItsName() {
        seqtest::SimLink s;
        QVERIFY(s.connect());
        const QList<Expect> rows = presetInstrument(s.sim().state());
        // Where the instrument's value equals the record's default, start from another one.
        s.record.setDemandZero(1);
        s.record.setGasEnabled(3, true);
        s.record.setGasName(3, "stale");
        s.record.setGasPoint(3, 2);
        s.record.setGasFullScale(3, 50);
        QElapsedTimer elapsed;
        elapsed.start();
        s.sim().state().setClock(ClockSet);

        Watchdog dog(s.link);
        ReadSequences read(s.link);
        QVERIFY(read.GetInstrument(&s.record));
        QVERIFY(read.GetAutoCalDensty(&s.record));
        // Commands a full read does not send, read one by one.
        for (const char* payload :
             {"LP,R,", "AM,R,", "AS,R,", "AW,R,", "UZ,R,", "AO,R,", "BU,R,", "WB,R,"})
            QVERIFY2(read.ReadSingle(QString::fromLatin1(payload), &s.record), payload);
        QVERIFY(!dog.fired());

        const QString bad =
            mismatches(s.record, rows, [](const QString& code) { return code != "SO"; });
        QVERIFY2(bad.isEmpty(), qPrintable(bad));
        QCOMPARE(s.record.StationList(1), QString("STN-001").leftJustified(16));

        // The instrument's clock, which ran on by at most the time the reads took.
        const QDateTime clock =
            QDateTime::fromString(s.record.ToJson().value("SysDate").toString(), Qt::ISODate);
        QVERIFY2(clock >= ClockSet && clock <= ClockSet.addMSecs(elapsed.elapsed() + 1000),
                 qPrintable(clock.toString(Qt::ISODate)));
    }

    void historyKeepsBeforeAndAfterPerChannel() {
        seqtest::SimLink s;
        QVERIFY(s.connect());
        const QList<Expect> rows = presetInstrument(s.sim().state());
        Watchdog dog(s.link);
        QVERIFY(ReadSequences(s.link).GetLatestHistory(&s.record));
        QVERIFY(!dog.fired());
        const QString bad =
            mismatches(s.record, rows, [](const QString& code) { return code == "SO"; });
        QVERIFY2(bad.isEmpty(), qPrintable(bad));
    }

    void lateLibraryReplyIsNotTakenForTheNextTable() {
        linktest::LogFolder log;
        clsInstrument record;
        uclHbif link;
        auto* line = new SlowOnceLine("LI,R,01", &link);
        const QList<Expect> rows = presetInstrument(line->state);
        link.setSerialControl(line);
        seqtest::configure(link, record);
        Watchdog dog(link);
        link.ActivePort()->open();
        link.waitWhile([&] { return !link.Connected() && !dog.fired(); });
        QVERIFY(link.Connected());
        QVERIFY(ReadSequences(link).GetInstrument(&record));
        QVERIFY(!dog.fired());
        QCOMPARE(line->payloads.count("LI,R,01"), 2); // the late answer came after a resend
        // Table 15 is the one a reply lagging one command behind would never reach.
        const QString bad = mismatches(
            record, rows, [](const QString& code) { return code == "LI" || code == "XS"; });
        QVERIFY2(bad.isEmpty(), qPrintable(bad));
    }
};

QTEST_GUILESS_MAIN(TestReadProperties)
#include "test_read_properties.moc"
