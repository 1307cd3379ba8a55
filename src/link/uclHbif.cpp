#include "link/uclHbif.h"

#include "app/Errors.h"
#include "app/MessageTable.h"
#include "link/CommLog.h"
#include "link/Frame.h"
#include "link/PortControl.h"
#include "model/CommandSet.h"
#include "state/AppState.h"

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
    return PolicyOf(CommandKey(frame)) & CommandPolicy::NeverResend;
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

    connect(&m_linkTimer, &QTimer::timeout, this, &uclHbif::onLinkTick);
    connect(&m_denstyTimer, &QTimer::timeout, this, &uclHbif::onDenstyTick);
    m_linkTimer.setInterval(LinkDefaults::TickMs);
    m_denstyTimer.setInterval(LinkDefaults::DenstyMs);
    m_linkTimer.start();
}

uclHbif::~uclHbif() {
    // A host destroyed with an operation still waiting: let that wait end.
    if (m_loop)
        m_loop->quit();
    flushSuppressed();
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

void uclHbif::setStatus(LinkStatus value) {
    m_status = value;
    checkWait();
}

void uclHbif::dropConnection() {
    setLinkMode(ConnectMode::NotConnected);
    setStatus(LinkStatus::Idle);
}

void uclHbif::setCancel(bool on) {
    if (on)
        ++m_cancelCount;
    m_cancel = on;
    checkWait();
}

void uclHbif::beginOperation() {
    m_wasCancelled = false;
    setCancel(false);
}

void uclHbif::endOperation() {
    m_wasCancelled = m_wasCancelled || m_cancel;
    setCancel(false);
}

void uclHbif::setTimeout(qint16 seconds) {
    m_timeoutTicks = qint16(qBound(-3276, int(seconds), 3276) * LinkDefaults::TicksPerSecond);
}

void uclHbif::setInstrument(clsInstrument* record) {
    if (record)
        m_state.Instrument = record;
}

bool uclHbif::ZeroStatus(int i) const {
    const QString& r = m_state.ZeroResult;
    return i >= 0 && i < 5 && r.size() == 5 && r.at(i) == u'0';
}

bool uclHbif::SpanStatus(int i) const {
    const QString& r = m_state.SpanResult;
    return i >= 0 && i < 5 && r.size() == 5 && r.at(i) == u'0';
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
        waitWhileStatus(LinkStatus::WaitRead); // let a poll in flight finish
        m_denstyTimer.stop();
    }
}

void uclHbif::AddLog(const QString& text) {
    logLine(text);
}

bool uclHbif::DisConnect() {
    m_ticks = 0;
    setStatus(LinkStatus::Released);
    return false;
}

void uclHbif::DataSend(const QByteArray& frame, Send kind) {
    m_frames.frameSent();
    PortControl* port = ActivePort();
    const qint64 written = port ? port->write(frame) : -1;
    m_state.LastFrame = frame;
    if (CommandKey(frame).size() == 4)
        m_commandFrame = frame;
    m_ticksLeft = m_timeoutTicks;
    if (kind == Send::Start) {
        m_retryCount = 0;
        m_lastFailure = FailureCause::None;
    }
    logLine(LiteralMessage(5552, {ToLogText(frame)}));
    if (written != frame.size()) {
        // A closed or vanished port: no reply can come to a frame that never left.
        logLine(QStringLiteral("<<< Port write failed >>>"));
        if (IsWaiting(m_status))
            failExchange(FailureCause::Line);
    }
}

// --- waiting ---------------------------------------------------------------------------------

bool uclHbif::waitWhile(const std::function<bool()>& condition) {
    if (m_loop)
        return false;
    if (!condition())
        return true;
    QEventLoop loop;
    m_loop = &loop;
    m_loopQuitting = false;
    m_waitCondition = &condition;
    const QPointer<uclHbif> alive(this);
    loop.exec();
    if (!alive)
        return false; // the control was destroyed while its host waited
    m_loop = nullptr;
    m_waitCondition = nullptr;
    return true;
}

bool uclHbif::waitWhileStatus(LinkStatus value) {
    return waitWhile([this, value] { return m_status == value; });
}

bool uclHbif::waitTicks(qint32 ticks) {
    if (m_loop)
        return false;
    m_ticks = 0;
    return waitWhile([this, ticks] { return m_ticks < ticks; });
}

bool uclHbif::Exchange(const QString& payload, LinkStatus waitStatus) {
    if (m_loop)
        return false;
    setStatus(waitStatus);
    DataSend(BuildFrame(payload, Ctl::EOT), Send::Start);
    if (!waitWhileStatus(waitStatus))
        return false;
    return m_status == LinkStatus::Done;
}

