#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>

// Field encodings of the instrument's replies and the splitting of the PC's data fields.
namespace SimFields {

// Right-aligned in five columns with the given decimals (0..3, else 0); "*****" when negative.
QByteArray level(float value, int decimals);
// Parses a level field: a number, or "*****" for "no level" (-101). False when neither.
bool parseLevel(const QByteArray& field, float* value);
// Exactly n characters: padded with blanks on the right, longer texts cut.
QByteArray text(const QByteArray& value, int n);
// Upper-case hex, zero-padded to width.
QByteArray hex(quint32 value, int width);
bool parseHex(const QByteArray& field, quint32* value);
bool parseDecimal(const QByteArray& field, int* value);
// IEEE single as eight hex digits, most significant byte first.
QByteArray hexSingle(float value);
bool parseHexSingle(const QByteArray& field, float* value);
// "YYMMDDhhnnss" of a 20YY date.
QByteArray date12(const QDateTime& when);
bool parseDate12(const QByteArray& field, QDateTime* when);
// Number of digits after the "." of a level text.
int decimalsOf(const QByteArray& field);
// Value rounded to a whole number of steps and shown with the given decimals.
float roundToStep(float value, float step);
// Data fields of the PC's payload split at "," (empty fields are kept, unlike the PC's
// decoder, so that positions stay meaningful).
QList<QByteArray> split(const QByteArray& data);

} // namespace SimFields
