#include "sim/SimFrame.h"

namespace SimFrame {

quint8 checksum(const QByteArray& stxThroughEtx) {
    unsigned sum = 0;
    for (char c : stxThroughEtx)
        sum += quint8(c);
    return quint8((256 - sum % 256) % 256);
}

QByteArray checksumText(const QByteArray& stxThroughEtx) {
    static const char digits[] = "0123456789ABCDEF";
    const quint8 cs = checksum(stxThroughEtx);
    QByteArray out;
    out.append(digits[cs >> 4]);
    out.append(digits[cs & 0x0F]);
    return out;
}

QByteArray build(const QByteArray& payload, char terminator) {
    QByteArray frame;
    frame.reserve(payload.size() + 9);
    frame.append(STX);
    frame.append("0001");
    frame.append(payload);
    frame.append(ETX);
    frame.append(checksumText(frame));
    frame.append(terminator);
    return frame;
}

static bool isUpperHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

Parsed parse(const QByteArray& frame) {
    Parsed p;
    // STX + "0001" + ETX + 2 digits + terminator.
    if (frame.size() < 9 || frame.front() != STX)
        return p;
    const char term = frame.back();
    if (term != EOT && term != ETB)
        return p;
    const qsizetype etx = frame.size() - 4;
    if (frame.at(etx) != ETX || frame.mid(1, 4) != "0001")
        return p;
    const QByteArray digits = frame.mid(etx + 1, 2);
    if (!isUpperHex(digits.at(0)) || !isUpperHex(digits.at(1)))
        return p;
    if (checksumText(frame.left(etx + 1)) != digits)
        return p;
    p.payload = frame.mid(5, etx - 5);
    // A stray framing byte inside the payload means two frames ran together.
    for (char c : p.payload) {
        if (c == STX || c == ETX || c == EOT || c == ETB)
            return p;
    }
    p.terminator = term;
    p.ok = true;
    return p;
}

} // namespace SimFrame

void SimFrameReader::feed(const QByteArray& bytes) {
    for (char c : bytes) {
        if (c == SimFrame::STX) {
            // A new start abandons any unfinished frame: the PC gave up on it.
            m_current = QByteArray(1, c);
            continue;
        }
        if (m_current.isEmpty())
            continue;
        m_current.append(c);
        if (c == SimFrame::EOT || c == SimFrame::ETB) {
            m_frames.append(m_current);
            m_current.clear();
        } else if (m_current.size() > MaxFrameBytes) {
            m_current.clear();
        }
    }
}

QByteArray SimFrameReader::takeFrame() {
    return m_frames.isEmpty() ? QByteArray() : m_frames.takeFirst();
}

void SimFrameReader::reset() {
    m_current.clear();
    m_frames.clear();
}
