#include "model/RecordJson.h"

#include "app/NumberFormat.h"
#include "app/ReadingFormat.h"
#include "model/clsInstrument.h"

#include <QJsonArray>
#include <cmath>

QJsonValue JsonNumber(double value) {
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue(QJsonValue::Null);
}

QJsonValue JsonTime(const QDateTime& when) {
    if (!when.isValid())
        return QJsonValue(QJsonValue::Null);
    // A fixed offset writes it out ("+09:00", "Z"); local time alone would leave it away.
    return QJsonValue(when.toOffsetFromUtc(when.offsetFromUtc()).toString(Qt::ISODate));
}

QJsonValue JsonDate(const AppDate& date) {
    if (date.days() <= 0 || !date.isValid())
        return QJsonValue(QJsonValue::Null);
    return JsonTime(date.toDateTime());
}

QJsonValue JsonDecimalText(const QString& text) {
    double value = 0;
    return ParseNumber(text.trimmed(), &value) ? JsonNumber(value) : QJsonValue(QJsonValue::Null);
}

QJsonObject LiveReadingJson(const clsInstrument& record, const std::array<float, 5>& values,
                            const QDateTime& when) {
    QJsonArray channels;
    for (int gas = 0; gas < clsInstrument::GasCount; ++gas) {
        const float v = values[size_t(gas)];
        const bool fitted = record.GasEnabled(gas);
        // -101 and below are the record's "not available" and the instrument's states.
        const bool value = fitted && std::isfinite(v) && v > -101.0f;
        channels.append(QJsonObject{
            {QStringLiteral("Gas"), record.GasName(gas).trimmed()},
            {QStringLiteral("Unit"), record.GasUnit(gas).trimmed()},
            {QStringLiteral("Enabled"), fitted},
            {QStringLiteral("Value"),
             value ? JsonNumber(ShortestText(v).toDouble()) : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("Text"),
             fitted ? FormatReading(v, record.GasPoint(gas)).trimmed() : QStringLiteral("-----")},
        });
    }
    return QJsonObject{{QStringLiteral("FormatVersion"), JsonFormatVersion},
                       {QStringLiteral("Time"), JsonTime(when)},
                       {QStringLiteral("Channels"), channels}};
}
