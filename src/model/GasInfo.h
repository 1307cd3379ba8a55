#pragma once

#include <QString>

class clsInstrument;

// A gas slot of the record: its title, the instrument's description of it, and the check of
// its auto-calibration value.

// "name(unit)" or "name(fullscale unit)"; "----(---)" for an empty name.
QString GasTitle(const clsInstrument& record, int gas, bool withRange);
// Applies a 25-character gas information record (name 1-10, full scale 12-16, resolution
// 17-21, unit 22-25; 25 "*" for no gas) through the record's setters. Throws ConversionError
// when full scale or resolution are not numbers (or negative, or beyond a single's range);
// fields written before stay written.
void ApplyGasInfoRecord(const QString& text, clsInstrument& record, int gas);

// Whether an auto-calibration value fits the gas's warning level (oxygen: at most the
// warning level, or the default for AlarmO2 2). Negative values pass.
bool CheckCalibValue(const clsInstrument& record, int gas, float value);
