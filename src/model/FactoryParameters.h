#pragma once

#include <QString>

class clsInstrument;

// The rows of the factory dialog's parameter grid: label, kind, choice list, key filter, range
// and how each row reads and writes its property of the working record. Row numbers are those
// of the grid, 1 to 15 (row 0 is the grid's header).
namespace FactoryParameters {

constexpr int FirstRow = 1;
constexpr int LastRow = 15;
// From this program number on the instrument knows the third oxygen alarm type "H-HH".
constexpr qint32 ThirdOxyAlarmRom = 4426;

enum class Kind { Text, Number, List };

Kind RowKind(int row);
QString Label(int row);
// The row's choices separated by "|"; empty for text and number rows.
QString ChoiceList(int row, const clsInstrument& record);
// The value as the grid shows it: the text, the number, or the list entry at the value's
// position (empty when the value lies outside the list).
QString DisplayText(int row, const clsInstrument& record);

// A key typed into the value cell, given the text the cell would hold after it: 0 when the key
// is refused, otherwise the key to type (a to z become capitals). Backspace (8) always passes.
int FilterKey(int row, const QString& textAfterKey, int key);
// The whole text on leaving the cell: false when the row refuses it.
bool IsValid(int row, const QString& text);

// Writes the grid text into the record only when it differs from the property, so that only
// real changes raise change flags. List texts map back to their position, ignoring case.
void Store(int row, const QString& text, clsInstrument& record);

} // namespace FactoryParameters
