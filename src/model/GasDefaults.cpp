#include "model/GasDefaults.h"

#include "app/Errors.h"
#include "model/clsInstrument.h"

#include <functional>

GasDefaultEntry& GasDefaultTable::at(int code, int slot) {
    if (!inRange(code, slot))
        throw IndexOutOfRange("GasDefaults: index out of range");
    return m_entries[code][slot];
}

const GasDefaultEntry& GasDefaultTable::at(int code, int slot) const {
    if (!inRange(code, slot))
        throw IndexOutOfRange("GasDefaults: index out of range");
    return m_entries[code][slot];
}

void GasDefaultTable::FillDefaults() {
    for (auto& row : m_entries)
        for (auto& e : row)
            e = GasDefaultEntry{};

    const auto fill = [](GasDefaultEntry& e, const QString& name, const QString& unit, qint16 point,
                         float fs, float digit, float warn, float alarm, float stel, float twa,
                         float autoCal) {
        e.Enabled = true;
        e.Locked = false;
        e.Name = name;
        e.Unit = unit;
        e.Point = point;
        e.FullScale = fs;
        e.Digit = digit;
        e.Warning = warn;
        e.Alarm = alarm;
        e.STEL = stel;
        e.TWA = twa;
        e.AutoCal = autoCal;
        e.Ratio = -101.0f;
    };
    static const char* const combustibles[] = {"CH4",   "i-C4H10", "H2",   "n-C6H14",
                                               "CH3OH", "C2H2",    "C7H8", "MEK"};
    for (int code = 0; code < 8; ++code) {
        const QString name = QString::fromLatin1(combustibles[code]);
        fill(m_entries[code][0], name, QStringLiteral("%LEL"), 0, 100.0f, 1.0f, 10.0f, 50.0f,
             -101.0f, -101.0f, 50.0f);
        fill(m_entries[code][4], name, QStringLiteral("vol%"), 0, 100.0f, 1.0f, -101.0f, -101.0f,
             -101.0f, -101.0f, 50.0f);
    }
    fill(m_entries[0][1], QStringLiteral("O2"), QStringLiteral("vol%"), 1, 40.0f, 0.1f, 19.5f,
         18.0f, -101.0f, -101.0f, 12.0f);
    fill(m_entries[0][2], QStringLiteral("H2S"), QStringLiteral("ppm"), 1, 100.0f, 0.5f, 10.0f,
         30.0f, 15.0f, 10.0f, 10.0f);
    fill(m_entries[0][3], QStringLiteral("CO"), QStringLiteral("ppm"), 0, 500.0f, 1.0f, 25.0f,
         50.0f, 200.0f, 25.0f, 100.0f);
}

const GasDefaultTable& BuiltInGasDefaults() {
    static const GasDefaultTable table = [] {
        GasDefaultTable t;
        t.FillDefaults();
        return t;
    }();
    return table;
}

namespace {
// Runs one step, ignoring its failure as the selection does step by step.
void step(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::exception&) {
    }
}
} // namespace

void SelectGas(clsInstrument& r, const GasDefaultTable& defaults, int s, int c, bool connected) {
    step([&] { r.setGasEnabled(s, true); });
    int alarmRow = c;
    if ((s == 0 || s == 4) && connected) {
        if (c == 15) {
            const int k = s == 0 ? 0 : 1;
            step([&] { r.setGasName(s, r.LS_Name(k).trimmed()); });
            step([&] { r.setGasPoint(s, r.LS_Point(k)); });
            step([&] { r.setGasUnit(s, r.LS_Unit(k)); });
            step([&] { r.setGasDesit(s, r.LS_Digit(k)); });
            step([&] { r.setGasFullScale(s, r.LS_FullScale(k)); });
            step([&] { r.setRatio(s, r.LS_Ratio(k)); });
            alarmRow = 0;
        } else {
            const int e = s == 0 ? c + 1 : c + 16;
            step([&] { r.setGasName(s, r.LI_Name(e).trimmed()); });
            step([&] { r.setGasPoint(s, r.LI_Point(e)); });
            step([&] { r.setGasUnit(s, r.LI_Unit(e)); });
            step([&] { r.setGasDesit(s, r.LI_Digit(e)); });
            step([&] { r.setGasFullScale(s, r.LI_FullScale(e)); });
            step([&] { r.setRatio(s, r.LI_Ratio(e)); });
        }
    } else {
        step([&] { r.setGasName(s, defaults.at(c, s).Name); });
        step([&] { r.setGasPoint(s, defaults.at(c, s).Point); });
        step([&] { r.setGasUnit(s, defaults.at(c, s).Unit); });
        step([&] { r.setGasDesit(s, defaults.at(c, s).Digit); });
        step([&] { r.setGasFullScale(s, defaults.at(c, s).FullScale); });
        step([&] { r.setRatio(s, defaults.at(c, s).Ratio); });
    }
    step([&] { r.setWarning(s, defaults.at(alarmRow, s).Warning); });
    step([&] { r.setAlarm(s, defaults.at(alarmRow, s).Alarm); });
    step([&] { r.setStel(s, defaults.at(alarmRow, s).STEL); });
    step([&] { r.setTwa(s, defaults.at(alarmRow, s).TWA); });
    step([&] { r.setAutoCalib(s, defaults.at(alarmRow, s).AutoCal); });
    step([&] { r.setZero(s, defaults.at(alarmRow, s).Zero); });
}
