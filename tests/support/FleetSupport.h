#pragma once

// Fleet history events as the program records them, for the Fleet window's test and its
// screenshots: a read's settings snapshot, an event of one instrument, a span's certificate.

#include "fleet/FleetEvent.h"
#include "model/CalibrationCertificate.h"
#include "model/clsInstrument.h"

#include <QTimeZone>
#include <QUuid>

namespace fleettest {

// The settings as a read leaves them: the channels fitted with these gases, each calibrated
// on `calibrated`, due after `interval` days.
inline QJsonObject Snapshot(const QDateTime& calibrated, int interval, const QString& user,
                            float warning = 25.0f,
                            const QStringList& gases = {"CH4", "O2", "H2S", "CO", "H2"}) {
    clsInstrument r;
    r.setCalLimit(qint16(interval));
    r.setUserID(user);
    for (int i = 0; i < int(gases.size()); ++i) {
        r.setGasEnabled(i, true);
        r.setGasName(i, gases.at(i));
        r.setCalibDate(i, AppDate::fromDateTime(calibrated));
    }
    r.setWarning(2, warning);
    return r.ToJson();
}

inline FleetEvent Event(const QString& serial, const QString& station, const QString& user,
                        const QString& kind, const QDateTime& when) {
    FleetEvent e;
    e.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    e.when = when;
    e.kind = kind;
    e.outcome = FleetOutcome::Done;
    e.identity = {serial, QStringLiteral("04426"), 3, station, user};
    e.operatorName = QStringLiteral("K. Tanaka");
    e.bench = QStringLiteral("bench-3 /dev/ttyUSB0");
    return e;
}

// A passed span of channel 0 (CH4, 50 %LEL) that read `before` and `after`, kept with the event
// as the program keeps it.
inline void AttachSpan(FleetEvent& e, float before, float after) {
    CalibrationCertificate c;
    c.identity.serialNo = e.identity.serialNo;
    c.identity.stationId = e.identity.stationId;
    c.identity.userId = e.identity.userId;
    c.when = e.when;
    c.operatorName = e.operatorName;
    c.cylinderLot = QStringLiteral("LOT 4471-B");
    CertificateChannel& ch = c.channels[0];
    ch.fitted = true;
    ch.result = SpanResult::Passed;
    ch.gas = QStringLiteral("CH4");
    ch.unit = QStringLiteral("%LEL");
    ch.decimals = 1;
    ch.concentration = 50.0f;
    ch.before = before;
    ch.after = after;
    e.details.insert(QStringLiteral("certificate"), CertificateToJson(c));
}

} // namespace fleettest
