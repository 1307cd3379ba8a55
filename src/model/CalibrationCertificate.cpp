#include "model/CalibrationCertificate.h"

#include "app/MessageTable.h"
#include "app/NumberFormat.h"
#include "app/ReadingFormat.h"
#include "model/clsInstrument.h"

#include <QRegularExpression>

namespace {

constexpr int MaxCalLimitDays = 365;

Calibration::Readings unknownReadings() {
    Calibration::Readings r;
    r.fill(UnknownReading);
    return r;
}

} // namespace

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
