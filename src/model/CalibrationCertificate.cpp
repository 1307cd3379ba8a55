#include "model/CalibrationCertificate.h"

#include "app/MessageTable.h"
#include "app/NumberFormat.h"
#include "app/ReadingFormat.h"
#include "model/clsInstrument.h"

#include <QJsonArray>
#include <QRegularExpression>

namespace {

constexpr int MaxCalLimitDays = 365;

Calibration::Readings unknownReadings() {
    Calibration::Readings r;
    r.fill(UnknownReading);
    return r;
}

} // namespace

QJsonValue ReadingToJson(float value) {
    return IsUnknown(value) ? QJsonValue() : QJsonValue(double(value));
}

QString RecordReading(float value, int decimals) {
    if (IsUnknown(value))
        return LoadMessage(5801);
    return FormatReading(value, decimals);
}

QString InstrumentIdentity::programNumber() const {
    return romNumber ? FormatNumber(double(romNumber), QStringLiteral("00000")) : QString();
}

InstrumentIdentity IdentityOf(const clsInstrument& main) {
    return InstrumentIdentity{main.SerialNo().trimmed(), main.UserID().trimmed(),
                              main.StationID().trimmed(), main.SpecNo().trimmed(),
                              main.RomNumber()};
}

SpanFacts::SpanFacts()
    : before(unknownReadings()), historyBefore(unknownReadings()), historyAfter(unknownReadings()) {
}

QString CertificateChannel::resultText() const {
    switch (result) {
    case SpanResult::NotSelected:
        return LoadMessage(5721);
    case SpanResult::Passed:
        return LoadMessage(5719);
    case SpanResult::Failed:
        return LoadMessage(5720);
    case SpanResult::Unconfirmed:
        break;
    }
    return LoadMessage(5802);
}

bool CalibrationCertificate::passed() const {
    bool any = false;
    for (const CertificateChannel& c : channels) {
        if (!c.selected())
            continue;
        if (!c.passed())
            return false;
        any = true;
    }
    return any;
}

QString CalibrationCertificate::verdictText() const {
    return LoadMessage(passed() ? 5719 : 5720);
}

CalibrationCertificate MakeCertificate(const clsInstrument& main, const clsInstrument& cal,
                                       const SpanFacts& facts, const QString& operatorName,
                                       const QString& lot) {
    CalibrationCertificate c;
    c.identity = IdentityOf(main);
    c.when = facts.when;
    c.operatorName = operatorName.trimmed();
    c.cylinderLot = lot.trimmed();
    bool anyPassed = false;
    for (int i = 0; i < Calibration::Channels; ++i) {
        CertificateChannel& ch = c.channels[i];
        ch.fitted = cal.GasEnabled(i);
        ch.gas = cal.GasName(i).trimmed();
        ch.unit = cal.GasUnit(i).trimmed();
        ch.decimals = cal.GasPoint(i);
        if (!facts.selection[i]) {
            if (ch.fitted)
                ch.before = facts.before[i];
            continue;
        }
        ch.concentration = cal.AutoCalib(i);
        if (!facts.answered)
            ch.result = SpanResult::Unconfirmed;
        else
            ch.result = facts.status[i] ? SpanResult::Passed : SpanResult::Failed;
        switch (ch.result) {
        case SpanResult::Passed:
            anyPassed = true;
            ch.before = facts.historyRead ? facts.historyBefore[i] : UnknownReading;
            ch.after = facts.historyRead ? facts.historyAfter[i] : UnknownReading;
            break;
        case SpanResult::Unconfirmed: // whatever the instrument did, nobody saw it
            ch.before = facts.before[i];
            ch.after = UnknownReading;
            break;
        default:
            ch.before = facts.before[i];
            break;
        }
    }
    const int limit = main.CalLimit();
    if (anyPassed && limit >= 1 && limit <= MaxCalLimitDays)
        c.nextDue = facts.when.date().addDays(limit);
    return c;
}

QString CertificateFileName(const CalibrationCertificate& c) {
    QString serial = c.identity.serialNo;
    serial.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_-]")), QStringLiteral("_"));
    if (serial.isEmpty())
        serial = QStringLiteral("unknown");
    return QStringLiteral("TQ5800_Certificate_%1_%2.pdf")
        .arg(serial, c.when.toString(QStringLiteral("yyyyMMdd_hhmmss")));
}

