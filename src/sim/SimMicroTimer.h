#pragma once

#include <QObject>
#include <QTimer>

class QSocketNotifier;

// A single-shot timer with microsecond resolution for the line pacing: Qt's timers count whole
// milliseconds, which would hold every short reply back by up to a millisecond more than the
// line needs. On Linux it is a timerfd watched by the event loop; elsewhere a precise QTimer.
class SimMicroTimer : public QObject {
    Q_OBJECT
public:
    explicit SimMicroTimer(QObject* parent = nullptr);
    ~SimMicroTimer() override;

    // Fires once after `us` microseconds (0: on the next turn of the event loop).
    void start(qint64 us);
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
};
