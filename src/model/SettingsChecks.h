#pragma once

#include <QStringList>

class clsInstrument;

// The checks that decide whether settings may be written: the settings grid paints failing
// cells red with them, and "Update" (window and command line) refuses to write while one fails.

// Kinds of alarm level.
enum class LevelKind { Warning = 1, Alarm = 2, Stel = 3, Twa = 4 };

// Whether `value` is an acceptable level of `kind` for gas slot `slot` of the record (the
// counterpart level, full scale and oxygen alarm type are taken from the record). A level that
// is not used (negative) always passes: only set values are checked.
bool CheckLevelRange(const clsInstrument& record, int slot, LevelKind kind, float value);
// The same on the level stored in the record.
bool CheckLevelRange(const clsInstrument& record, int slot, LevelKind kind);

// Whether warning and alarm of the slot are in order. Oxygen (slot 1) with alarm type 1 alarms
// on falling values, so its warning must not be below its alarm; every other slot's warning
// must not be above its alarm. Passes unless both levels are set.
bool CheckLevelOrder(const clsInstrument& record, int slot);

// Which check refused an "Update", as message and title numbers of the message table.
struct UpdateCheck {
    bool ok = true;
    int message = 0;    // 5361, 5380, 5365, 5369 or 5795
    int title = 0;      // 5362, 5381, 5366, 5370 or 5796
    int slot = -1;      // the gas slot that failed, where one did
    QStringList params; // the message's parameters
};

// The validation before "Update" and "Update ID", in order: levels of the enabled slots 0 to 3,
// the auto-calibration values of slots 0 to 4, at least one enabled slot, the combination
// of the combustible slots 0 and 4 for the record's HcMode, and then that no text the write
// carries holds a comma: the instrument's commands separate their fields with commas, so one
// inside a text would shift every field after it (such a text can come from a hand-edited
// file).
UpdateCheck CheckBeforeUpdate(const clsInstrument& record);
