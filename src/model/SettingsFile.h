#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QIODevice;
class clsInstrument;

// Settings files (".seq"): the user settings of a record as the instrument's write commands,
// one group per line (code, ",W,", the fields), CR LF, local 8-bit text.

// Lines that are no settings a file may hold (comments, say) before it counts as something
// else than a settings file.
inline constexpr int MaxUnknownLines = 8;

struct SettingsReadResult {
    bool ok = true;       // false: the file could not be opened or was refused
    qint64 line = 0;      // 1-based line that was refused; 0 when the refusal is the file's
    QString message;      // why
    int unknownLines = 0; // lines that are no settings: skipped, for the caller to report
    QStringList unknown;  // their texts, at most MaxUnknownLines
};

// The file's lines in their fixed order, each with its CR LF.
QByteArray SettingsFileText(const clsInstrument& record);
// Values of the record that its settings file could not carry whole (a text or number wider
// than its field, a switch that is neither 0 nor 1) or that its reader would refuse (a value
// outside what the windows give it), one line each; empty when all fit.
QStringList SettingsFileProblems(const clsInstrument& record);
// Creates or replaces the file atomically; false (the old file whole) when it cannot be written
// or when a value would not fit (`error` then lists them, one a line).
bool WriteSettingsFile(const clsInstrument& record, const QString& path, QString* error = nullptr);

// Reads the lines into the record through its setters, and refuses, at the first line that
// breaks one of them: a field that cannot be converted, a value outside what the windows would
// give it (the factory dialog's rows, an interval of at least a second), a line longer than
// TextLineReader's limit, a group given twice, more than MaxUnknownLines lines that are no
// settings (named by the first of them), and a file without any settings group (line 0). What
// was read before a refusal stays in the record. As the instrument's tools always did, a
// comment line is taken by its text after ";" and a line short of fields takes the missing ones
// from the line before; a blank line, which would only apply the line before it again, is
// skipped.
SettingsReadResult ReadSettings(clsInstrument& record, QIODevice& in);
SettingsReadResult ReadSettingsFile(clsInstrument& record, const QString& path);

// "Load local file": reads the file and, when it was accepted whole, marks every settings
// group changed and the record as imported, so that the next write sends everything. A refused
// file leaves the record as it was: all or nothing, before anything is sent.
SettingsReadResult ImportSettingsFile(clsInstrument& record, const QString& path);

// The refusal as the operator reads it, with its line where it has one.
QString SettingsRefusalText(const SettingsReadResult& result);
