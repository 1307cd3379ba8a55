#pragma once

#include <QString>
#include <array>

class clsInstrument;

// One entry of the default gas table: the description of one gas code in one gas slot.
struct GasDefaultEntry {
    bool Enabled = false;
    QString Name;
    bool Locked = false;
    QString Unit;
    float FullScale = 0.0f;
    float Digit = 0.0f;
    qint16 Point = 0;
    float Warning = 0.0f;
    float Alarm = 0.0f;
    float STEL = 0.0f;
    float TWA = 0.0f;
    float Ratio = 0.0f;
    float AutoCal = 0.0f;
    qint16 Zero = 0;
};

// The default gas table: gas codes 0 to 16 by gas slots 0 to 5.
class GasDefaultTable {
public:
    static constexpr int CodeCount = 17;
    static constexpr int SlotCount = 6;

    // Throws IndexOutOfRange for a code or slot outside the table.
    GasDefaultEntry& at(int code, int slot);
    const GasDefaultEntry& at(int code, int slot) const;
    static bool inRange(int code, int slot) {
        return code >= 0 && code < CodeCount && slot >= 0 && slot < SlotCount;
    }

    // Clears every entry, then fills the combustible gases of slots 0 (%LEL) and 4 (vol%)
    // and oxygen, hydrogen sulphide and carbon monoxide of slots 1 to 3.
    void FillDefaults();

private:
    std::array<std::array<GasDefaultEntry, SlotCount>, CodeCount> m_entries{};
};

// The table as FillDefaults makes it, whatever the configuration file put into the program's
// own copy.
const GasDefaultTable& BuiltInGasDefaults();

// Puts gas `code` into gas slot `slot` of the record. With `connected`, slots 0 and 4 take the
// description from the record's own gas library (code 15: the user gas); otherwise from the
// default table. Alarm levels, auto-calibration value and zero setting always come from the
// default table. A step that fails is skipped and the following steps still run.
void SelectGas(clsInstrument& record, const GasDefaultTable& defaults, int slot, int code,
               bool connected);
