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

void SimPortControl::setAdapterPresent(bool present) {
    m_present = present;
    if (present || !m_open)
        return;
    m_open = false;
    m_lost = true;
    m_rx.clear();
    m_sim->portClosed();
    QMetaObject::invokeMethod(
        this, [this] { raiseModemChanges(0); }, Qt::QueuedConnection);
}

bool SimPortControl::open() {
    if (!m_present)
        return false;
    m_lost = false;
    if (!m_open) {
        resetModemLines();
        m_open = true;
        m_sim->portOpened();
    }
    return true;
}

void SimPortControl::close() {
    m_lost = false;
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
    if (m_cable) {
        m_sim->receive(bytes);
        if (m_hook && bytes.size() > 5 && bytes.at(5) != '\x06' && bytes.at(5) != '\x15')
            m_hook(++m_commands);
    }
    return bytes.size();
}

QByteArray SimPortControl::readAll() {
    QByteArray out;
    out.swap(m_rx);
    return out;
}
