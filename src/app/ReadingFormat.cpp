#include "app/ReadingFormat.h"

#include "app/Errors.h"
#include "app/NumberFormat.h"

#include <QFile>
#include <cmath>

namespace {

struct Code {
    float value;
    const char* text;
};

const Code kCodes[] = {
    {56797.0f, "*****"},     {-121.0f, "*****"},      {65287.0f, "?????"},
    {-118.0f, "?????"},      {65535.0f, "-----"},     {-101.0f, "-----"},
    {-102.0f, "NORMAL"},     {-103.0f, "WARNING"},    {-104.0f, "ALARM"},
    {-105.0f, "STEL"},       {-106.0f, "TWA"},        {-107.0f, "OVER"},
    {-130.0f, "Fail(Air)"},  {-131.0f, "Fail(Span)"}, {-132.0f, "Fail(Sen.)"},
    {-133.0f, "Fail(Com.)"}, {-134.0f, "Fail(Ram)"},  {-135.0f, "Fail(Rom)"},
    {-136.0f, "Fail(Ext.)"}, {-150.0f, "Fail(ALK.)"}, {-151.0f, "Fail(NIMH)"},
    {-152.0f, "Fail(FLOW)"}, {-153.0f, "Fail(RAM)"},  {-154.0f, "Fail(ROM)"},
    {-155.0f, "Fail(FRAM)"}, {-156.0f, "Fail(FLA.)"}, {-157.0f, "Fail(CLO.)"},
    {-170.0f, "CAL ON"},     {-171.0f, "CAL OFF"},    {-172.0f, "CLEAR"},
    {-173.0f, "LEL"},        {-174.0f, "ppm"},        {-175.0f, "vol"},
    {-176.0f, "ELE ON"},     {-177.0f, "ELE OFF"},    {-178.0f, "CAT ON"},
    {-179.0f, "CAT OFF"},    {-180.0f, "AIR"},
};

QString shortFormat(int decimals) {
    switch (decimals) {
    case 1:
        return QStringLiteral("#0.0");
    case 2:
        return QStringLiteral("#0.00");
    case 3:
        return QStringLiteral("#0.000");
    default:
        return QStringLiteral("#0");
    }
}

} // namespace

QString FormatReading(float v, int decimals, float factor) {
    for (const Code& c : kCodes)
        if (v == c.value)
            return QString::fromLatin1(c.text);
    const float shown = v * factor;
    return FormatNumber(shown, shortFormat(decimals));
}

float ParseReadingText(const QString& text) {
    double d = 0;
    if (ParseNumber(text, &d))
        return float(d);
    const QString head = text.trimmed().left(3).toUpper();
    if (head == QLatin1String("OVE"))
        return -107.0f;
    if (head == QLatin1String("WAR"))
        return -103.0f;
    if (head == QLatin1String("ALR"))
        return -104.0f;
    if (head == QLatin1String("STE"))
        return -105.0f;
    if (head == QLatin1String("TWA"))
        return -106.0f;
    if (head == QLatin1String("NOR"))
        return -102.0f;
    return -101.0f;
}

QString DecimalFormat(int n) {
    if (n == 0)
        return QStringLiteral("#0");
    if (n >= 1 && n <= 9)
        return QStringLiteral("#0.") + QString(n, u'0');
    return QString();
}

QString FormatScaleValue(float v, int decimals) {
    if (v < 0)
        return QStringLiteral("*****");
    return (QStringLiteral("    ") + FormatNumber(v, shortFormat(decimals))).right(5);
}

QString GasTitleText(const QString& name, const QString& unit, float fs, int d) {
    if (name.trimmed().isEmpty())
        return QStringLiteral("----(---)");
    if (fs == -1.0f)
        return name + u'(' + unit + u')';
    return name + u'(' + FormatNumber(fs, DecimalFormat(d)) + unit + u')';
}

int DecimalsOfText(const QString& t) {
    const qsizetype dot = t.indexOf(u'.');
    return dot < 0 ? 0 : int(t.size() - dot - 1);
}

int IntervalIndex(int s) {
    switch (s) {
    case 10:
        return 0;
    case 20:
        return 1;
    case 30:
        return 2;
    case 60:
        return 3;
    case 180:
        return 4;
    case 600:
        return 6;
    default:
        return 5;
    }
}

float RoundToStep(float v, float s) {
    if (v < 0 || s == 0)
        return 0.0f;
    // The quotient in single precision, as the instrument's values are: 0.35 / 0.1 is then
    // exactly 3.5 and goes to the even 4, where a double quotient lands just below the half.
    const float quotient = v / s;
    return float(RoundHalfEven(double(quotient))) * s;
}

bool FillFileFF(const QString& path, qint64 n) {
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite))
        return false;
    const QByteArray chunk(65536, char(0xFF));
    qint64 left = n;
    while (left > 0) {
        const qint64 k = qMin<qint64>(left, chunk.size());
        if (f.write(chunk.constData(), k) != k)
            return false;
        left -= k;
    }
    return true;
}
