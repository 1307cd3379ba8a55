#pragma once

#include "app/AppDate.h"

#include <QJsonObject>
#include <QString>
#include <array>

// Property lists of the instrument record. Each X-list entry generates a stored field, a getter
// with the property's name and a setter with "set" in front, and (where a flag is named) the
// change flag the setter raises.
//
// Scalar settings: X(name, type, default, flag, mode). `default` is applied by ClearDatas;
// KEPT means ClearDatas leaves the value alone. mode ALWAYS raises the flag on every write,
// IFCHANGED only when the value differs.
struct KeptTag {};
#define TQ_KEPT                                                                                    \
    KeptTag {}
#define TQ_SETTINGS(X)                                                                             \
    X(HcMode, qint16, 0, Change_HCMode, ALWAYS)                                                    \
    X(AlarmMode, qint16, 0, Change_AlarmMode, ALWAYS)                                              \
    X(Intervals, qint16, 0, Change_Interval, IFCHANGED)                                            \
    X(DispCalLimit, qint16, 0, Change_DispCalLimit, ALWAYS)                                        \
    X(CalLimit, qint16, 1, Change_CalLimit, ALWAYS)                                                \
    X(CalCheck, qint16, 0, Change_CalCheck, ALWAYS)                                                \
    X(Confirmation, qint16, TQ_KEPT, Change_Confirmation, ALWAYS)                                  \
    X(LogOverWrite, qint16, 0, Change_LogOverWrite, ALWAYS)                                        \
    X(LcdBackLight, qint16, 1, Change_LcdBackLight, ALWAYS)                                        \
    X(autoBackLight, qint16, 1, Change_autoBackLight, ALWAYS)                                      \
    X(AlarmOnOff, qint16, 1, Change_AlarmOnOff, ALWAYS)                                            \
    X(StelTwaOnOff, qint16, 1, Change_StelTwaOnOff, ALWAYS)                                        \
    X(BumpTime, qint16, 2, Change_BumpTime, ALWAYS)                                                \
    X(BumpThreshold, qint16, 1, Change_BumpThreshold, ALWAYS)                                      \
    X(BumpFailAfter, qint16, 1, Change_BumpFailAfter, ALWAYS)                                      \
    X(BumpFailCalTime, qint16, 0, Change_BumpFailCalTime, ALWAYS)                                  \
    X(LcBhMode, qint16, 0, Change_LcBhMode, ALWAYS)                                                \
    X(BhTime, qint16, 0, Change_BhTime, ALWAYS)                                                    \
    X(LcBuzzer, qint16, 0, Change_LcBuzzer, ALWAYS)                                                \
    X(AlarmO2, qint16, 1, Change_AlarmO2, ALWAYS)                                                  \
    X(AutoZero, qint16, 0, Change_AutoZero, ALWAYS)                                                \
    X(DemandZero, qint16, 0, Change_DemandZero, ALWAYS)                                            \
    X(UseUserPassword, qint16, 0, Change_UseUserPassword, ALWAYS)                                  \
    X(UserPassword2, QString, QStringLiteral("0000"), Change_UserPassword2, ALWAYS)                \
    X(FlowLevel, qint32, TQ_KEPT, Change_FlowLevel, ALWAYS)                                        \
    X(pressOffset, qint16, TQ_KEPT, Change_pressOffset, ALWAYS)                                    \
    X(SpecType, QString, QStringLiteral("0"), Change_SpecType, ALWAYS)                             \
    X(SpecNo, QString, TQ_KEPT, Change_SpecNo, ALWAYS)

// Plain values without a change flag: X(name, type, default).
#define TQ_PLAIN(X)                                                                                \
    X(FailLine, QString, TQ_KEPT)                                                                  \
    X(CommFlags, qint16, 0)                                                                        \
    X(ImportFlag, qint16, TQ_KEPT)                                                                 \
    X(SUM, QString, TQ_KEPT)                                                                       \
    X(RomNumber, qint32, 0)                                                                        \
    X(SysDate, AppDate, AppDate())                                                                 \
    X(SysDateOffset, AppDate, AppDate())                                                           \
    X(FlowValue, qint16, TQ_KEPT)                                                                  \
    X(AdrealValue, float, TQ_KEPT)

