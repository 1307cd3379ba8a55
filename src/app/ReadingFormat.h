#pragma once

#include <QString>

// Readings, levels and scale values are singles in which certain values stand for a state
// (-101 "not available", -102..-180 instrument states, and the raw codes 56797, 65287, 65535).

// The display text of a reading: the state's word, or the number with 0 to 3 decimals
// (multiplied by `factor` in single precision first: ConvParam shows a converted reading).
QString FormatReading(float value, int decimals, float factor = 1.0f);
// A number gives its value; otherwise the first three characters after any leading blanks
// decide the state code
// ("OVE" -107, "WAR" -103, "ALR" -104, "STE" -105, "TWA" -106, "NOR" -102), anything else -101.
float ParseReadingText(const QString& text);
// "#0" for 0, "#0.0" ... "#0.000000000" for 1..9, the empty (general) format otherwise.
QString DecimalFormat(int decimals);
// Five columns, right-aligned, 0 to 3 decimals (other counts as 0); "*****" for a negative
// value; a longer number keeps only its last five characters.
QString FormatScaleValue(float value, int decimals);
QString GasTitleText(const QString& name, const QString& unit, float fullScale, int decimals);
// Digits after the first "."; 0 without one.
int DecimalsOfText(const QString& text);
// List position of an interval trend time: 10, 20, 30, 60, 180, 600 their own, else 5 (300).
int IntervalIndex(int seconds);
// v rounded to a whole number of steps (ties to even); 0 when v is negative or the step is 0.
float RoundToStep(float value, float step);
// Writes 0xFF at positions 1..count of the file, creating it; bytes beyond stay. False when
// the file cannot be written.
bool FillFileFF(const QString& path, qint64 count);
