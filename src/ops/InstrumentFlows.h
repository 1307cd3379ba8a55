#pragma once

#include "app/AppDate.h"

#include <QString>
#include <QtGlobal>
#include <functional>

class clsInstrument;
class uclHbif;

// The operator's commands as the main window and tq5800-cli share them: what is logged to the
// log pane and the communication log, what is called on the link and what the record keeps.
// The window adds its questions, message boxes, busy pointer and progress dialog around these;
// the command line prints the log-pane lines instead.

// Where a flow's visible lines go.
struct FlowOutput {
    std::function<void(const QString& text, quint32 rgb)> addInfo; // a line of the log pane
    std::function<void(const QString& text)> setProgressLabel;     // may be empty
};

// Log-pane colours (0xRRGGBB).
namespace FlowColor {
inline constexpr quint32 Progress = 0x00C000, Connected = 0x0000FF, Instrument = 0x0000C0,
                         Failure = 0xFF0000, Analog = 0x008040, Dump = 0x802000;
}

// "Instrument Information": the full read with its log lines; on success CommFlags set,
// ImportFlag cleared, the locked-gas hook, the calibration history and the A/D list. Every
// failure is reported in red as a failure, whether or not the instrument was still answering;
// the record's FailLine of Key::ClockRead adds the clock hint. A read whose calibration history did
// not come is a failed read, and the record's history is then unknown, not the last read's.
bool ReadInstrumentFlow(uclHbif& link, clsInstrument& record, const FlowOutput& out,
                        const std::function<void()>& enableLockedGases);
// The calibration history of every gas as not known (the values the record starts with).
void ForgetCalibrationHistory(clsInstrument& record);

// The warning after a read or download when the instrument clock is more than a day away from
// the PC's.
void WarnClockOffset(const clsInstrument& record, const FlowOutput& out);

// An empty gas slot (no full scale) gets its default gas, enabled and unlocked in the
// configuration: what the windows show before anything was read.
void FillEmptyGasSlots(clsInstrument& record);

// The A/D converter values of the record as the log pane lists them after a read.
void ListAnalogValues(const clsInstrument& record, const FlowOutput& out);

// The record half of the window's EnableLockedGases: gas slots 0 to 3 that are locked in the
// configuration are switched on.
void ApplyLockedGases(clsInstrument& record);

// "Download Logger Data": GetRomNo, then the whole memory image into `path`; a dump that timed
// out is tried once more from the start ("One more time !" on the progress label).
bool DownloadLoggerDataFlow(uclHbif& link, clsInstrument& record, const QString& path,
                            const FlowOutput& out);

// Marks the groups an "Update" or "Update ID" writes, as UpdateFlow does before it writes.
enum class UpdateKind { Settings, Identity };
void MarkUpdateGroups(clsInstrument& record, UpdateKind kind);
// Whether an "Update" leaves a changed user gas unwritten because no combustible slot uses it
// (the edit is kept for a later update, and the operator is told before the write).
bool UserGasHeldBack(const clsInstrument& record, UpdateKind kind);

// "Update" and "Update ID" after the caller has validated the record (CheckBeforeUpdate) and
// the operator has confirmed: marks the groups to write, logs the start, runs SetInstrument
// and, on success, appends the setting record (mode 1 or 2) to SettingRecordPath(). The
// closing line says "Complete" only when the write succeeded; the clock, check-data and
// maintenance flows report their failures in red the same way.
struct UpdateResult {
    bool written = false;     // SetInstrument succeeded
    bool recordSaved = false; // the setting record line was appended
    QString recordError;      // why it was not, for the window's message box
};
UpdateResult UpdateFlow(uclHbif& link, clsInstrument& record, UpdateKind kind,
                        const FlowOutput& out);

// "Date/Time Set" after confirmation: the record's clock offset is reset and the instrument
// clock set to `when`.
bool DateTimeSetFlow(uclHbif& link, clsInstrument& record, const FlowOutput& out,
                     const AppDate& when = AppDate::now());

// "Write Check Data" after confirmation.
bool WriteCheckDataFlow(uclHbif& link, const FlowOutput& out);

// "DEFAULT", "Clear Power Log" and "Clear Logger Data" after confirmation. Not connected: the
// no-response lines and False, nothing sent.
enum class MaintenanceCommand { Defaults, ClearPowerLog, ClearLoggerData };
bool MaintenanceFlow(uclHbif& link, MaintenanceCommand command, const FlowOutput& out);

// "Power Off" after confirmation. On Done the record has been cleared (CommFlags, ImportFlag,
// ClearDatas) and the link is closed; the window then saves and rereads its configuration,
// redraws and opens the link again.
enum class PowerOffResult { NotConnected, Done, Failed };
PowerOffResult PowerOffFlow(uclHbif& link, clsInstrument& record, const FlowOutput& out);

// "FRAM Dump" after the window's checks and confirmation: the dump listing into the hex list
// file `path` (the window passes the working folder's "DumpEF.dat").
bool FramDumpFlow(uclHbif& link, const QString& path, const FlowOutput& out);
