#include "app/NumberFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

struct Pattern {
    int minIntDigits = 1;
    int decimals = 0;
    QString suffix;
    bool general = false;
};

Pattern parsePattern(const QString& f) {
    Pattern p;
    if (f.isEmpty()) {
        p.general = true;
        return p;
    }
    qsizetype i = 0;
    int zeros = 0;
    while (i < f.size() && (f[i] == u'#' || f[i] == u'0')) {
        if (f[i] == u'0')
            ++zeros;
        ++i;
    }
    p.minIntDigits = zeros;
    if (i < f.size() && f[i] == u'.') {
        ++i;
        while (i < f.size() && (f[i] == u'0' || f[i] == u'#')) {
            ++p.decimals;
            ++i;
        }
    }
    p.suffix = f.mid(i);
    return p;
}

template <typename T> std::string shortestFixed(T v) {
    char buf[512];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
    if (r.ec != std::errc())
        return "0";
    return std::string(buf, r.ptr);
}

// Rounds a plain decimal text (optional '-', digits, optional '.' digits) half away from zero
// to the given number of decimals and pads the integer part.
QString roundDecimalText(const std::string& text, const Pattern& p) {
    QByteArray s = QByteArray::fromStdString(text);
    const bool negative = s.startsWith('-');
    if (negative)
        s.remove(0, 1);
    QByteArray intPart = s, frac;
    if (const qsizetype dot = s.indexOf('.'); dot >= 0) {
        intPart = s.left(dot);
        frac = s.mid(dot + 1);
    }
    if (intPart.isEmpty())
        intPart = "0";
    const bool roundUp = frac.size() > p.decimals && frac.at(p.decimals) >= '5';
    if (frac.size() > p.decimals)
        frac.truncate(p.decimals);
    else
        frac.append(QByteArray(p.decimals - frac.size(), '0'));
    QByteArray digits = intPart + frac;
    if (roundUp) {
        qsizetype i = digits.size() - 1;
        for (; i >= 0; --i) {
            if (digits[i] == '9') {
                digits[i] = '0';
            } else {
                digits[i] = char(digits[i] + 1);
                break;
            }
        }
        if (i < 0)
            digits.prepend('1');
    }
    QByteArray ip = digits.left(digits.size() - p.decimals);
    const QByteArray fp = digits.right(p.decimals);
    qsizetype firstNonZero = 0;
    while (firstNonZero < ip.size() && ip.at(firstNonZero) == '0')
        ++firstNonZero;
    ip.remove(0, firstNonZero);
    if (ip.size() < p.minIntDigits)
        ip.prepend(QByteArray(p.minIntDigits - ip.size(), '0'));
    const bool allZero =
        !std::any_of(digits.cbegin(), digits.cend(), [](char ch) { return ch != '0'; });
    QByteArray out;
    if (negative && !allZero)
        out.append('-');
    out.append(ip);
    if (p.decimals > 0) {
        out.append('.');
        out.append(fp);
    }
    return QString::fromLatin1(out) + p.suffix;
}

template <typename T> QString formatImpl(T value, const QString& format) {
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-Inf") : QStringLiteral("Inf");
    const Pattern p = parsePattern(format);
    if (p.general)
        return ShortestText(value);
    return roundDecimalText(shortestFixed(value), p);
}

// The shortest text in the caller's buffer: no allocation, for writers that append.
template <typename T> QLatin1String shortestChars(T value, char (&buf)[64]) {
    if (std::isnan(value))
        return QLatin1String("NaN");
    if (std::isinf(value))
        return value < 0 ? QLatin1String("-Inf") : QLatin1String("Inf");
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    if (r.ec != std::errc())
        return QLatin1String("0");
    const QLatin1String s(buf, r.ptr - buf);
    return s == QLatin1String("-0") ? QLatin1String("0") : s;
}

template <typename T> QString shortestImpl(T value) {
    char buf[64];
    return shortestChars(value, buf);
}

} // namespace

QString FormatNumber(float value, const QString& format) {
    return formatImpl(value, format);
}
QString FormatNumber(double value, const QString& format) {
    return formatImpl(value, format);
}
QString ShortestText(float value) {
    return shortestImpl(value);
}
QString ShortestText(double value) {
    return shortestImpl(value);
}
void AppendShortestText(QString& out, float value) {
    char buf[64];
    out += shortestChars(value, buf);
}

double RoundHalfEven(double v) {
    return std::nearbyint(v);
}

bool ParseNumber(QStringView text, double* value) {
    const QStringView t = text.trimmed();
    if (t.isEmpty())
        return false;
    if (t.size() > 2 && t[0] == u'&' &&
        (t[1] == u'H' || t[1] == u'h' || t[1] == u'O' || t[1] == u'o')) {
        const bool hex = t[1] == u'H' || t[1] == u'h';
        const QStringView digits = t.mid(2);
        if (digits.size() > 16)
            return false;
        bool ok = false;
        const qulonglong u = digits.toULongLong(&ok, hex ? 16 : 8);
        if (!ok)
            return false;
        // Hex literals of up to four digits are 16-bit, up to eight 32-bit, signed as the
        // system reads them ("&HFFFF" is -1).
        double v = double(u);
        if (digits.size() <= 4 && hex && u <= 0xFFFF)
            v = double(qint16(quint16(u)));
        else if (hex && u <= 0xFFFFFFFFull && digits.size() <= 8)
            v = double(qint32(quint32(u)));
        if (value)
            *value = v;
        return true;
    }
    // Plain decimal: sign, digits, point, exponent. No thousands separators or currency.
    qsizetype i = 0;
    const qsizetype n = t.size();
    if (i < n && (t[i] == u'+' || t[i] == u'-'))
        ++i;
    qsizetype digitsSeen = 0;
    while (i < n && t[i].isDigit() && t[i].unicode() < 128) {
        ++i;
        ++digitsSeen;
    }
    if (i < n && t[i] == u'.') {
        ++i;
        while (i < n && t[i].isDigit() && t[i].unicode() < 128) {
            ++i;
            ++digitsSeen;
        }
    }
    if (digitsSeen == 0)
        return false;
    if (i < n && (t[i] == u'e' || t[i] == u'E')) {
        ++i;
        if (i < n && (t[i] == u'+' || t[i] == u'-'))
            ++i;
        qsizetype expDigits = 0;
        while (i < n && t[i].isDigit() && t[i].unicode() < 128) {
            ++i;
            ++expDigits;
        }
        if (expDigits == 0)
            return false;
    }
    if (i != n)
        return false;
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    if (value)
        *value = v;
    return true;
}

bool IsNumericText(const QString& text) {
    return ParseNumber(text, nullptr);
}