void uclHbif::checkWait() {
    // Telling the loop once is enough: each quit wakes the event dispatcher again.
    if (m_loop && !m_loopQuitting && !(*m_waitCondition)()) {
        m_loopQuitting = true;
        m_loop->quit();
    }
}

void uclHbif::failExchange(FailureCause why) {
    m_lastFailure = why;
    setStatus(LinkStatus::Failed);
}

void uclHbif::logLine(const QString& text) {
    flushSuppressed();
    WriteSerialLog(text);
}

void uclHbif::flushSuppressed() {
    if (m_rxLogSuppressed == 0)
        return;
    const qint64 n = m_rxLogSuppressed;
    m_rxLogSuppressed = 0;
    WriteSerialLog(QStringLiteral("<<< %1 received lines not logged: the line babbles >>>").arg(n));
}

void uclHbif::logBabble(const QString& text) {
    // What is not a reply to the exchange (noise, garbage, answers to other commands) goes
    // through a token bucket: a burst is logged whole, a flood at a bounded rate, and what was
    // left out is counted in a line of its own before the next line that is logged.
    if (!m_rxLogClock.isValid())
        m_rxLogClock.start();
    const double seconds = m_rxLogClock.restart() / 1000.0;
    m_rxLogTokens =
        qMin<double>(LinkLimits::RxLogBurst, m_rxLogTokens + seconds * LinkLimits::RxLogPerSecond);
    if (m_rxLogTokens < 1) {
        ++m_rxLogSuppressed;
        return;
    }
    m_rxLogTokens -= 1;
    logLine(text);
}

// --- receiving -------------------------------------------------------------------------------

void uclHbif::onPortEvent(PortControl* port, int code, int detail) {
    const bool irda = port == m_irda && port != m_serial;
    if (code == PortEvent::Received)
        receive(port);
    else if (irda)
        irdaEvent(code, detail);
    else
        serialEvent(port, code);
    checkWait();
}

void uclHbif::receive(PortControl* port) {
    m_lineErrors = 0;
    const QByteArray bytes = port->readAll();
    if (m_cancel) {
        setStatus(LinkStatus::Cancelled);
        m_frames.clear();
    } else if (m_status == LinkStatus::BinaryDump || (m_binarySink && !IsWaiting(m_status))) {
        // While a dump runs, bytes between its blocks are its business too (a reply that went
        // on too long), not noise to be dropped.
        const BinaryBlock result = m_binarySink ? m_binarySink(bytes) : BinaryBlock::Error;
        if (m_status == LinkStatus::BinaryDump) {
            if (result == BinaryBlock::Complete)
                setStatus(LinkStatus::Done);
            else if (result == BinaryBlock::Error)
                failExchange(FailureCause::Refused);
        }
    } else {
        m_frames.append(bytes);
        takeBlocks();
    }
}

void uclHbif::dropNoise() {
    reportNoise(m_frames.takeNoise());
}

void uclHbif::reportNoise(qint64 bytes) {
    if (bytes > 0)
        logBabble(QStringLiteral("<<< %1 bytes outside any frame dropped >>>").arg(bytes));
}

// The one decision when an exchange meets trouble: true while a resend is left (and it is
// counted), false once they are spent, and then the exchange has failed for `why`.
bool uclHbif::retryLeft(FailureCause why) {
    if (m_retryCount >= m_retry) {
        failExchange(why);
        return false;
    }
    ++m_retryCount;
    return true;
}

void uclHbif::takeBlocks() {
    // A refusal line counts while an exchange waits for a reply (not while raw bytes arrive).
    const auto awaited = [this] {
        return IsWaiting(m_status) && m_status != LinkStatus::BinaryDump;
    };
    while (const auto item = m_frames.next(awaited())) {
        if (item->kind == FrameAssembler::Item::Noise) {
            reportNoise(item->noise);
            continue;
        }
        if (item->kind == FrameAssembler::Item::Refusal) {
            // The instrument could not take the command: a bad block.
            logLine(LiteralMessage(5549, {ToLogText(item->bytes)}));
            if (!retryLeft(FailureCause::Refused))
                return;
            if (m_retryCount > 1)
                post([this, n = m_retryCount] { emit ConnectRetry(n); });
            if (isBarredFromResend(m_state.LastFrame))
                m_frames.clear();
            else
                DataSend(m_state.LastFrame, Send::Resend);
            return;
        }
        const QByteArray& block = item->bytes;
        dropNoise();
        m_lastBlock = block;
        if (!isReplyToCommand(block)) {
            // A late answer to an earlier command: taking it would put every later reply
            // one command behind.
            logBabble(LiteralMessage(5549, {ToLogText(block)}));
            logBabble(QStringLiteral("<<< Reply to another command dropped >>>"));
            continue;
        }
        // Every reply to the exchange is logged: the log exists to show them. Its line goes to
        // the file with the next one, after the request that may follow has left.
        flushSuppressed();
        DeferSerialLog(LiteralMessage(5549, {ToLogText(block)}));
        if (!m_decoder.DecodeResponse(block)) {
            rejectBlock();
        } else if (block.back() == Ctl::ETB) {
            DataSend(BlockAcknowledgement(m_commandFrame, true), Send::Start);
        } else {
            setStatus(LinkStatus::Done);
        }
    }
}

