#pragma once

#include "link/FrameAssembler.h"
#include "link/LinkState.h"
#include "link/ResponseDecoder.h"
#include "link/SequenceTimings.h"
#include "model/clsInstrument.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <functional>

class PortControl;
class QEventLoop;

// The communications control: owns the port controls, sends one frame at a time, collects
// received bytes into blocks, decodes them into the current instrument record, acknowledges
// multi-block replies, times out and resends, runs the connect sequence and the live-reading
// poll, and reports to its host through its events. Lives on the GUI thread; an operation
// starts an exchange and then waits in a local event loop while Status keeps its waiting
// value, with the timers and port events running inside that wait.
//
// Whatever the line does, an exchange ends: a lost line, a vanished adapter or a port error
// fails it, and its time-out runs whether or not the link is connected.
class uclHbif : public QObject {
    Q_OBJECT
public:
    static constexpr int BinaryBlockSize = 512;

    explicit uclHbif(QObject* parent = nullptr);
    ~uclHbif() override;

    // Port controls, given by the host that opens the link (none until then). A control is owned
    // when its parent is this object, and then deleted when replaced.
    PortControl* SerialControl() const { return m_serial; }
    void setSerialControl(PortControl* port);
    PortControl* IrDAControl() const { return m_irda; }
    void setIrDAControl(PortControl* port);
    // The IrDA control when SerialComm is False and it is available, else the serial control
    // (null before the host gave one).
    PortControl* ActivePort() const;

    // The state of the exchange. Only the link moves it; operations use the verbs below.
    LinkStatus Status() const { return m_status; }
    // No exchange runs; the live-reading poll may send again.
    void release() { setStatus(LinkStatus::Released); }
    // The record holds what the host put there (defaults, a settings file): the link stands as
    // after a finished exchange, with nothing sent.
    void markDone() { setStatus(LinkStatus::Done); }
    // Raw memory bytes or the blocks of a multi-block reply are about to arrive.
    void beginBinaryDump() { setStatus(LinkStatus::BinaryDump); }
    void beginBlockTransfer() { setStatus(LinkStatus::BlockTransfer); }
    // The instrument went away on purpose (power off): not connected, back to start-up.
    void dropConnection();
    // A waiting operation looks at its condition again (a timer of its own has run out).
    void wake() { checkWait(); }
    // Why the last exchange that failed did; None once a new exchange starts.
    FailureCause LastFailure() const { return m_lastFailure; }
    ConnectMode LinkMode() const { return m_state.LinkMode; }
    bool Connected() const { return m_state.LinkMode == ConnectMode::Connected; }
    bool SerialComm() const { return m_serialComm; }
    void setSerialComm(bool on) { m_serialComm = on; }

    // Set by the host when it opens the link.
    bool VerifyChecksum() const { return m_state.VerifyChecksum; }
    void setVerifyChecksum(bool on) { m_state.VerifyChecksum = on; }
    // Whether an adapter that vanished is looked for and opened again when it comes back (the
    // program: yes; a one-shot command-line run: no, it reports the failure).
    bool AutoReopen() const { return m_autoReopen; }
    void setAutoReopen(bool on) { m_autoReopen = on; }

    // Seconds; held as ticks of the link timer (value x 10).
    qint16 Timeout() const { return qint16(m_timeoutTicks / LinkDefaults::TicksPerSecond); }
    void setTimeout(qint16 seconds);
    // The time-out in link ticks, for a time-out that is not a whole number of seconds.
    qint16 TimeoutTickCount() const { return m_timeoutTicks; }
    void setTimeoutTicks(qint16 ticks) { m_timeoutTicks = qMax<qint16>(ticks, 0); }
    qint16 Retry() const { return m_retry; }
    void setRetry(qint16 n) { m_retry = n; }
    qint16 RetryCount() const { return m_retryCount; }
    qint16 TimeoutTicks() const { return m_ticksLeft; }
    qint32 TickCount() const { return m_ticks; }
    void resetTickCount() { m_ticks = 0; }
    int LineErrorCount() const { return m_lineErrors; }

