#include "model/CommandSet.h"

#include "model/Payloads.h"
#include "model/clsInstrument.h"

#include <limits>
#include <utility>

namespace {

using E = FieldEncoding;
using C = clsInstrument;

template <typename T> constexpr qint32 typeMin() {
    return qint32(std::numeric_limits<T>::min());
}
template <typename T> constexpr qint32 typeMax() {
    return qint32(std::numeric_limits<T>::max());
}

#define TQ_NUMERIC(code, prop, flag, rd, wr, digits)                                               \
    NumericSetting {                                                                               \
        code, [](const C& r) -> qint32 { return r.prop(); },                                       \
            [](C& r, qint32 v) { r.set##prop(decltype(std::declval<C>().prop())(v)); },            \
            [](const C& r) -> bool { return r.flag(); }, [](C& r, bool b) { r.set##flag(b); }, rd, \
            wr, digits, typeMin<decltype(std::declval<C>().prop())>(),                             \
            typeMax<decltype(std::declval<C>().prop())>()                                          \
    }

namespace P = CommandPolicy;
using K = Key;
using Y = ReplyRule;
// clang-format off
const CommandKeyRow kKeyRows[] = {
    // name               key     policy                         reply
    {K::Connect,         "RC,R", P::None,                        Y::Connect},
    {K::LiveRead,        "DN,R", P::None,                        Y::Live},
    {K::ClockRead,       "HC,R", P::None,                        Y::ClockRead},
    {K::ClockWrite,      "HC,W", P::None,                        Y::ClockEcho},
    {K::History,         "SO,R", P::None,                        Y::History},
    {K::Other,           "VP,R", P::None,                        Y::RomNumber},
    {K::Other,           "VS,R", P::None,                        Y::Sum},
    {K::Other,           "CN,R", P::None,                        Y::Channels},
    {K::Other,           "HA,R", P::None,                        Y::Analog},
    {K::Other,           "LS,R", P::None,                        Y::UserGas},
    {K::Other,           "UZ,W", P::None,                        Y::SwitchEcho},
    {K::StationRead,     "XS,R", P::EchoesSelector,              Y::StationEntry},
    {K::StationWrite,    "XS,W", P::AcceptAny,                   Y::AcceptAny},
    {K::GasTableRead,    "GJ,R", P::None,                        Y::GasTable},
    {K::GasTableWrite,   "GJ,W", P::AcceptAny,                   Y::AcceptAny},
    {K::LibraryRead,     "LI,R", P::EchoesSelector,              Y::Library},
    {K::UserGasWrite,    "LS,W", P::AcceptAny,                   Y::AcceptAny},
    {K::ZeroStart,       "SZ,W", P::NeverResend | P::AckOnly,    Y::Acknowledge},
    {K::ZeroPoll,        "SZ,C", P::None,                        Y::ZeroResult},
    {K::Other,           "SZ,R", P::None,                        Y::ZeroSpanFields},
    {K::Other,           "S1,R", P::None,                        Y::ZeroSpanFields},
    {K::Other,           "S1,W", P::NeverResend,                 Y::SpanResult},
    {K::Span,            "S2,W", P::NeverResend,                 Y::SpanResult},
    {K::Nitrogen,        "SN,W", P::None,                        Y::Nitrogen},
    {K::Defaults,        "UX,W", P::NeverResend | P::AckOnly,    Y::Acknowledge},
    {K::DefaultsPoll,    "UX,C", P::None,                        Y::Completion},
    {K::BodyClear,       "XC,W", P::NeverResend | P::AckOnly,    Y::Acknowledge},
    {K::BodyClearPoll,   "XC,C", P::None,                        Y::Completion},
    {K::PowerClear,      "XY,W", P::AckOnly,                     Y::Acknowledge},
    {K::PowerClearPoll,  "XY,C", P::None,                        Y::Completion},
    {K::Other,           "C1,E", P::AckOnly,                     Y::Acknowledge},
    {K::Other,           "C2,E", P::AckOnly,                     Y::Acknowledge},
    {K::Other,           "C5,E", P::AckOnly,                     Y::Acknowledge},
    {K::PowerOff,        "RO,W", P::AckOnly,                     Y::Acknowledge},
    {K::Other,           "UD,W", P::AckOnly,                     Y::Acknowledge},
    {K::Other,           "UP,W", P::AckOnly,                     Y::Acknowledge},
    {K::Save,            "DW,W", P::AckOnly,                     Y::Acknowledge},
    {K::CheckData,       "XH,E", P::AckOnly,                     Y::Acknowledge},
    {K::Other,           "BU,W", P::AcceptAny,                   Y::AcceptAny},
    {K::Other,           "WB,W", P::AcceptAny,                   Y::AcceptAny},
    {K::Other,           "UG,R", P::AcceptAny,                   Y::AcceptAny},
    {K::Other,           "UG,W", P::AcceptAny,                   Y::AcceptAny},
    {K::Other,           "BP,R", P::AcceptAny,                   Y::AcceptAny},
    {K::Pump,            "BP,W", P::AcceptAny,                   Y::AcceptAny},
    {K::MemoryBlockRead, "EP,R", P::None,                        Y::DumpList},
    {K::DumpListing,     "EF,R", P::None,                        Y::DumpList},
    {K::Other,           "ES,R", P::None,                        Y::DumpList},
    // "YA,R" to "YV,R": every letter from A to V, acknowledged without decoding.
    {K::Other, "YA,R", P::None, Y::AcceptAny}, {K::Other, "YB,R", P::None, Y::AcceptAny},
    {K::Other, "YC,R", P::None, Y::AcceptAny}, {K::Other, "YD,R", P::None, Y::AcceptAny},
    {K::Other, "YE,R", P::None, Y::AcceptAny}, {K::Other, "YF,R", P::None, Y::AcceptAny},
    {K::Other, "YG,R", P::None, Y::AcceptAny}, {K::Other, "YH,R", P::None, Y::AcceptAny},
    {K::Other, "YI,R", P::None, Y::AcceptAny}, {K::Other, "YJ,R", P::None, Y::AcceptAny},
    {K::Other, "YK,R", P::None, Y::AcceptAny}, {K::Other, "YL,R", P::None, Y::AcceptAny},
    {K::Other, "YM,R", P::None, Y::AcceptAny}, {K::Other, "YN,R", P::None, Y::AcceptAny},
    {K::Other, "YO,R", P::None, Y::AcceptAny}, {K::Other, "YP,R", P::None, Y::AcceptAny},
    {K::Other, "YQ,R", P::None, Y::AcceptAny}, {K::Other, "YR,R", P::None, Y::AcceptAny},
    {K::Other, "YS,R", P::None, Y::AcceptAny}, {K::Other, "YT,R", P::None, Y::AcceptAny},
    {K::Other, "YU,R", P::None, Y::AcceptAny}, {K::Other, "YV,R", P::None, Y::AcceptAny},
};
// clang-format on

const NumericSetting kSettings[] = {
    TQ_NUMERIC("AP", AlarmMode, Change_AlarmMode, E::Decimal, E::Decimal, 0),
    TQ_NUMERIC("LP", HcMode, Change_HCMode, E::Decimal, E::Decimal, 0),
    TQ_NUMERIC("SC", CalLimit, Change_CalLimit, E::Hex, E::Hex, 3),
    TQ_NUMERIC("XP", Intervals, Change_Interval, E::Hex, E::Hex, 3),
    TQ_NUMERIC("SD", DispCalLimit, Change_DispCalLimit, E::Decimal, E::FlagDigit, 0),
    TQ_NUMERIC("SM", CalCheck, Change_CalCheck, E::Decimal, E::Decimal, 0),
    TQ_NUMERIC("XB", Confirmation, Change_Confirmation, E::Hex, E::Decimal, 0),
    TQ_NUMERIC("XW", LogOverWrite, Change_LogOverWrite, E::Decimal, E::Decimal, 0),
    TQ_NUMERIC("XT", LcdBackLight, Change_LcdBackLight, E::Hex, E::Hex, 3),
    TQ_NUMERIC("UQ", autoBackLight, Change_autoBackLight, E::Decimal, E::Decimal, 0),
    TQ_NUMERIC("AF", AlarmOnOff, Change_AlarmOnOff, E::Decimal, E::Decimal, 0),
    TQ_NUMERIC("AM", StelTwaOnOff, Change_StelTwaOnOff, E::Decimal, E::Decimal, 0),
    TQ_NUMERIC("AT", AlarmO2, Change_AlarmO2, E::Decimal, E::Decimal, 0),
    NumericSetting{"UJ", nullptr, nullptr, [](const C& r) -> bool { return r.Change_SpecType(); },
                   [](C& r, bool b) { r.setChange_SpecType(b); }, E::Text, E::Text, 0, 0, 0},
    TQ_NUMERIC("CP", FlowLevel, Change_FlowLevel, E::Hex, E::Hex, 4),
    TQ_NUMERIC("HF", pressOffset, Change_pressOffset, E::Hex, E::Hex, 2),
    TQ_NUMERIC("SJ", AutoZero, Change_AutoZero, E::FirstCharFlag, E::Decimal, 0),
    TQ_NUMERIC("SG", DemandZero, Change_DemandZero, E::FirstCharFlag, E::Decimal, 0),
};
#undef TQ_NUMERIC

const IdentityCommand kIdentity[] = {
    {"IN", &C::Change_SerialNo, &C::SerialNo, &C::setSerialNo, &C::setChange_SerialNo, 20},
    {"HN", &C::Change_DummySerial, &C::DummySerial, &C::setDummySerial, &C::setChange_DummySerial,
     20},
    {"XZ", &C::Change_UserID, &C::UserID, &C::setUserID, &C::setChange_UserID, 16},
    {"BS", &C::Change_SpecNo, &C::SpecNo, &C::setSpecNo, &C::setChange_SpecNo, 10},
};

#define TQ_LEVEL(code, prop, flag, writable)                                                       \
    LevelCommand {                                                                                 \
        code, [](const C& r, int i) -> float { return r.prop(i); },                                \
            [](C& r, int i, float v) { r.set##prop(i, v); },                                       \
            [](const C& r, int i) -> bool { return r.flag(i); },                                   \
            [](C& r, int i, bool b) { r.set##flag(i, b); }, writable                               \
    }
const LevelCommand kLevels[] = {
    TQ_LEVEL("A1", Warning, Change_Warn, true),       TQ_LEVEL("A2", Alarm, Change_Alarm, true),
    TQ_LEVEL("AS", Stel, Change_Stel, true),          TQ_LEVEL("AW", Twa, Change_Twa, true),
    TQ_LEVEL("SA", AutoCalib, Change_AutoCal, false),
};
#undef TQ_LEVEL

const SwitchCommand kSwitches[] = {
    {"UZ", [](C& r, int i, qint16 v) { r.setZero(i, v); },
     [](C& r, int i, bool b) { r.setChange_Zero(i, b); }},
    {"AO", [](C& r, int i, qint16 v) { r.setOverScale(i, v); },
     [](C& r, int i, bool b) { r.setChange_OverScale(i, b); }},
};

#define TQ_RANGED(prop, flag, lo, hi)                                                              \
    RangedField {                                                                                  \
        [](C& r, qint16 v) { r.set##prop(v); }, [](C& r, bool b) { r.set##flag(b); }, lo, hi       \
    }
const RangedGroupCommand kRanged[] = {
    {"BU",
     4,
     false,
     {TQ_RANGED(BumpTime, Change_BumpTime, 0, 3),
      TQ_RANGED(BumpThreshold, Change_BumpThreshold, 0, 4),
      TQ_RANGED(BumpFailCalTime, Change_BumpFailCalTime, 0, 2),
      TQ_RANGED(BumpFailAfter, Change_BumpFailAfter, 0, 1)}},
    {"WB",
     3,
     true,
     {TQ_RANGED(LcBhMode, Change_LcBhMode, 0, 3), TQ_RANGED(BhTime, Change_BhTime, 0, 2),
      TQ_RANGED(LcBuzzer, Change_LcBuzzer, 0, 1), RangedField{nullptr, nullptr, 0, 0}}},
};
#undef TQ_RANGED

// The group's write reply is decoded from its first `chars` data characters only.
CoefficientCommand writeReplyOf(int chars, CoefficientCommand c) {
    c.writeReplyChars = chars;
    return c;
}

// Member pointers of a coefficient group, in wire order.
#define TQ_G(name) &C::name
#define TQ_S(name) &C::set##name
#define TQ_COEFF8(code, a, b, c, d, e, f, g, h, flag)                                              \
    CoefficientCommand {                                                                           \
        code, 8, false, {TQ_G(a), TQ_G(b), TQ_G(c), TQ_G(d), TQ_G(e), TQ_G(f), TQ_G(g), TQ_G(h)},  \
            {TQ_S(a), TQ_S(b), TQ_S(c), TQ_S(d), TQ_S(e), TQ_S(f), TQ_S(g), TQ_S(h)}, flag         \
    }
#define TQ_COEFF4(code, a, b, c, d, flag)                                                          \
    CoefficientCommand {                                                                           \
        code, 4, false, {TQ_G(a), TQ_G(b), TQ_G(c), TQ_G(d)},                                      \
            {TQ_S(a), TQ_S(b), TQ_S(c), TQ_S(d)}, flag                                             \
    }
#define TQ_COEFF2(code, a, b, flag)                                                                \
    CoefficientCommand {                                                                           \
        code, 2, false, {TQ_G(a), TQ_G(b)}, {TQ_S(a), TQ_S(b)}, flag                               \
    }
#define TQ_COEFF6(code, a, b, c, d, e, f, flag)                                                    \
    CoefficientCommand {                                                                           \
        code, 6, false, {TQ_G(a), TQ_G(b), TQ_G(c), TQ_G(d), TQ_G(e), TQ_G(f)},                    \
            {TQ_S(a), TQ_S(b), TQ_S(c), TQ_S(d), TQ_S(e), TQ_S(f)}, flag                           \
    }
#define TQ_SPAN(code, a, flag)                                                                     \
    CoefficientCommand {                                                                           \
        code, 1, true, {TQ_G(a)}, {TQ_S(a)}, flag                                                  \
    }
const CoefficientCommand kCoefficients[] = {
    TQ_COEFF8("C1", C1_lel_zero_f, C1_lel_zero, C1_lel_span_f, C1_lel_span, C1_vol_zero_f,
              C1_vol_zero, C1_vol_span_f, C1_vol_span, &C::setChange_C1),
    TQ_COEFF8("C2", C2_lel_zero_f, C2_lel_zero, C2_lel_span_f, C2_lel_span, C2_vol_zero_f,
              C2_vol_zero, C2_vol_span_f, C2_vol_span, &C::setChange_C2),
    TQ_COEFF4("C3", C3_lel_sq, C3_lel_th, C3_vol_sq, C3_vol_th, &C::setChange_C3),
    TQ_COEFF4("C4", C4_lel_sq, C4_lel_th, C4_vol_sq, C4_vol_th, &C::setChange_C4),
    writeReplyOf(31, TQ_COEFF8("C5", C5_lel_zero_f, C5_lel_zero, C5_vol_zero_f, C5_vol_zero,
                               C5_lel_zero_fh, C5_lel_zeroh, C5_vol_zero_fh, C5_vol_zeroh,
                               &C::setChange_C5)),
    TQ_COEFF4("CA", CA_lel_sq, CA_lel_th, CA_vol_sq, CA_vol_th, &C::setChange_CA),
    TQ_COEFF4("CB", CB_lel_sq, CB_lel_th, CB_vol_sq, CB_vol_th, &C::setChange_CB),
    TQ_COEFF4("CC", CC_lel_sq, CC_lel_th, CC_vol_sq, CC_vol_th, &C::setChange_CC),
    TQ_COEFF2("OG", OG_lo, OG_hi, nullptr),
    TQ_COEFF2("VG", VG_lo, VG_hi, nullptr),
    TQ_COEFF6("V2", V2_lo_sq, V2_lo_th, V2_lo_cn, V2_hi_sq, V2_hi_th, V2_hi_cn, nullptr),
    TQ_SPAN("CD", CD_span, &C::setChange_CD),
    TQ_SPAN("CE", CE_span, &C::setChange_CE),
    TQ_SPAN("CF", CF_span, &C::setChange_CF),
    TQ_SPAN("CK", CK_span, &C::setChange_CK),
    TQ_SPAN("CL", CL_span, &C::setChange_CL),
    TQ_SPAN("CM", CM_span, &C::setChange_CM),
};
#undef TQ_SPAN
#undef TQ_COEFF6
#undef TQ_COEFF2
#undef TQ_COEFF4
#undef TQ_COEFF8
#undef TQ_S
#undef TQ_G

template <typename T, std::size_t N> const T* findByCode(const T (&table)[N], QStringView code) {
    for (const T& e : table)
        if (code == QLatin1String(e.code))
            return &e;
    return nullptr;
}

} // namespace

std::span<const IdentityCommand> IdentityCommands() {
    return kIdentity;
}
std::span<const NumericSetting> NumericSettings() {
    return kSettings;
}
std::span<const LevelCommand> LevelCommands() {
    return kLevels;
}
std::span<const SwitchCommand> SwitchCommands() {
    return kSwitches;
}
std::span<const RangedGroupCommand> RangedGroupCommands() {
    return kRanged;
}
std::span<const CoefficientCommand> CoefficientCommands() {
    return kCoefficients;
}

const IdentityCommand* FindIdentityCommand(QStringView code) {
    return findByCode(kIdentity, code);
}
const NumericSetting* FindNumericSetting(QStringView code) {
    return findByCode(kSettings, code);
}
const LevelCommand* FindLevelCommand(QStringView code) {
    return findByCode(kLevels, code);
}
const CoefficientCommand* FindCoefficientCommand(QStringView code) {
    return findByCode(kCoefficients, code);
}

QString ReadPayload(QStringView code) {
    return code.toString() + QStringLiteral(",R,");
}

QString IdentityWritePayload(QStringView code, const clsInstrument& r) {
    const IdentityCommand* c = FindIdentityCommand(code);
    if (!c)
        return QString();
    return code.toString() + QStringLiteral(",W,") + TextN((r.*(c->get))(), c->width);
}

QString EncodeSetting(const NumericSetting& s, const clsInstrument& r) {
    if (s.write == E::Text)
        return r.SpecType();
    const qint32 v = s.get(r);
    switch (s.write) {
    case E::Hex:
        return HexN(v, s.hexDigits);
    case E::FlagDigit:
        return v != 0 ? QStringLiteral("1") : QStringLiteral("0");
    default:
        return QString::number(v);
    }
}

QString SettingWritePayload(QStringView code, const clsInstrument& r) {
    const NumericSetting* s = FindNumericSetting(code);
    if (!s)
        return QString();
    return code.toString() + QStringLiteral(",W,") + EncodeSetting(*s, r);
}

QString LevelsWritePayload(QStringView code, const clsInstrument& r) {
    const LevelCommand* c = FindLevelCommand(code);
    if (!c)
        return QString();
    QStringList parts;
    for (int i = 0; i < clsInstrument::GasCount; ++i)
        parts << LevelText(c->get(r, i), r.GasPoint(i));
    return code.toString() + QStringLiteral(",W,") + parts.join(u',');
}

QString StationIdReadPayload() {
    return CommandPayload(Key::StationRead, u"****");
}

QString StationReadPayload(int index) {
    return CommandPayload(Key::StationRead, HexN(index, 4));
}

QString StationIdWritePayload(const clsInstrument& r) {
    return CommandPayload(Key::StationWrite, QStringLiteral("****,") + TextN(r.StationID(), 16));
}

QString StationWritePayload(const clsInstrument& r, int index) {
    return CommandPayload(Key::StationWrite,
                          HexN(index, 4) + u',' + TextN(r.StationList(index), 16));
}

QString GasTableWritePayload(const clsInstrument& r) {
    return CommandPayload(Key::GasTableWrite, GasRecordsPayload(r));
}

QString UserGasWritePayload(const clsInstrument& r) {
    return CommandPayload(Key::UserGasWrite,
                          LsWritePayloadRecord(r, 0) + LsWritePayloadRecord(r, 1));
}

QString LibraryReadPayload(int table) {
    return CommandPayload(Key::LibraryRead, HexN(table, 2));
}

QString ClockWritePayload(const AppDate& when) {
    return CommandPayload(Key::ClockWrite, when.format(QStringLiteral("yyMMddhhmmss")));
}

QString MemoryBlockReadPayload(int block) {
    return CommandPayload(Key::MemoryBlockRead, HexN(block, 4));
}

std::span<const CommandKeyRow> CommandKeyRows() {
    return kKeyRows;
}

QByteArray KeyText(Key key) {
    for (const CommandKeyRow& row : kKeyRows)
        if (row.name == key && key != Key::Other)
            return QByteArray(row.key);
    return QByteArray();
}

QString CommandPayload(Key key, QStringView data) {
    QString payload = QString::fromLatin1(KeyText(key));
    payload += u',';
    payload += data;
    return payload;
}

QString CommandCode(Key key) {
    return QString::fromLatin1(KeyText(key).left(2));
}

unsigned PolicyOf(QByteArrayView key) {
    if (key.size() != 4)
        return CommandPolicy::None;
    for (const CommandKeyRow& row : kKeyRows)
        if (key == QByteArrayView(row.key))
            return row.policy;
    return CommandPolicy::None;
}
