#include "link/uclHbif.h"

#include "app/AppState.h"
#include "app/Errors.h"
#include "app/MessageTable.h"
#include "link/CommLog.h"
#include "link/Frame.h"
#include "link/IrCommPortControl.h"
#include "link/PortControl.h"
#include "link/SerialPortControl.h"

#include <QEventLoop>
#include <QFile>
#include <QPointer>
#include <string>

namespace {

QString nowText() {
    return AppDate::now().general();
}

// Commands whose repetition would repeat their effect on the instrument.
bool isBarredFromResend(const QByteArray& frame) {
    for (const char* key : {"UX,W", "XC,W", "SZ,W", "S1,W"})
        if (frame.contains(key))
            return true;
    return false;
}

// Whether two selector fields name the same entry: equal texts, or equal hex numbers.
bool sameSelector(const QByteArray& a, const QByteArray& b) {
    if (a.compare(b, Qt::CaseInsensitive) == 0)
        return true;
    bool okA = false, okB = false;
    const qulonglong va = a.toULongLong(&okA, 16);
    const qulonglong vb = b.toULongLong(&okB, 16);
    return okA && okB && va == vb;
}

} // namespace

uclHbif::uclHbif(QObject* parent)
    : QObject(parent),
      m_decoder(m_state, ResponseDecoder::Events{[this] { post([this] { emit OnConnect(); }); },
                                                 [this](const std::array<float, 5>& v) {
                                                     post([this, v] {
                                                         emit Densty(v[0], v[1], v[2], v[3], v[4]);
                                                     });
                                                 }}) {
    m_state.Instrument = &m_ownRecord;
    setSerialControl(new SerialPortControl(this));
    setIrDAControl(new IrCommPortControl(this));
    m_serial->setSettings(QStringLiteral("9600,n,8,1"));
    m_serial->setPortNumber(4);

    connect(&m_linkTimer, &QTimer::timeout, this, &uclHbif::onLinkTick);
    connect(&m_denstyTimer, &QTimer::timeout, this, &uclHbif::onDenstyTick);
    m_linkTimer.setInterval(100);
    m_denstyTimer.setInterval(1000);
    m_linkTimer.start();
}

uclHbif::~uclHbif() {
    // A host destroyed with an operation still waiting: let that wait end.
    if (m_loop)
        m_loop->quit();
}

void uclHbif::setSerialControl(PortControl* port) {
    if (!port || port == m_serial)
        return;
    if (m_serial) {
        disconnect(m_serial, nullptr, this, nullptr);
        if (m_serial->parent() == this)
            m_serial->deleteLater();
    }
    m_serial = port;
    attachPort(port);
}

void uclHbif::setIrDAControl(PortControl* port) {
    if (!port || port == m_irda)
        return;
    if (m_irda) {
        disconnect(m_irda, nullptr, this, nullptr);
        if (m_irda->parent() == this)
            m_irda->deleteLater();
    }
    m_irda = port;
    attachPort(port);
}

void uclHbif::attachPort(PortControl* port) {
    connect(port, &PortControl::portEvent, this,
            [this, port](int code, int detail) { onPortEvent(port, code, detail); });
}

PortControl* uclHbif::ActivePort() const {
    if (!m_serialComm && m_irda && m_irda->available())
        return m_irda;
    return m_serial;
}

void uclHbif::setStatus(qint32 value) {
    m_status = value;
    checkWait();
}

void uclHbif::setCancel(bool on) {
    m_cancel = on;
    checkWait();
}

void uclHbif::setTimeout(qint16 seconds) {
    m_timeoutTicks = qint16(qBound(-3276, int(seconds), 3276) * 10);
}

void uclHbif::setInstrument(clsInstrument* record) {
    if (record)
        m_state.Instrument = record;
}

qint32 uclHbif::FactCal(int i) const {
    if (i < 0 || i >= int(m_factCal.size()))
        throw IndexOutOfRange("FactCal: index " + std::to_string(i));
    return m_factCal[std::size_t(i)];
}

void uclHbif::setFactCal(int i, qint32 value) {
    if (i < 0 || i >= int(m_factCal.size()))
        throw IndexOutOfRange("FactCal: index " + std::to_string(i));
    m_factCal[std::size_t(i)] = value;
}

bool uclHbif::ZeroStatus(int i) const {
    const QString& r = m_state.ZeroResult;
    return i >= 0 && i < 5 && r.size() == 5 && r.at(i) == u'0';
}

bool uclHbif::SpanStatus(int i) const {
    const QString& r = m_state.SpanResult;
    return i >= 0 && i < 5 && r.size() == 5 && r.at(i) == u'0';
}

