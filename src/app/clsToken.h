#pragma once

#include <QString>
#include <array>
#include <stdexcept>

// Splits one line into tokens by configurable delimiter, string-range quote and comment
// characters. One instance is usually reused line by line; its configuration survives.
// Token slots are overwritten, never cleared: a slot at or beyond TokenCount still holds what
// an earlier line (or the comment rule) left there, and some callers rely on that.
class clsToken {
public:
    static constexpr int MaxEntries = 10;
    static constexpr int MaxTokens = 256;

    void AddDelimiters(const QString& s) { add(m_delims, m_delimCount, s); }
    void AddStrings(const QString& s) { add(m_strings, m_stringCount, s); }
    void AddComments(const QString& s) { add(m_comments, m_commentCount, s); }
    void ClearDelimiters() { clear(m_delims, m_delimCount); }
    void ClearStrings() { clear(m_strings, m_stringCount); }
    void ClearComments() { clear(m_comments, m_commentCount); }

    QString Delimiters(int index) const { return entry(m_delims, m_delimCount, index); }
    void setDelimiters(int index, const QString& s) { setEntry(m_delims, index, s); }
    QString StringRanges(int index) const { return entry(m_strings, m_stringCount, index); }
    void setStringRanges(int index, const QString& s) { setEntry(m_strings, index, s); }
    QString Comments(int index) const { return entry(m_comments, m_commentCount, index); }
    void setComments(int index, const QString& s) { setEntry(m_comments, index, s); }

    // Stores the text and tokenizes it at once. Throws std::out_of_range on a 257th token;
    // the tokens stored so far and TokenCount (256) remain.
    void setSource(const QString& text);
    const QString& Source() const { return m_source; }

    qint16 TokenCount() const { return m_tokenCount; }
    void setTokenCount(qint16 n) { m_tokenCount = n; }

    // Not bounded by TokenCount; index 255 and anything out of 0..254 read as empty.
    QString Tokens(int index) const;
    // Throws std::out_of_range outside 0..255.
    void setTokens(int index, const QString& s);

private:
    using Table = std::array<QString, 11>;
    static void add(Table& t, qint16& count, const QString& s);
    static void clear(Table& t, qint16& count);
    static QString entry(const Table& t, qint16 count, int index);
    static void setEntry(Table& t, int index, const QString& s);
    int classify(QChar c) const;
    void storeToken(const QString& s);

    QString m_source;
    Table m_delims, m_strings, m_comments;
    qint16 m_delimCount = 0, m_stringCount = 0, m_commentCount = 0;
    std::array<QString, MaxTokens> m_tokens;
    qint16 m_tokenCount = 0;
};
