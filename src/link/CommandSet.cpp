#include "link/CommandSet.h"

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
            [](C& r, bool b) { r.set##flag(b); }, rd, wr, digits,                                  \
            typeMin<decltype(std::declval<C>().prop())>(),                                         \
            typeMax<decltype(std::declval<C>().prop())>()                                          \
    }

// clang-format off
const CommandKeyRow kKeyRows[] = {
    // key   policy
    {"UX,W", CommandPolicy::NeverResend | CommandPolicy::AckOnly},
    {"XC,W", CommandPolicy::NeverResend | CommandPolicy::AckOnly},
    {"SZ,W", CommandPolicy::NeverResend | CommandPolicy::AckOnly},
    {"S1,W", CommandPolicy::NeverResend},
    {"S2,W", CommandPolicy::NeverResend},
    {"XS,R", CommandPolicy::EchoesSelector},
    {"LI,R", CommandPolicy::EchoesSelector},
    {"C1,E", CommandPolicy::AckOnly},
    {"C2,E", CommandPolicy::AckOnly},
    {"C5,E", CommandPolicy::AckOnly},
    {"XY,W", CommandPolicy::AckOnly},
    {"RO,W", CommandPolicy::AckOnly},
    {"UD,W", CommandPolicy::AckOnly},
    {"UP,W", CommandPolicy::AckOnly},
    {"DW,W", CommandPolicy::AckOnly},
    {"XH,E", CommandPolicy::AckOnly},
    {"XS,W", CommandPolicy::AcceptAny},
    {"GJ,W", CommandPolicy::AcceptAny},
    {"BU,W", CommandPolicy::AcceptAny},
    {"WB,W", CommandPolicy::AcceptAny},
    {"LS,W", CommandPolicy::AcceptAny},
    {"UG,R", CommandPolicy::AcceptAny},
    {"UG,W", CommandPolicy::AcceptAny},
    {"BP,R", CommandPolicy::AcceptAny},
    {"BP,W", CommandPolicy::AcceptAny},
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
    NumericSetting{"UJ", nullptr, nullptr, [](C& r, bool b) { r.setChange_SpecType(b); }, E::Text,
                   E::Text, 0, 0, 0},
    TQ_NUMERIC("CP", FlowLevel, Change_FlowLevel, E::Hex, E::Hex, 4),
    TQ_NUMERIC("HF", pressOffset, Change_pressOffset, E::Hex, E::Hex, 2),
    TQ_NUMERIC("SJ", AutoZero, Change_AutoZero, E::FirstCharFlag, E::Decimal, 0),
    TQ_NUMERIC("SG", DemandZero, Change_DemandZero, E::FirstCharFlag, E::Decimal, 0),
};
#undef TQ_NUMERIC

const IdentityCommand kIdentity[] = {
    {"IN", &C::SerialNo, &C::setSerialNo, &C::setChange_SerialNo, 20},
    {"HN", &C::DummySerial, &C::setDummySerial, &C::setChange_DummySerial, 20},
    {"XZ", &C::UserID, &C::setUserID, &C::setChange_UserID, 16},
    {"BS", &C::SpecNo, &C::setSpecNo, &C::setChange_SpecNo, 10},
};

#define TQ_LEVEL(code, prop, flag)                                                                 \
    LevelCommand {                                                                                 \
        code, [](const C& r, int i) -> float { return r.prop(i); },                                \
            [](C& r, int i, float v) { r.set##prop(i, v); },                                       \
            [](C& r, int i, bool b) { r.set##flag(i, b); }                                         \
    }
const LevelCommand kLevels[] = {
    TQ_LEVEL("A1", Warning, Change_Warn),      TQ_LEVEL("A2", Alarm, Change_Alarm),
    TQ_LEVEL("AS", Stel, Change_Stel),         TQ_LEVEL("AW", Twa, Change_Twa),
    TQ_LEVEL("SA", AutoCalib, Change_AutoCal),
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
    TQ_COEFF8("C5", C5_lel_zero_f, C5_lel_zero, C5_vol_zero_f, C5_vol_zero, C5_lel_zero_fh,
              C5_lel_zeroh, C5_vol_zero_fh, C5_vol_zeroh, &C::setChange_C5),
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
    return QStringLiteral("XS,R,****");
}

QString StationReadPayload(int index) {
    return QStringLiteral("XS,R,") + HexN(index, 4);
}

QString StationIdWritePayload(const clsInstrument& r) {
    return QStringLiteral("XS,W,****,") + TextN(r.StationID(), 16);
}

QString StationWritePayload(const clsInstrument& r, int index) {
    return QStringLiteral("XS,W,") + HexN(index, 4) + u',' + TextN(r.StationList(index), 16);
}

QString GasTableWritePayload(const clsInstrument& r) {
    return QStringLiteral("GJ,W,") + GasRecordsPayload(r);
}

QString UserGasWritePayload(const clsInstrument& r) {
    return QStringLiteral("LS,W,") + LsWritePayloadRecord(r, 0) + LsWritePayloadRecord(r, 1);
}

QString LibraryReadPayload(int table) {
    return QStringLiteral("LI,R,") + HexN(table, 2);
}

QString ClockWritePayload(const AppDate& when) {
    return QStringLiteral("HC,W,") + when.format(QStringLiteral("yyMMddhhmmss"));
}

QString MemoryBlockReadPayload(int block) {
    return QStringLiteral("EP,R,") + HexN(block, 4);
}

std::span<const CommandKeyRow> CommandKeyRows() {
    return kKeyRows;
}

unsigned PolicyOf(QByteArrayView key) {
    if (key.size() != 4)
        return CommandPolicy::None;
    for (const CommandKeyRow& row : kKeyRows)
        if (key == QByteArrayView(row.key))
            return row.policy;
    return CommandPolicy::None;
}
