#include "link/SimPortControl.h"

SimPortControl::SimPortControl(const SimOptions& options, QObject* parent)
    : PortControl(parent), m_sim(new SimInstrument(options, this)) {
    attach();
}

SimPortControl::SimPortControl(SimInstrument* instrument, QObject* parent)
    : PortControl(parent), m_sim(instrument) {
    attach();
}

void SimPortControl::attach() {
    connect(
        m_sim, &SimInstrument::transmit, this,
        [this](const QByteArray& bytes) {
            if (!m_open || !m_cable)
                return;
            m_rx += bytes;
            emit portEvent(PortEvent::Received, 0);
        },
        Qt::QueuedConnection);
}

bool SimPortControl::open() {
    if (!m_open) {
        resetModemLines();
        m_open = true;
        m_sim->portOpened();
    }
    return true;
}

void SimPortControl::close() {
    if (!m_open)
        return;
    m_open = false;
    m_rx.clear();
    resetModemLines();
    m_sim->portClosed();
}

qint64 SimPortControl::write(const QByteArray& bytes) {
    if (!m_open)
        return -1;
    if (m_cable)
        m_sim->receive(bytes);
    return bytes.size();
}

QByteArray SimPortControl::readAll() {
    QByteArray out;
    out.swap(m_rx);
    return out;
}