int uclHbif::CommPort() const {
    return ActivePort()->portNumber();
}

void uclHbif::setCommPort(int number) {
    m_serial->setPortNumber(number);
}

bool uclHbif::PortOpen() const {
    return ActivePort()->isOpen();
}

void uclHbif::setPortOpen(bool open) {
    // A port that will not open simply stays closed; the host looks at PortOpen afterwards.
    if (open)
        ActivePort()->open();
    else
        ActivePort()->close();
}

bool uclHbif::DTREnable() const {
    return ActivePort()->DTREnable();
}
void uclHbif::setDTREnable(bool on) {
    ActivePort()->setDTREnable(on);
}
bool uclHbif::RTSEnable() const {
    return ActivePort()->RTSEnable();
}
void uclHbif::setRTSEnable(bool on) {
    ActivePort()->setRTSEnable(on);
}
int uclHbif::Handshaking() const {
    return ActivePort()->Handshaking();
}
void uclHbif::setHandshaking(int mode) {
    ActivePort()->setHandshaking(mode);
}
QString uclHbif::Settings() const {
    return ActivePort()->settings();
}
void uclHbif::setSettings(const QString& text) {
    ActivePort()->setSettings(text);
}

void uclHbif::setTimerEnabled(bool on) {
    if (on)
        m_linkTimer.start();
    else
        m_linkTimer.stop();
}

void uclHbif::setRunDensty(bool on) {
    if (on && !m_denstyTimer.isActive()) {
        m_denstyTimer.start();
        m_ticks = 0;
    } else if (!on && m_denstyTimer.isActive()) {
        waitWhileStatus(4); // let a poll in flight finish
        m_denstyTimer.stop();
    }
}

void uclHbif::AddLog(const QString& text) {
    WriteSerialLog(text);
}

bool uclHbif::DisConnect() {
    m_ticks = 0;
    setStatus(2);
    return false;
}

void uclHbif::DataSend(const QByteArray& frame, bool start) {
    m_rx.clear();
    ActivePort()->write(frame);
    post([this] { emit StsTransmit(); });
    appState().RxSeen = false;
    m_state.LastFrame = frame;
    if (CommandKey(frame).size() == 4)
        m_commandFrame = frame;
    m_ticksLeft = m_timeoutTicks;
    if (start)
        m_retryCount = 0;
    WriteSerialLog(LiteralMessage(5552, {ToLogText(frame)}));
}

// --- waiting ---------------------------------------------------------------------------------

bool uclHbif::waitWhile(const std::function<bool()>& condition) {
    if (m_loop)
        return false;
    if (!condition())
        return true;
    QEventLoop loop;
    m_loop = &loop;
    m_waitCondition = &condition;
    const QPointer<uclHbif> alive(this);
    loop.exec();
    if (!alive)
        return false; // the control was destroyed while its host waited
    m_loop = nullptr;
    m_waitCondition = nullptr;
    return true;
}

bool uclHbif::waitWhileStatus(qint32 value) {
    return waitWhile([this, value] { return m_status == value; });
}

bool uclHbif::waitTicks(qint32 ticks) {
    if (m_loop)
        return false;
    m_ticks = 0;
    return waitWhile([this, ticks] { return m_ticks < ticks; });
}

bool uclHbif::Exchange(const QString& payload, qint32 waitStatus) {
    if (m_loop)
        return false;
    setStatus(waitStatus);
    DataSend(BuildFrame(payload, Ctl::EOT), true);
    if (!waitWhileStatus(waitStatus))
        return false;
    return m_status == 6;
}

void uclHbif::checkWait() {
    if (m_loop && !(*m_waitCondition)())
        m_loop->quit();
}

// --- receiving -------------------------------------------------------------------------------

void uclHbif::onPortEvent(PortControl* port, int code, int detail) {
    const bool irda = port == m_irda && port != m_serial;
    if (code == PortEvent::Received)
        receive(port, irda);
    else if (irda)
        irdaEvent(code, detail);
    else
        serialEvent(port, code);
    checkWait();
}

void uclHbif::receive(PortControl* port, bool irda) {
    post([this] { emit StsTransmit(); });
    appState().RxSeen = true;
    m_lineErrors = 0;
    const QByteArray bytes = port->readAll();
    bool overflow = false;
    if (m_status != 9) {
        if (m_rx.size() + bytes.size() > RxBufferLimit) {
            m_rx.clear();
            overflow = true;
        } else {
            m_rx += bytes;
        }
    }
    if (m_cancel) {
        setStatus(8);
        m_rx.clear();
    } else if (m_status == 9) {
        writeDumpBytes(bytes);
    } else if (overflow) {
        // A flood without block ends: what came so far is no reply.
        WriteSerialLog(QStringLiteral("<<< Receive buffer overflow >>>"));
        rejectBlock();
    } else {
        takeBlocks();
    }
    if (irda)
        post([this] { emit StsIdle(); });
}

