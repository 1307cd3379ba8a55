#include "state/RecordFiles.h"

#include "app/AppDate.h"
#include "app/MessageTable.h"
#include "state/AppState.h"

QString SettingRecordPath() {
    return SettingRecordPath(appState().StartFolder, appState().FactoryRecordSuffix);
}

bool AppendSettingRecord(const clsInstrument& r, SettingRecordMode mode, QString* error) {
    // The suffix comes from the configuration as well as from the window's field: one that
    // could lead out of the start folder is refused wherever a record is appended.
    if (!IsValidRecordSuffix(appState().FactoryRecordSuffix)) {
        if (error)
            *error = LoadMessage(InvalidSuffixMessage);
        return false;
    }
    return AppendSettingRecord(SettingRecordPath(), r, mode, AppDate::now(), error);
}
