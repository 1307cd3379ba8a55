#pragma once

#include "model/CalibrationRules.h"

#include <QDate>
#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <array>
#include <cmath>
#include <limits>
#include <optional>

class clsInstrument;

// A value this run could not read: printed as unknown, never replaced by an older value. The
// system's -101 stays what it is everywhere, "none" ("-----").
inline constexpr float UnknownReading = std::numeric_limits<float>::quiet_NaN();
inline bool IsUnknown(float value) {
    return std::isnan(value);
}
// A reading as records show it: "unknown", "-----" for none, else the reading text.
QString RecordReading(float value, int decimals);
// A reading as data: null when unknown, the number otherwise (-101 stays -101).
QJsonValue ReadingToJson(float value);

// Who the instrument is, as a record states it.
struct InstrumentIdentity {
    QString serialNo;
    QString userId;
    QString stationId;
    QString specNo;
    qint32 romNumber = 0;
    // The program number with its five digits ("04426"); empty when not known.
    QString programNumber() const;
};
InstrumentIdentity IdentityOf(const clsInstrument& main);

// What one span adjustment sent and received, as the flow collected it.
struct SpanFacts {
    Calibration::Flags selection{};
    bool answered = false;       // the instrument took the span request (its span write ended well)
    Calibration::Flags status{}; // per channel: adjusted (only when answered)
    Calibration::Readings before; // the live readings just before; unknown where not read
    bool historyRead = false;     // the history after the span was read
    // The history as this span's read brought it; unknown where it was not read.
    Calibration::Readings historyBefore;
    Calibration::Readings historyAfter;
    QDateTime when;
    SpanFacts();
};

enum class SpanResult { NotSelected, Passed, Failed, Unconfirmed };

// What a calibration certificate states about one span adjustment: the instrument, each
// channel's gas, span-gas concentration, readings before and after and result, the date, the
// next due date from the instrument's calibration time limit, and who did it with which gas
// cylinder. Made once when the span ends; the PDF and the line of the calibration log are both
// renderings of it.
struct CertificateChannel {
    bool fitted = false;
    SpanResult result = SpanResult::NotSelected;
    QString gas;
    QString unit;
    int decimals = 0;
    float concentration = -101.0f;
    float before = -101.0f;
    float after = -101.0f;
    bool selected() const { return result != SpanResult::NotSelected; }
    bool passed() const { return result == SpanResult::Passed; }
    // "Passed", "Failed", "Not confirmed" or "Not calibrated" in the current language.
    QString resultText() const;
};

struct CalibrationCertificate {
    InstrumentIdentity identity;
    QDateTime when;
    QDate nextDue; // invalid when the instrument has no time limit or nothing passed
    QString operatorName;
    QString cylinderLot;
    std::array<CertificateChannel, Calibration::Channels> channels;

    // Every selected channel passed, and there was one.
    bool passed() const;
    // The whole run's verdict in the current language ("Passed" or "Failed").
    QString verdictText() const;
};

// The record of a span: identity and calibration time limit from the main record, gases and
// concentrations from the calibration record, the rest from what the span sent and received.
// A channel is "Passed" only when the instrument confirmed it; a request that went unanswered
// leaves its channels unconfirmed. A passed channel takes its readings before and after from
// the history read after the span (unknown when that read failed); any other fitted channel
// shows the live reading before and no reading after.
CalibrationCertificate MakeCertificate(const clsInstrument& main, const clsInstrument& calibration,
                                       const SpanFacts& facts, const QString& operatorName,
                                       const QString& cylinderLot);

// "TQ5800_Certificate_<serial>_<yyyyMMdd_hhmmss>.pdf", the serial's unsafe characters as "_".
QString CertificateFileName(const CalibrationCertificate& certificate);

// The certificate as data, so a stored span can be printed again: readings as numbers, an
// unknown reading as null, results by name ("passed", "failed", "unconfirmed", "not-selected").
QJsonObject CertificateToJson(const CalibrationCertificate& certificate);
// Null when the object is not a certificate this program wrote (no channels, a result or time
// it cannot read).
std::optional<CalibrationCertificate> CertificateFromJson(const QJsonObject& object);
