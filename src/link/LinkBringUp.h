#pragma once

#include <QString>

class PortControl;
class uclHbif;

// Bringing the link up, as the program and tq5800-cli both do it.

// The run's communication log: the earlier logs are rotated when the configuration keeps them,
// then the log starts empty. The run locks "SerialLog.lock" in the folder while it lives; when
// another running program or tool holds that lock, nothing is rotated or deleted and this run
// logs to "SerialLog-PID.log". Returns false in that case.
bool StartCommLog();

// The ports of the link and how the instrument is reached.
struct LinkPorts {
    PortControl* serial = nullptr; // the USB serial adapter (or the simulator)
    PortControl* irda = nullptr;   // the infrared adapter's IrCOMM port
    bool serialComm = true;        // false: the infrared path
    QString settings;              // "921600,n,8,1"
};

// Attaches the ports; on the serial path RTS and DTR on, hardware handshake and the settings;
// then opens the active port. False, with the port's reason in `error`, when it did not open.
bool BringUpLink(uclHbif& link, const LinkPorts& ports, QString* error = nullptr);
