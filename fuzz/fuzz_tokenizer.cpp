// Any configuration of the tokenizer and any lines through one reused instance, the way the
// file readers use it. Counted tokens are pieces of the line, so together they are never
// longer than it; the count stays within its table, and only a 257th token may throw.
//
// Input: up to four lines of configuration (delimiters, string ranges, comments, each a list
// of entries separated by "\x1f"; an entry is usually one character), then the lines to split.
#include "app/clsToken.h"

#include <QList>
#include <QString>
#include <cstdlib>
#include <stdexcept>

namespace {

void configure(clsToken& t, const QString& line, int table) {
    for (const QString& entry : line.split(QChar(0x1f))) {
        switch (table) {
        case 0:
            t.AddDelimiters(entry);
            break;
        case 1:
            t.AddStrings(entry);
            break;
        default:
            t.AddComments(entry);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Latin-1 keeps one character per byte, as the readers' local 8-bit text mostly does.
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size));
    const QList<QStringView> lines = QStringView(text).split(u'\n');

    clsToken t;
    qsizetype first = 0;
    for (int table = 0; table < 3 && first < lines.size(); ++table, ++first)
        configure(t, lines.at(first).toString(), table);
    // The reader's own clearing between files.
    if (first < lines.size() && lines.at(first) == u"\x1b") {
        t.ClearDelimiters();
        t.AddDelimiters(QStringLiteral(","));
        ++first;
    }

    for (qsizetype i = first; i < lines.size(); ++i) {
        const QString line = lines.at(i).toString();
        bool thrown = false;
        try {
            t.setSource(line);
        } catch (const std::out_of_range&) {
            thrown = true;
        }
        const int count = t.TokenCount();
        if (count < 0 || count > clsToken::MaxTokens || (thrown && count != clsToken::MaxTokens))
            std::abort();
        qsizetype total = 0;
        for (int k = 0; k < count; ++k)
            total += t.Tokens(k).size();
        if (total > line.size())
            std::abort();
        if (t.Source() != line)
            std::abort();
    }
    return 0;
}
