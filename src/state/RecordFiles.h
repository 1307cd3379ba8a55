#pragma once

#include "model/SettingRecord.h"

#include <QString>

class clsInstrument;

// The setting record of this program: the file in the start folder that the factory suffix
// names.

// StartFolder and FactoryRecordSuffix of the program state.
QString SettingRecordPath();
// Appends to SettingRecordPath() at the current time; a suffix that could lead out of the
// start folder is refused (message 5382).
bool AppendSettingRecord(const clsInstrument& record, SettingRecordMode mode,
                         QString* error = nullptr);
