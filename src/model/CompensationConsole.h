#pragma once

#include <QString>
#include <QStringList>

class clsInstrument;

// The compensation console of the factory dialog: 50 rows in sections, each with a header row
// and one or two data rows. A command cell sends its command at once; read rows show what the
// instrument returned, write rows send what is typed into them.
namespace CompensationConsole {

constexpr int Rows = 50;
constexpr int Cols = 10;
constexpr int FirstValueCol = 2;
constexpr int ValueCols = 8;

enum class RowKind {
    Header, // label, an execute command or none, the value headings
    Read,   // a read command; values shown read-only
    Write,  // a write command; values typed by the user
    Free,   // a second data row without a command
};

struct RowInfo {
    RowKind kind = RowKind::Header;
    QString label;
    QString command;   // empty when the row has none
    QStringList cells; // header: the value headings; data rows: empty (see Values)
};
RowInfo Row(int row);

// The values a data row shows from the record (the group of its section, in order); empty for
// header rows.
QStringList Values(int row, const clsInstrument& record);

struct Command {
    bool ok = false;
    QString payload;
    QString badValue; // the first value that is not a number, when refused
};
// The payload a press on a command cell sends: the cell's text, and for a write command each
// non-empty value followed by ",", without the final ",". A write whose values are not all
// decimal numbers is refused: coefficients are numbers, and a stray comma would shift every
// field after it.
Command BuildCommand(const QString& commandText, const QStringList& values);

} // namespace CompensationConsole
