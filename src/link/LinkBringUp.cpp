#include "link/LinkBringUp.h"

#include "app/AppState.h"
#include "link/CommLog.h"
#include "link/PortControl.h"
#include "link/SerialLogRotation.h"
#include "link/uclHbif.h"

#include "app/FilePaths.h"

#include <QCoreApplication>
#include <QFile>
#include <QLockFile>

#include <memory>

bool StartCommLog() {
    const AppState& s = appState();
    static std::unique_ptr<QLockFile> held;
    held =
        std::make_unique<QLockFile>(PathInFolder(s.StartFolder, QStringLiteral("SerialLog.lock")));
    // A lock left by a run that died is taken over (QLockFile checks its process).
    held->setStaleLockTime(0);
    if (!held->tryLock(0) && held->error() == QLockFile::LockFailedError) {
        SetSerialLogName(
            QStringLiteral("SerialLog-%1.log").arg(QCoreApplication::applicationPid()));
        QFile::remove(SerialLogPath());
        return false;
    }
    // A folder where no lock can be made (read-only) keeps the one log as before.
    SetSerialLogName(QStringLiteral("SerialLog.log"));
    if (s.SerialLogEnabled)
        RotateSerialLogs(s.StartFolder);
    QFile::remove(SerialLogPath());
    return true;
}

bool BringUpLink(uclHbif& link, const LinkPorts& ports, QString* error) {
    link.setSerialControl(ports.serial);
    link.setIrDAControl(ports.irda);
    link.setSerialComm(ports.serialComm);
    if (ports.serialComm) {
        link.setRTSEnable(true);
        link.setDTREnable(true);
        link.setHandshaking(Handshake::RtsCts);
        link.setSettings(ports.settings);
    }
    link.setPortOpen(true);
    if (link.PortOpen())
        return true;
    if (error) {
        const PortControl* port = link.ActivePort();
        *error = port ? port->errorString() : QString();
    }
    return false;
}
