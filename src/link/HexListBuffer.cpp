#include "link/HexListBuffer.h"

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

void HexListBuffer::addBlock(qint64 block, const QByteArray& hex) {
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
