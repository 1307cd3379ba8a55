#include "app/ProgramVersion.h"

#include "tq5800_git_commit.h"
#include "tq5800_version.h"

QString ProgramVersion() {
    const QString commit = QStringLiteral(TQ5800_GIT_COMMIT);
    const QString version = QStringLiteral(TQ5800_VERSION);
    return commit.isEmpty() ? version : version + QStringLiteral(" (git ") + commit + u')';
}

QString VersionLine(const QString& program) {
    return program + u' ' + ProgramVersion() + u'\n';
}