// Identity texts, normalised on every write: X(name, kind, flag).
#define TQ_IDENTITY(X)                                                                             \
    X(SerialNo, 2, Change_SerialNo)                                                                \
    X(UserID, 0, Change_UserID)                                                                    \
    X(StationID, 1, Change_StationID)                                                              \
    X(DummySerial, 3, Change_DummySerial)

// clang-format off
// Compensation coefficient groups (raw texts; writing any member raises the group's flag).
#define TQ_COEFFS(X)                                                                               \
    X(C1_lel_zero_f, Change_C1)                                                                    \
    X(C1_lel_zero, Change_C1)                                                                      \
    X(C1_lel_span_f, Change_C1) X(C1_lel_span, Change_C1) X(C1_vol_zero_f, Change_C1)              \
        X(C1_vol_zero, Change_C1) X(C1_vol_span_f, Change_C1) X(C1_vol_span, Change_C1) X(         \
            C2_lel_zero_f, Change_C2) X(C2_lel_zero, Change_C2) X(C2_lel_span_f, Change_C2)        \
            X(C2_lel_span, Change_C2) X(C2_vol_zero_f, Change_C2) X(C2_vol_zero, Change_C2) X(     \
                C2_vol_span_f, Change_C2) X(C2_vol_span, Change_C2) X(C3_lel_sq, Change_C3)        \
                X(C3_lel_th, Change_C3) X(C3_vol_sq, Change_C3) X(C3_vol_th, Change_C3) X(         \
                    C4_lel_sq, Change_C4) X(C4_lel_th, Change_C4) X(C4_vol_sq, Change_C4)          \
                    X(C4_vol_th, Change_C4) X(C5_lel_zero_f, Change_C5) X(C5_lel_zero, Change_C5)  \
                        X(C5_vol_zero_f, Change_C5) X(C5_vol_zero, Change_C5)                      \
                            X(C5_lel_zero_fh, Change_C5) X(C5_lel_zeroh, Change_C5)                \
                                X(C5_vol_zero_fh, Change_C5) X(C5_vol_zeroh, Change_C5)            \
                                    X(CA_lel_sq, Change_CA) X(CA_lel_th, Change_CA)                \
                                        X(CA_vol_sq, Change_CA) X(CA_vol_th, Change_CA)            \
                                            X(CB_lel_sq, Change_CB) X(CB_lel_th, Change_CB) X(     \
                                                CB_vol_sq, Change_CB) X(CB_vol_th, Change_CB)      \
                                                X(CC_lel_sq, Change_CC) X(CC_lel_th, Change_CC) X( \
                                                    CC_vol_sq, Change_CC) X(CC_vol_th, Change_CC)  \
                                                    X(CD_span, Change_CD) X(CE_span, Change_CE)    \
                                                        X(CF_span, Change_CF)                      \
                                                            X(CK_span, Change_CK)                  \
                                                                X(CL_span, Change_CL)              \
                                                                    X(CM_span, Change_CM)

// Raw sensor texts without a flag: X(name, notation), DEC or HEX, the way the instrument writes
// the number in the text (the JSON record gives decimal ones as numbers).
#define TQ_RAWTEXTS(X)                                                                             \
    X(CN_ir,    DEC)                                                                               \
    X(CN_o2,    DEC)                                                                               \
    X(OG_lo,    DEC)                                                                               \
    X(OG_hi,    DEC)                                                                               \
    X(VG_lo,    HEX)                                                                               \
    X(VG_hi,    HEX)                                                                               \
    X(V2_lo_sq, HEX)                                                                               \
    X(V2_lo_th, DEC)                                                                               \
    X(V2_lo_cn, DEC)                                                                               \
    X(V2_hi_sq, HEX)                                                                               \
    X(V2_hi_th, DEC)                                                                               \
    X(V2_hi_cn, DEC)

