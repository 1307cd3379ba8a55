#pragma once

#include "link/PortControl.h"

#include <QList>
#include <functional>

// A port for tests and benchmarks: records what the link writes and delivers what the test
// injects, always from the event loop (each inject is one receive event), never from inside
// write(). An optional responder answers every write the way an instrument would.
class ScriptedPortControl : public PortControl {
    Q_OBJECT
public:
    using Responder = std::function<QByteArray(const QByteArray& written)>;

    explicit ScriptedPortControl(QObject* parent = nullptr) : PortControl(parent) {}

    bool open() override;
    void close() override;
    bool isOpen() const override { return m_open; }
    bool available() const override { return m_available; }
    qint64 write(const QByteArray& bytes) override;
    QByteArray readAll() override;
    int modemStatus() override { return m_open ? m_modem : 0; }
    void service() override { ++m_serviceCalls; }

    // Test side.
    void inject(const QByteArray& bytes);       // one receive event, queued
    void injectEvent(int code, int detail = 0); // any event code, queued
    void setModemLines(int status) { m_modem = status; }
    void setAvailable(bool on) { m_available = on; }
    void setFailOpen(bool fail) { m_failOpen = fail; }
    // An open port whose writes fail, as a vanishing adapter's do before its lines are seen to
    // drop.
    void setFailWrite(bool fail) { m_failWrite = fail; }
    void setResponder(Responder r) { m_responder = std::move(r); }

    const QList<QByteArray>& writes() const { return m_writes; }
    void clearWrites() { m_writes.clear(); }
    // How many written frames carry this payload prefix (a key and its comma).
    int countWrites(const QByteArray& payloadPrefix) const;
    int serviceCalls() const { return m_serviceCalls; }

private:
    bool m_open = false;
    bool m_available = true;
    bool m_failOpen = false;
    bool m_failWrite = false;
    int m_modem = ModemCts | ModemDsr;
    int m_serviceCalls = 0;
    QByteArray m_rx;
    QList<QByteArray> m_writes;
    Responder m_responder;
};
