#include "model/GasLevels.h"

#include "app/NumberFormat.h"
#include "app/ReadingFormat.h"
#include "model/GasInfo.h"
#include "model/SettingsChecks.h"
#include "model/clsInstrument.h"

#include <cmath>

namespace {

constexpr float NotUsed = -101.0f;

LevelKind kindOf(LevelColumn column) {
    return LevelKind(int(column) + 1);
}

} // namespace

float LevelOf(const clsInstrument& r, int slot, LevelColumn column) {
    switch (column) {
    case LevelColumn::Warning:
        return r.Warning(slot);
    case LevelColumn::Alarm:
        return r.Alarm(slot);
    case LevelColumn::Stel:
        return r.Stel(slot);
    case LevelColumn::Twa:
        return r.Twa(slot);
    case LevelColumn::AutoCal:
        break;
    }
    return r.AutoCalib(slot);
}

void SetLevelOf(clsInstrument& r, int slot, LevelColumn column, float value) {
    switch (column) {
    case LevelColumn::Warning:
        return r.setWarning(slot, value);
    case LevelColumn::Alarm:
        return r.setAlarm(slot, value);
    case LevelColumn::Stel:
        return r.setStel(slot, value);
    case LevelColumn::Twa:
        return r.setTwa(slot, value);
    case LevelColumn::AutoCal:
        break;
    }
    r.setAutoCalib(slot, value);
}

bool EnterLevel(clsInstrument& r, int slot, LevelColumn column, const QString& text) {
    const QString entered = text.trimmed();
    if (entered.isEmpty()) {
        SetLevelOf(r, slot, column, NotUsed);
        return true;
    }
    double number = 0;
    if (!ParseNumber(entered, &number) || !std::isfinite(float(number)) || number < 0)
        return false;
    const float v = float(number);
    if (column == LevelColumn::AutoCal) {
        if (v > r.GasFullScale(slot) || !CheckCalibValue(r, slot, v))
            return false;
        r.setAutoCalib(slot, RoundToStep(v, r.GasDesit(slot)));
        return true;
    }
    const float rounded = RoundToStep(v, r.GasDesit(slot));
    if (!CheckLevelRange(r, slot, kindOf(column), rounded))
        return false;
    SetLevelOf(r, slot, column, rounded);
    return true;
}

void ClearLevels(clsInstrument& r, int slot) {
    for (LevelColumn c : {LevelColumn::Warning, LevelColumn::Alarm, LevelColumn::Stel,
                          LevelColumn::Twa, LevelColumn::AutoCal})
        SetLevelOf(r, slot, c, NotUsed);
}

bool IsOxygenGas(const QString& name) {
    return name == QLatin1String("O2") || name == QLatin1String("OXY");
}

void ApplyChosenGas(clsInstrument& r, int slot, const clsInstrument& defaults) {
    if (IsOxygenGas(r.GasName(slot)))
        r.setAlarmO2(defaults.AlarmO2());
    r.setOverScale(slot, r.OverScale(slot));
}
