#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

class QSocketNotifier;
class SimInstrument;

// Serves a simulated instrument on a pseudo-terminal. The master side stays open for the
// whole run, so the PC may close and reopen the slave as often as it likes: a hang-up on
// the master counts as the port closing, and the slave being open again as it reopening.
// Where the system reports opens and closes of the slave (inotify), a close followed at once
// by a reopen is seen too, even when no hang-up was ever read in between.
class SimPtyServer : public QObject {
    Q_OBJECT
public:
    explicit SimPtyServer(SimInstrument* instrument, QObject* parent = nullptr);
    ~SimPtyServer() override;

    bool open(QString* error = nullptr);
    QString slavePath() const { return m_slavePath; }
    bool isPeerOpen() const { return m_peerOpen; }

signals:
    void peerOpened();
    void peerClosed();

private:
    void readMaster();
    void writePending();
    void send(const QByteArray& bytes);
    void checkPeer();
    void peerGone();
    void peerBack();
    void drainOpenCloseEvents();

    SimInstrument* m_instrument;
    int m_master = -1;
    QString m_slavePath;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
    int m_watch = -1; // inotify descriptor, -1 where unavailable
    QSocketNotifier* m_watchNotifier = nullptr;
    QTimer m_peerPoll;
    QByteArray m_out;
    bool m_peerOpen = false;
};