bool uclHbif::isReplyToCommand(const QByteArray& block) const {
    // A short or damaged block is the decoder's to reject and counts as a bad block.
    if (block.size() < MinBlockLength || (m_state.VerifyChecksum && !BlockChecksumOk(block)))
        return true;
    const BlockParts parts = SplitBlock(block);
    const QByteArray expected = CommandKey(m_commandFrame);
    if (parts.key != expected)
        return false;
    // Replies that name the entry they carry must name the one asked for.
    if (PolicyOf(expected) & CommandPolicy::EchoesSelector) {
        const QByteArray asked = CommandData(m_commandFrame);
        const QByteArray given = parts.data.left(parts.data.indexOf(','));
        return sameSelector(asked, given);
    }
    return true;
}

void uclHbif::rejectBlock() {
    if (!retryLeft(FailureCause::Refused))
        return;
    if (m_status == LinkStatus::WaitRead || m_status == LinkStatus::WaitWrite)
        resendUnlessBarred();
    else
        DataSend(BlockAcknowledgement(m_commandFrame, false), Send::Resend);
}

void uclHbif::resendUnlessBarred() {
    if (!isBarredFromResend(m_state.LastFrame))
        DataSend(m_state.LastFrame, Send::Resend);
}

// --- line events -----------------------------------------------------------------------------

void uclHbif::lineDown() {
    // The instrument is gone: an exchange in flight has failed, whatever it was waiting for.
    m_state.LinkMode = ConnectMode::NotConnected;
    m_retryCount = 0;
    if (IsWaiting(m_status))
        failExchange(FailureCause::Line);
    if (!m_lineDownRaised) {
        m_lineDownRaised = true;
        post([this] { emit OnDisconnect(); });
    }
}

void uclHbif::serialEvent(PortControl* port, int code) {
    if (code >= PortEvent::BreakSignal && code <= PortEvent::DeviceControlError)
        ++m_lineErrors;
    const auto logError = [this](int message) { logLine(LoadMessage(message, {nowText()})); };
    // A line error ends the exchange it hit as a failure; with no exchange running there is
    // nothing to end.
    const auto fail = [this] {
        if (IsWaiting(m_status))
            failExchange(FailureCause::Line);
    };
    switch (code) {
    case PortEvent::CtsChanged:
    case PortEvent::DsrChanged:
        if (port->modemStatus() & (ModemCts | ModemDsr)) {
            m_lineDownRaised = false;
            if (m_state.LinkMode != ConnectMode::Connected) {
                m_state.LinkMode = ConnectMode::Connecting;
                m_retryCount = 0;
            }
        } else {
            lineDown();
        }
        break;
    case PortEvent::BreakSignal:
        logError(5542);
        break;
    case PortEvent::FramingError:
        logError(5543);
        fail();
        break;
    case PortEvent::Overrun:
        logError(5544);
        fail();
        break;
    case PortEvent::ReceiveOverflow:
        logError(5545);
        fail();
        break;
    case PortEvent::ParityError:
        logError(5546);
        fail();
        break;
    case PortEvent::SendOverflow:
        // A frame that could not be written was not sent: no reply can confirm it.
        if (m_state.LinkMode != ConnectMode::Connecting) {
            logError(5547);
            fail();
        }
        break;
    case PortEvent::DeviceControlError:
        logError(5548);
        fail();
        break;
    default:
        break;
    }
}

void uclHbif::irdaEvent(int code, int detail) {
    if (code == PortEvent::LinkUp) {
        if (m_state.LinkMode == ConnectMode::NotConnected) {
            logLine(LoadMessage(5550, {nowText()}));
            m_retryCount = 0;
            m_frames.clear();
            m_ticks = 0;
            m_state.LinkMode = ConnectMode::Connecting;
        }
        return;
    }
    setStatus(LinkStatus::Failed);
    if (code == PortEvent::SocketError) {
        logLine(QStringLiteral("Soket Error[%1](%2)").arg(nowText()).arg(detail));
        post([this, detail] { emit IrDAError(qint16(detail)); });
    } else {
        logLine(QStringLiteral("IrDA Error[%1][%2] (%3)").arg(nowText()).arg(code).arg(detail));
    }
}

