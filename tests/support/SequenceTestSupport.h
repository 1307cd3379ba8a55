#pragma once

// The link on the in-process simulator at a fast tick, connected and idle, with a temporary
// start folder for the communication log; and a link on a scripted port for the replies the
// simulator would never give. Waits have named limits: a watchdog ends any wait of the link
// that runs past its limit, so a fault fails the test instead of hanging it.

#include "link/ScriptedPortControl.h"
#include "link/SimPortControl.h"
#include "link/uclHbif.h"
#include "model/clsInstrument.h"
#include "support/LinkSupport.h"
#include "support/LinkTestAccess.h"
#include "support/LinkTestSupport.h"

#include <QElapsedTimer>
#include <QTimer>
#include <memory>

namespace seqtest {

using linktest::ConnectLimitMs;
using linktest::OperationLimitMs;
using linktest::TickMs;
using linktest::Watchdog;

// Common set-up of a link under test: fast tick, three-tick time-out, three resends.
inline void configure(uclHbif& link, clsInstrument& record) {
    link.setLinkTickInterval(TickMs);
    link.setTimeout(3);
    link.setRetry(3);
    link.setInstrument(&record);
}

// The link on the in-process simulator, connected through its own connect sequence.
class SimLink {
public:
    explicit SimLink(const SimOptions& options = {}) {
        port = new SimPortControl(options, &link);
        link.setSerialControl(port);
        configure(link, record);
    }
    bool connect() {
        QElapsedTimer t;
        t.start();
        link.ActivePort()->open();
        link.waitWhile([&] { return !link.Connected() && t.elapsed() < ConnectLimitMs; });
        sim().clearCounters();
        log.clear();
        return link.Connected();
    }
    SimInstrument& sim() { return port->instrument(); }
    // The payloads the instrument received since connecting, block acknowledgements left out.
    QStringList commands() const {
        QStringList out;
        for (const QString& p : port->instrument().receivedPayloads())
            if (!p.startsWith(QChar(0x06)) && !p.startsWith(QChar(0x15)))
                out << p;
        return out;
    }

    linktest::LogFolder log; // first: the link writes into it until it is gone
    clsInstrument record;
    uclHbif link;
    SimPortControl* port = nullptr;
};

// The link on a scripted port whose responder answers like an instrument would.
class ScriptedLink {
public:
    ScriptedLink() {
        port = new ScriptedPortControl(&link);
        link.setSerialControl(port);
        configure(link, record);
        port->open();
        port->pollModemLines();
        LinkTestAccess::setLinkMode(link, ConnectMode::Connected);
        LinkTestAccess::setStatus(link, LinkStatus::Released);
    }
    // The payloads written, in order (between "0001" and ETX).
    QStringList payloads() const { return linksupport::Payloads(port->writes()); }

    linktest::LogFolder log;
    clsInstrument record;
    uclHbif link;
    ScriptedPortControl* port = nullptr;
};

} // namespace seqtest
