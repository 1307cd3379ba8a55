#pragma once

#include <QString>
#include <QStringList>

struct BumpTestRecord;
struct CalibrationCertificate;

// The calibration log "TQ5800_Calibration.csv" in the folder of the setting record: one header
// line, then a line per record. It only ever grows. A span's line and a bump test's line share
// the columns that mean the same (date, identity, operator, lot, each channel's gas, unit and
// result); the "Record" column tells them apart and each fills only its own further columns,
// so every column means one thing. Files begun before the bump test columns existed get their
// lines appended as they are: the first 38 columns keep their places. Texts a user typed
// (identity, operator, lot) are written as SpreadsheetSafeText gives them.
QString CalibrationLogPath(const QString& folder);
QStringList CalibrationLogHeader();
QStringList CalibrationLogFields(const CalibrationCertificate& certificate);
QStringList CalibrationLogFields(const BumpTestRecord& bumpTest);
// Appends the record's line (CR LF, local 8-bit), the header first when the file is new.
bool AppendCalibrationLog(const QString& path, const CalibrationCertificate& certificate,
                          QString* error = nullptr);
bool AppendCalibrationLog(const QString& path, const BumpTestRecord& bumpTest,
                          QString* error = nullptr);

// Whether a record could be written to `path` (a file to append to or to replace), checked
// before the instrument is touched: a calibration whose record cannot be kept should not
// happen. A missing file is created and removed again to find out.
bool CanWriteRecordFile(const QString& path, QString* error = nullptr);
