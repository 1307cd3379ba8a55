#pragma once

#include "model/GasDefaults.h"

#include <QList>
#include <QString>

class clsInstrument;

// Where a slot's gases come from: the instrument's gas library (and user gas) for the
// combustible slots 0 and 4 while connected, the default table otherwise. The gas selection
// dialog lists from it and the chosen gas is applied from it, so the two cannot disagree.
enum class GasSource { Library, Defaults };
GasSource GasSourceFor(int slot, bool connected);

// One gas the operator can choose for a slot: the option's number (the code SelectGas takes)
// and its caption.
struct GasChoice {
    int option = -1;
    QString caption;
};
// Library: options 0..14 for the named entries of the slot's half of the library (entry
// 1..15 for slot 0, 16..30 for slot 4), 15 for the user gas when it is named and not already
// listed. Defaults: rows 0..7 of the default table that are marked selectable for the slot.
QList<GasChoice> GasChoices(const clsInstrument& record, const GasDefaultTable& defaults, int slot,
                            GasSource source);

// Applies an option the operator chose, only when it is one of the slot's choices from that
// source; otherwise nothing changes (the slot is not enabled) and the result is False.
bool ApplyGasChoice(clsInstrument& record, const GasDefaultTable& defaults, int slot, int option,
                    GasSource source);
