#pragma once

#include <QString>

// The version every program reports: the project version, and the git commit it was built
// from when it was built from a checkout ("1.0.0 (git 0123abcd45)").
QString ProgramVersion();
// "tq5800-cli 1.0.0 (git 0123abcd45)" followed by a line break, for --version.
QString VersionLine(const QString& program);
