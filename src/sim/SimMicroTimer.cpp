#include "sim/SimMicroTimer.h"

#include <QSocketNotifier>

#include <algorithm>

#ifdef Q_OS_LINUX
#include <sys/timerfd.h>
#include <unistd.h>
#endif

SimMicroTimer::SimMicroTimer(QObject* parent) : QObject(parent) {
    m_clock.start();
    m_fallback.setSingleShot(true);
    m_fallback.setTimerType(Qt::PreciseTimer);
    connect(&m_fallback, &QTimer::timeout, this, &SimMicroTimer::fire);
#ifdef Q_OS_LINUX
    m_fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_fd >= 0) {
        m_notifier = new QSocketNotifier(qintptr(m_fd), QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &SimMicroTimer::fdExpired);
    }
#endif
}

SimMicroTimer::~SimMicroTimer() {
#ifdef Q_OS_LINUX
    if (m_fd >= 0)
        ::close(m_fd);
#endif
}

void SimMicroTimer::start(qint64 us, bool punctual) {
    m_active = true;
#ifdef Q_OS_LINUX
    if (m_fd >= 0 && us > 0) {
        m_fallback.stop();
        const qint64 now = m_clock.nsecsElapsed();
        m_dueNs = now + us * 1000;
        // 0 would disarm the timer.
        const qint64 ns = std::max<qint64>(1000, us * 1000 - (punctual ? m_leadNs : 0));
        m_wakeNs = now + ns;
        itimerspec timing{};
        timing.it_value.tv_sec = time_t(ns / 1000000000);
        timing.it_value.tv_nsec = long(ns % 1000000000);
        timerfd_settime(m_fd, 0, &timing, nullptr);
        m_fdArmed = true;
        return;
    }
    disarmFd();
#endif
    // A zero wait needs no system timer: the next turn of the event loop.
    m_fallback.start(int((us + 999) / 1000));
}

void SimMicroTimer::stop() {
    m_active = false;
    m_fallback.stop();
    disarmFd();
}

void SimMicroTimer::fdExpired() {
#ifdef Q_OS_LINUX
    quint64 expirations = 0;
    if (::read(m_fd, &expirations, sizeof expirations) <= 0)
        return;
    m_fdArmed = false;
    const qint64 woke = m_clock.nsecsElapsed();
    const qint64 late = std::clamp<qint64>(woke - m_wakeNs, 0, MaxLeadUs * 1000);
    m_leadNs += (late - m_leadNs) / 8;
    while (m_clock.nsecsElapsed() < m_dueNs) {
        // At most the lead: too short to give the processor away for.
    }
    fire();
#endif
}

void SimMicroTimer::disarmFd() {
#ifdef Q_OS_LINUX
    if (!m_fdArmed)
        return;
    m_fdArmed = false;
    itimerspec timing{};
    timerfd_settime(m_fd, 0, &timing, nullptr);
    quint64 expirations = 0;
    [[maybe_unused]] const ssize_t drained = ::read(m_fd, &expirations, sizeof expirations);
#endif
}

void SimMicroTimer::fire() {
    if (!m_active)
        return;
    m_active = false;
    emit timeout();
}
