#include "link/IrCommPortControl.h"

#include <QSerialPort>

bool IrCommPortControl::open() {
    if (!available())
        return false;
    m_wanted = true;
    return SerialPortControl::open();
}

void IrCommPortControl::close() {
    m_wanted = false;
    SerialPortControl::close();
}

void IrCommPortControl::service() {
    if (m_wanted && !isOpen())
        SerialPortControl::open();
}

void IrCommPortControl::opened() {
    QMetaObject::invokeMethod(
        this, [this] { emit portEvent(PortEvent::LinkUp, 0); }, Qt::QueuedConnection);
}

void IrCommPortControl::portError(int error, bool) {
    if (error == QSerialPort::TimeoutError || error == QSerialPort::NotOpenError ||
        error == QSerialPort::UnsupportedOperationError)
        return;
    emit portEvent(PortEvent::SocketError, error);
}
