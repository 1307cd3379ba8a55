#include "app/CommandLineHelp.h"

#include <QCommandLineParser>

#include <cerrno>
#include <cstdio>
#include <cstring>

QCommandLineOption HelpOption() {
    return QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                              QStringLiteral("Print this help and exit."));
}

QCommandLineOption VersionOption(const QStringList& extraNames) {
    return QCommandLineOption(QStringList{QStringLiteral("V")} + extraNames +
                                  QStringList{QStringLiteral("version")},
                              QStringLiteral("Print the version (and the git commit it was built "
                                             "from) and exit."));
}

QString ParserHelpText(const QCommandLineParser& parser, const QString& usageLine) {
    QString text = parser.helpText();
    const qsizetype end = text.indexOf(u'\n');
    text.replace(0, end < 0 ? text.size() : end, usageLine);
    return text;
}

QString UsageErrorText(const QString& program, const QString& why, const QString& helpCommand) {
    return QStringLiteral("%1: %2\nTry '%3 --help'.\n").arg(program, why, helpCommand);
}

bool WriteStandardOutput(const QByteArray& bytes, QString* error) {
    errno = 0;
    const bool ok =
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size()) &&
        std::fflush(stdout) == 0;
    if (!ok && error)
        *error = QString::fromLocal8Bit(std::strerror(errno ? errno : EIO));
    return ok;
}
