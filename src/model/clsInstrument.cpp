#include "model/clsInstrument.h"

#include "app/Conversions.h"
#include "app/Errors.h"
#include "app/NumberFormat.h"
#include "model/RecordJson.h"

#include <QJsonArray>
#include <cmath>
#include <string>

namespace {

template <typename T, typename V> void assignDefault(T& field, const V& v) {
    field = v;
}
template <typename T> void assignDefault(T&, KeptTag) {}

void checkIndex(bool ok, const char* what) {
    if (!ok)
        throw IndexOutOfRange(std::string(what) + ": index out of range");
}

bool libOk(int i) {
    return i >= 0 && i < clsInstrument::LibraryCount;
}
bool userOk(int i) {
    return i >= 0 && i < clsInstrument::UserGasCount;
}

} // namespace

clsInstrument::clsInstrument() {
    ClearDatas();
}

#define TQ_ALWAYS(name, flag)                                                                      \
    m_##name = v;                                                                                  \
    m_##flag = true;
#define TQ_IFCHANGED(name, flag)                                                                   \
    if (m_##name != v)                                                                             \
        m_##flag = true;                                                                           \
    m_##name = v;
#define TQ_DEF_SETTING(name, type, def, flag, mode)                                                \
    void clsInstrument::set##name(const type& v) {                                                 \
        TQ_##mode(name, flag)                                                                      \
    }
TQ_SETTINGS(TQ_DEF_SETTING)
#undef TQ_DEF_SETTING

#define TQ_DEF_ID(name, kind, flag)                                                                \
    void clsInstrument::set##name(const QString& v) {                                              \
        m_##name = NormalizeIdText(v, kind);                                                       \
        m_##flag = true;                                                                           \
    }
TQ_IDENTITY(TQ_DEF_ID)
#undef TQ_DEF_ID

#define TQ_FLAG_NOFLAG(name)
#define TQ_FLAG_Change_GasPoint(name) m_Change_GasPoint[i] = true;
#define TQ_FLAG_Change_GasEnable(name) m_Change_GasEnable[i] = true;
#define TQ_FLAG_Change_AutoCal(name) m_Change_AutoCal[i] = true;
#define TQ_FLAG_Change_Zero(name) m_Change_Zero[i] = true;
#define TQ_FLAG_Change_OverScale(name) m_Change_OverScale[i] = true;
#define TQ_FLAG_Change_Ratio(name) m_Change_Ratio[i] = true;
#define TQ_DEF_GAS(name, type, def, flag)                                                          \
    void clsInstrument::set##name(int i, const type& v) {                                          \
        if (!gasOk(i))                                                                             \
            return;                                                                                \
        m_##name[i] = v;                                                                           \
        TQ_FLAG_##flag(name)                                                                       \
    }
TQ_GAS(TQ_DEF_GAS)
#undef TQ_DEF_GAS

