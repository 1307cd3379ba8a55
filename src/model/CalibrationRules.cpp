#include "model/CalibrationRules.h"

#include "app/MessageTable.h"
#include "app/NumberFormat.h"
#include "app/ReadingFormat.h"
#include "model/CalibrationCertificate.h"
#include "model/GasInfo.h"
#include "model/clsInstrument.h"

namespace Calibration {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString concentrationFormat(int decimals) {
    return decimals >= 1 && decimals <= 3 ? DecimalFormat(decimals) : QStringLiteral("#0");
}

QString failedLine(const QString& name, float reading, int decimals) {
    return name + u'(' + RecordReading(reading, decimals) + QStringLiteral(") Failed") + kCrLf;
}

QString completeLine(const QString& name) {
    return name + QStringLiteral("  ") + LoadMessage(5354) + kCrLf;
}

} // namespace

QString GasLabel(const clsInstrument& r, int i) {
    return GasTitleText(r.GasName(i).trimmed(), r.GasUnit(i), r.GasFullScale(i), r.GasPoint(i));
}

bool ConcentrationField(float value, int decimals, QString* field) {
    if (value < 0) {
        *field = QStringLiteral("*****");
        return true;
    }
    const QString number = FormatNumber(value, concentrationFormat(decimals));
    if (number.size() > ConcentrationWidth)
        return false;
    *field = number.rightJustified(ConcentrationWidth);
    return true;
}

SpanRequest BuildSpanRequest(const clsInstrument& cal, const Flags& selection) {
    SpanRequest req;
    QString mask;
    QString values;
    for (int i = 0; i < Channels; ++i) {
        mask += selection[i] ? u'1' : u'0';
        QString field = QStringLiteral("*****");
        if (selection[i] && !ConcentrationField(cal.AutoCalib(i), cal.GasPoint(i), &field) &&
            req.tooLong < 0)
            req.tooLong = i;
        values += u',' + field;
    }
    if (!mask.contains(u'1'))
        req.noSelection = 1;
    if (req.ok())
        req.text = mask + values;
    return req;
}

ConcentrationEdit EditConcentration(const QString& typed, int i, const clsInstrument& cal,
                                    const clsInstrument& main) {
    ConcentrationEdit e;
    const QString text = typed.trimmed();
    const int decimals = cal.GasPoint(i);
    e.value = cal.AutoCalib(i);
    if (text.isEmpty()) {
        e.outcome = ConcentrationEdit::Accepted;
        e.cleared = true;
        e.value = -101.0f;
        return e;
    }
    double number = 0;
    if (ParseNumber(text, &number)) {
        const float v = float(number);
        if (v >= 0 && v <= cal.GasFullScale(i) && CheckCalibValue(main, i, v)) {
            const float rounded = RoundToStep(v, cal.GasDesit(i));
            QString field;
            if (ConcentrationField(rounded, decimals, &field)) {
                e.outcome = ConcentrationEdit::Accepted;
                e.value = rounded;
            } else {
                e.outcome = ConcentrationEdit::TooLong;
            }
        }
    } else if (text.contains(QLatin1String("--"))) {
        e.outcome = ConcentrationEdit::Accepted;
        e.value = 0.0f;
    }
    e.text = FormatReading(e.value, decimals);
    return e;
}

QString ResultText(const clsInstrument& cal, const Flags& enabled, const Flags& selection,
                   const Flags& status, const Readings& live, bool asZero) {
    QString text;
    for (int i = 0; i < Channels; ++i) {
        if (!((enabled[i] && asZero) || selection[i]))
            continue;
        if (status[i])
            text += completeLine(cal.GasName(i));
        else
            text += failedLine(cal.GasName(i), enabled[i] ? live[i] : -101.0f, cal.GasPoint(i));
    }
    return text;
}

QString NitrogenReadingText(float oxygen, int decimals) {
    return (QStringLiteral("    ") + FormatReading(oxygen, decimals)).right(ConcentrationWidth);
}

QString NitrogenResultLine(const clsInstrument& cal, bool ok, bool rangeEnabled, float reading) {
    if (ok)
        return completeLine(cal.GasName(RangeChannel));
    return failedLine(cal.GasName(RangeChannel), rangeEnabled ? reading : -101.0f,
                      cal.GasPoint(RangeChannel));
}

} // namespace Calibration