// Group flags of the coefficients, in the order SetChangeFlags sets them.
#define TQ_COEFF_FLAGS(X)                                                                          \
    X(Change_C1)                                                                                   \
    X(Change_C2)                                                                                   \
    X(Change_CB) X(Change_CE) X(Change_CK) X(Change_CC) X(Change_CF) X(Change_CM) X(Change_CA)     \
        X(Change_CD) X(Change_CL) X(Change_C3) X(Change_C4) X(Change_C5)
// clang-format on

// Per-gas values acting on gases 0 to 4 only (other indices: reads give the empty value,
// writes do nothing): X(name, type, default, flag). Flag NOFLAG = none; default KEPT as above.
#define TQ_GAS(X)                                                                                  \
    X(GasName, QString, QString(), NOFLAG)                                                         \
    X(GasDesit, float, 0.0f, NOFLAG)                                                               \
    X(GasPoint, qint16, -101, Change_GasPoint)                                                     \
    X(GasUnit, QString, QString(), NOFLAG)                                                         \
    X(GasFullScale, float, -101.0f, NOFLAG)                                                        \
    X(GasEnabled, bool, false, Change_GasEnable)                                                   \
    X(CalibDate, AppDate, AppDate(-101.0), NOFLAG)                                                 \
    X(CalibBefore, float, -101.0f, NOFLAG)                                                         \
    X(CalibAfter, float, -101.0f, NOFLAG)                                                          \
    X(AutoCalib, float, -101.0f, Change_AutoCal)                                                   \
    X(Zero, qint16, 0, Change_Zero)                                                                \
    X(OverScale, qint16, 0, Change_OverScale)                                                      \
    X(Ratio, float, -101.0f, Change_Ratio)                                                         \
    X(LogMax, float, TQ_KEPT, NOFLAG)                                                              \
    X(LogMin, float, TQ_KEPT, NOFLAG)                                                              \
    X(LogAvr, float, TQ_KEPT, NOFLAG)                                                              \
    X(LogMaxDate, AppDate, TQ_KEPT, NOFLAG)                                                        \
    X(LogMinDate, AppDate, TQ_KEPT, NOFLAG)

// Alarm levels accept gases 0 to 5; any other index raises IndexOutOfRange.
#define TQ_LEVELS(X)                                                                               \
    X(Warning, Change_Warn) X(Alarm, Change_Alarm) X(Stel, Change_Stel) X(Twa, Change_Twa)

// Gas-table record fields: X(field, LI type, LS type).
#define TQ_GASTABLE(X)                                                                             \
    X(Name, QString, QString)                                                                      \
    X(FullScale, float, float)                                                                     \
    X(Digit, float, float)                                                                         \
    X(Unit, QString, QString)                                                                      \
    X(elem_vol, qint16, qint32)                                                                    \
    X(Ratio, float, float)                                                                         \
    X(Point, qint16, qint16)                                                                       \
    X(Linear1_a, double, double)                                                                   \
    X(Linear1_b, double, double)                                                                   \
    X(Linear1_c, double, double)                                                                   \
    X(Linear1_d, double, double)                                                                   \
    X(Linear2_a, double, double)                                                                   \
    X(Linear2_b, double, double)                                                                   \
    X(Linear2_c, double, double)                                                                   \
    X(Linear2_d, double, double)

// The program's one model of an instrument: identity, settings, per-gas configuration and
// readings, station list, coefficients, gas tables, and a change flag per setting or group.
// A passive container: it performs no input/output.
class clsInstrument {
public:
    static constexpr int GasCount = 5;   // gas channels 0..4
    static constexpr int LevelCount = 6; // alarm levels 0..5
    static constexpr int StationCount = 128;
    static constexpr int LibraryCount = 31;
    static constexpr int UserGasCount = 2;
    static constexpr int AnalogCount = 9;
    static constexpr int LimitCount = 6;

    clsInstrument();

#define TQ_DECL_SETTING(name, type, def, flag, mode)                                               \
    type name() const {                                                                            \
        return m_##name;                                                                           \
    }                                                                                              \
    void set##name(const type& v);                                                                 \
    bool flag() const {                                                                            \
        return m_##flag;                                                                           \
    }                                                                                              \
    void set##flag(bool b) {                                                                       \
        m_##flag = b;                                                                              \
    }
    TQ_SETTINGS(TQ_DECL_SETTING)
