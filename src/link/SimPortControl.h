#pragma once

#include "link/PortControl.h"
#include "sim/SimInstrument.h"

#include <functional>

// The in-process simulated instrument behind the port interface. Its replies arrive as queued
// receive events, as a real port's would; it has both modem lines up while open.
class SimPortControl : public PortControl {
    Q_OBJECT
public:
    // Owns a simulator built with these options.
    explicit SimPortControl(const SimOptions& options = {}, QObject* parent = nullptr);
    // Uses a simulator that someone else owns and that outlives this control.
    explicit SimPortControl(SimInstrument* instrument, QObject* parent = nullptr);

    SimInstrument& instrument() { return *m_sim; }

    bool open() override;
    void close() override;
    bool isOpen() const override { return m_open; }
    qint64 write(const QByteArray& bytes) override;
    QByteArray readAll() override;
    int modemStatus() override { return m_open && m_cable ? (ModemCts | ModemDsr) : 0; }
    // Unplugs or plugs the simulated cable: while unplugged both modem lines are down and no
    // byte passes either way (a demonstration of losing the instrument, and a test seam).
    void setCableConnected(bool connected) { m_cable = connected; }
    bool cableConnected() const { return m_cable; }
    // Pulls the adapter out (the port closes itself, reports both lines down, takes no byte and
    // cannot be opened) or plugs it back in.
    void setAdapterPresent(bool present);
    bool lost() const override { return m_lost; }
    bool reopen() override { return m_present && open(); }
    // Runs `hook` with the count of commands the instrument has received, after each one: a
    // test pulls the cable or the adapter at an exact point of a sequence.
    void setCommandHook(std::function<void(int count)> hook) { m_hook = std::move(hook); }

private:
    void attach();

    SimInstrument* m_sim;
    bool m_open = false;
    bool m_cable = true;
    bool m_present = true;
    bool m_lost = false;
    int m_commands = 0;
    std::function<void(int)> m_hook;
    QByteArray m_rx;
};
