#include "sim/SimResponder.h"

SimResponder::SimResponder(SimDeviceState& state) : m_config(state), m_operations(state) {
    m_config.install(m_table);
    m_operations.install(m_table);
}

SimReply SimResponder::respond(const SimRequest& request) {
    if (m_operations.poweredOff())
        return {};
    if (request.key == "ACK" || request.key == "NAK")
        return m_operations.acknowledge(request);
    // Any other command ends a dump listing the PC has walked away from.
    m_operations.resetSession();
    const auto it = m_table.constFind(request.key);
    if (it == m_table.cend())
        return SimReply::nak(request.key);
    return it.value()(request);
}
