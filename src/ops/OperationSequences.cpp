#include "ops/OperationSequences.h"

#include "app/AppDate.h"
#include "app/MessageTable.h"
#include "link/PortControl.h"
#include "link/uclHbif.h"
#include "model/CommandSet.h"

#include <QElapsedTimer>

namespace {

QString nowText() {
    return AppDate::now().general();
}

} // namespace

QString OperationSequences::PollLimitLogText(const QString& code) {
    return QStringLiteral("= %1 poll limit reached =").arg(code);
}

QString OperationSequences::PollCancelledLogText(const QString& code) {
    return QStringLiteral("= %1 poll cancelled =").arg(code);
}

bool OperationSequences::pause(int ticks) {
    if (m_link.isWaiting())
        return false;
    m_link.resetTickCount();
    m_link.waitWhile([this, ticks] { return m_link.TickCount() < ticks && !m_link.Cancel(); });
    return !m_link.Cancel();
}

void OperationSequences::logGiveUp(PollEnd end, const QString& code) {
    if (end == PollEnd::Limit)
        m_link.AddLog(PollLimitLogText(code));
    else if (end == PollEnd::Cancelled)
        m_link.AddLog(PollCancelledLogText(code));
}

OperationSequences::PollEnd OperationSequences::startAndPoll(Key start, Key poll,
                                                             LinkStatus pollStatus) {
    if (!m_link.Exchange(CommandPayload(start), LinkStatus::WaitWrite))
        return PollEnd::Failed;
    m_link.setCompletion(false);
    QElapsedTimer clock;
    clock.start();
    const SequenceTimings& t = m_link.Timings();
    for (;;) {
        if (!pause(t.ClearPollTicks))
            return PollEnd::Cancelled;
        if (!m_link.Exchange(CommandPayload(poll), pollStatus))
            return m_link.Cancel() ? PollEnd::Cancelled : PollEnd::Failed;
        if (m_link.Completion())
            return PollEnd::Done;
        if (clock.elapsed() >= t.PollLimitMs)
            return PollEnd::Limit;
    }
}

bool OperationSequences::clearSequence(Key start, Key poll) {
    const OperationScope scope(m_link);
    m_link.AddLog(LoadMessage(5556));
    const PollEnd end = startAndPoll(start, poll, LinkStatus::WaitWrite);
    logGiveUp(end, CommandCode(start));
    m_link.AddLog(LoadMessage(end == PollEnd::Done ? 5557 : 5558));
    return end == PollEnd::Done;
}

bool OperationSequences::BodyDataClear() {
    return clearSequence(Key::BodyClear, Key::BodyClearPoll);
}

bool OperationSequences::PowerDataClear() {
    return clearSequence(Key::PowerClear, Key::PowerClearPoll);
}

bool OperationSequences::DefaultInstrument() {
    const OperationScope scope(m_link);
    const PollEnd end = startAndPoll(Key::Defaults, Key::DefaultsPoll, LinkStatus::WaitRead);
    logGiveUp(end, CommandCode(Key::Defaults));
    m_link.AddLog(LoadMessage(end == PollEnd::Done ? 5375 : 5376));
    return end == PollEnd::Done;
}

bool OperationSequences::BodyPowerOff() {
    const OperationScope scope(m_link);
    m_link.AddLog(LoadMessage(5506));
    m_link.Exchange(CommandPayload(Key::PowerOff), LinkStatus::WaitWrite);
    if (PortControl* serial = m_link.SerialControl(); serial && serial->isOpen())
        serial->close();
    if (PortControl* irda = m_link.IrDAControl())
        irda->close();
    if (!m_link.isWaiting()) {
        m_link.resetTickCount();
        const qint32 ticks = m_link.Timings().PowerOffTicks;
        m_link.waitWhile([this, ticks] { return m_link.TickCount() < ticks; });
    }
    m_link.dropConnection();
    if (!m_link.SerialComm()) {
        if (PortControl* irda = m_link.IrDAControl())
            irda->open();
    }
    m_link.AddLog(LoadMessage(5507));
    return true;
}

bool OperationSequences::SetPump(bool on) {
    const OperationScope scope(m_link);
    return m_link.Exchange(CommandPayload(Key::Pump, on ? u"1" : u"0"), LinkStatus::WaitWrite);
}

bool OperationSequences::ZeroCal(const QString& data) {
    const OperationScope scope(m_link);
    m_link.clearZeroResult(); // a failed run must not leave the last run's results readable
    if (!m_link.Exchange(CommandPayload(Key::ZeroStart, data), LinkStatus::WaitWrite)) {
        m_link.AddLog(LoadMessage(5516, {nowText()}));
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    const SequenceTimings& t = m_link.Timings();
    PollEnd end = PollEnd::Failed;
    for (;;) {
        if (!pause(t.ZeroPollTicks)) {
            end = PollEnd::Cancelled;
            break;
        }
        if (!m_link.Exchange(CommandPayload(Key::ZeroPoll), LinkStatus::WaitWrite)) {
            end = m_link.Cancel() ? PollEnd::Cancelled : PollEnd::Failed;
            break;
        }
        if (m_link.ZeroResult().size() == 5) {
            end = PollEnd::Done;
            break;
        }
        if (clock.elapsed() >= t.PollLimitMs) {
            end = PollEnd::Limit;
            break;
        }
    }
    if (end == PollEnd::Limit || end == PollEnd::Cancelled) {
        logGiveUp(end, CommandCode(Key::ZeroStart));
        m_link.AddLog(LoadMessage(5516, {nowText()}));
    }
    return end == PollEnd::Done;
}

bool OperationSequences::SpanCal(const QString& data) {
    const OperationScope scope(m_link);
    m_link.clearSpanResult();
    if (m_link.Exchange(CommandPayload(Key::Span, data), LinkStatus::WaitWrite))
        return true;
    m_link.AddLog(LoadMessage(5516, {nowText()}));
    return false;
}

bool OperationSequences::zCal(const QString& o2) {
    const OperationScope scope(m_link);
    m_link.setReturnedText(QString());
    if (m_link.Exchange(CommandPayload(Key::Nitrogen, o2), LinkStatus::WaitWrite))
        return !m_link.ReturnedText().isEmpty();
    m_link.AddLog(LoadMessage(5516, {nowText()}));
    return false;
}
