#pragma once

#include <QByteArray>
#include <QString>

class QFileDevice;

// A file in a folder with exactly one separator between them: a folder that already ends in
// "/" or "\" gets no second one. An empty folder gives the bare name (the current folder).
QString PathInFolder(const QString& folder, const QString& name);

// Where a run that did not complete keeps what it got, beside the file it would have replaced:
// "TQ5800.DAT" gives "TQ5800.partial.DAT", "list" gives "list.partial".
QString PartialPath(const QString& path);

// Whether `path` may be written before anything is started that would be lost if it cannot:
// its folder must exist, and a file or folder whose owner may not write it is refused even to
// an administrator, whom the system would let through (the mark is the user's wish). An
// existing file is appended to in place and needs no writable folder; a replaced or new file
// does. False with the system's words for the cause in `error`.
enum class WriteKind { Replace, Append };
bool CheckWritable(const QString& path, WriteKind kind, QString* error = nullptr);

// Writes all of `bytes`, going on after a short write so that a failure names its cause (a
// short write by itself leaves the device's error unset: "Unknown error").
bool WriteAll(QFileDevice& file, const QByteArray& bytes);

// Replaces the file's content through a temporary file and an atomic rename, so a failure at
// any point (full disk, crash, missing folder) leaves the old file as it was. False with the
// cause in `error` when the file could not be written.
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error = nullptr);

// Appends `bytes` whole or not at all: a write cut short (a full disk) is taken back, so the
// file ends where it ended before. A new or empty file gets `header` first; a file whose last
// line was cut short before gets a line end first, so that the new line stands on its own.
bool AppendWhole(const QString& path, const QByteArray& bytes, QString* error = nullptr,
                 const QByteArray& header = {});
