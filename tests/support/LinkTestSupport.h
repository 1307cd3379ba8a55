#pragma once

// Shared pieces of the link tests: a temporary start folder whose communication log the tests
// read back, and frames built by the test itself.

#include "link/CommLog.h"
#include "link/uclHbif.h"
#include "state/AppState.h"
#include "support/LinkTestAccess.h"

#include <QByteArray>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace linktest {

// Waits have named limits; an exchange at a 2 ms tick ends in well under these.
constexpr int ExchangeLimitMs = 5000;
constexpr int TickMs = 2;
// Connecting takes a few ticks; a whole sequence at a 2 ms tick well under the operation limit.
constexpr int ConnectLimitMs = 5000;
constexpr int OperationLimitMs = 20000;

// Ends every wait of the link once the limit has passed, so a fault fails the test instead of
// hanging it.
class Watchdog {
public:
    explicit Watchdog(uclHbif& link, int limitMs = OperationLimitMs) {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, [this, &link] {
            m_fired = true;
            link.setCancel(true);
            LinkTestAccess::setStatus(link, LinkStatus(-1));
        });
        m_timer.start(limitMs);
    }
    bool fired() const { return m_fired; }

private:
    QTimer m_timer;
    bool m_fired = false;
};

// Built here, apart from the link's own frame code, so a shared mistake cannot hide.
inline QByteArray frame(const QByteArray& payload, char terminator = '\x04') {
    QByteArray f = QByteArray("\x02") + "0001" + payload + '\x03';
    unsigned sum = 0;
    for (const char c : f)
        sum += quint8(c);
    f += QByteArray::number((256 - sum % 256) % 256, 16).toUpper().rightJustified(2, '0');
    f += terminator;
    return f;
}

// A reply "KEY," + data; data's first character is the status position.
inline QByteArray reply(const QByteArray& key, const QByteArray& data, char terminator = '\x04') {
    return frame(key + ',' + data, terminator);
}

// A fresh program state with its start folder in a temporary directory.
class LogFolder {
public:
    LogFolder() {
        resetAppState();
        appState().StartFolder = m_dir.path();
    }
    QString path() const { return m_dir.path() + "/SerialLog.log"; }
    // The log's lines without their "hh:mm:ss " prefix.
    QStringList lines() const {
        FlushSerialLog();
        QFile f(path());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QStringList out;
        for (const QByteArray& l : f.readAll().split('\n')) {
            if (l.size() >= 9)
                out << QString::fromLocal8Bit(l.mid(9)).chopped(l.endsWith('\r') ? 1 : 0);
        }
        return out;
    }
    int count(const QString& text) const {
        int n = 0;
        for (const QString& l : lines())
            if (l.contains(text))
                ++n;
        return n;
    }
    void clear() {
        FlushSerialLog();
        QFile::remove(path());
    }

private:
    QTemporaryDir m_dir;
};

} // namespace linktest
