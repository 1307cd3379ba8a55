#include "ui/fleet/FleetHistoryData.h"

#include "app/MessageTable.h"
#include "fleet/SnapshotChanges.h"
#include "model/CalibrationCertificate.h"
#include "ops/InstrumentSession.h"
#include "ui/fleet/FleetListModel.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>

namespace {

QString ValueText(const QJsonValue& value) {
    switch (value.type()) {
    case QJsonValue::String:
        return value.toString();
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Double:
        return QString::number(value.toDouble(), 'g', 15);
    case QJsonValue::Array:
        return QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
    case QJsonValue::Object:
        return QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    default:
        return QString();
    }
}

// A reading a chart can draw: known, and no instrument state or "none" code.
bool Drawable(float value) {
    return !IsUnknown(value) && value > -100.0f;
}

} // namespace

QList<SettingComparison> CompareSnapshots(const QJsonObject& first, const QJsonObject& second) {
    QList<SettingComparison> out;
    for (const SnapshotSetting& s : SnapshotSettings(first, second))
        out.append({s.setting, ValueText(s.before), ValueText(s.after), s.changed()});
    return out;
}

QString ChangesText(const QJsonArray& changes) {
    QStringList parts;
    for (const QJsonValue& v : changes) {
        const QJsonObject c = v.toObject();
        parts << QStringLiteral("%1: %2 -> %3")
                     .arg(c.value(QStringLiteral("setting")).toString(),
                          ValueText(c.value(QStringLiteral("before"))),
                          ValueText(c.value(QStringLiteral("after"))));
    }
    return parts.join(QStringLiteral("; "));
}

QString OutcomeText(FleetOutcome outcome) {
    switch (outcome) {
    case FleetOutcome::Done:
        return LoadMessage(9745);
    case FleetOutcome::Failed:
        return LoadMessage(9746);
    case FleetOutcome::Cancelled:
        break;
    }
    return LoadMessage(9747);
}

QString KindText(const QString& kind) {
    static const QHash<QString, int> messages{
        {Operation::Read, 9760},          {Operation::Write, 9761},
        {Operation::WriteIdentity, 9762}, {Operation::SetClock, 9763},
        {Operation::Download, 9764},      {Operation::FramDump, 9765},
        {Operation::PowerOff, 9766},      {Operation::ClearLogger, 9767},
        {Operation::ClearPower, 9768},    {Operation::Defaults, 9769},
        {Operation::CheckData, 9770},     {Operation::FlashCheck, 9771},
        {Operation::CalibrateZero, 9772}, {Operation::CalibrateSpan, 9773},
        {Operation::CalibrateBump, 9774}, {Operation::Nitrogen, 9775},
        {Operation::Compensation, 9776},  {Operation::SettingsLoad, 9777},
        {Operation::SettingsStore, 9778}, {Operation::StationsImport, 9779}};
    const int number = messages.value(kind);
    return number ? LoadMessage(number) : kind;
}

QString EventTitle(const FleetEvent& event) {
    return LocalTimeText(event.when) + u' ' + KindText(event.kind);
}

std::optional<CalibrationCertificate> StoredCertificate(const FleetEvent& event) {
    const QJsonValue stored = event.details.value(QStringLiteral("certificate"));
    if (!stored.isObject())
        return std::nullopt;
    return CertificateFromJson(stored.toObject());
}

std::array<ChannelSpans, Calibration::Channels> SpanReadings(const QList<FleetEvent>& history) {
    QList<const FleetEvent*> byTime;
    for (const FleetEvent& e : history)
        byTime << &e;
    std::stable_sort(byTime.begin(), byTime.end(),
                     [](const FleetEvent* x, const FleetEvent* y) { return x->when < y->when; });
    std::array<ChannelSpans, Calibration::Channels> out;
    for (const FleetEvent* e : byTime) {
        const std::optional<CalibrationCertificate> certificate = StoredCertificate(*e);
        if (!certificate)
            continue;
        for (int i = 0; i < Calibration::Channels; ++i) {
            const CertificateChannel& c = certificate->channels[std::size_t(i)];
            if (!c.fitted || !c.selected())
                continue;
            if (!c.gas.isEmpty()) {
                out[std::size_t(i)].gas = c.gas;
                out[std::size_t(i)].unit = c.unit;
            }
            if (Drawable(c.before) && Drawable(c.after))
                out[std::size_t(i)].readings.append({e->when, c.before, c.after});
        }
    }
    return out;
}
