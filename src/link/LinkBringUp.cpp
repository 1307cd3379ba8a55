#include "link/LinkBringUp.h"

#include "app/FilePaths.h"
#include "link/CommLog.h"
#include "link/PortControl.h"
#include "link/SerialLogRotation.h"
#include "link/uclHbif.h"
#include "state/AppState.h"

#include <QCoreApplication>
#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

bool StartCommLog() {
    const AppState& s = appState();
    // An advisory lock on "SerialLog.lock", held while this run lives: the system drops it when
    // the run ends, however it ends, so no stale lock can keep the next run from the log. It is
    // exclusive: two runs that both held it would rotate and delete each other's lines.
    static int held = -1;
    if (held >= 0)
        ::close(held);
    const QByteArray lockPath =
        QFile::encodeName(PathInFolder(s.StartFolder, QStringLiteral("SerialLog.lock")));
    held = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (held >= 0 && ::flock(held, LOCK_EX | LOCK_NB) != 0) {
        ::close(held);
        held = -1;
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
    PortControl* port = link.ActivePort();
    if (!port)
        return false;
    if (ports.serialComm) {
        port->setRTSEnable(true);
        port->setDTREnable(true);
        port->setHandshaking(Handshake::RtsCts);
        port->setSettings(ports.settings);
    }
    // A port that will not open simply stays closed; its error says why.
    port->open();
    if (port->isOpen())
        return true;
    if (error)
        *error = port->errorString();
    return false;
}
