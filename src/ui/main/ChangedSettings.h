#pragma once

#include "ops/InstrumentFlows.h"

#include <QStringList>

class clsInstrument;

// What an "Update" or "Update ID" would change on the instrument: every setting the write sends
// whose value differs between `before` (the values last read, loaded or written) and `after`
// (the record as edited), one line each as "name: old -> new". Shown with the confirmation so
// the operator sees what a Yes writes.
QStringList ChangedSettings(const clsInstrument& before, const clsInstrument& after,
                            UpdateKind kind);