#define TQ_DEF_LEVEL(name, flag)                                                                   \
    float clsInstrument::name(int i) const {                                                       \
        checkIndex(levelOk(i), #name);                                                             \
        return m_##name[i];                                                                        \
    }                                                                                              \
    void clsInstrument::set##name(int i, float v) {                                                \
        checkIndex(levelOk(i), #name);                                                             \
        m_##name[i] = v;                                                                           \
        m_##flag[i] = true;                                                                        \
    }
TQ_LEVELS(TQ_DEF_LEVEL)
#undef TQ_DEF_LEVEL

#define TQ_DEF_TABLE(field, litype, lstype)                                                        \
    litype clsInstrument::LI_##field(int i) const {                                                \
        checkIndex(libOk(i), "LI_" #field);                                                        \
        return m_LI_##field[i];                                                                    \
    }                                                                                              \
    void clsInstrument::setLI_##field(int i, const litype& v) {                                    \
        checkIndex(libOk(i), "LI_" #field);                                                        \
        m_LI_##field[i] = v;                                                                       \
    }                                                                                              \
    lstype clsInstrument::LS_##field(int i) const {                                                \
        checkIndex(userOk(i), "LS_" #field);                                                       \
        return m_LS_##field[i];                                                                    \
    }                                                                                              \
    void clsInstrument::setLS_##field(int i, const lstype& v) {                                    \
        checkIndex(userOk(i), "LS_" #field);                                                       \
        m_LS_##field[i] = v;                                                                       \
    }
TQ_GASTABLE(TQ_DEF_TABLE)
#undef TQ_DEF_TABLE

qint16 clsInstrument::LS_No(int i) const {
    checkIndex(userOk(i), "LS_No");
    return m_LS_No[i];
}

void clsInstrument::setLS_No(int i, qint16 v) {
    checkIndex(userOk(i), "LS_No");
    m_LS_No[i] = v;
}

QString clsInstrument::StationList(int i) const {
    return (i >= 0 && i < StationCount) ? m_StationList[i] : QString();
}

void clsInstrument::setStationList(int i, const QString& v) {
    if (i < 0 || i >= StationCount)
        return;
    m_StationList[i] = v;
    m_Change_StationList[i] = true;
}

bool clsInstrument::Change_StationList(int i) const {
    return (i >= 0 && i < StationCount) ? m_Change_StationList[i] : false;
}

void clsInstrument::setChange_StationList(int i, bool b) {
    if (i >= 0 && i < StationCount)
        m_Change_StationList[i] = b;
}

qint16 clsInstrument::AnalogValue(int i) const {
    checkIndex(i >= 0 && i < AnalogCount, "AnalogValue");
    return m_AnalogValue[i];
}

void clsInstrument::setAnalogValue(int i, qint16 v) {
    checkIndex(i >= 0 && i < AnalogCount, "AnalogValue");
    m_AnalogValue[i] = v;
}

float clsInstrument::LimitValue(int i) const {
    checkIndex(i >= 0 && i < LimitCount, "LimitValue");
    return m_LimitValue[i];
}

void clsInstrument::setLimitValue(int i, float v) {
    checkIndex(i >= 0 && i < LimitCount, "LimitValue");
    m_LimitValue[i] = v;
}

void clsInstrument::SetChangeFlags(bool s, bool id) {
    m_Change_DummySerial = id;
    m_Change_UserID = id;
    m_Change_StationID = id;
    m_Change_SerialNo = id;
    for (bool& f : m_Change_StationList)
        f = id;

#define TQ_SET_CFLAG(flag) m_##flag = s;
    TQ_COEFF_FLAGS(TQ_SET_CFLAG)
#undef TQ_SET_CFLAG
    m_Change_SpecNo = s;
    m_Change_AlarmMode = s;
    m_Change_Interval = s;
    m_Change_pressOffset = s;
    m_Change_DispCalLimit = s;
    m_Change_CalCheck = s;
    m_Change_CalLimit = s;
    m_Change_Confirmation = s;
    m_Change_LogOverWrite = s;
    m_Change_LcdBackLight = s;
    m_Change_autoBackLight = s;
    m_Change_AlarmOnOff = s;
    m_Change_LSData = {s, s};
    m_Change_AlarmO2 = s;
    m_Change_SpecType = s;
    m_Change_AutoZero = s;
    m_Change_DemandZero = s;
    m_Change_UseUserPassword = s;
    m_Change_UserPassword2 = s;

    // Not touched: HCMode, StelTwaOnOff, the bump and LC/BH groups, FlowLevel, the per-gas STEL
    // and TWA flags and every flag of gas 5. Their users clear them.
    for (int i = 0; i < GasCount; ++i) {
        m_Change_GasEnable[i] = s;
        m_Change_GasPoint[i] = s;
        m_Change_AutoCal[i] = s;
        m_Change_Ratio[i] = s;
        m_Change_Warn[i] = s;
        m_Change_Alarm[i] = s;
        m_Change_Zero[i] = s;
        m_Change_OverScale[i] = s;
    }
}

void clsInstrument::ClearDatas() {
    m_CommFlags = 0;

    m_UserID = NormalizeIdText(QString(), 0);
    m_StationID = NormalizeIdText(QString(), 1);
    m_SerialNo = NormalizeIdText(QString(), 2);
    m_DummySerial = NormalizeIdText(QString(), 3);
    m_RomNumber = 0;
    m_SysDate = AppDate();
    m_SysDateOffset = AppDate();

#define TQ_CLEAR_SETTING(name, type, def, flag, mode) assignDefault(m_##name, def);
    TQ_SETTINGS(TQ_CLEAR_SETTING)
#undef TQ_CLEAR_SETTING

    for (int i = 0; i < StationCount; ++i)
        m_StationList[i] = QString(16, u'-');
    m_StationID = m_StationList[0];

#define TQ_CLEAR_GAS(name, type, def, flag)                                                        \
    for (auto& v : m_##name)                                                                       \
        assignDefault(v, def);
    TQ_GAS(TQ_CLEAR_GAS)
#undef TQ_CLEAR_GAS
    for (int i = 0; i < GasCount; ++i) {
        m_Warning[i] = m_Alarm[i] = m_Stel[i] = m_Twa[i] = -101.0f;
        // The empty gas information record leaves no gas in the slot.
        m_GasPoint[i] = -101;
    }

    ClearChangeFlags();
}

QJsonObject clsInstrument::ToJson() const {
    QJsonObject o;
    const auto val = [&](const auto& v) -> QJsonValue {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, QString>)
            return QJsonValue(v.trimmed()); // the fields' padding is not part of the text
        else if constexpr (std::is_same_v<T, bool>)
            return QJsonValue(v);
        else if constexpr (std::is_same_v<T, AppDate>)
            return JsonDate(v);
        else if constexpr (std::is_same_v<T, float>)
            return JsonNumber(std::isfinite(v) ? ShortestText(v).toDouble() : double(v));
        else
            return JsonNumber(double(v));
    };
    const auto arr = [&](const auto& a, int n) {
        QJsonArray out;
        for (int i = 0; i < n; ++i)
            out.append(val(a[i]));
        return out;
    };
    const auto notation = [&](const QString& text, bool hex) {
        return hex ? val(text) : JsonDecimalText(text);
    };
    constexpr bool DEC = false;
    constexpr bool HEX = true;

    o.insert(QStringLiteral("FormatVersion"), JsonFormatVersion);
#define TQ_JSON_SETTING(name, type, def, flag, mode) o.insert(QStringLiteral(#name), val(m_##name));
    TQ_SETTINGS(TQ_JSON_SETTING)
#undef TQ_JSON_SETTING
#define TQ_JSON_PLAIN(name, type, def) o.insert(QStringLiteral(#name), val(m_##name));
    TQ_PLAIN(TQ_JSON_PLAIN)
#undef TQ_JSON_PLAIN
    // Stored as the system's 16-bit booleans; SpecType is a code kept as its text.
    o.insert(QStringLiteral("CommFlags"), m_CommFlags != 0);
    o.insert(QStringLiteral("ImportFlag"), m_ImportFlag != 0);
    o.insert(QStringLiteral("SpecType"), JsonDecimalText(m_SpecType));
    // The instrument clock minus the PC clock, in whole seconds.
    o.insert(QStringLiteral("SysDateOffset"),
             JsonNumber(std::round(m_SysDateOffset.days() * 86400.0)));
#define TQ_JSON_ID(name, kind, flag) o.insert(QStringLiteral(#name), val(m_##name));
    TQ_IDENTITY(TQ_JSON_ID)
#undef TQ_JSON_ID
#define TQ_JSON_COEFF(name, flag) o.insert(QStringLiteral(#name), JsonDecimalText(m_##name));
    TQ_COEFFS(TQ_JSON_COEFF)
#undef TQ_JSON_COEFF
#define TQ_JSON_RAW(name, hex) o.insert(QStringLiteral(#name), notation(m_##name, hex));
    TQ_RAWTEXTS(TQ_JSON_RAW)
#undef TQ_JSON_RAW
#define TQ_JSON_GAS(name, type, def, flag) o.insert(QStringLiteral(#name), arr(m_##name, GasCount));
    TQ_GAS(TQ_JSON_GAS)
#undef TQ_JSON_GAS
#define TQ_JSON_LEVEL(name, flag) o.insert(QStringLiteral(#name), arr(m_##name, LevelCount));
    TQ_LEVELS(TQ_JSON_LEVEL)
#undef TQ_JSON_LEVEL
#define TQ_JSON_TABLE(field, litype, lstype)                                                       \
    o.insert(QStringLiteral("LI_" #field), arr(m_LI_##field, LibraryCount));                       \
    o.insert(QStringLiteral("LS_" #field), arr(m_LS_##field, UserGasCount));
    TQ_GASTABLE(TQ_JSON_TABLE)
#undef TQ_JSON_TABLE
    o.insert(QStringLiteral("LS_No"), arr(m_LS_No, UserGasCount));
    o.insert(QStringLiteral("StationList"), arr(m_StationList, StationCount));
    o.insert(QStringLiteral("AnalogValue"), arr(m_AnalogValue, AnalogCount));
    o.insert(QStringLiteral("LimitValue"), arr(m_LimitValue, LimitCount));
    return o;
}
