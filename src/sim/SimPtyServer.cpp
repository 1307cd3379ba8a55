#include "sim/SimPtyServer.h"

#include "sim/SimInstrument.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/inotify.h>
#endif

namespace {

// How often a closed peer is checked for having opened the port again.
constexpr int PeerPollMs = 20;
// Output kept for a peer that does not read; beyond it the oldest output is the PC's loss.
constexpr qsizetype MaxPendingOutput = 1 << 20;

} // namespace

SimPtyServer::SimPtyServer(SimInstrument* instrument, QObject* parent)
    : QObject(parent), m_instrument(instrument) {
    m_peerPoll.setInterval(PeerPollMs);
    connect(&m_peerPoll, &QTimer::timeout, this, &SimPtyServer::checkPeer);
    connect(m_instrument, &SimInstrument::transmit, this, &SimPtyServer::send);
}

SimPtyServer::~SimPtyServer() {
    if (m_watch >= 0)
        ::close(m_watch);
    if (m_master >= 0)
        ::close(m_master);
}

bool SimPtyServer::open(QString* error) {
    const auto fail = [&](const char* what) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(QLatin1String(what),
                                                  QString::fromLocal8Bit(std::strerror(errno)));
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
        return false;
    };
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0)
        return fail("posix_openpt");
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        return fail("grantpt/unlockpt");
    const char* name = ::ptsname(m_master);
    if (!name)
        return fail("ptsname");
    m_slavePath = QString::fromLocal8Bit(name);
    const int flags = ::fcntl(m_master, F_GETFL);
    if (flags < 0 || ::fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0)
        return fail("fcntl");

    // Raw mode, set once through the slave: the line discipline must not echo, translate
    // or buffer lines. The setting outlives this descriptor while the master stays open.
    const int slave = ::open(name, O_RDWR | O_NOCTTY);
    if (slave < 0)
        return fail("open slave");
    termios tio{};
    if (::tcgetattr(slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(slave, TCSANOW, &tio);
    }
    ::close(slave);

    m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &SimPtyServer::readMaster);
    m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &SimPtyServer::writePending);

#ifdef __linux__
    m_watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_watch >= 0 &&
        ::inotify_add_watch(m_watch, name, IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
        ::close(m_watch);
        m_watch = -1;
    }
    if (m_watch >= 0) {
        m_watchNotifier = new QSocketNotifier(m_watch, QSocketNotifier::Read, this);
        connect(m_watchNotifier, &QSocketNotifier::activated, this,
                &SimPtyServer::drainOpenCloseEvents);
    }
#endif

    // Nobody has the port open yet.
    m_readNotifier->setEnabled(false);
    m_peerPoll.start();
    return true;
}

void SimPtyServer::drainOpenCloseEvents() {
#ifdef __linux__
    if (m_watch < 0)
        return;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_watch, buffer, sizeof buffer);
        if (n <= 0)
            return;
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
            if (e->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE))
                peerGone();
            if (e->mask & IN_OPEN)
                checkPeer();
            at += ssize_t(sizeof(inotify_event) + e->len);
        }
    }
#endif
}

void SimPtyServer::readMaster() {
    // The bytes the event loop woke us for were there before anything below: the request's
    // time on the line counts from here.
    qint64 arrivedUs = m_instrument->pacer().nowUs();
    // A close and reopen that happened before these bytes were written must be handled
    // first, or the new session's request would be taken for the old one's.
    drainOpenCloseEvents();
    if (!m_peerOpen)
        return;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            m_instrument->receive(QByteArray(buffer, n), arrivedUs);
            arrivedUs = -1; // later reads: bytes that may have come since
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        // EIO (or end of file): the last holder of the slave closed it.
        peerGone();
        return;
    }
}

void SimPtyServer::send(const QByteArray& bytes) {
    if (!m_peerOpen)
        return; // an unread port loses what is sent to it, like an unplugged cable
    m_out.append(bytes);
    if (m_out.size() > MaxPendingOutput)
        m_out.remove(0, m_out.size() - MaxPendingOutput);
    writePending();
}

void SimPtyServer::writePending() {
    while (!m_out.isEmpty()) {
        const ssize_t n = ::write(m_master, m_out.constData(), size_t(m_out.size()));
        if (n > 0) {
            m_out.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            m_writeNotifier->setEnabled(true);
            return;
        }
        peerGone();
        return;
    }
    m_writeNotifier->setEnabled(false);
}

void SimPtyServer::peerGone() {
    if (!m_peerOpen)
        return;
    m_peerOpen = false;
    m_readNotifier->setEnabled(false);
    m_writeNotifier->setEnabled(false);
    m_out.clear();
    // Bytes queued towards the slave would greet the next opener as stale input. Input is
    // kept: it may already be the next opener's first request.
    ::tcflush(m_master, TCOFLUSH);
    m_instrument->portClosed();
    m_peerPoll.start();
    emit peerClosed();
}

void SimPtyServer::checkPeer() {
    if (m_peerOpen)
        return;
    pollfd p{m_master, POLLIN, 0};
    if (::poll(&p, 1, 0) < 0 || (p.revents & POLLHUP))
        return;
    // Pending input is picked up by the read notifier, not from in here.
    peerBack();
}

void SimPtyServer::peerBack() {
    m_peerPoll.stop();
    m_peerOpen = true;
    m_instrument->portOpened();
    m_readNotifier->setEnabled(true);
    emit peerOpened();
}
