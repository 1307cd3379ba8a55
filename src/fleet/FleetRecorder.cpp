#include "fleet/FleetRecorder.h"

#include "app/MessageTable.h"
#include "fleet/FleetSpool.h"
#include "fleet/FleetStore.h"
#include "fleet/SnapshotChanges.h"
#include "model/clsInstrument.h"
#include "ops/InstrumentSession.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QMutex>
#include <QSysInfo>
#include <QThread>
#include <QTimer>
#include <QUuid>
#include <QWaitCondition>
#include <atomic>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace {

// How long the worker waits before it tries an unreachable database again.
constexpr int RetryMs = 5000;
// How long the recorder's end waits for a worker stuck in a connection attempt.
constexpr int StopWaitMs = 3000;

QString loginName() {
    for (const char* name : {"USER", "LOGNAME", "USERNAME"})
        if (const QString user = qEnvironmentVariable(name); !user.isEmpty())
            return user;
#ifdef Q_OS_UNIX
    // A service or a container may start the program without them.
    if (const passwd* entry = ::getpwuid(::geteuid()))
        return QString::fromLocal8Bit(entry->pw_name);
#endif
    return QString();
}

FleetOutcome outcomeOf(OperationOutcome outcome) {
    switch (outcome) {
    case OperationOutcome::Done:
        return FleetOutcome::Done;
    case OperationOutcome::Cancelled:
        return FleetOutcome::Cancelled;
    case OperationOutcome::Failed:
        break;
    }
    return FleetOutcome::Failed;
}

// Reads and writes leave the whole record as the instrument now holds it.
bool keepsSnapshot(const QString& kind) {
    return kind == Operation::Read || kind == Operation::Write || kind == Operation::WriteIdentity;
}

} // namespace

FleetEvent EventOfOperation(const OperationReport& report, const QJsonObject& settingsAfter) {
    FleetEvent event;
    event.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    event.when = QDateTime::currentDateTimeUtc();
    event.kind = report.operation;
    event.outcome = outcomeOf(report.outcome);
    const InstrumentIdentity& id = report.identity;
    event.identity =
        FleetIdentity{id.serialNo, id.programNumber(), id.romNumber, id.stationId, id.userId};
    event.details = report.details;
    const QString calibrationOperator =
        event.details.take(QStringLiteral("operator")).toString().trimmed();
    event.operatorName = calibrationOperator.isEmpty() ? loginName() : calibrationOperator;
    event.bench = (QSysInfo::machineHostName() + u' ' + report.port).trimmed();
    // The settings a write started from are only there to find what it changed.
    const QJsonObject before = event.details.take(QStringLiteral("settingsBefore")).toObject();
    if (event.outcome == FleetOutcome::Done && keepsSnapshot(event.kind)) {
        event.snapshot = settingsAfter;
        if (!before.isEmpty())
            event.changes = SnapshotChanges(before, settingsAfter);
    }
    return event;
}

// The worker lives in its own thread with its own database connection: a slow or absent
// database never holds up the window or a command.
struct FleetRecorder::Private {
    FleetRecorder* owner = nullptr;
    std::optional<FleetLocation> location;
    QString locationError;
    FleetSpool spool;
    QThread* thread = nullptr;
    QObject* worker = nullptr; // in `thread`

    // The worker's own (touched only in its thread).
    std::unique_ptr<FleetStore> store;
    QTimer* retry = nullptr;
    bool down = false;
    int stored = 0;

    // Drain passes asked for and done, for flush().
    QMutex mutex;
    QWaitCondition passDone;
    quint64 asked = 0, done = 0;
    std::atomic<bool> unreachable{false};
    std::atomic<bool> ownerGone{false};

    explicit Private(const QString& dataFolder) : spool(dataFolder) {}

    QString display() const { return location ? location->display() : QString(); }

    void tell(const QString& text) {
        if (ownerGone)
            return;
        QMetaObject::invokeMethod(
            owner, [o = owner, text] { emit o->notice(text); }, Qt::QueuedConnection);
    }

