#pragma once

#include <QByteArray>
#include <QString>

// A file in a folder with exactly one separator between them: a folder that already ends in
// "/" or "\" gets no second one. An empty folder gives the bare name (the current folder).
QString PathInFolder(const QString& folder, const QString& name);

// Replaces the file's content through a temporary file and an atomic rename, so a failure at
// any point (full disk, crash, missing folder) leaves the old file as it was. False with a
// description in `error` when the file could not be written.
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error = nullptr);
