#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// The communication log, "SerialLog.log" in the start-up folder: one line per call,
// "hh:mm:ss text" CR LF, in the local 8-bit encoding. The file is held open between lines and
// let go when it is moved, deleted or made read-only, so that it can be between lines. A line is
// written whole or not at all; lines that cannot be written are lost, the first of a gap is
// reported to the failure handler, and the next line that can be written is preceded by a count of
// them. A run whose folder's log is kept by another running program or tool logs to
// "SerialLog-PID.log" instead (see StartCommLog), so that neither deletes nor interleaves the
// other's lines.
QString SerialLogPath();
void SetSerialLogName(const QString& fileName);
void WriteSerialLog(const QString& text);
// A line stamped now but written with the next line, or on the event loop's next turn, or by
// FlushSerialLog, whichever comes first (and at the latest when the application ends): a
// reply's line then costs the link nothing between the reply and the request that follows.
// Without an application object the line is written at once.
void DeferSerialLog(const QString& text);
void FlushSerialLog();

// Called with the log's path and the cause when a line cannot be written after one that could.
using CommLogFailureHandler = std::function<void(const QString& path, const QString& why)>;
void SetCommLogFailureHandler(CommLogFailureHandler handler);

// A message of the table with parameters inserted as they are: wire text that happens to hold
// "~c" or "~1" stays literal instead of being expanded as an escape.
QString LiteralMessage(int number, const QStringList& params);