void uclHbif::takeBlocks() {
    while (!m_rx.isEmpty()) {
        const qsizetype etb = m_rx.indexOf(Ctl::ETB);
        const qsizetype eot = m_rx.indexOf(Ctl::EOT);
        const qsizetype end = etb < 0 ? eot : (eot < 0 ? etb : qMin(etb, eot));
        if (end < 0) {
            if (!m_rx.contains(Ctl::CR))
                return;
            // A CR without a block end: a broken reply.
            if (m_retryCount >= m_retry) {
                setStatus(7);
                return;
            }
            ++m_retryCount;
            if (m_retryCount > 1)
                post([this, n = m_retryCount] { emit ConnectRetry(n); });
            if (isBarredFromResend(m_state.LastFrame))
                m_rx.clear();
            else
                DataSend(m_state.LastFrame, false);
            return;
        }
        const QByteArray block = m_rx.left(end + 1);
        m_rx.remove(0, end + 1);
        m_lastBlock = block;
        WriteSerialLog(LiteralMessage(5549, {ToLogText(block)}));
        if (!isReplyToCommand(block)) {
            // A late answer to an earlier command: taking it would put every later reply
            // one command behind.
            WriteSerialLog(QStringLiteral("<<< Reply to another command dropped >>>"));
            continue;
        }
        if (!m_decoder.DecodeResponse(block)) {
            rejectBlock();
        } else if (block.back() == Ctl::ETB) {
            DataSend(BlockAcknowledgement(m_commandFrame, true), true);
        } else {
            setStatus(6);
        }
    }
}

bool uclHbif::isReplyToCommand(const QByteArray& block) const {
    // A short or damaged block is the decoder's to reject and counts as a bad block.
    if (block.size() < MinBlockLength || (appState().VerifyChecksum && !BlockChecksumOk(block)))
        return true;
    const BlockParts parts = SplitBlock(block);
    const QByteArray expected = CommandKey(m_commandFrame);
    if (parts.key != expected)
        return false;
    // Replies that name the entry they carry must name the one asked for.
    if (expected == "XS,R" || expected == "LI,R") {
        const QByteArray asked = CommandData(m_commandFrame);
        const QByteArray given = parts.data.left(parts.data.indexOf(','));
        return sameSelector(asked, given);
    }
    return true;
}

void uclHbif::rejectBlock() {
    if (m_retryCount >= m_retry) {
        setStatus(7);
        return;
    }
    ++m_retryCount;
    if (m_status == 4 || m_status == 5)
        resendUnlessBarred();
    else
        DataSend(BlockAcknowledgement(m_commandFrame, false), false);
}

void uclHbif::resendUnlessBarred() {
    if (!isBarredFromResend(m_state.LastFrame))
        DataSend(m_state.LastFrame, false);
}

void uclHbif::beginBinaryBlock(qint64 offset) {
    m_binOffset = offset;
    m_binCount = 0;
}

void uclHbif::writeDumpBytes(const QByteArray& bytes) {
    // Bytes beyond the block would overwrite the next block or grow the image.
    const qint64 room = BinaryBlockSize - m_binCount;
    if (room <= 0 || bytes.isEmpty())
        return;
    QFile f(m_binDumpPath);
    if (!f.open(QIODevice::ReadWrite) || !f.seek(m_binOffset + m_binCount)) {
        WriteSerialLog(QStringLiteral("<<< Dump file error >>> ") + m_binDumpPath);
        setStatus(7);
        return;
    }
    const qint64 written = f.write(bytes.constData(), qMin<qint64>(room, bytes.size()));
    if (written > 0)
        m_binCount += written;
    if (m_binCount >= BinaryBlockSize)
        setStatus(6);
}

// --- line events -----------------------------------------------------------------------------