#undef TQ_DECL_SETTING

#define TQ_DECL_PLAIN(name, type, def)                                                             \
    type name() const {                                                                            \
        return m_##name;                                                                           \
    }                                                                                              \
    void set##name(const type& v) {                                                                \
        m_##name = v;                                                                              \
    }
    TQ_PLAIN(TQ_DECL_PLAIN)
#undef TQ_DECL_PLAIN

#define TQ_DECL_ID(name, kind, flag)                                                               \
    QString name() const {                                                                         \
        return m_##name;                                                                           \
    }                                                                                              \
    void set##name(const QString& v);                                                              \
    bool flag() const {                                                                            \
        return m_##flag;                                                                           \
    }                                                                                              \
    void set##flag(bool b) {                                                                       \
        m_##flag = b;                                                                              \
    }
    TQ_IDENTITY(TQ_DECL_ID)
#undef TQ_DECL_ID

#define TQ_DECL_COEFF(name, flag)                                                                  \
    QString name() const {                                                                         \
        return m_##name;                                                                           \
    }                                                                                              \
    void set##name(const QString& v) {                                                             \
        m_##name = v;                                                                              \
        m_##flag = true;                                                                           \
    }
    TQ_COEFFS(TQ_DECL_COEFF)
#undef TQ_DECL_COEFF
#define TQ_DECL_CFLAG(flag)                                                                        \
    bool flag() const {                                                                            \
        return m_##flag;                                                                           \
    }                                                                                              \
    void set##flag(bool b) {                                                                       \
        m_##flag = b;                                                                              \
    }
    TQ_COEFF_FLAGS(TQ_DECL_CFLAG)
#undef TQ_DECL_CFLAG

#define TQ_DECL_RAW(name, notation)                                                                \
    QString name() const {                                                                         \
        return m_##name;                                                                           \
    }                                                                                              \
    void set##name(const QString& v) {                                                             \
        m_##name = v;                                                                              \
    }
    TQ_RAWTEXTS(TQ_DECL_RAW)
#undef TQ_DECL_RAW

#define TQ_DECL_GAS(name, type, def, flag)                                                         \
    type name(int i) const {                                                                       \
        return gasOk(i) ? m_##name[i] : type{};                                                    \
    }                                                                                              \
    void set##name(int i, const type& v);
    TQ_GAS(TQ_DECL_GAS)
#undef TQ_DECL_GAS

    // Per-gas change flags (gases 0 to 4; the level flags also keep gas 5).
#define TQ_DECL_GASFLAG(flag)                                                                      \
    bool flag(int i) const {                                                                       \
        return gasOk(i) ? m_##flag[i] : false;                                                     \
    }                                                                                              \
    void set##flag(int i, bool b) {                                                                \
        if (gasOk(i))                                                                              \
            m_##flag[i] = b;                                                                       \
    }
    TQ_DECL_GASFLAG(Change_GasEnable)
    TQ_DECL_GASFLAG(Change_GasPoint)
    TQ_DECL_GASFLAG(Change_AutoCal)
    TQ_DECL_GASFLAG(Change_Zero)
    TQ_DECL_GASFLAG(Change_OverScale)
    TQ_DECL_GASFLAG(Change_Ratio)
#undef TQ_DECL_GASFLAG

#define TQ_DECL_LEVEL(name, flag)                                                                  \
    float name(int i) const;                                                                       \
    void set##name(int i, float v);                                                                \
    bool flag(int i) const {                                                                       \
        return levelOk(i) ? m_##flag[i] : false;                                                   \
    }                                                                                              \
    void set##flag(int i, bool b) {                                                                \
        if (levelOk(i))                                                                            \
            m_##flag[i] = b;                                                                       \
    }
    TQ_LEVELS(TQ_DECL_LEVEL)
#undef TQ_DECL_LEVEL

#define TQ_DECL_TABLE(field, litype, lstype)                                                       \
    litype LI_##field(int i) const;                                                                \
    void setLI_##field(int i, const litype& v);                                                    \
    lstype LS_##field(int i) const;                                                                \
    void setLS_##field(int i, const lstype& v);
    TQ_GASTABLE(TQ_DECL_TABLE)