    QByteArray LastFrame() const { return m_state.LastFrame; }
    QByteArray RxBuffer() const { return m_frames.buffer(); }
    QByteArray LastBlock() const { return m_lastBlock; }
    bool Cancel() const { return m_cancel; }
    void setCancel(bool on);
    // Whether Cancel was set during the last operation (OperationScope clears Cancel itself).
    bool WasCancelled() const { return m_wasCancelled || m_cancel; }
    // How often Cancel has been set: a session tells an operation the operator cancelled from
    // one that failed, however many sequences it ran.
    quint32 CancelCount() const { return m_cancelCount; }
    void beginOperation();
    void endOperation();
    bool BinaryRetry() const { return m_binaryRetry; }
    void setBinaryRetry(bool on) { m_binaryRetry = on; }
    QString BinDumpPath() const { return m_binDumpPath; }
    void setBinDumpPath(const QString& path) { m_binDumpPath = path; }

    // The record decoding fills. A null record is refused.
    clsInstrument* Instrument() const { return m_state.Instrument; }
    void setInstrument(clsInstrument* record);

    // Per-sensor results of the last zero and span commands (sensor 0..4).
    bool ZeroStatus(int sensor) const;
    bool SpanStatus(int sensor) const;
    QString ZeroResult() const { return m_state.ZeroResult; }
    QString SpanResult() const { return m_state.SpanResult; }
    // Forget a result, so that a run that fails cannot show an earlier run's.
    void clearZeroResult() { m_state.ZeroResult.clear(); }
    void clearSpanResult() { m_state.SpanResult.clear(); }
    // Whether the last clear/default poll carried ACK.
    bool Completion() const { return m_state.Completion; }
    void setCompletion(bool on) { m_state.Completion = on; }
    // Token 0 of the last accepted Key::Nitrogen reply.
    QString ReturnedText() const { return m_state.ReturnedText; }
    void setReturnedText(const QString& text) { m_state.ReturnedText = text; }
    // Data text of the last connect reply.
    QString ConnectReply() const { return m_state.ConnectReply; }
    // The dump-listing line buffer; the hex list writer sets its full handler.
    HexListBuffer& DumpList() { return m_state.DumpList; }

    // Timers. The intervals are settings: 100 ms and 1000 ms in the program, a few ms in tests.
    bool TimerEnabled() const { return m_linkTimer.isActive(); }
    void setTimerEnabled(bool on);
    int LinkTickInterval() const { return m_linkTimer.interval(); }
    void setLinkTickInterval(int ms) { m_linkTimer.setInterval(ms); }
    int DenstyInterval() const { return m_denstyTimer.interval(); }
    void setDenstyInterval(int ms) { m_denstyTimer.setInterval(ms); }
    bool RunDensty() const { return m_denstyTimer.isActive(); }
    void setRunDensty(bool on);
    // One tick of the link timer, for a test that stops the timer and counts ticks itself.
    void tick() { onLinkTick(); }
    // Waits and bounds of the read, write and dump sequences that run on this link.
    SequenceTimings& Timings() { return m_timings; }
    const SequenceTimings& Timings() const { return m_timings; }

    // Sends a whole frame. Send::Start marks the start of an exchange (RetryCount = 0); a
    // resend goes on counting. A port that does not take the frame fails the exchange.
    enum class Send { Start, Resend };
    void DataSend(const QByteArray& frame, Send kind);
    void AddLog(const QString& text);
    // Tick counter 0, Status 2; returns False.
    bool DisConnect();
    bool DecodeResponse(const QByteArray& block) { return m_decoder.DecodeResponse(block); }

    // Waiting in a local event loop. Each returns false at once, without waiting, when another
    // wait is already running (an operation started from inside a wait); true when the
    // condition ended. The condition is looked at again whenever Status, Cancel or the tick
    // counter move.
    bool isWaiting() const { return m_loop != nullptr; }
    bool waitWhile(const std::function<bool()>& condition);
    bool waitWhileStatus(LinkStatus value);
    // Resets the tick counter and waits until it reaches `ticks`.
    bool waitTicks(qint32 ticks);
    // One exchange: Status = waitStatus (WaitRead or WaitWrite), send the payload with EOT as
    // the start of an exchange, wait while Status keeps that value. True when it ended Done.
    // Refused (false, nothing sent) while another wait runs.
    bool Exchange(const QString& payload, LinkStatus waitStatus);

