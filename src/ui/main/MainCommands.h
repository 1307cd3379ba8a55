#pragma once

#include "model/clsInstrument.h"
#include "ops/InstrumentFlows.h"

#include <QObject>
#include <QString>
#include <functional>

class QLineEdit;
class QWidget;
class uclHbif;

// The main window's commands: each asks its question, runs its checks in order, holds the
// window busy with the progress dialog where it has one, runs the shared flow and shows the
// outcome. The window routes its buttons here and lends what the commands need through Host.
class MainCommands : public QObject {
    Q_OBJECT
public:
    // What the commands need of the window around them.
    struct Host {
        QWidget* window = nullptr; // parent of every question, box and file dialog
        uclHbif* link = nullptr;
        QLineEdit* suffix = nullptr; // the file-name suffix of "Information Get && Save"
        std::function<FlowOutput()> output;
        // Locks the window while a command runs (an open edit is taken in first), or frees it.
        std::function<void(bool busy)> setBusy;
        // Takes an edit still open in the grid or an identity field into the record.
        std::function<void()> commitEdits;
        // Whether the grid shows a value painted red.
        std::function<bool()> hasRedCell;
        std::function<void(const QString& caption, const QString& label)> showProgress;
        std::function<void(const QString& caption)> setProgressCaption;
        std::function<void()> closeProgress;
        // ShowInstrument: the identity fields and the grid redrawn from the record.
        std::function<void()> showInstrument;
        // EnableLockedGases: the locked gases switched on, the suffix and the grid redrawn.
        std::function<void()> enableLockedGases;
        std::function<void()> refreshCommands;
        // After a power off: the configuration saved and reread, the window started again.
        std::function<void()> restartAfterPowerOff;
        // The reference image of the FLASH check and the file of the logger download.
        std::function<QString()> checkFilePath;
        std::function<QString()> dataFilePath;
        std::function<QString()> dumpFilePath;
    };

    MainCommands(QObject* parent, Host host);

    // "Instrument Information" and "Information Get && Save" (which also appends the record's
    // line to the setting record file); both end with the clock warning.
    bool Read();
    bool ReadAndSave();
    // The read both run, without the progress dialog: true when the whole record came.
    bool ReadInstrument();

    // "Update" and "Update ID". While a calibration upload drives them (ProgressTask span
    // adjustment or bump test) they skip their checks, question, progress dialog and final box.
    bool Update(UpdateKind kind);
    bool DateTimeSet();
    bool WriteCheckData();
    bool Maintenance(MaintenanceCommand command);
    bool FlashCheck();

    bool DownloadLoggerData();
    bool PowerOff();
    bool FramDump();
    bool ExportSetting();
    bool ImportSetting();

    // Starts over from the program's defaults (first activation): nothing known, the record
    // as it stands is the baseline.
    void StartOver();
    // The record as last read or written: what "Update" shows as the old values.
    const clsInstrument& baseline() const { return m_baseline; }
    // Whether the identity came from the instrument or a settings file ("Update ID").
    bool identityKnown() const { return m_identityKnown; }
    // The record's settings are a whole read's or a loaded file's, not the program's defaults
    // or a read that broke off: only then may they be stored as a settings file.
    bool settingsKnown() const { return m_settingsKnown; }

    // Bytes that differ between two images of the instrument memory: the reference `reference`
    // and the downloaded `image`, compared in 512 chunks of 1024 bytes. -1 with `error` set
    // when either cannot be read whole.
    static qint64 CompareDataFiles(const QString& reference, const QString& image,
                                   QString* error = nullptr);

private:
    bool read(bool save);
    bool calibrationDriven() const;
    bool confirmedWrite(const QString& operation, const std::function<bool()>& flow);
    bool refusedByChecks();
    uclHbif& link() const;
    clsInstrument& record() const;
    FlowOutput output() const;
    void failureBox(const QString& text);
    void info(int message, quint32 rgb);
    bool downloadInto(const QString& path);
    void rememberBaseline();

    Host m_host;
    clsInstrument m_baseline;
    bool m_identityKnown = false;
    bool m_settingsKnown = false;
};
