#pragma once

#include "link/LinkState.h"
#include "link/ResponseDecoder.h"
#include "link/SequenceTimings.h"
#include "model/clsInstrument.h"

#include <QByteArray>
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
// Status: 0 idle, 2 released, 3 block transfer, 4 waiting for a read, 5 waiting for a write,
// 6 done, 7 failed, 8 cancelled, 9 binary dump.
class uclHbif : public QObject {
    Q_OBJECT
public:
    static constexpr int BinaryBlockSize = 512;
    // Received bytes without a block end are dropped past this many.
    static constexpr qsizetype RxBufferLimit = 4096;

    explicit uclHbif(QObject* parent = nullptr);
    ~uclHbif() override;

    // Port controls. The control made at creation is deleted when replaced; a control given
    // here is not owned unless its parent is this object.
    PortControl* SerialControl() const { return m_serial; }
    void setSerialControl(PortControl* port);
    PortControl* IrDAControl() const { return m_irda; }
    void setIrDAControl(PortControl* port);
    // The IrDA control when SerialComm is False and it is available, else the serial control.
    PortControl* ActivePort() const;

    qint32 Status() const { return m_status; }
    void setStatus(qint32 value);
    qint32 LinkMode() const { return m_state.LinkMode; }
    void setLinkMode(qint32 mode) { m_state.LinkMode = mode; }
    bool Connected() const { return m_state.LinkMode == 3; }
    bool SerialComm() const { return m_serialComm; }
    void setSerialComm(bool on) { m_serialComm = on; }

    // Seconds; held as ticks of the link timer (value x 10).
    qint16 Timeout() const { return qint16(m_timeoutTicks / 10); }
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
    QByteArray RxBuffer() const { return m_rx; }
    QByteArray LastBlock() const { return m_lastBlock; }
    bool Cancel() const { return m_cancel; }
    void setCancel(bool on);
    bool BinaryRetry() const { return m_binaryRetry; }
    void setBinaryRetry(bool on) { m_binaryRetry = on; }
    QString BinDumpPath() const { return m_binDumpPath; }
    void setBinDumpPath(const QString& path) { m_binDumpPath = path; }

    // The record decoding fills. A null record is refused.
    clsInstrument* Instrument() const { return m_state.Instrument; }
    void setInstrument(clsInstrument* record);

    // Five values kept for the calibration windows; IndexOutOfRange outside 0..4.
    qint32 FactCal(int index) const;
    void setFactCal(int index, qint32 value);
    // Per-sensor results of the last zero and span commands (sensor 0..4).
    bool ZeroStatus(int sensor) const;
    bool SpanStatus(int sensor) const;
    QString ZeroResult() const { return m_state.ZeroResult; }
    QString SpanResult() const { return m_state.SpanResult; }
    // Whether the last clear/default poll carried ACK.
    bool Completion() const { return m_state.Completion; }
    void setCompletion(bool on) { m_state.Completion = on; }
    // Token 0 of the last accepted "SN,W" reply.
    QString ReturnedText() const { return m_state.ReturnedText; }
    void setReturnedText(const QString& text) { m_state.ReturnedText = text; }
    // Data text of the last connect reply.
    QString ConnectReply() const { return m_state.ConnectReply; }
    // The dump-listing line buffer; the hex list writer sets its full handler.
    HexListBuffer& DumpList() { return m_state.DumpList; }

    // Forwarded to the port controls.
    bool Enabled() const { return m_enabled; }
    void setEnabled(bool on) { m_enabled = on; }
    int CommPort() const;
    void setCommPort(int number);
    bool PortOpen() const;
    void setPortOpen(bool open);
    bool DTREnable() const;
    void setDTREnable(bool on);
    bool RTSEnable() const;
    void setRTSEnable(bool on);
    int Handshaking() const;
    void setHandshaking(int mode);
    QString Settings() const;
    void setSettings(const QString& text);
    void setSystemBlock(qint32) {}

    // Timers. The intervals are settings: 100 ms and 1000 ms in the program, a few ms in tests.
    bool TimerEnabled() const { return m_linkTimer.isActive(); }
    void setTimerEnabled(bool on);
    int LinkTickInterval() const { return m_linkTimer.interval(); }
    void setLinkTickInterval(int ms) { m_linkTimer.setInterval(ms); }
    int DenstyInterval() const { return m_denstyTimer.interval(); }
    void setDenstyInterval(int ms) { m_denstyTimer.setInterval(ms); }
    bool RunDensty() const { return m_denstyTimer.isActive(); }
    void setRunDensty(bool on);
    // Waits and bounds of the read, write and dump sequences that run on this link.
    SequenceTimings& Timings() { return m_timings; }
    const SequenceTimings& Timings() const { return m_timings; }

    // Sends a whole frame; start marks the start of an exchange (RetryCount = 0).
    void DataSend(const QByteArray& frame, bool start);
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
    bool waitWhileStatus(qint32 value);
    // Resets the tick counter and waits until it reaches `ticks`.
    bool waitTicks(qint32 ticks);
    // One exchange: Status = waitStatus (4 or 5), send the payload with EOT as the start of an
    // exchange, wait while Status keeps that value. True when it ended with 6. Refused (false,
    // nothing sent) while another wait runs.
    bool Exchange(const QString& payload, qint32 waitStatus);

    // Binary dump: the next bytes received while Status is 9 go to BinDumpPath from this
    // file offset; 512 of them end the block (Status 6).
    void beginBinaryBlock(qint64 offset);
    qint64 BinaryOffset() const { return m_binOffset; }
    qint64 BinaryCount() const { return m_binCount; }

signals:
    void OnConnect();
    void Densty(float v0, float v1, float v2, float v3, float v4);
    void ConnectRetry(qint16 count);
    void InstMessage(const QString& text);
    void InterMessage(const QString& text);
    void AlarmMessage(const QString& text);
    void DumpMessage(const QString& text);
    void OnDisconnect();
    void IrDAError(qint16 code);
    void StsTransmit();
    void StsIdle();

private:
    void attachPort(PortControl* port);
    void onPortEvent(PortControl* port, int code, int detail);
    void receive(PortControl* port, bool irda);
    void takeBlocks();
    bool isReplyToCommand(const QByteArray& block) const;
    void rejectBlock();
    void resendUnlessBarred();
    void writeDumpBytes(const QByteArray& bytes);
    void serialEvent(PortControl* port, int code);
    void irdaEvent(int code, int detail);
    void onLinkTick();
    void connectStep();
    void timeoutStep();
    void onDenstyTick();
    void checkWait();
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

    qint32 m_status = 0;
    bool m_serialComm = true;
    bool m_enabled = true;
    qint16 m_timeoutTicks = 30;
    qint16 m_ticksLeft = 0;
    qint16 m_retry = 3;
    qint16 m_retryCount = 0;
    qint32 m_ticks = 0;
    int m_serviceCounter = 5;
    int m_lineErrors = 0;
    QByteArray m_rx;
    QByteArray m_lastBlock;
    QByteArray m_commandFrame; // the command the current exchange answers
    bool m_cancel = false;
    bool m_binaryRetry = false;
    QString m_binDumpPath;
    qint64 m_binOffset = 0;
    qint64 m_binCount = 0;
    std::array<qint32, 5> m_factCal{};

    QEventLoop* m_loop = nullptr;
    const std::function<bool()>* m_waitCondition = nullptr;
};
