#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <utility>

// The 16-line buffer that a dump listing's blocks are decoded into. Each line is a 24-bit
// address and 16 bytes. When the 16th line is filled the group goes to the full handler (the
// hex list writer) and the buffer starts again.
class HexListBuffer {
public:
    static constexpr int Lines = 16;
    static constexpr int BytesPerLine = 16;
    static constexpr int BlockSpan = 128; // address distance between listing blocks

    struct Line {
        quint32 address = 0;
        QByteArray bytes; // always BytesPerLine long
    };
    using FullHandler = std::function<void(const QList<Line>&)>;

    void setFullHandler(FullHandler h) { m_full = std::move(h); }
    void clear() {
        m_lines.clear();
        m_lastBlock = 0;
        m_announced = 0;
        m_arrived.clear();
        m_inOrder = true;
    }
    // The number of the block taken last (0: none since clear()). A listing block sent again
    // because its acknowledgement was lost must not be listed twice.
    qint64 lastBlock() const { return m_lastBlock; }
    const QList<Line>& lines() const { return m_lines; }

    // Whether a listing block with this number and data can be taken: block 1 and up with
    // its lines inside the 24-bit address range, data all hex digits.
    static bool isValidBlock(qint64 blockNumber, const QByteArray& hex);
    // Cuts the data into 32-digit lines (the last one padded with "F") addressed from
    // (block - 1) x 128. The caller has checked isValidBlock. `announced` is the count of
    // blocks the listing says it has (0: not said).
    void addBlock(qint64 blockNumber, const QByteArray& hex, qint64 announced = 0);

    // Whether the listing arrived whole: blocks 1 to the announced count, each once, in order.
    bool complete() const { return m_inOrder && m_announced > 0 && m_lastBlock == m_announced; }
    qint64 announced() const { return m_announced; }
    qint64 arrivedCount() const;
    // The blocks that arrived, as ranges: "1-2, 4-6, 8".
    QString arrivedText() const;

private:
    QList<Line> m_lines;
    FullHandler m_full;
    qint64 m_lastBlock = 0;
    qint64 m_announced = 0;
    QList<std::pair<qint64, qint64>> m_arrived; // first and last block of each run
    bool m_inOrder = true;
};
