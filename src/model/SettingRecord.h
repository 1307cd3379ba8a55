#pragma once

#include "app/AppDate.h"

#include <QString>
#include <QStringList>

class clsInstrument;

// The setting record file "TQ5800_Setting" + suffix + ".csv": one header line, then one line
// per saved read or write. It only ever grows. Fields holding a comma, a double quote or a line
// break are quoted (RFC 4180) so every line has the header's columns; files written before
// that are appended to as they are.

enum class SettingRecordMode { Read = 0, Write = 1, WriteID = 2 };

// Message shown when a suffix holds a character a file name cannot have.
inline constexpr int InvalidSuffixMessage = 5382;

QString SettingRecordFileName(const QString& suffix);
QString SettingRecordPath(const QString& folder, const QString& suffix);
// False when the suffix holds \ / : | < > * ? or a double quote.
bool IsValidRecordSuffix(const QString& suffix);

// The instrument's clock as the record line shows it: the PC time plus the record's offset
// (instrument minus PC at the last clock read), or the PC time when that is no valid date.
AppDate InstrumentClock(const AppDate& now, const AppDate& offset);

// Header texts from the message table in the current language (216 columns).
QStringList SettingRecordHeaderFields();
// The record line's fields for the given PC time (216 columns).
QStringList SettingRecordFields(const clsInstrument& record, SettingRecordMode mode,
                                const AppDate& now);
// One CSV field, quoted when it must be, and a line of fields (without line end).
QString CsvField(const QString& text);
QString CsvLine(const QStringList& fields);
// A text a user typed, for this program's own CSV files (the calibration log): one that begins
// with "=", "+", "-" or "@" and is no number gets a leading apostrophe, so that a spreadsheet
// shows it as text instead of running it as a formula. The setting record's layout is fixed
// and keeps its texts as they are.
QString SpreadsheetSafeText(const QString& typed);

// Appends one record line (CR LF, local 8-bit), writing the header first when the file is
// missing or empty: whole or not at all, so a full disk leaves the file as it was. False with
// a sentence naming the file and the system's cause in `error` on failure.
bool AppendSettingRecord(const QString& path, const clsInstrument& record, SettingRecordMode mode,
                         const AppDate& now, QString* error = nullptr);
