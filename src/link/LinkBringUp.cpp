#include "link/LinkBringUp.h"

#include "app/AppState.h"
#include "link/CommLog.h"
#include "link/PortControl.h"
#include "link/SerialLogRotation.h"
#include "link/uclHbif.h"

#include <QFile>

void StartCommLog() {
    const AppState& s = appState();
    if (s.SerialLogEnabled)
        RotateSerialLogs(s.StartFolder);
    QFile::remove(SerialLogPath());
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
