#include "link/ScriptedPortControl.h"

bool ScriptedPortControl::open() {
    if (m_failOpen)
        return false;
    if (!m_open)
        resetModemLines();
    m_open = true;
    return true;
}

void ScriptedPortControl::close() {
    m_open = false;
    m_rx.clear();
    resetModemLines();
}

qint64 ScriptedPortControl::write(const QByteArray& bytes) {
    if (!m_open || m_failWrite)
        return -1;
    m_writes.append(bytes);
    if (m_responder) {
        const QByteArray reply = m_responder(bytes);
        if (!reply.isEmpty())
            inject(reply);
    }
    return bytes.size();
}

QByteArray ScriptedPortControl::readAll() {
    QByteArray out;
    out.swap(m_rx);
    return out;
}

void ScriptedPortControl::inject(const QByteArray& bytes) {
    QMetaObject::invokeMethod(
        this,
        [this, bytes] {
            m_rx += bytes;
            emit portEvent(PortEvent::Received, 0);
        },
        Qt::QueuedConnection);
}

void ScriptedPortControl::injectEvent(int code, int detail) {
    QMetaObject::invokeMethod(
        this, [this, code, detail] { emit portEvent(code, detail); }, Qt::QueuedConnection);
}

int ScriptedPortControl::countWrites(const QByteArray& prefix) const {
    int n = 0;
    for (const QByteArray& w : m_writes)
        if (w.mid(5).startsWith(prefix))
            ++n;
    return n;
}
