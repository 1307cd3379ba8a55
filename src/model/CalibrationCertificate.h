#pragma once

#include "model/CalibrationRules.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <array>

class clsInstrument;

// What a calibration certificate states about one span adjustment: the instrument, each
// channel's gas, span-gas concentration, readings before and after and result, the date, the
// next due date from the instrument's calibration time limit, and who did it with which gas
// cylinder. The PDF and the line of the calibration log are both made from it.
struct CertificateChannel {
    bool fitted = false;
    bool selected = false;
    bool passed = false;
    QString gas;
    QString unit;
    int decimals = 0;
    float concentration = -101.0f;
    float before = -101.0f;
    float after = -101.0f;
    // "Passed", "Failed" or "Not calibrated" in the current language.
    QString resultText() const;
};

struct CalibrationCertificate {
    QString serialNo;
    QString userId;
    QString stationId;
    QString specNo;
    qint32 romNumber = 0;
    QDateTime when;
    QDate nextDue; // invalid when the instrument has no time limit
    QString operatorName;
    QString cylinderLot;
    std::array<CertificateChannel, Calibration::Channels> channels;

    // Every selected channel passed, and there was one.
    bool passed() const;
};

// From the main record (identity, calibration time limit and the history read after the span),
// the calibration record (gases and concentrations), the span's selection and per-channel
// results and the live readings just before the span. A channel that passed takes its readings
// before and after from the instrument's history; one that failed shows the live reading
// before and no reading after.
CalibrationCertificate MakeCertificate(const clsInstrument& main, const clsInstrument& calibration,
                                       const Calibration::Flags& selection,
                                       const Calibration::Flags& status,
                                       const Calibration::Readings& before, const QDateTime& when,
                                       const QString& operatorName, const QString& cylinderLot);

// A reading as the certificate shows it ("-----" for none).
QString CertificateReading(float value, int decimals);

// The calibration log "TQ5800_Calibration.csv" in the folder of the setting record: one header
// line, then a line per certificate. It only ever grows.
QString CalibrationLogPath(const QString& folder);
QStringList CalibrationLogHeader();
QStringList CalibrationLogFields(const CalibrationCertificate& certificate);
// Appends the certificate's line (CR LF, local 8-bit), the header first when the file is new.
bool AppendCalibrationLog(const QString& path, const CalibrationCertificate& certificate,
                          QString* error = nullptr);
// "TQ5800_Certificate_<serial>_<yyyyMMdd_hhmmss>.pdf", the serial's unsafe characters as "_".
QString CertificateFileName(const CalibrationCertificate& certificate);
