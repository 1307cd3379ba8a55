#include "model/StationFile.h"

#include "app/Conversions.h"
#include "app/MessageTable.h"
#include "app/clsToken.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <algorithm>
#include <stdexcept>

namespace StationFile {

bool IsStationKey(int c) {
    return IsNameKey(c);
}

bool IsStationId(const QString& text) {
    return text.size() <= IdLength && IsNameText(text);
}

int LeftSpaceCount(const QString& text) {
    int n = 0;
    while (n < text.size() && text.at(n) == u' ')
        ++n;
    return n;
}

namespace {

ReadResult refuse(Refusal why, int line = 0) {
    ReadResult r;
    r.refusal = why;
    r.line = line;
    return r;
}

// Control bytes other than tab, CR and LF mean the file is not text.
bool hasControlBytes(const QByteArray& bytes) {
    for (const char c : bytes) {
        const auto u = quint8(c);
        if ((u < 0x20 && u != '\t' && u != '\r' && u != '\n') || u == 0x7F)
            return true;
    }
    return false;
}

QStringList splitLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n')
            continue;
        lines << text.mid(start, i - start);
        if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines << text.mid(start);
    return lines;
}

} // namespace

static ReadResult wrongEncoding() {
    ReadResult r = refuse(WrongEncoding);
    // Qt takes the system encoding to be UTF-8 on every Unix; elsewhere the code page.
#ifdef Q_OS_UNIX
    r.encoding = QStringLiteral("UTF-8");
#else
    r.encoding = QStringLiteral("ANSI");
#endif
    return r;
}

ReadResult Read(QIODevice& in) {
    QByteArray bytes = in.read(ByteLimit + 1);
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return wrongEncoding(); // UTF-16, as some editors save "Unicode" text
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    if (hasControlBytes(bytes))
        return refuse(NotText);
    if (bytes.size() > ByteLimit)
        return refuse(TooLarge);

    QStringDecoder decode(QStringDecoder::System);
    const QString text = decode(bytes);
    if (decode.hasError())
        return wrongEncoding();
    const QStringList lines = splitLines(text);
    // A file without one station line would import nothing and look as if it had worked.
    if (std::none_of(lines.begin(), lines.end(),
                     [](const QString& l) { return !l.trimmed().isEmpty(); }))
        return refuse(NoStation);
    for (qsizetype k = Entries; k < lines.size(); ++k)
        if (!lines.at(k).trimmed().isEmpty())
            return refuse(TooManyLines, int(k) + 1);

    ReadResult r;
    clsToken tok;
    tok.AddDelimiters(QStringLiteral(","));
    tok.AddDelimiters(QStringLiteral("\t"));
    for (qsizetype k = 0; k < qMin<qsizetype>(lines.size(), Entries); ++k) {
        const QString& line = lines.at(k);
        if (line.size() > LineLimit)
            return refuse(LineTooLong, int(k) + 1);
        try {
            tok.setSource(line);
        } catch (const std::out_of_range&) {
            return refuse(LineTooLong, int(k) + 1);
        }
        // Token 0 is the number (its value does not matter, but a line without one is not a
        // station line: taking its first field as the number would silently blank the entry).
        const QString number = tok.TokenCount() > 0 ? tok.Tokens(0).trimmed() : QString();
        if (!IsAllDigits(number))
            return refuse(NoNumber, int(k) + 1);
        // The fields after the identifier are joined back with ",".
        QString id = tok.TokenCount() > 1 ? tok.Tokens(1) : QString();
        for (int j = 2; j < tok.TokenCount(); ++j)
            id += u',' + tok.Tokens(j);
        r.entries << id;
    }
    r.ok = true;
    return r;
}

ReadResult Read(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return refuse(CannotRead);
    return Read(f);
}

QString RefusalText(const ReadResult& r, const QString& fileName) {
    if (r.refusal == NotRefused)
        return QString();
    const QString second = r.refusal == WrongEncoding ? r.encoding : QString::number(r.line);
    return LoadMessage(int(r.refusal), {fileName, second});
}

QList<int> InvalidEntries(const QStringList& entries) {
    QList<int> bad;
    for (qsizetype i = 0; i < entries.size(); ++i)
        if (!IsStationId(entries.at(i)))
            bad << int(i) + 1;
    return bad;
}

QByteArray Text(const QStringList& entries) {
    QString out;
    for (qsizetype i = 0; i < entries.size(); ++i)
        out += QString::number(i + 1) + u',' + entries.at(i) + QStringLiteral("\r\n");
    return out.toLocal8Bit();
}

bool Write(const QString& path, const QStringList& entries, QString* error) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(Text(entries)) < 0 || !f.commit()) {
        if (error)
            *error = f.errorString();
        return false;
    }
    return true;
}

} // namespace StationFile
