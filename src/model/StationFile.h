#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QIODevice;

// The station list file ("Station.csv"): one line per entry, "number,identifier", CR LF, no
// header, in the system's 8-bit encoding (UTF-8 on Linux). On reading, a tab separates as well
// as a comma, the number is ignored (line k fills entry k) and the fields after the identifier
// are joined back with ",", so an identifier holding commas survives and is then caught by the
// identifier rule.
//
// Reading is strict about what is not a station list: a file that is not text (NUL or other
// control bytes), is not in the system's encoding, has more than 128 lines with content, has a
// line that does not begin with a number, or has an absurdly long line is refused whole, so that
// the list it was meant for stays as it was.
namespace StationFile {

constexpr int Entries = 128;
constexpr int IdLength = 16;
// Longer lines are not a station list; identifiers up to this long are read and then marked.
constexpr int LineLimit = 1024;
// Bytes read at most: 128 lines at the line limit, with room for their line ends.
constexpr qint64 ByteLimit = qint64(Entries + 1) * (LineLimit + 2);
inline const QString DefaultName = QStringLiteral("Station.csv");

// Messages of a refused file (message numbers; ~1 the file name, ~2 the line or encoding).
enum Refusal : int {
    NotRefused = 0,
    NotText = 8100,
    WrongEncoding = 8101,
    TooManyLines = 8102,
    LineTooLong = 8103,
    TooLarge = 8104,
    CannotRead = 8105,
    NoNumber = 8109,
    NoStation = 8110,
};

// At most 16 characters, each a blank, "-", "_", "/", ">", "<", a digit or a letter A-Z, a-z.
bool IsStationId(const QString& text);
// A key the identifier rule accepts (Backspace, code 8, included).
bool IsStationKey(int charCode);
// Leading blanks of an identifier; the whole length when it is all blanks.
int LeftSpaceCount(const QString& text);

struct ReadResult {
    bool ok = false;
    QStringList entries; // one per line read, in file order (at most 128)
    Refusal refusal = NotRefused;
    int line = 0;     // 1-based line of a refusal, where one applies
    QString encoding; // the system encoding's name, for WrongEncoding
};
ReadResult Read(QIODevice& in);
ReadResult Read(const QString& path);
// The refusal as the user reads it, naming the file.
QString RefusalText(const ReadResult& result, const QString& fileName);
// 1-based numbers of the entries that break the identifier rule.
QList<int> InvalidEntries(const QStringList& entries);

// The file's bytes for these entries (one line each, numbered from 1).
QByteArray Text(const QStringList& entries);
// Writes through a temporary file and an atomic rename; false with a reason on failure.
bool Write(const QString& path, const QStringList& entries, QString* error);

} // namespace StationFile
