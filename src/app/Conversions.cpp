#include "app/Conversions.h"

#include "app/Errors.h"

#include <bit>
#include <cctype>
#include <cstdint>

QString PadHex(const QString& text) {
    return text.size() == 1 ? QLatin1String("0") + text : text;
}

QString SingleToHex(float value) {
    const quint32 bits = std::bit_cast<quint32>(value);
    return QStringLiteral("%1").arg(bits, 8, 16, QLatin1Char('0')).toUpper();
}

float HexToSingle(const QString& text) {
    if (text.size() < 8)
        throw ConversionError("HexToSingle: text shorter than eight characters");
    quint32 bits = 0;
    for (int i = 0; i < 8; i += 2) {
        bool ok = false;
        const uint byte = text.mid(i, 2).toUInt(&ok, 16);
        // toUInt accepts a sign or blanks; a byte pair must be two hex digits exactly.
        const auto isHex = [](QChar c) {
            return std::isxdigit(c.unicode() < 128 ? c.toLatin1() : 'x');
        };
        if (!ok || !isHex(text[i]) || !isHex(text[i + 1]))
            throw ConversionError("HexToSingle: not a hexadecimal byte");
        bits = (bits << 8) | byte;
    }
    return std::bit_cast<float>(bits);
}

QString NormalizeIdText(const QString& text, int kind) {
    const QString t = text.trimmed();
    if (!t.isEmpty())
        return t;
    switch (kind) {
    case 0:
    case 1:
        return QString(16, u'-');
    case 2:
    case 3:
        return QString(20, u'-');
    default:
        return QString();
    }
}

namespace {
bool isAlnum(int c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}
} // namespace

bool IsIdKey(int c) {
    return c == 8 || isAlnum(c) || c == ' ' || c == '*' || c == '-';
}

bool IsNameKey(int c) {
    return c == 8 || isAlnum(c) || c == ' ' || c == '-' || c == '_' || c == '/' || c == '>' ||
           c == '<';
}

bool IsNameText(const QString& text) {
    for (QChar ch : text) {
        const int c = ch.unicode();
        if (c == 8 || !IsNameKey(c))
            return false;
    }
    return true;
}

bool IsAllDigits(const QString& text) {
    for (QChar ch : text)
        if (ch < u'0' || ch > u'9')
            return false;
    return true;
}