    // In the worker: moves what waits in the spool into the database.
    void drain() {
        QString error = locationError;
        // Counted from the first pass that failed until one succeeds.
        if (!down)
            stored = 0;
        bool ok = false;
        if (location) {
            if (!store) {
                store = std::make_unique<FleetStore>(*location);
                if (!store->open(&error))
                    store.reset();
            }
            if (store) {
                const FleetSpool::Drained drained = spool.drain(*store);
                stored += drained.stored;
                ok = drained.left == 0;
                error = drained.error;
                if (!ok)
                    store.reset(); // a fresh connection next time
            }
        }
        if (ok && down)
            tell(LoadMessage(9521, {display(), QString::number(stored)}));
        else if (!ok && !down)
            tell(LoadMessage(9520, {display(), QString::number(spool.pending()),
                                    QDir::toNativeSeparators(spool.folder())}) +
                 u' ' + error);
        down = !ok;
        unreachable = !ok;
        if (!ok && location)
            retry->start(RetryMs);
    }

    void askDrain(quint64 ticket) {
        QMetaObject::invokeMethod(
            worker,
            [this, ticket] {
                drain();
                QMutexLocker lock(&mutex);
                done = std::max(done, ticket);
                passDone.wakeAll();
            },
            Qt::QueuedConnection);
    }
    quint64 nextTicket() {
        QMutexLocker lock(&mutex);
        return ++asked;
    }
};

FleetRecorder::FleetRecorder(const QString& fleetUrl, const QString& dataFolder, QObject* parent)
    : QObject(parent), d(std::make_unique<Private>(dataFolder)) {
    d->owner = this;
    d->location = ParseFleetLocation(fleetUrl, &d->locationError);
    d->thread = new QThread;
    d->worker = new QObject;
    d->retry = new QTimer(d->worker);
    d->retry->setSingleShot(true);
    d->worker->moveToThread(d->thread); // with its timer
    connect(d->retry, &QTimer::timeout, d->worker, [this] { d->askDrain(d->nextTicket()); });
    // The worker's connection is closed in its own thread, as it was opened.
    connect(d->thread, &QThread::finished, d->worker, [p = d.get()] {
        p->retry->stop();
        p->store.reset();
        p->worker->deleteLater();
    });
    d->thread->start();
    // What an earlier run left in the spool goes in first.
    d->askDrain(d->nextTicket());
}

FleetRecorder::~FleetRecorder() {
    d->ownerGone = true;
    d->thread->quit();
    if (d->thread->wait(StopWaitMs)) {
        delete d->thread;
        return;
    }
    // A connection attempt that hangs: the thread is left to the process's end rather than
    // torn down under it. The spool keeps every event it had not written.
    d.release();
}

void FleetRecorder::attach(InstrumentSession& session) {
    connect(&session, &InstrumentSession::operationFinished, this,
            [this, &session](const OperationReport& report) { recordOperation(session, report); });
}

void FleetRecorder::recordOperation(const InstrumentSession& session,
                                    const OperationReport& report) {
    // An instrument that never said who it is has no place in the history.
    if (report.identity.serialNo.isEmpty())
        return;
    // The whole record (some 6 KB of JSON) only for the events that keep it.
    const bool keeps = report.outcome == OperationOutcome::Done && keepsSnapshot(report.operation);
    const clsInstrument* instrument = keeps ? session.record() : nullptr;
    record(EventOfOperation(report, instrument ? instrument->ToJson() : QJsonObject()));
}

void FleetRecorder::record(FleetEvent event) {
    QString error;
    if (!d->spool.put(event, &error)) {
        emit notice(LoadMessage(9600, {error}));
        return;
    }
    d->askDrain(d->nextTicket());
}

bool FleetRecorder::flush(int msecs) {
    QDeadlineTimer deadline(msecs);
    const quint64 ticket = d->nextTicket();
    d->askDrain(ticket);
    QMutexLocker lock(&d->mutex);
    while (d->done < ticket)
        if (!d->passDone.wait(&d->mutex, deadline))
            break;
    lock.unlock();
    // Notices the worker sent meanwhile reach the front end before it exits.
    QCoreApplication::sendPostedEvents(this);
    return d->done >= ticket && !d->unreachable && d->spool.pending() == 0;
}
