#pragma once

#include "sim/SimReply.h"

#include <QDateTime>
#include <QHash>
#include <QtGlobal>

class SimDeviceState;

// Instrument operations: clears and defaults with their completion polls, zero, span and
// nitrogen adjustment, power off, check data, pump, factory executes, and the two memory
// dumps (raw blocks and the acknowledged dump listing).
class SimOperationCommands {
public:
    explicit SimOperationCommands(SimDeviceState& state) : m_state(state) {}
    // Handlers installed in a table capture this object.
    Q_DISABLE_COPY_MOVE(SimOperationCommands)

    void install(QHash<QByteArray, SimHandler>& table);

    // A block acknowledgement from the PC ("ACK"/"NAK" requests) during a dump listing.
    SimReply acknowledge(const SimRequest& r);

    bool poweredOff() const { return m_poweredOff; }
    void powerOn() { m_poweredOff = false; }
    // The line dropped: a listing in progress is abandoned.
    void resetSession() { m_listingBlock = 0; }

    // Polls a clear, a default or a zero adjustment answers "busy" before it completes.
    int pollsWhileBusy = 2;

private:
    struct Adjustment {
        QByteArray result = "00000";
        QByteArray request = "00000";
        QDateTime when;
        int count = 0;
    };

    SimReply startTimed(const SimRequest& r, void (*effect)(SimDeviceState&));
    SimReply pollTimed(const SimRequest& r);
    SimReply startZero(const SimRequest& r);
    SimReply pollZero(const SimRequest& r);
    SimReply span(const SimRequest& r);
    SimReply nitrogen(const SimRequest& r);
    SimReply memoryBlock(const SimRequest& r);
    SimReply startListing(const SimRequest& r);
    SimReply listingReply(int number) const;
    static QByteArray adjustmentText(const Adjustment& a);

    SimDeviceState& m_state;
    QHash<QByteArray, int> m_busyPolls; // by code: "XC", "XY", "UX"
    int m_zeroPolls = 0;
    Adjustment m_zero;
    Adjustment m_span;
    bool m_poweredOff = false;
    int m_listingBlock = 0; // block last sent, 0 when no listing runs
};
