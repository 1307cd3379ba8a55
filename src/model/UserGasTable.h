#pragma once

#include "model/Payloads.h"

#include <QString>
#include <QStringList>

class clsInstrument;

// The gas table of the factory dialog: the built-in gases shown read-only and the user gas
// pair (LS_ entries 0 and 1) that factory staff edit. A row shows two entries side by side;
// each half has the same 14 fields.
namespace UserGasTable {

enum Field {
    Name,
    FullScale,
    Digit,
    Unit,
    Volt,
    Ratio,
    Linear1_a,
    Linear1_b,
    Linear1_c,
    Linear1_d,
    Linear2_a,
    Linear2_b,
    Linear2_c,
    Linear2_d,
    FieldCount
};
constexpr int BuiltInRows = 15;              // library entries r and r + 15 on row r
constexpr int NameLength = UserGasNameWidth; // what the instrument's record carries
inline const QString UserRowLabel = QStringLiteral("201");
inline const QString UnitChoices = QStringLiteral("VOL%|%LEL|ppm|ppb");

QString Header(Field field);
int HeaderWidthTwips(Field field);

// A cell as shown: of library entry `entry` (0..30) or of user entry `entry` (0..1).
QString LibraryCellText(const clsInstrument& record, int entry, Field field);
QString UserCellText(const clsInstrument& record, int entry, Field field);

// A key typed into a name cell holding `current`: false when it is refused.
bool NameKeyAllowed(int key, const QString& current);

struct Checked {
    bool ok = false;
    QString text; // the text the cell takes when accepted
    // A refusal the operator is told of (a message number and its parameters); 0 when the
    // editor only stays open.
    int message = 0;
    QStringList params;
};
// Validates an edit of a user-row cell. `digitText` is the resolution cell of the same half;
// `builtInNames` the names of the built-in rows in the same column.
Checked Validate(Field field, const QString& text, const QString& digitText,
                 const QStringList& builtInNames);

// Stores a half of the user row into user entry `entry`: each field only when it differs from
// what is stored, and Change_LSData(entry) raised when any did, so that the edit reaches the
// instrument with the next update. `cells` holds the FieldCount texts of the half.
void Store(clsInstrument& record, int entry, const QStringList& cells);

} // namespace UserGasTable
