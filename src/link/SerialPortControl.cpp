#include "link/SerialPortControl.h"

#include <QFile>
#include <QSerialPort>
#include <QSerialPortInfo>

#include <algorithm>
#ifdef Q_OS_UNIX
#include <cerrno>
#include <unistd.h>
#endif

namespace {

QSerialPort::Parity parityOf(char p) {
    switch (p) {
    case 'e':
        return QSerialPort::EvenParity;
    case 'o':
        return QSerialPort::OddParity;
    case 'm':
        return QSerialPort::MarkParity;
    case 's':
        return QSerialPort::SpaceParity;
    default:
        return QSerialPort::NoParity;
    }
}

QSerialPort::StopBits stopBitsOf(int s) {
    switch (s) {
    case 2:
        return QSerialPort::TwoStop;
    case 15:
        return QSerialPort::OneAndHalfStop;
    default:
        return QSerialPort::OneStop;
    }
}

QSerialPort::FlowControl flowOf(int mode) {
    switch (mode) {
    case Handshake::XonXoff:
        return QSerialPort::SoftwareControl;
    case Handshake::RtsCts:
    case Handshake::RtsCtsXonXoff:
        return QSerialPort::HardwareControl;
    default:
        return QSerialPort::NoFlowControl;
    }
}

} // namespace

SerialPortControl::SerialPortControl(QObject* parent)
    : PortControl(parent), m_port(new QSerialPort(this)) {
    connect(m_port, &QSerialPort::readyRead, this,
            [this] { emit portEvent(PortEvent::Received, 0); });
    connect(m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
        if (e == QSerialPort::NoError || m_quiet || !m_port->isOpen())
            return;
        // A device that is gone (unplugged, hung up) fails every read from then on: close it
        // at once so it cannot report the same failure in a loop.
        const bool lost = e == QSerialPort::ResourceError || e == QSerialPort::ReadError;
        if (lost) {
            m_port->close();
            m_lost = true;
        }
        m_port->clearError();
        // Errors can surface inside write(); the link hears of them from the event loop.
        QMetaObject::invokeMethod(
            this, [this, e, lost] { portError(int(e), lost); }, Qt::QueuedConnection);
    });
}

SerialPortControl::~SerialPortControl() = default;

bool SerialPortControl::open() {
    if (m_port->isOpen())
        return true;
    m_openRefused = false;
    const auto s = PortSettings::parse(settings());
    if (!s)
        return false;
    m_quiet = true;
    m_port->setPortName(portName());
    bool ok = m_port->open(QIODevice::ReadWrite);
    // Qt reports a device the user may not open, and one another program has locked, alike.
    m_openRefused = !ok && m_port->error() == QSerialPort::PermissionError;
    ok = ok && m_port->setBaudRate(s->baud) &&
         m_port->setDataBits(QSerialPort::DataBits(s->dataBits)) &&
         m_port->setParity(parityOf(s->parity)) && m_port->setStopBits(stopBitsOf(s->stopBits)) &&
         m_port->setFlowControl(flowOf(Handshaking()));
    if (ok)
        applyLines();
    // The reason of the step that failed (the system's text): closing the port below would
    // leave only "Device is not open".
    m_openError = ok ? QString() : m_port->errorString();
    m_port->clearError();
    m_quiet = false;
    if (!ok) {
        m_port->close();
        return false;
    }
    m_linesUnreadable = false;
    m_lost = false;
    const QSerialPortInfo info(*m_port);
    if (info.hasVendorIdentifier() && info.hasProductIdentifier()) {
        m_vendor = info.vendorIdentifier();
        m_product = info.productIdentifier();
    }
    resetModemLines();
    opened();
    return true;
}

bool SerialPortControl::reopen() {
    const QString name = portName();
    QString found;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        if (info.portName() == name || info.systemLocation() == name) {
            found = name;
            break;
        }
        if (found.isEmpty() && m_vendor != 0 && info.vendorIdentifier() == m_vendor &&
            info.productIdentifier() == m_product)
            found = info.portName();
    }
    // A pseudo-terminal is not listed; its path tells whether it is back.
    if (found.isEmpty() && name.startsWith(u'/') && QFile::exists(name))
        found = name;
    if (found.isEmpty())
        return false;
    setPortName(found);
    return open();
}

void SerialPortControl::close() {
    m_lost = false;
    resetModemLines();
    if (m_port->isOpen())
        m_port->close();
}

bool SerialPortControl::isOpen() const {
    return m_port->isOpen();
}

qint64 SerialPortControl::write(const QByteArray& bytes) {
    if (!m_port->isOpen())
        return -1;
    qint64 done = 0;
#ifdef Q_OS_UNIX
    // A request leaves at once, straight to the device while nothing of an earlier one waits
    // in the port's buffer. Handed to the port, the bytes would be buffered and the line
    // watched for room, which wakes the event loop twice for every request. What the device
    // cannot take now, and every failure, is left to the port below, which reports it.
    if (m_port->bytesToWrite() == 0) {
        const int fd = int(m_port->handle());
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0)
                done += n;
            else if (n < 0 && errno == EINTR)
                continue;
            else
                break;
        }
        if (done == bytes.size())
            return done;
    }
#endif
    const qint64 taken = m_port->write(bytes.constData() + done, bytes.size() - done);
    // The port only buffers what it is given and writes on a later turn of the event loop; a
    // request waits for nothing, so it leaves now. Errors still reach the link queued.
    if (taken > 0)
        m_port->flush();
    return taken < 0 && done == 0 ? taken : done + std::max<qint64>(0, taken);
}

QByteArray SerialPortControl::readAll() {
    return m_port->isOpen() ? m_port->readAll() : QByteArray();
}

int SerialPortControl::modemStatus() {
    if (!m_port->isOpen())
        return 0;
    if (m_linesUnreadable)
        return ModemCts | ModemDsr;
    m_quiet = true;
    const QSerialPort::PinoutSignals pins = m_port->pinoutSignals();
    const bool failed = m_port->error() != QSerialPort::NoError;
    m_port->clearError();
    m_quiet = false;
    if (failed) {
        m_linesUnreadable = true;
        return ModemCts | ModemDsr;
    }
    int status = 0;
    if (pins & QSerialPort::ClearToSendSignal)
        status |= ModemCts;
    if (pins & QSerialPort::DataSetReadySignal)
        status |= ModemDsr;
    return status;
}

void SerialPortControl::setDTREnable(bool on) {
    PortControl::setDTREnable(on);
    applyLines();
}

void SerialPortControl::setRTSEnable(bool on) {
    PortControl::setRTSEnable(on);
    applyLines();
}

void SerialPortControl::applyLines() {
    if (!m_port->isOpen())
        return;
    const bool quiet = m_quiet;
    m_quiet = true;
    m_port->setDataTerminalReady(DTREnable());
    // With hardware handshaking RTS belongs to the driver.
    if (m_port->flowControl() != QSerialPort::HardwareControl)
        m_port->setRequestToSend(RTSEnable());
    m_port->clearError();
    m_quiet = quiet;
}

void SerialPortControl::portError(int error, bool lost) {
    if (lost) {
        raiseModemChanges(0);
        return;
    }
    if (error == QSerialPort::WriteError)
        emit portEvent(PortEvent::SendOverflow, 0);
    else if (error == QSerialPort::UnknownError)
        emit portEvent(PortEvent::DeviceControlError, 0);
    // Time-outs are the link's business; the rest concern opening, which the host checks.
}

QString SerialPortControl::errorString() const {
    return m_port->isOpen() || m_openError.isEmpty() ? m_port->errorString() : m_openError;
}
