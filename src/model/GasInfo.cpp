#include "model/GasInfo.h"

#include "app/Errors.h"
#include "app/NumberFormat.h"
#include "app/ReadingFormat.h"
#include "model/clsInstrument.h"

#include <cmath>

QString GasTitle(const clsInstrument& r, int i, bool withRange) {
    const QString name = r.GasName(i);
    if (name.trimmed().isEmpty())
        return QStringLiteral("----(---)");
    if (i == 4 || !withRange)
        return name + u'(' + r.GasUnit(i) + u')';
    return name + u'(' + FormatNumber(r.GasFullScale(i), DecimalFormat(r.GasPoint(i))) +
           r.GasUnit(i) + u')';
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
