#include "link/CommLog.h"

#include "app/FilePaths.h"
#include "app/MessageTable.h"
#include "state/AppState.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QStringEncoder>

#include <limits>
#include <utility>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

struct LogState {
    QString name = QStringLiteral("SerialLog.log");
    CommLogFailureHandler onFailure;
    qint64 lost = 0;  // lines lost since the last one that was written
    QString why;      // the cause of the first of them
    QString lostFrom; // the log they were lost from: a gap is news only to its own log
    // Lines stamped and kept for the next write (see DeferSerialLog), and the log they are for.
    QByteArray deferred;
    qint64 deferredLines = 0;
    QString deferredPath;
    bool flushPosted = false;

    // "hh:mm:ss" of now. The local time is worked out once a second: working it out asks the
    // system for its time zone, twice an exchange otherwise.
    QString timeOfDay() {
        const qint64 ms = QDateTime::currentMSecsSinceEpoch();
        const qint64 second = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
        if (second != m_second) {
            m_second = second;
            m_timeOfDay = QDateTime::fromMSecsSinceEpoch(second * 1000)
                              .toLocalTime()
                              .time()
                              .toString(QStringLiteral("hh:mm:ss"));
        }
        return m_timeOfDay;
    }

private:
    qint64 m_second = std::numeric_limits<qint64>::min();
    QString m_timeOfDay;
};

LogState& state() {
    static LogState s;
    return s;
}

// The log stays open between lines: opening, checking and closing it for every line cost the
// link more than the line itself, twice an exchange. It is let go when its name changes, and
// when the file under that name is no longer the one held open (rotated away, removed) or its
// owner may no longer write it: then the line takes the full path that checks and says why.
class HeldLog {
public:
    bool append(const QString& path, const QByteArray& bytes) {
#ifdef Q_OS_UNIX
        qint64 before = 0;
        if (m_file.isOpen() && (m_path != path || !stillWritable(&before)))
            m_file.close();
        if (!m_file.isOpen()) {
            // Opened after a line went through the checks: the file is there, whole, writable.
            if (!AppendWhole(path, bytes))
                return false;
            m_path = path;
            m_file.setFileName(path);
            if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
                m_file.close();
            return true;
        }
        if (WriteAll(m_file, bytes))
            return true;
        // What did get onto the disk is taken back; the full path then says why.
        m_file.resize(before);
        m_file.close();
        return false;
#else
        Q_UNUSED(path);
        Q_UNUSED(bytes);
        return false;
#endif
    }

private:
#ifdef Q_OS_UNIX
    // Also gives the file's size, which a line that fails is cut back to.
    bool stillWritable(qint64* size) const {
        struct stat named {};
        struct stat held {};
        if (::stat(QFile::encodeName(m_path).constData(), &named) != 0 ||
            ::fstat(m_file.handle(), &held) != 0)
            return false;
        *size = qint64(held.st_size);
        return named.st_dev == held.st_dev && named.st_ino == held.st_ino &&
               (named.st_mode & S_IWUSR);
    }
#endif
    QFile m_file;
    QString m_path;
};

HeldLog& held() {
    static HeldLog log;
    return log;
}

QByteArray encoded(const QString& line) {
    QStringEncoder toLocal(QStringEncoder::System);
    return toLocal.encode(line);
}

QByteArray stamped(LogState& s, const QString& text) {
    return encoded(s.timeOfDay() + u' ' + text + QStringLiteral("\r\n"));
}

// Appends `count` stamped lines to the log at `path`, whole or not at all.
void writeOut(const QString& path, const QByteArray& lines, qint64 count) {
    LogState& s = state();
    if (s.lostFrom != path)
        s.lost = 0;
    QByteArray bytes;
    if (s.lost > 0)
        bytes = stamped(s, LoadMessage(9412, {QString::number(s.lost), s.why}));
    bytes += lines;
    QString why;
    if (held().append(path, bytes) || AppendWhole(path, bytes, &why)) {
        s.lost = 0;
        return;
    }
    if (s.lost == 0) {
        s.why = why;
        s.lostFrom = path;
        // Said once per gap: the host tells the operator; the log itself says it when it can.
        if (s.onFailure)
            s.onFailure(path, why);
    }
    s.lost += count;
}

} // namespace

QString SerialLogPath() {
    return PathInFolder(appState().StartFolder, state().name);
}

void SetSerialLogName(const QString& fileName) {
    FlushSerialLog();
    state().name = fileName;
}

void SetCommLogFailureHandler(CommLogFailureHandler handler) {
    state().onFailure = std::move(handler);
}

void WriteSerialLog(const QString& text) {
    FlushSerialLog();
    writeOut(SerialLogPath(), stamped(state(), text), 1);
}

void DeferSerialLog(const QString& text) {
    LogState& s = state();
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        WriteSerialLog(text);
        return;
    }
    const QString path = SerialLogPath();
    if (s.deferredPath != path)
        FlushSerialLog(); // what was kept for another log goes there first
    s.deferred += stamped(s, text);
    ++s.deferredLines;
    s.deferredPath = path;
    if (!s.flushPosted) {
        // Each application object runs its post-routines once, when it is destroyed.
        static const QCoreApplication* flushedAtExit = nullptr;
        if (flushedAtExit != app) {
            flushedAtExit = app;
            qAddPostRoutine(FlushSerialLog);
        }
        s.flushPosted = true;
        QMetaObject::invokeMethod(
            app,
            [] {
                state().flushPosted = false;
                FlushSerialLog();
            },
            Qt::QueuedConnection);
    }
}

void FlushSerialLog() {
    LogState& s = state();
    if (s.deferredLines == 0)
        return;
    const qint64 lines = std::exchange(s.deferredLines, 0);
    writeOut(std::exchange(s.deferredPath, QString()), std::exchange(s.deferred, QByteArray()),
             lines);
}

QString LiteralMessage(int number, const QStringList& params) {
    // Private-use placeholders cannot come from the wire (one Latin-1 character per byte).
    QStringList marks;
    for (qsizetype i = 0; i < params.size(); ++i)
        marks << QString(QChar(char16_t(0xE000 + i)));
    QString text = LoadMessage(number, marks);
    for (qsizetype i = 0; i < params.size(); ++i)
        text.replace(marks.at(i), params.at(i));
    return text;
}
