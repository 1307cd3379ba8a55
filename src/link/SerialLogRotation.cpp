#include "link/SerialLogRotation.h"

#include "app/FilePaths.h"

#include <QFile>

namespace {
QString generation(const QString& folder, int n) {
    return PathInFolder(folder, n == 0 ? QStringLiteral("SerialLog.log")
                                       : QStringLiteral("SerialLog%1.log").arg(n));
}
} // namespace

void RotateSerialLogs(const QString& folder) {
    for (int n = 8; n >= 0; --n) {
        const QString from = generation(folder, n);
        if (!QFile::exists(from))
            continue;
        const QString to = generation(folder, n + 1);
        if (QFile::exists(to))
            QFile::remove(to);
        QFile::rename(from, to);
    }
}
