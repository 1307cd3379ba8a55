#include "link/CommLog.h"

#include "app/FilePaths.h"
#include "app/MessageTable.h"
#include "state/AppState.h"

#include <QFile>
#include <QStringEncoder>
#include <QTime>

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
        if (m_file.isOpen() && (m_path != path || !stillWritable()))
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
        const qint64 before = m_file.size();
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
    bool stillWritable() const {
        struct stat named {};
        struct stat held {};
        if (::stat(QFile::encodeName(m_path).constData(), &named) != 0 ||
            ::fstat(m_file.handle(), &held) != 0)
            return false;
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

} // namespace

QString SerialLogPath() {
    return PathInFolder(appState().StartFolder, state().name);
}

void SetSerialLogName(const QString& fileName) {
    state().name = fileName;
}

void SetCommLogFailureHandler(CommLogFailureHandler handler) {
    state().onFailure = std::move(handler);
}

void WriteSerialLog(const QString& text) {
    LogState& s = state();
    const QString path = SerialLogPath();
    if (s.lostFrom != path)
        s.lost = 0;
    const QString time = QTime::currentTime().toString(QStringLiteral("hh:mm:ss"));
    QByteArray bytes;
    if (s.lost > 0)
        bytes = encoded(time + u' ' + LoadMessage(9412, {QString::number(s.lost), s.why}) +
                        QStringLiteral("\r\n"));
    bytes += encoded(time + u' ' + text + QStringLiteral("\r\n"));
    QString why;
    if (held().append(path, bytes) || AppendWhole(path, bytes, &why)) {
        s.lost = 0;
        return;
    }
    if (s.lost++ == 0) {
        s.why = why;
        s.lostFrom = path;
        // Said once per gap: the host tells the operator; the log itself says it when it can.
        if (s.onFailure)
            s.onFailure(path, why);
    }
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