    // Binary dump: while Status is BinaryDump, and while a sink is set and no exchange waits,
    // every received byte goes to the sink; while Status is BinaryDump it says whether the
    // block is complete or has failed.
    enum class BinaryBlock { More, Complete, Error };
    using BinarySink = std::function<BinaryBlock(const QByteArray& bytes)>;
    void setBinarySink(BinarySink sink) { m_binarySink = std::move(sink); }

signals:
    void OnConnect();
    void Densty(float v0, float v1, float v2, float v3, float v4);
    void ConnectRetry(qint16 count);
    void AlarmMessage(const QString& text);
    void DumpMessage(const QString& text);
    void OnDisconnect();
    void IrDAError(qint16 code);
    // An operation failed in a way the operator must hear (a memory download that broke off).
    void Beep();

private:
    friend class LinkTestAccess; // tests put the link into a state without a wire behind it
    void setStatus(LinkStatus value);
    void setLinkMode(ConnectMode mode) { m_state.LinkMode = mode; }
    void attachPort(PortControl* port);
    void onPortEvent(PortControl* port, int code, int detail);
    void receive(PortControl* port);
    void takeBlocks();
    void dropNoise();
    void reportNoise(qint64 bytes);
    bool retryLeft(FailureCause why);
    bool isReplyToCommand(const QByteArray& block) const;
    void rejectBlock();
    void resendUnlessBarred();
    void failExchange(FailureCause why);
    void lineDown();
    void serialEvent(PortControl* port, int code);
    void irdaEvent(int code, int detail);
    void onLinkTick();
    void connectStep();
    void timeoutStep();
    void reopenStep();
    void onDenstyTick();
    void checkWait();
    // Every line the link writes to the communication log goes through logLine; lines about
    // what is not a reply to the exchange go through logBabble's allowance.
    void logLine(const QString& text);
    void logBabble(const QString& text);
    void flushSuppressed();
    template <typename F> void post(F&& f) {
        QMetaObject::invokeMethod(this, std::forward<F>(f), Qt::QueuedConnection);
    }

    clsInstrument m_ownRecord; // decoding target until the host gives its record
    LinkState m_state;
    ResponseDecoder m_decoder;
    PortControl* m_serial = nullptr;
    PortControl* m_irda = nullptr;
    QTimer m_linkTimer;
    QTimer m_denstyTimer;
    SequenceTimings m_timings;

    LinkStatus m_status = LinkStatus::Idle;
    FailureCause m_lastFailure = FailureCause::None;
    bool m_serialComm = true;
    bool m_autoReopen = false;
    bool m_lineDownRaised = false;
    qint16 m_timeoutTicks = 30;
    qint16 m_ticksLeft = 0;
    qint16 m_retry = 3;
    qint16 m_retryCount = 0;
    qint32 m_ticks = 0;
    qint32 m_reopenTicks = 0;
    int m_serviceCounter = SequenceTimings{}.IrDAServiceTicks;
    int m_lineErrors = 0;
    FrameAssembler m_frames{LinkLimits::RxBufferLimit};
    QByteArray m_lastBlock;
    QByteArray m_commandFrame; // the command the current exchange answers
    bool m_cancel = false;
    quint32 m_cancelCount = 0;
    bool m_wasCancelled = false;
    bool m_binaryRetry = false;
    QString m_binDumpPath;
    BinarySink m_binarySink;

    // The communication log's allowance for lines about noise and stray replies (a token
    // bucket).
    QElapsedTimer m_rxLogClock;
    double m_rxLogTokens = LinkLimits::RxLogBurst;
    qint64 m_rxLogSuppressed = 0;

    QEventLoop* m_loop = nullptr;
    bool m_loopQuitting = false; // the wait's condition is met; its loop was told once
    const std::function<bool()>* m_waitCondition = nullptr;
};

// Cancel belongs to one operation: cleared when the operation starts, so that a cancel left
// from an earlier one cannot end it at its first reply, and when it ends, so that nothing is
// left to stop the live readings or the next command.
class OperationScope {
public:
    explicit OperationScope(uclHbif& link) : m_link(link) { m_link.beginOperation(); }
    ~OperationScope() { m_link.endOperation(); }
    OperationScope(const OperationScope&) = delete;
    OperationScope& operator=(const OperationScope&) = delete;

private:
    uclHbif& m_link;
};