void uclHbif::serialEvent(PortControl* port, int code) {
    if (code >= PortEvent::BreakSignal && code <= PortEvent::DeviceControlError)
        ++m_lineErrors;
    const auto logLine = [](int message) { WriteSerialLog(LoadMessage(message, {nowText()})); };
    switch (code) {
    case PortEvent::CtsChanged:
    case PortEvent::DsrChanged:
        if (port->modemStatus() & (ModemCts | ModemDsr)) {
            m_state.LinkMode = 2;
            m_retryCount = 0;
        } else {
            m_state.LinkMode = 0;
            setStatus(6);
            m_retryCount = 0;
            post([this] { emit OnDisconnect(); });
        }
        break;
    case PortEvent::BreakSignal:
        logLine(5542);
        break;
    case PortEvent::FramingError:
        logLine(5543);
        setStatus(7);
        break;
    case PortEvent::Overrun:
        logLine(5544);
        setStatus(7);
        break;
    case PortEvent::ReceiveOverflow:
        logLine(5545);
        setStatus(7);
        break;
    case PortEvent::ParityError:
        logLine(5546);
        setStatus(7);
        break;
    case PortEvent::SendOverflow:
        if (m_state.LinkMode != 2) {
            logLine(5547);
            setStatus(6);
        }
        break;
    case PortEvent::DeviceControlError:
        logLine(5548);
        setStatus(6);
        break;
    default:
        break;
    }
}

void uclHbif::irdaEvent(int code, int detail) {
    if (code == PortEvent::LinkUp) {
        if (m_state.LinkMode == 0) {
            WriteSerialLog(LoadMessage(5550, {nowText()}));
            m_retryCount = 0;
            m_rx.clear();
            m_ticks = 0;
            m_state.LinkMode = 2;
        }
        return;
    }
    setStatus(7);
    if (code == PortEvent::SocketError) {
        WriteSerialLog(QStringLiteral("Soket Error[%1](%2)").arg(nowText()).arg(detail));
        post([this, detail] { emit IrDAError(qint16(detail)); });
    } else {
        WriteSerialLog(
            QStringLiteral("IrDA Error[%1][%2] (%3)").arg(nowText()).arg(code).arg(detail));
    }
}

// --- timers ----------------------------------------------------------------------------------

void uclHbif::onLinkTick() {
    ++m_ticks;
    // No port signals its modem lines; the tick reads them and raises their changes.
    ActivePort()->pollModemLines();
    if (m_state.LinkMode == 4) {
        if (!m_serial->isOpen())
            m_serial->open();
        setStatus(0);
        m_state.LinkMode = 2;
        m_ticks = 0;
    }
    if (m_state.LinkMode == 2)
        connectStep();
    else if (m_state.LinkMode == 3)
        timeoutStep();
    if (m_serviceCounter < 1) {
        m_irda->service();
        m_serviceCounter = 5;
    } else {
        --m_serviceCounter;
    }
    checkWait();
}

void uclHbif::connectStep() {
    if (m_status != 4) {
        WriteSerialLog(LoadMessage(5512));
        if (m_retryCount < m_retry) {
            ++m_retryCount;
            if (m_retryCount % 5 == 0 && m_retryCount > 1)
                post([this, n = qint16(m_retryCount / 5)] { emit ConnectRetry(n); });
            setStatus(4);
            DataSend(BuildFrame(QByteArrayLiteral("RC,R,"), Ctl::EOT), false);
        } else {
            setStatus(0);
            m_state.LinkMode = 0;
            post([this] { emit AlarmMessage(LoadMessage(5405)); });
        }
        m_ticks = 0;
    } else if (m_ticks > 10) {
        // A second without a reply: the next tick asks again.
        setStatus(0);
        m_state.LinkMode = 2;
        m_ticks = 0;
    }
}

void uclHbif::timeoutStep() {
    if (m_ticksLeft > 0) {
        --m_ticksLeft;
        return;
    }
    if (m_retryCount < m_retry) {
        ++m_retryCount;
        switch (m_status) {
        case 3:
            if (m_state.LastFrame.endsWith(Ctl::EOT))
                DataSend(m_state.LastFrame, false);
            else
                DataSend(BlockAcknowledgement(m_commandFrame, false), false);
            break;
        case 4:
        case 5:
            resendUnlessBarred();
            break;
        case 9:
            WriteSerialLog(QStringLiteral("= timeout ="));
            m_binaryRetry = true;
            setCancel(true);
            break;
        default:
            break;
        }
        return;
    }
    switch (m_status) {
    case 2:
    case 6:
        break;
    case 8:
        setStatus(2);
        break;
    default:
        setStatus(7);
        appState().RxSeen = false;
    }
}

void uclHbif::onDenstyTick() {
    if (m_status == 2 || m_status == 6) {
        setStatus(4);
        m_retryCount = 0;
        DataSend(BuildFrame(QByteArrayLiteral("DN,R,"), Ctl::EOT), true);
    } else if (m_status == 4) {
        WriteSerialLog(LoadMessage(5560, {nowText()}));
        setStatus(2);
    }
}
