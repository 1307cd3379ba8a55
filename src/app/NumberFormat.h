#pragma once

#include <QString>

// Number formats of the system: "#0", "#0.0" ... "#0.000000000", "0", "00000", "0.000V",
// "0.00000000" and the empty format (general form). Digits after the point are fixed; "0"s
// before it give the minimum number of integer digits; text after the digits is copied.
// Rounding is half away from zero on the value's shortest decimal text, so a float is rounded
// as the decimal number it prints as (0.25 with "#0.0" gives "0.3", 12.345f with "#0.00"
// gives "12.35").
QString FormatNumber(float value, const QString& format);
QString FormatNumber(double value, const QString& format);

// Shortest decimal text that reads back to the same value ("0.1" for 0.1f).
QString ShortestText(float value);
QString ShortestText(double value);
// The same text appended to out, without a string of its own.
void AppendShortestText(QString& out, float value);

// True when the text is a number: optional blanks, sign, digits with an optional point and
// exponent, or "&H" followed by hexadecimal digits ("&O" with octal digits).
bool IsNumericText(const QString& text);
// The value of a numeric text; false when the text is not numeric.
bool ParseNumber(QStringView text, double* value);
// Rounds half to even to a whole number (the rounding of integer conversions).
double RoundHalfEven(double v);
