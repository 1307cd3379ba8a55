#pragma once

#include <QString>

class clsInstrument;

// The rules of a gas slot's levels and of switching a gas on and off, as the settings grid
// applies them to the record.

// The level columns of a gas slot.
enum class LevelColumn { Warning, Alarm, Stel, Twa, AutoCal };

// The value a level column holds for `slot` (-101: not used).
float LevelOf(const clsInstrument& record, int slot, LevelColumn column);
void SetLevelOf(clsInstrument& record, int slot, LevelColumn column, float value);

// The operator's text for a level: empty means "not used"; a text that is no finite number, a
// negative level (it would round to 0 and pass as set), a level outside its range and an
// auto-calibration value above full scale or outside the gas's values are refused. An accepted
// value is rounded to the gas's step and stored in the record.
bool EnterLevel(clsInstrument& record, int slot, LevelColumn column, const QString& text);

// A gas switched off keeps none of its levels.
void ClearLevels(clsInstrument& record, int slot);

// Oxygen is named "O2" or "OXY" in the gas tables.
bool IsOxygenGas(const QString& name);

// A gas just chosen for `slot`: oxygen takes its alarm type from the default record.
void ApplyChosenGas(clsInstrument& record, int slot, const clsInstrument& defaults);
