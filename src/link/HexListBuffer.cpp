#include "link/HexListBuffer.h"

#include <QStringList>

namespace {
constexpr qint64 kAddressLimit = 0x1000000; // 24-bit addresses
constexpr int kDigitsPerLine = HexListBuffer::BytesPerLine * 2;
} // namespace

bool HexListBuffer::isValidBlock(qint64 block, const QByteArray& hex) {
    if (block < 1 || hex.isEmpty())
        return false;
    const qint64 lines = (hex.size() + kDigitsPerLine - 1) / kDigitsPerLine;
    if ((block - 1) > kAddressLimit / BlockSpan ||
        (block - 1) * BlockSpan + lines * BytesPerLine > kAddressLimit)
        return false;
    for (const char c : hex) {
        const bool digit =
            (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
        if (!digit)
            return false;
    }
    return true;
}

void HexListBuffer::addBlock(qint64 block, const QByteArray& hex, qint64 announced) {
    // A block that does not follow the one before means blocks were skipped (an instrument
    // that took a repeated acknowledgement as two) or came out of turn.
    if (block != m_lastBlock + 1)
        m_inOrder = false;
    if (announced > 0)
        m_announced = announced;
    if (!m_arrived.isEmpty() && m_arrived.last().second + 1 == block)
        m_arrived.last().second = block;
    else
        m_arrived.append({block, block});
    m_lastBlock = block;
    const quint32 base = quint32((block - 1) * BlockSpan);
    for (qsizetype at = 0, k = 0; at < hex.size(); at += kDigitsPerLine, ++k) {
        QByteArray piece = hex.mid(at, kDigitsPerLine);
        piece = piece.leftJustified(kDigitsPerLine, 'F');
        m_lines.append(Line{base + quint32(k * BytesPerLine), QByteArray::fromHex(piece)});
        if (m_lines.size() == Lines) {
            const QList<Line> group = m_lines;
            m_lines.clear();
            if (m_full)
                m_full(group);
        }
    }
}

qint64 HexListBuffer::arrivedCount() const {
    qint64 n = 0;
    for (const auto& run : m_arrived)
        n += run.second - run.first + 1;
    return n;
}

QString HexListBuffer::arrivedText() const {
    QStringList runs;
    for (const auto& run : m_arrived)
        runs << (run.first == run.second ? QString::number(run.first)
                                         : QStringLiteral("%1-%2").arg(run.first).arg(run.second));
    return runs.join(QStringLiteral(", "));
}
