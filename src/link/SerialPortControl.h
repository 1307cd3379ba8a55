#pragma once

#include "link/PortControl.h"

class QSerialPort;

// The USB serial adapter on QSerialPort: readyRead then readAll. Line errors become the link's
// event codes; a resource error (the cable pulled) closes the port and counts as both modem
// lines going down. CTS and DSR are read when the link polls; a port whose modem lines cannot
// be read (a pseudo-terminal, some adapters) counts as lines up once it is open.
//
// Qt reports no break, framing, overrun or parity errors, so codes 1001 to 1009 never come
// from this control. A failed read means the device is gone (a hung-up pseudo-terminal reports
// nothing else) and is handled as a resource error; a write failure is raised as 1010 and any
// other failure of an open port as 1011.
class SerialPortControl : public PortControl {
    Q_OBJECT
public:
    explicit SerialPortControl(QObject* parent = nullptr);
    ~SerialPortControl() override;

    bool open() override;
    void close() override;
    bool isOpen() const override;
    bool openRefused() const override { return m_openRefused; }
    qint64 write(const QByteArray& bytes) override;
    QByteArray readAll() override;
    int modemStatus() override;
    bool lost() const override { return m_lost; }
    // The same port name when it is back, else a port with the adapter's vendor and product.
    bool reopen() override;
    QString errorString() const override;

    void setDTREnable(bool on) override;
    void setRTSEnable(bool on) override;

protected:
    // A port error (QSerialPort::SerialPortError) of an open port, delivered from the event
    // loop; `lost` when the failure closed the port. The infrared control maps errors to
    // socket errors instead.
    virtual void portError(int error, bool lost);
    // The port has just opened.
    virtual void opened() {}

private:
    void applyLines();

    QSerialPort* m_port;
    bool m_quiet = false;           // errors during open and line reads are expected
    bool m_linesUnreadable = false; // the device has no modem lines to read
    bool m_lost = false;            // closed by a resource error, not by close()
    quint16 m_vendor = 0;           // identifiers of the adapter last opened (0: unknown)
    quint16 m_product = 0;
    bool m_openRefused = false; // the last open failed for want of permission
    QString m_openError;        // why the last open failed
};
