#include "sim/SimMicroTimer.h"

#include <QSocketNotifier>

#ifdef Q_OS_LINUX
#include <sys/timerfd.h>
#include <unistd.h>
#endif

SimMicroTimer::SimMicroTimer(QObject* parent) : QObject(parent) {
    m_fallback.setSingleShot(true);
    m_fallback.setTimerType(Qt::PreciseTimer);
    connect(&m_fallback, &QTimer::timeout, this, &SimMicroTimer::fire);
#ifdef Q_OS_LINUX
    m_fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_fd >= 0) {
        m_notifier = new QSocketNotifier(qintptr(m_fd), QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, [this] {
            quint64 expirations = 0;
            if (::read(m_fd, &expirations, sizeof expirations) > 0)
                fire();
        });
    }
#endif
}

SimMicroTimer::~SimMicroTimer() {
#ifdef Q_OS_LINUX
    if (m_fd >= 0)
        ::close(m_fd);
#endif
}

void SimMicroTimer::start(qint64 us) {
    m_active = true;
#ifdef Q_OS_LINUX
    if (m_fd >= 0) {
        itimerspec timing{};
        const qint64 ns = qMax<qint64>(us, 1) * 1000; // 0 would disarm the timer
        timing.it_value.tv_sec = time_t(ns / 1000000000);
        timing.it_value.tv_nsec = long(ns % 1000000000);
        timerfd_settime(m_fd, 0, &timing, nullptr);
        return;
    }
#endif
    m_fallback.start(int((us + 999) / 1000));
}

void SimMicroTimer::stop() {
    m_active = false;
    m_fallback.stop();
#ifdef Q_OS_LINUX
    if (m_fd >= 0) {
        itimerspec timing{};
        timerfd_settime(m_fd, 0, &timing, nullptr);
        quint64 expirations = 0;
        [[maybe_unused]] const ssize_t drained = ::read(m_fd, &expirations, sizeof expirations);
    }
#endif
}

void SimMicroTimer::fire() {
    if (!m_active)
        return;
    m_active = false;
    emit timeout();
}
