#include "app/ReadingFormat.h"

#include "app/Errors.h"
#include "app/NumberFormat.h"
#include "model/clsInstrument.h"
#include "state/AppState.h"

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

QString FormatReading(float v, int decimals, bool convert) {
    for (const Code& c : kCodes)
        if (v == c.value)
            return QString::fromLatin1(c.text);
    const float shown = convert ? float(v * appState().ConvParam) : v;
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

QString GasTitle(const clsInstrument& r, int i, bool withRange) {
    const QString name = r.GasName(i);
    if (name.trimmed().isEmpty())
        return QStringLiteral("----(---)");
    if (i == 4 || !withRange)
        return name + u'(' + r.GasUnit(i) + u')';
    return name + u'(' + FormatNumber(r.GasFullScale(i), DecimalFormat(r.GasPoint(i))) +
           r.GasUnit(i) + u')';
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

void ApplyGasInfoRecord(const QString& r, clsInstrument& record, int i) {
    if (r == QString(25, u'*')) {
        record.setGasName(i, QString());
        record.setGasEnabled(i, false);
        record.setGasFullScale(i, -101.0f);
        record.setGasDesit(i, 0.0f);
        record.setGasPoint(i, -101);
        record.setGasUnit(i, QString());
        return;
    }
    record.setGasName(i, r.mid(0, 10).trimmed());
    record.setGasEnabled(i, true);
    double fs = 0;
    if (!ParseNumber(r.mid(11, 5), &fs) || !std::isfinite(float(fs)))
        throw ConversionError("gas record: full scale is not a number");
    // Levels have no form for a negative number: such a record could not be written back.
    if (fs < 0)
        throw ConversionError("gas record: negative full scale");
    record.setGasFullScale(i, float(fs));
    const QString step = r.mid(16, 5);
    double digit = 0;
    if (!ParseNumber(step, &digit) || !std::isfinite(float(digit)))
        throw ConversionError("gas record: resolution is not a number");
    if (digit < 0)
        throw ConversionError("gas record: negative resolution");
    record.setGasDesit(i, float(digit));
    record.setGasPoint(i, qint16(DecimalsOfText(step.trimmed())));
    record.setGasUnit(i, r.mid(21, 4).trimmed());
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

bool CheckCalibValue(const clsInstrument& r, int g, float v) {
    if (v < 0)
        return true;
    float t = 0.0f;
    if (g == 1)
        t = 19.5f;
    else if (g == 3)
        t = 25.0f;
    else if (g == 0 || g == 2)
        t = 10.0f;
    float warning = -101.0f;
    if (clsInstrument::levelOk(g))
        warning = r.Warning(g);
    const QString name = r.GasName(g);
    if (name != QLatin1String("O2") && name != QLatin1String("OXY"))
        return warning < 0 ? v >= t : v >= warning;
    if (r.AlarmO2() == 2)
        return v <= t;
    return warning < 0 ? v <= t : v <= warning;
}

bool CheckCalibValue(int g, float v) {
    return CheckCalibValue(appState().Instrument, g, v);
}