// --- timers ----------------------------------------------------------------------------------

void uclHbif::onLinkTick() {
    ++m_ticks;
    // Once the babble pauses, the count of what it cost is written at once, not only when
    // something else is logged.
    if (m_rxLogSuppressed > 0 && m_rxLogClock.elapsed() >= 1000 / LinkLimits::RxLogPerSecond)
        flushSuppressed();
    // No port signals its modem lines; the tick reads them and raises their changes.
    if (PortControl* port = ActivePort())
        port->pollModemLines();
    if (m_state.LinkMode == ConnectMode::Reopen) {
        if (m_serial && !m_serial->isOpen())
            m_serial->open();
        setStatus(LinkStatus::Idle);
        m_state.LinkMode = ConnectMode::Connecting;
        m_ticks = 0;
    }
    if (m_state.LinkMode == ConnectMode::Connecting)
        connectStep();
    else
        timeoutStep(); // connected or not: an exchange that waits must end
    reopenStep();
    if (m_serviceCounter < 1) {
        if (m_irda)
            m_irda->service();
        m_serviceCounter = m_timings.IrDAServiceTicks;
    } else {
        --m_serviceCounter;
    }
    checkWait();
}

void uclHbif::reopenStep() {
    PortControl* port = ActivePort();
    if (!m_autoReopen || !port || !port->lost())
        return;
    if (++m_reopenTicks < m_timings.ReopenPollTicks)
        return;
    m_reopenTicks = 0;
    if (!port->reopen())
        return;
    logLine(QStringLiteral("--- Adapter back on %1: reconnecting. Date = %2 ---")
                .arg(port->portName(), nowText()));
    setStatus(LinkStatus::Idle);
    m_retryCount = 0;
    m_ticks = 0;
    m_state.LinkMode = ConnectMode::Connecting;
}

void uclHbif::connectStep() {
    if (m_status != LinkStatus::WaitRead) {
        logLine(LoadMessage(5512));
        if (m_retryCount < m_retry) {
            ++m_retryCount;
            constexpr int every = LinkDefaults::ConnectRetryEvery;
            if (m_retryCount % every == 0 && m_retryCount > 1)
                post([this, n = qint16(m_retryCount / every)] { emit ConnectRetry(n); });
            setStatus(LinkStatus::WaitRead);
            DataSend(BuildFrame(CommandPayload(Key::Connect), Ctl::EOT), Send::Resend);
        } else {
            setStatus(LinkStatus::Idle);
            m_state.LinkMode = ConnectMode::NotConnected;
            post([this] { emit AlarmMessage(LoadMessage(5405)); });
        }
        m_ticks = 0;
    } else if (m_ticks > m_timings.ConnectReplyTicks) {
        // No reply in time: the next tick asks again.
        setStatus(LinkStatus::Idle);
        m_state.LinkMode = ConnectMode::Connecting;
        m_ticks = 0;
    }
}

void uclHbif::timeoutStep() {
    if (m_ticksLeft > 0) {
        --m_ticksLeft;
        return;
    }
    if (!IsWaiting(m_status)) {
        // A cancelled operation whose resends are spent leaves the link free again.
        if (m_status == LinkStatus::Cancelled && m_retryCount >= m_retry)
            setStatus(LinkStatus::Released);
        return;
    }
    if (!retryLeft(FailureCause::NoAnswer))
        return;
    switch (m_status) {
    case LinkStatus::BlockTransfer:
        if (m_state.LastFrame.endsWith(Ctl::EOT))
            DataSend(m_state.LastFrame, Send::Resend);
        else
            DataSend(BlockAcknowledgement(m_commandFrame, false), Send::Resend);
        break;
    case LinkStatus::WaitRead:
    case LinkStatus::WaitWrite:
        resendUnlessBarred();
        break;
    case LinkStatus::BinaryDump:
        logLine(QStringLiteral("= timeout ="));
        m_binaryRetry = true;
        // The dump's own way out, not the operator's cancel: CancelCount stays.
        m_cancel = true;
        checkWait();
        break;
    default:
        break;
    }
}

void uclHbif::onDenstyTick() {
    // Without an instrument there is nothing to poll.
    if (!Connected())
        return;
    if (m_status == LinkStatus::Released || m_status == LinkStatus::Done) {
        setStatus(LinkStatus::WaitRead);
        m_retryCount = 0;
        DataSend(BuildFrame(CommandPayload(Key::LiveRead), Ctl::EOT), Send::Start);
    } else if (m_status == LinkStatus::WaitRead) {
        logLine(LoadMessage(5560, {nowText()}));
        setStatus(LinkStatus::Released);
    }
}
