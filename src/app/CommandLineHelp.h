#pragma once

#include <QCommandLineOption>
#include <QString>

class QCommandLineParser;

// What the three programs share about their command lines: the help and version options as
// GNU tools spell them, the help text with the program's own usage line, and the two lines of a
// usage error.
QCommandLineOption HelpOption();
// "-V" and "--version"; `extraNames` keeps a spelling a program took before.
QCommandLineOption VersionOption(const QStringList& extraNames = {});

// The parser's help text with `usageLine` in place of Qt's, which names the program by the
// path it was started with.
QString ParserHelpText(const QCommandLineParser& parser, const QString& usageLine);

// "program: why" and "Try 'helpCommand --help'.", each ending in a line break.
QString UsageErrorText(const QString& program, const QString& why, const QString& helpCommand);

// Writes `bytes` to standard output and flushes it; false with the system's reason in `error`
// when they did not all get there (a full disk, a closed pipe), which a caller must not pass
// over as success.
bool WriteStandardOutput(const QByteArray& bytes, QString* error = nullptr);
