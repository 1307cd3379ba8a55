#include "app/TextLineReader.h"

#include <QIODevice>

namespace {
constexpr qint64 kChunk = 64 * 1024;
}

TextLineReader::TextLineReader(QIODevice& device, qsizetype lineLimit)
    : m_device(device), m_limit(lineLimit > 0 ? lineLimit : DefaultLineLimit) {}

bool TextLineReader::fill() {
    if (m_eof)
        return false;
    if (m_pos > 0) {
        m_buffer.remove(0, m_pos);
        m_pos = 0;
    }
    // Asks only for what a file or buffer still holds: a settings file is a few kilobytes,
    // and a 64 kB block allocated and freed for each read is most of the cost of reading it.
    if (!m_device.isSequential() && m_device.atEnd()) {
        m_eof = true;
        return false;
    }
    qint64 want = m_device.isSequential() ? 0 : m_device.bytesAvailable();
    if (want <= 0 || want > kChunk)
        want = kChunk;
    const qsizetype kept = m_buffer.size();
    m_buffer.resize(kept + qsizetype(want));
    const qint64 got = m_device.read(m_buffer.data() + kept, want);
    m_buffer.resize(kept + qsizetype(qMax<qint64>(got, 0)));
    if (got <= 0) {
        m_eof = true;
        return false;
    }
    return true;
}

bool TextLineReader::next(QString* line, bool* cut) {
    QByteArray& bytes = m_line;
    bytes.resize(0);
    bool wasCut = false;
    bool any = false;
    while (true) {
        if (m_pos >= m_buffer.size() && !fill())
            break;
        if (m_skipLf) {
            m_skipLf = false;
            if (m_buffer.at(m_pos) == '\n') {
                ++m_pos;
                continue;
            }
        }
        any = true;
        const char* data = m_buffer.constData() + m_pos;
        const qsizetype avail = m_buffer.size() - m_pos;
        qsizetype end = 0;
        while (end < avail && data[end] != '\n' && data[end] != '\r')
            ++end;
        const qsizetype room = m_limit - bytes.size();
        if (room > 0)
            bytes.append(data, qMin(room, end));
        if (end > room)
            wasCut = true;
        m_pos += end;
        if (end < avail) {
            m_skipLf = data[end] == '\r';
            ++m_pos;
            break;
        }
    }
    if (!any)
        return false;
    ++m_lineNumber;
    if (line)
        *line = QString::fromLocal8Bit(bytes);
    if (cut)
        *cut = wasCut;
    return true;
}
