#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QSocketNotifier;

// A single-shot timer with microsecond resolution for the line pacing: Qt's timers count whole
// milliseconds, which would hold every short reply back by up to a millisecond more than the
// line needs. On Linux it is a timerfd watched by the event loop; elsewhere a precise QTimer.
//
// The event loop wakes tens of microseconds after the kernel timer expires, as long as a few
// bytes take at the fastest line speeds. A punctual start therefore asks to be woken that
// much early (the lateness the timer has been seeing, at most MaxLeadUs) and waits out the
// rest on the clock, so that it fires on time and never before.
class SimMicroTimer : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 MaxLeadUs = 100;

    explicit SimMicroTimer(QObject* parent = nullptr);
    ~SimMicroTimer() override;

    // Fires once after `us` microseconds (0: on the next turn of the event loop); when
    // punctual, as close to it as the clock allows.
    void start(qint64 us, bool punctual = false);
    void stop();
    bool isActive() const { return m_active; }

signals:
    void timeout();

private:
    void fire();
    void fdExpired();
    void disarmFd();

    int m_fd = -1;
    bool m_fdArmed = false;
    QSocketNotifier* m_notifier = nullptr;
    QTimer m_fallback;
    bool m_active = false;
    QElapsedTimer m_clock;
    qint64 m_dueNs = 0;  // when to fire, on m_clock
    qint64 m_wakeNs = 0; // when the kernel timer was set to expire, on m_clock
    qint64 m_leadNs = 0; // the wake-up lateness lately seen (a running average)
};
