#pragma once

// What the screenshot programs share: the folder named on their command line, and a window
// shown, left to settle and saved as NAME.png there.

#include <QDir>
#include <QString>
#include <QTest>
#include <QWidget>

namespace shots {

// The first argument, else the current folder; made when missing.
inline QDir OutputFolder(int argc, char** argv) {
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());
    QDir().mkpath(out.path());
    return out;
}

inline void Save(QWidget* w, const QDir& dir, const QString& name, int settleMs = 300) {
    w->show();
    if (!QTest::qWaitForWindowExposed(w))
        qWarning("window %s not exposed", qPrintable(name));
    QTest::qWait(settleMs);
    w->grab().save(dir.filePath(name + QStringLiteral(".png")));
}

} // namespace shots
