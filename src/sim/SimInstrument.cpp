#include "sim/SimInstrument.h"

#include <QDebug>

SimInstrument::SimInstrument(const SimOptions& opts, QObject* parent)
    : QObject(parent), m_responder(m_state), m_pacer(this), m_rng(opts.seed) {
    m_state.seed(opts.seed);
    m_pacer.setBaud(opts.baud);
    for (const auto& [given, held] :
         {std::pair{&opts.serialNo, &m_state.serialNo},
          std::pair{&opts.stationId, &m_state.stationId}, std::pair{&opts.userId, &m_state.userId}})
        if (!given->isEmpty())
            *held = *given;
    for (int i = 0; i < SimSensors::Channels && i < opts.cylinder.size(); ++i)
        m_state.sensors.cylinder[i] = opts.cylinder[i];
    if (opts.spanGasApplied) {
        m_state.sensors.connectCylinder(true);
        m_state.sensors.settle();
    }
    if (opts.spanGasApplied || opts.bumpGas)
        m_state.sensors.attachCylinder();
    QString error;
    if (!setFaults(opts.faults, &error))
        qWarning("SimInstrument: %s; running without faults", qPrintable(error));
    connect(&m_pacer, &SimPacer::transmit, this, &SimInstrument::transmit);
}

bool SimInstrument::setFaults(const QString& faults, QString* error) {
    SimFaultPlan plan;
    if (!SimFaultPlan::parse(faults, &plan, error))
        return false;
    m_faults = plan;
    SimSensors& sensors = m_state.sensors;
    sensors.failing = plan.failingChannels();
    sensors.dead = plan.deadChannels();
    for (int i = 0; i < SimSensors::Channels; ++i)
        sensors.setResponseMs(i, plan.slowChannels()[i] * 1000.0);
    return true;
}

void SimInstrument::receive(const QByteArray& fromPc, qint64 arrivedUs) {
    m_arrivedUs = arrivedUs >= 0 ? arrivedUs : m_pacer.nowUs();
    m_reader.feed(fromPc);
    while (m_reader.hasFrame())
        handleFrame(m_reader.takeFrame());
}

void SimInstrument::handleFrame(const QByteArray& frame) {
    const SimFrame::Parsed parsed = SimFrame::parse(frame);
    SimRequest request;
    if (!parsed.ok || !SimRequest::fromPayload(frame, parsed.payload, &request))
        return; // a damaged frame is not answered; the PC's time-out deals with it
    if (m_responder.poweredOff())
        return;
    // Bounded so that a long session on a pseudo-terminal does not grow without end.
    if (m_payloads.size() >= MaxPayloadsKept)
        m_payloads.removeFirst();
    m_payloads.append(QString::fromLatin1(request.payload));
    ++m_counts[QString::fromLatin1(request.key)];

    const SimReply reply = m_responder.respond(request);
    const SimFaultPlan::Outcome out = m_faults.apply(request, reply, m_rng);
    if (out.chunks.isEmpty())
        return;
    // The answer starts once the whole request could have arrived over the line, counted from
    // when its bytes came in: the time spent answering it here is not the line's.
    qint64 notBefore = m_arrivedUs + SimPacer::wireTimeUs(frame.size(), m_pacer.baud());
    notBefore += out.delayUs;
    for (qsizetype i = 0; i < out.chunks.size(); ++i)
        m_pacer.enqueue(out.chunks[i], i == 0 ? notBefore : 0, i == 0 ? 0 : out.gapUs);
}

void SimInstrument::portOpened() {
    m_reader.reset();
    m_responder.powerOn();
}

void SimInstrument::portClosed() {
    m_reader.reset();
    m_pacer.clear();
    m_responder.lineDropped();
}

int SimInstrument::commandCount(const QString& key) const {
    return m_counts.value(key);
}

QStringList SimInstrument::receivedPayloads() const {
    return m_payloads;
}

void SimInstrument::clearCounters() {
    m_counts.clear();
    m_payloads.clear();
}
