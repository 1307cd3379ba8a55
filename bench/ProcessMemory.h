#pragma once

#include <QByteArray>
#include <QFile>

// A figure of /proc/self/status in KiB ("VmRSS" resident now, "VmHWM" its peak); -1 when the
// system has no such file.
inline qint64 ProcessStatusKb(const char* field = "VmRSS") {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

inline double ProcessStatusMiB(const char* field = "VmRSS") {
    return double(ProcessStatusKb(field)) / 1024.0;
}