namespace {

constexpr std::array<std::pair<SpanResult, const char*>, 4> ResultNames{{
    {SpanResult::NotSelected, "not-selected"},
    {SpanResult::Passed, "passed"},
    {SpanResult::Failed, "failed"},
    {SpanResult::Unconfirmed, "unconfirmed"},
}};

// Null stays unknown; anything else that is no number is refused.
bool readingFromJson(const QJsonValue& value, float* reading) {
    if (value.isNull() || value.isUndefined()) {
        *reading = UnknownReading;
        return true;
    }
    if (!value.isDouble())
        return false;
    *reading = float(value.toDouble());
    return true;
}

} // namespace

QJsonObject CertificateToJson(const CalibrationCertificate& c) {
    QJsonArray channels;
    for (const CertificateChannel& ch : c.channels) {
        QString result;
        for (const auto& [value, name] : ResultNames)
            if (value == ch.result)
                result = QLatin1String(name);
        channels.append(
            QJsonObject{{QStringLiteral("fitted"), ch.fitted},
                        {QStringLiteral("result"), result},
                        {QStringLiteral("gas"), ch.gas},
                        {QStringLiteral("unit"), ch.unit},
                        {QStringLiteral("decimals"), ch.decimals},
                        {QStringLiteral("concentration"), ReadingToJson(ch.concentration)},
                        {QStringLiteral("before"), ReadingToJson(ch.before)},
                        {QStringLiteral("after"), ReadingToJson(ch.after)}});
    }
    const InstrumentIdentity& id = c.identity;
    return QJsonObject{
        {QStringLiteral("identity"), QJsonObject{{QStringLiteral("serialNo"), id.serialNo},
                                                 {QStringLiteral("userId"), id.userId},
                                                 {QStringLiteral("stationId"), id.stationId},
                                                 {QStringLiteral("specNo"), id.specNo},
                                                 {QStringLiteral("romNumber"), id.romNumber}}},
        {QStringLiteral("when"), c.when.toString(Qt::ISODateWithMs)},
        {QStringLiteral("nextDue"),
         c.nextDue.isValid() ? QJsonValue(c.nextDue.toString(Qt::ISODate)) : QJsonValue()},
        {QStringLiteral("operator"), c.operatorName},
        {QStringLiteral("cylinderLot"), c.cylinderLot},
        {QStringLiteral("channels"), channels}};
}

std::optional<CalibrationCertificate> CertificateFromJson(const QJsonObject& o) {
    CalibrationCertificate c;
    const QJsonObject id = o.value(QStringLiteral("identity")).toObject();
    c.identity.serialNo = id.value(QStringLiteral("serialNo")).toString();
    c.identity.userId = id.value(QStringLiteral("userId")).toString();
    c.identity.stationId = id.value(QStringLiteral("stationId")).toString();
    c.identity.specNo = id.value(QStringLiteral("specNo")).toString();
    c.identity.romNumber = id.value(QStringLiteral("romNumber")).toInt();
    c.when = QDateTime::fromString(o.value(QStringLiteral("when")).toString(), Qt::ISODateWithMs);
    if (!c.when.isValid())
        return std::nullopt;
    const QJsonValue due = o.value(QStringLiteral("nextDue"));
    if (!due.isNull() && !due.isUndefined()) {
        c.nextDue = QDate::fromString(due.toString(), Qt::ISODate);
        if (!c.nextDue.isValid())
            return std::nullopt;
    }
    c.operatorName = o.value(QStringLiteral("operator")).toString();
    c.cylinderLot = o.value(QStringLiteral("cylinderLot")).toString();
    const QJsonArray channels = o.value(QStringLiteral("channels")).toArray();
    if (channels.size() != Calibration::Channels)
        return std::nullopt;
    for (int i = 0; i < Calibration::Channels; ++i) {
        const QJsonObject j = channels.at(i).toObject();
        CertificateChannel& ch = c.channels[i];
        const QString result = j.value(QStringLiteral("result")).toString();
        bool known = false;
        for (const auto& [value, name] : ResultNames)
            if (result == QLatin1String(name)) {
                ch.result = value;
                known = true;
            }
        if (!known)
            return std::nullopt;
        ch.fitted = j.value(QStringLiteral("fitted")).toBool();
        ch.gas = j.value(QStringLiteral("gas")).toString();
        ch.unit = j.value(QStringLiteral("unit")).toString();
        ch.decimals = j.value(QStringLiteral("decimals")).toInt();
        if (!readingFromJson(j.value(QStringLiteral("concentration")), &ch.concentration) ||
            !readingFromJson(j.value(QStringLiteral("before")), &ch.before) ||
            !readingFromJson(j.value(QStringLiteral("after")), &ch.after))
            return std::nullopt;
    }
    return c;
}
