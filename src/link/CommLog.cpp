#include "link/CommLog.h"

#include "app/FilePaths.h"
#include "app/MessageTable.h"
#include "state/AppState.h"

#include <QStringEncoder>
#include <QTime>

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
    if (AppendWhole(path, bytes, &why)) {
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
