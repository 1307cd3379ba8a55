#pragma once

#include "sim/SimDeviceState.h"
#include "sim/SimFaultPlan.h"
#include "sim/SimFrame.h"
#include "sim/SimPacer.h"
#include "sim/SimResponder.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <random>

struct SimOptions {
    int baud = 0;                // 0: answer at once; otherwise pace at this line speed
    QString faults;              // SimFaultPlan syntax
    quint32 seed = 1;            // makes faults and readings repeatable
    QList<float> cylinder{};     // span gas per channel; the device's defaults where not given
    bool spanGasApplied = false; // the span gas flows from the start, readings settled
    bool bumpGas = false;        // the cylinder is on the inlet and flows when the pump goes on
    // The identity the instrument answers with; the device's own where empty.
    QByteArray serialNo{}, stationId{}, userId{};
};

// The simulated instrument as the PC sees it through a port: bytes in, bytes out.
class SimInstrument : public QObject {
    Q_OBJECT
public:
    explicit SimInstrument(const SimOptions& opts = {}, QObject* parent = nullptr);

    // Bytes the PC wrote. Replies leave later through transmit(), never from inside this call.
    // `arrivedUs` (on pacer().nowUs()) is when they were known to be there, if earlier than now.
    void receive(const QByteArray& fromPc, qint64 arrivedUs = -1);
    // Opening the port ends the silence after a power off; closing it drops unsent bytes.
    void portOpened();
    void portClosed();

    SimDeviceState& state() { return m_state; }
    SimResponder& responder() { return m_responder; }
    SimPacer& pacer() { return m_pacer; }

    // Well-formed frames received per command key ("XS,R"); block acknowledgements count as
    // "ACK" and "NAK".
    int commandCount(const QString& key) const;
    QStringList receivedPayloads() const;
    void clearCounters();

    bool setFaults(const QString& faults, QString* error = nullptr);

    static constexpr int MaxPayloadsKept = 100000;

signals:
    void transmit(const QByteArray& toPc);

private:
    void handleFrame(const QByteArray& frame);

    SimDeviceState m_state;
    SimResponder m_responder;
    SimPacer m_pacer;
    SimFaultPlan m_faults;
    SimFrameReader m_reader;
    std::mt19937 m_rng;
    qint64 m_arrivedUs = 0; // when the bytes being handled came in, on the pacer's clock
    QHash<QString, int> m_counts;
    QStringList m_payloads;
};
