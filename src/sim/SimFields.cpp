#include "sim/SimFields.h"

#include <cmath>
#include <cstring>

namespace SimFields {

QByteArray level(float value, int decimals) {
    if (value < 0)
        return "*****";
    if (decimals < 0 || decimals > 3)
        decimals = 0;
    const QByteArray digits = QByteArray::number(double(value), 'f', decimals);
    // Longer numbers keep only their last five characters, as the display does.
    return digits.rightJustified(5, ' ').right(5);
}

bool parseLevel(const QByteArray& field, float* value) {
    const QByteArray t = field.trimmed();
    if (t == "*****") {
        *value = -101.0f;
        return true;
    }
    bool ok = false;
    const float v = t.toFloat(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    *value = v;
    return true;
}

QByteArray text(const QByteArray& value, int n) {
    return value.left(n).leftJustified(n, ' ');
}

QByteArray hex(quint32 value, int width) {
    return QByteArray::number(value, 16).toUpper().rightJustified(width, '0');
}

bool parseHex(const QByteArray& field, quint32* value) {
    const QByteArray t = field.trimmed();
    if (t.isEmpty() || t.size() > 8)
        return false;
    bool ok = false;
    const quint32 v = t.toUInt(&ok, 16);
    if (ok)
        *value = v;
    return ok;
}

bool parseDecimal(const QByteArray& field, int* value) {
    const QByteArray t = field.trimmed();
    if (t.isEmpty())
        return false;
    bool ok = false;
    const int v = t.toInt(&ok, 10);
    if (ok)
        *value = v;
    return ok;
}

QByteArray hexSingle(float value) {
    quint32 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return hex(bits, 8);
}

bool parseHexSingle(const QByteArray& field, float* value) {
    quint32 bits = 0;
    if (field.size() != 8 || !parseHex(field, &bits))
        return false;
    std::memcpy(value, &bits, sizeof bits);
    return true;
}

QByteArray date12(const QDateTime& when) {
    return when.toString(QStringLiteral("yyMMddHHmmss")).toLatin1();
}

bool parseDate12(const QByteArray& field, QDateTime* when) {
    if (field.size() != 12)
        return false;
    for (char c : field) {
        if (c < '0' || c > '9')
            return false;
    }
    const auto num = [&](int at) { return field.mid(at, 2).toInt(); };
    const QDate d(2000 + num(0), num(2), num(4));
    const QTime t(num(6), num(8), num(10));
    if (!d.isValid() || !t.isValid())
        return false;
    *when = QDateTime(d, t);
    return true;
}

int decimalsOf(const QByteArray& field) {
    const QByteArray t = field.trimmed();
    const qsizetype dot = t.indexOf('.');
    return dot < 0 ? 0 : int(t.size() - dot - 1);
}

float roundToStep(float value, float step) {
    if (value < 0 || step <= 0)
        return 0;
    return float(std::nearbyint(double(value) / double(step)) * double(step));
}

QList<QByteArray> split(const QByteArray& data) {
    QByteArray normalised = data;
    normalised.replace('\r', ',');
    return normalised.split(',');
}

} // namespace SimFields
