#pragma once

// The text layer of a PDF as a reader's search sees it, through pdftotext (poppler-utils,
// installed by scripts/install-deps). Blanks are folded into one, so table columns read as
// words in a line.

#include <QProcess>
#include <QRegularExpression>
#include <QString>

namespace pdftext {

inline QString extract(const QString& pdf) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QStringLiteral("<pdftotext failed: %1>").arg(p.errorString());
    QString text = QString::fromUtf8(p.readAllStandardOutput());
    text.replace(QRegularExpression(QStringLiteral("[ \\t]+")), QStringLiteral(" "));
    return text;
}

// The lines of the text with their blanks folded, for finding a table row.
inline QStringList lines(const QString& text) {
    QStringList out;
    for (const QString& l : text.split(u'\n'))
        if (!l.trimmed().isEmpty())
            out << l.trimmed();
    return out;
}

} // namespace pdftext
