#include "app/clsToken.h"

void clsToken::add(Table& t, qint16& count, const QString& s) {
    if (count < MaxEntries) {
        t[count] = s;
        ++count;
    }
}

void clsToken::clear(Table& t, qint16& count) {
    for (int i = 0; i < MaxEntries; ++i)
        t[i].clear();
    count = 0;
}

QString clsToken::entry(const Table& t, qint16 count, int index) {
    if (index >= 0 && index < count)
        return t[index];
    return QString();
}

void clsToken::setEntry(Table& t, int index, const QString& s) {
    if (index >= 0 && index < MaxEntries)
        t[index] = s;
}

int clsToken::classify(QChar c) const {
    // A later table wins: comment over string range over delimiter. Only single-character
    // entries can match a character.
    // Compared in place: this runs for every character of every line read.
    const auto is = [c](const QString& entry) { return entry.size() == 1 && entry.at(0) == c; };
    int cls = 0;
    for (int i = 0; i < m_delimCount; ++i)
        if (is(m_delims[i]))
            cls = 1;
    for (int i = 0; i < m_stringCount; ++i)
        if (is(m_strings[i]))
            cls = 2;
    for (int i = 0; i < m_commentCount; ++i)
        if (is(m_comments[i]))
            cls = 3;
    return cls;
}

void clsToken::storeToken(const QString& s) {
    if (m_tokenCount >= MaxTokens || m_tokenCount < 0)
        throw std::out_of_range("clsToken: too many tokens");
    m_tokens[m_tokenCount] = s;
    ++m_tokenCount;
}

void clsToken::setSource(const QString& text) {
    m_source = text;
    m_tokenCount = 0;
    QString pending;
    bool inString = false;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        switch (classify(c)) {
        case 0:
            pending += c;
            break;
        case 1:
            if (inString) {
                pending += c;
            } else {
                if (!pending.isEmpty())
                    storeToken(pending);
                pending.clear();
            }
            break;
        case 2:
            if (inString) {
                storeToken(pending);
                inString = false;
            } else {
                inString = true;
            }
            pending.clear();
            break;
        case 3:
            if (inString) {
                pending += c;
            } else {
                // The rest of the line lands in the next slot without being counted.
                if (m_tokenCount >= 0 && m_tokenCount < MaxTokens)
                    m_tokens[m_tokenCount] = text.mid(i + 1);
                return;
            }
            break;
        }
    }
    if (!pending.isEmpty())
        storeToken(pending);
}

QString clsToken::Tokens(int index) const {
    if (index >= 0 && index < MaxTokens - 1)
        return m_tokens[index];
    return QString();
}

void clsToken::setTokens(int index, const QString& s) {
    if (index < 0 || index >= MaxTokens)
        throw std::out_of_range("clsToken: token index out of range");
    m_tokens[index] = s;
}