#undef TQ_DECL_TABLE
    qint16 LS_No(int i) const;
    void setLS_No(int i, qint16 v);
    bool Change_LSData(int i) const {
        return (i == 0 || i == 1) ? m_Change_LSData[i] : false;
    }
    void setChange_LSData(int i, bool b) {
        if (i == 0 || i == 1)
            m_Change_LSData[i] = b;
    }

    // Station list: entries 0 to 127; other indices read as empty and ignore writes.
    QString StationList(int i) const;
    void setStationList(int i, const QString& v);
    bool Change_StationList(int i) const;
    void setChange_StationList(int i, bool b);

    // Readings: IndexOutOfRange outside 0..8 and 0..5.
    qint16 AnalogValue(int i) const;
    void setAnalogValue(int i, qint16 v);
    float LimitValue(int i) const;
    void setLimitValue(int i, float v);

    void SetChangeFlags(bool settings, bool identity);
    void ClearChangeFlags() {
        SetChangeFlags(false, false);
    }
    void ClearDatas();

    // The record as one JSON object (RecordJson.h): its "FormatVersion", scalars as scalars,
    // indexed properties as arrays in index order, change flags left out.
    QJsonObject ToJson() const;

    static bool gasOk(int i) {
        return i >= 0 && i < GasCount;
    }
    static bool levelOk(int i) {
        return i >= 0 && i < LevelCount;
    }

private:
#define TQ_FIELD_SETTING(name, type, def, flag, mode)                                              \
    type m_##name{};                                                                               \
    bool m_##flag = false;
    TQ_SETTINGS(TQ_FIELD_SETTING)
#undef TQ_FIELD_SETTING
#define TQ_FIELD_PLAIN(name, type, def) type m_##name{};
    TQ_PLAIN(TQ_FIELD_PLAIN)
#undef TQ_FIELD_PLAIN
#define TQ_FIELD_ID(name, kind, flag)                                                              \
    QString m_##name;                                                                              \
    bool m_##flag = false;
    TQ_IDENTITY(TQ_FIELD_ID)
#undef TQ_FIELD_ID
#define TQ_FIELD_COEFF(name, flag) QString m_##name;
    TQ_COEFFS(TQ_FIELD_COEFF)
#undef TQ_FIELD_COEFF
#define TQ_FIELD_CFLAG(flag) bool m_##flag = false;
    TQ_COEFF_FLAGS(TQ_FIELD_CFLAG)
#undef TQ_FIELD_CFLAG
#define TQ_FIELD_RAW(name, notation) QString m_##name;
    TQ_RAWTEXTS(TQ_FIELD_RAW)
#undef TQ_FIELD_RAW
#define TQ_FIELD_GAS(name, type, def, flag) std::array<type, GasCount> m_##name{};
    TQ_GAS(TQ_FIELD_GAS)
#undef TQ_FIELD_GAS
    std::array<bool, GasCount> m_Change_GasEnable{}, m_Change_GasPoint{}, m_Change_AutoCal{},
        m_Change_Zero{}, m_Change_OverScale{}, m_Change_Ratio{};
#define TQ_FIELD_LEVEL(name, flag)                                                                 \
    std::array<float, LevelCount> m_##name{};                                                      \
    std::array<bool, LevelCount> m_##flag{};
    TQ_LEVELS(TQ_FIELD_LEVEL)
#undef TQ_FIELD_LEVEL
#define TQ_FIELD_TABLE(field, litype, lstype)                                                      \
    std::array<litype, LibraryCount> m_LI_##field{};                                               \
    std::array<lstype, UserGasCount> m_LS_##field{};
    TQ_GASTABLE(TQ_FIELD_TABLE)
#undef TQ_FIELD_TABLE
    std::array<qint16, UserGasCount> m_LS_No{};
    std::array<bool, UserGasCount> m_Change_LSData{};
    std::array<QString, StationCount + 1> m_StationList;
    std::array<bool, StationCount + 1> m_Change_StationList{};
    std::array<qint16, AnalogCount> m_AnalogValue{};
    std::array<float, LimitCount> m_LimitValue{};
};
