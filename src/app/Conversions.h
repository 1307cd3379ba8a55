#pragma once

#include <QString>

// A text of exactly one character gets a "0" in front; any other text is returned unchanged.
QString PadHex(const QString& text);
// The IEEE single bit pattern as eight upper-case hex digits, most significant byte first.
QString SingleToHex(float value);
// The inverse of SingleToHex. Throws ConversionError when the text is shorter than eight
// characters or a byte pair is not hexadecimal; characters after the eighth are ignored.
float HexToSingle(const QString& text);

// Identity text kinds: 0 user ID, 1 station ID (16 wide), 2 serial number, 3 substitute serial
// number (20 wide).
QString NormalizeIdText(const QString& text, int kind);

bool IsIdKey(int charCode);
bool IsNameKey(int charCode);
bool IsNameText(const QString& text);
bool IsAllDigits(const QString& text);
