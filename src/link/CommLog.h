#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// The communication log, "SerialLog.log" in the start-up folder: one line per call,
// "hh:mm:ss text" CR LF, in the local 8-bit encoding. The file is opened, appended and closed
// for every line so that it can be moved or deleted between lines. A line is written whole or
// not at all; lines that cannot be written are lost, the first of a gap is reported to the
// failure handler, and the next line that can be written is preceded by a count of them.
// A run whose folder's log is kept by another running program or tool logs to
// "SerialLog-PID.log" instead (see StartCommLog), so that neither deletes nor interleaves the
// other's lines.
QString SerialLogPath();
void SetSerialLogName(const QString& fileName);
void WriteSerialLog(const QString& text);

// Called with the log's path and the cause when a line cannot be written after one that could.
using CommLogFailureHandler = std::function<void(const QString& path, const QString& why)>;
void SetCommLogFailureHandler(CommLogFailureHandler handler);

// A message of the table with parameters inserted as they are: wire text that happens to hold
// "~c" or "~1" stays literal instead of being expanded as an escape.
QString LiteralMessage(int number, const QStringList& params);
