#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;

// Reads text lines in the system's 8-bit encoding from a device. A line ends at CR LF, LF or
// CR; the last line needs no line end. Memory stays bounded whatever the input holds: a line
// longer than the limit is cut there and the rest of it is skipped (and reported as cut).
class TextLineReader {
public:
    static constexpr qsizetype DefaultLineLimit = 64 * 1024;

    explicit TextLineReader(QIODevice& device, qsizetype lineLimit = DefaultLineLimit);

    // The next line without its line end; false at the end of the input.
    bool next(QString* line, bool* cut = nullptr);
    // 1-based number of the line last returned.
    qint64 lineNumber() const { return m_lineNumber; }

private:
    bool fill();

    QIODevice& m_device;
    qsizetype m_limit;
    QByteArray m_buffer;
    QByteArray m_line; // the line being read, kept between calls so its room is reused
    qsizetype m_pos = 0;
    bool m_eof = false;
    bool m_skipLf = false; // the last line ended in CR; a following LF belongs to it
    qint64 m_lineNumber = 0;
};
