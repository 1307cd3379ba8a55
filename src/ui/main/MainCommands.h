#pragma once

#include "link/InstrumentFlows.h"

#include <QObject>
#include <QString>
#include <functional>

class frmMain;
class clsInstrument;
class uclHbif;

// The main window's commands: each asks its question, runs its checks in order, holds the
// window busy with the progress dialog where it has one, runs the shared flow and shows the
// outcome. The window routes its buttons here.
class MainCommands : public QObject {
    Q_OBJECT
public:
    explicit MainCommands(frmMain& window);

    // "Update" and "Update ID". While a calibration upload drives them (ProgressTask 4 or 5)
    // they skip their checks, question, progress dialog and final box.
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

    // Bytes that differ between two images of the instrument memory: the reference `reference`
    // and the downloaded `image`, compared in 512 chunks of 1024 bytes. -1 with `error` set
    // when either cannot be read whole.
    static qint64 CompareDataFiles(const QString& reference, const QString& image,
                                   QString* error = nullptr);

private:
    bool calibrationDriven() const;
    bool confirmedWrite(const std::function<bool()>& flow);
    bool refusedByChecks();
    uclHbif& link() const;
    clsInstrument& record() const;
    FlowOutput output() const;
    void failureBox(const QString& text);
    bool downloadInto(const QString& path);

    frmMain& m_w;
};
