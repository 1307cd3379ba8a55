#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

class QIODevice;
class clsInstrument;

// Settings files (".seq"): the user settings of a record as the instrument's write commands,
// one group per line ("AP,W,1,"), CR LF, local 8-bit text.

// Called with the whole line for each line whose group code is unknown (and for a line too
// long to be a setting); the line is skipped and reading goes on.
using UnknownSettingsLine = std::function<void(const QString& line)>;

struct SettingsReadResult {
    bool ok = true;       // false: the file could not be opened or a field stopped the import
    qint64 line = 0;      // 1-based line that stopped it; 0 when none did
    QString message;      // why it stopped
    int unknownLines = 0; // lines reported as unknown
};

// The file's lines in their fixed order, each with its CR LF.
QByteArray SettingsFileText(const clsInstrument& record);
// Values of the record that its settings file could not carry whole (a text or number wider
// than its field, a switch that is neither 0 nor 1), one line each; empty when all fit.
QStringList SettingsFileProblems(const clsInstrument& record);
// Creates or replaces the file atomically; false (the old file whole) when it cannot be written
// or when a value would not fit (`error` then lists them, one a line).
bool WriteSettingsFile(const clsInstrument& record, const QString& path, QString* error = nullptr);

// Reads the lines into the record through its setters. A field that cannot be converted ends
// the reading at its line; what was read before stays in the record. As the instrument's tools
// always did, a comment line is taken by its text after ";", a blank line applies the line
// before it again, and a line short of fields takes the missing ones from the line before.
SettingsReadResult ReadSettings(clsInstrument& record, QIODevice& in,
                                const UnknownSettingsLine& onUnknown = {});
SettingsReadResult ReadSettingsFile(clsInstrument& record, const QString& path,
                                    const UnknownSettingsLine& onUnknown = {});

// "Load local file": reads the file and, when it was read to its end, marks every settings
// group changed and the record as imported, so that the next write sends everything. A file
// that stops part-way leaves the record as it was. A hexadecimal value wider than the
// instrument's write field, or a switch other than 0 and 1, stops the reading at its line.
SettingsReadResult ImportSettingsFile(clsInstrument& record, const QString& path,
                                      const UnknownSettingsLine& onUnknown = {});
