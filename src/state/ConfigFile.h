#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;
struct AppState;
class AppDate;

// The configuration file "TQ5800Config.ini" in the start-up folder: user preferences,
// communication parameters, DefaultRecord and the default gas table. Lines are a key and its
// values separated by TAB; ";" starts a comment; "'" quotes a text. CR LF, local 8-bit text.

inline constexpr const char* ConfigFileName = "TQ5800Config.ini";

// StartFolder + one separator + ConfigFileName.
QString ConfigFilePath();

struct ConfigReadResult {
    bool found = false;   // the file existed and was opened
    bool stopped = false; // a number or table index out of range ended the reading early
    qint64 stopLine = 0;  // 1-based line that ended it
    QString reason;
};

// Reads into the state. A missing file changes nothing. A number outside its field's type or a
// table index out of range ends the reading at that line; what was read before stays.
ConfigReadResult ReadConfigFile(AppState& state, const QString& path);
ConfigReadResult ReadConfigFile(); // appState() from ConfigFilePath()
ConfigReadResult ReadConfig(AppState& state, QIODevice& in);

// The whole file as written: comments, every key, CR LF, local 8-bit. "Execute Count" is
// written as the state's count + 1.
QByteArray ConfigFileText(const AppState& state, const AppDate& now);
// Rewrites the file atomically; on failure the old file stays whole and false is returned.
bool WriteConfigFile(const AppState& state, const QString& path, QString* error = nullptr);
bool WriteConfigFile(QString* error = nullptr); // appState() to ConfigFilePath()

// A fleet database URL as the file keeps it: a PostgreSQL password is taken from libpq's own
// means (~/.pgpass, PGPASSFILE, a service), never from this file.
QString WithoutPassword(const QString& fleetDb);

// The stored form of the access password; both double the text's length.
QString ScramblePassword(const QString& text);
// The inverse. Throws ConversionError when a pair decodes to no character.
QString UnscramblePassword(const QString& text);
