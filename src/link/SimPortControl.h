#pragma once

#include "link/PortControl.h"
#include "sim/SimInstrument.h"

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
    int modemStatus() override { return m_open ? (ModemCts | ModemDsr) : 0; }

private:
    void attach();

    SimInstrument* m_sim;
    bool m_open = false;
    QByteArray m_rx;
};
