#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <optional>

// The red line for a port that open() refused (PortControl::openRefused): names the port and
// tells how a user gets permission for serial ports. For every place that reports a failed
// open.
QString PortAccessRefusedText(const QString& portName);

// Event codes a port control raises, as the link's handlers know them.
namespace PortEvent {
enum : int {
    Received = 2,
    CtsChanged = 3,
    DsrChanged = 4,
    BreakSignal = 1001,
    FramingError = 1004,
    Overrun = 1006,
    ReceiveOverflow = 1008,
    ParityError = 1009,
    SendOverflow = 1010,
    DeviceControlError = 1011,
    LinkUp = 1020,
    SocketError = 1021,
};
}

// Modem status bits.
inline constexpr int ModemCts = 0x10;
inline constexpr int ModemDsr = 0x20;

// Port settings text such as "921600,n,8,1", parsed once when a port opens.
struct PortSettings {
    qint32 baud = 9600;
    char parity = 'n'; // n, e, o, m, s
    int dataBits = 8;  // 5..8
    int stopBits = 1;  // 1, 2; 15 for 1.5
    static std::optional<PortSettings> parse(const QString& text);
};

// Handshaking modes.
namespace Handshake {
enum : int { None = 0, XonXoff = 1, RtsCts = 2, RtsCtsXonXoff = 3 };
}

// One interface for every way to the instrument: it moves bytes and reports events, nothing
// more. Implementations: the serial port, the infrared IrCOMM port, the in-process simulator and
// a scripted port for tests. Events are raised from the event loop, never from inside write().
class PortControl : public QObject {
    Q_OBJECT
public:
    explicit PortControl(QObject* parent = nullptr) : QObject(parent) {}

    virtual bool open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Whether this control can be used at all (an infrared adapter that is present).
    virtual bool available() const { return true; }
    // The last open() failed because the system refused access to the device: the user lacks
    // permission for it, or another program holds it.
    virtual bool openRefused() const { return false; }

    virtual qint64 write(const QByteArray& bytes) = 0;
    virtual QByteArray readAll() = 0;
    // ModemCts | ModemDsr as far as they are up; 0 for a closed port.
    virtual int modemStatus() = 0;
    // Why the last open failed, in the system's words; empty when nothing is known.
    virtual QString errorString() const { return QString(); }

    // Reads the modem lines and raises CtsChanged / DsrChanged for each that changed since the
    // last poll. The link calls this on every tick: no port signals these lines by itself.
    void pollModemLines();

    // Whether the device vanished while open (an adapter pulled out): the port closed itself
    // and may come back. A deliberate close() is not a loss.
    virtual bool lost() const { return false; }
    // Opens the vanished device again where it reappears; false while it is still gone.
    virtual bool reopen() { return open(); }

    // The periodic service call of the link (every sixth tick).
    virtual void service() {}

    void setSettings(const QString& text) { m_settings = text; }
    QString settings() const { return m_settings; }
    void setPortNumber(int n) { m_portNumber = n; }
    int portNumber() const { return m_portNumber; }
    // A device name wins over the number ("ttyUSB0", "/dev/pts/3", "COM5").
    void setPortName(const QString& name) { m_portName = name; }
    QString portName() const;
    bool hasPortName() const { return !m_portName.isEmpty(); }

    virtual void setDTREnable(bool on) { m_dtr = on; }
    bool DTREnable() const { return m_dtr; }
    virtual void setRTSEnable(bool on) { m_rts = on; }
    bool RTSEnable() const { return m_rts; }
    virtual void setHandshaking(int mode) { m_handshaking = mode; }
    int Handshaking() const { return m_handshaking; }

signals:
    // code: PortEvent; detail: the socket error code for SocketError, 0 otherwise.
    void portEvent(int code, int detail);

protected:
    // Forget the remembered modem lines without raising anything (a deliberate close).
    void resetModemLines() { m_lastModem = 0; }
    // Raise the changes between the remembered lines and `now`, and remember `now`.
    void raiseModemChanges(int now);

private:
    QString m_settings = QStringLiteral("9600,n,8,1");
    QString m_portName;
    int m_portNumber = 4;
    bool m_dtr = false;
    bool m_rts = false;
    int m_handshaking = Handshake::None;
    int m_lastModem = 0;
};
