#pragma once

#include "sim/SimConfigCommands.h"
#include "sim/SimOperationCommands.h"
#include "sim/SimReply.h"

#include <QHash>
#include <QtGlobal>

class SimDeviceState;

// Frame in, reply out: dispatches a well-formed request on its command key.
class SimResponder {
public:
    explicit SimResponder(SimDeviceState& state);
    // Handlers installed in a table capture this object.
    Q_DISABLE_COPY_MOVE(SimResponder)

    // An unknown command is refused with NAK; a powered-off instrument answers nothing.
    SimReply respond(const SimRequest& request);
    bool knows(const QByteArray& key) const { return m_table.contains(key); }

    bool poweredOff() const { return m_operations.poweredOff(); }
    void powerOn() { m_operations.powerOn(); }
    void lineDropped() { m_operations.resetSession(); }
    SimOperationCommands& operations() { return m_operations; }

private:
    SimConfigCommands m_config;
    SimOperationCommands m_operations;
    QHash<QByteArray, SimHandler> m_table;
};
