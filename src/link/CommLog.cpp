#include "link/CommLog.h"

#include "app/AppState.h"
#include "app/FilePaths.h"
#include "app/MessageTable.h"

#include <QFile>
#include <QStringEncoder>
#include <QTime>

namespace {
QString& serialLogName() {
    static QString name = QStringLiteral("SerialLog.log");
    return name;
}
} // namespace

QString SerialLogPath() {
    return PathInFolder(appState().StartFolder, serialLogName());
}

void SetSerialLogName(const QString& fileName) {
    serialLogName() = fileName;
}

void WriteSerialLog(const QString& text) {
    QFile f(SerialLogPath());
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    const QString line = QTime::currentTime().toString(QStringLiteral("hh:mm:ss")) + u' ' + text +
                         QStringLiteral("\r\n");
    QStringEncoder toLocal(QStringEncoder::System);
    f.write(toLocal.encode(line));
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
