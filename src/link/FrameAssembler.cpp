#include "link/FrameAssembler.h"

#include "link/Frame.h"

namespace {

// Text a line of noise may be: an instrument that answers a text line ends it with CR.
bool isPrintableLine(QByteArrayView bytes) {
    for (const char c : bytes)
        if (quint8(c) < 0x20 || quint8(c) > 0x7E)
            return false;
    return true;
}

} // namespace

bool FrameAssembler::isFramed(QByteArrayView block) {
    const qsizetype n = block.size();
    return n >= 9 && block.at(0) == Ctl::STX && block.sliced(1, 4) == "0001" &&
           block.at(n - 4) == Ctl::ETX;
}

void FrameAssembler::frameSent() {
    m_rx.clear();
    m_noiseSinceSend = false;
}

qint64 FrameAssembler::takeNoise() {
    const qint64 n = m_noise;
    m_noise = 0;
    return n;
}

void FrameAssembler::drop(qsizetype n, bool binary) {
    m_noiseSinceSend = m_noiseSinceSend || binary;
    m_noise += n;
    m_rx.remove(0, n);
}

std::optional<FrameAssembler::Item> FrameAssembler::next(bool replyAwaited) {
    while (!m_rx.isEmpty()) {
        if (m_noise >= m_bound)
            return Item{Item::Noise, {}, takeNoise()};
        const qsizetype stx = m_rx.indexOf(Ctl::STX);
        if (stx != 0) {
            const qsizetype noiseEnd = stx < 0 ? m_rx.size() : stx;
            const qsizetype cr = m_rx.indexOf(Ctl::CR);
            if (cr >= 0 && cr < noiseEnd) {
                const QByteArray line = m_rx.left(cr + 1);
                const bool text = isPrintableLine(QByteArrayView(line).chopped(1));
                if (text && !m_noiseSinceSend && replyAwaited) {
                    m_rx.remove(0, cr + 1);
                    return Item{Item::Refusal, line, 0};
                }
                drop(cr + 1, !text);
                continue;
            }
            drop(noiseEnd, !isPrintableLine(QByteArrayView(m_rx.constData(), noiseEnd)));
            continue;
        }
        const qsizetype etb = m_rx.indexOf(Ctl::ETB);
        const qsizetype eot = m_rx.indexOf(Ctl::EOT);
        const qsizetype end = etb < 0 ? eot : (eot < 0 ? etb : qMin(etb, eot));
        if (end < 0) {
            // A frame on its way; the link's time-out covers one that never ends. One that
            // outgrows any reply is no frame: with no terminator anywhere, only the last STX can
            // still begin one, and dropping up to it at once keeps a flood of STX bytes linear.
            if (m_rx.size() <= m_bound)
                return std::nullopt;
            const qsizetype last = m_rx.lastIndexOf(Ctl::STX);
            drop(last > 0 && m_rx.size() - last <= m_bound ? last : m_rx.size(), true);
            continue;
        }
        // A frame that broke off and a new one began: the new one counts.
        const qsizetype restart = m_rx.lastIndexOf(Ctl::STX, end);
        if (restart > 0) {
            drop(restart, true);
            continue;
        }
        if (!isFramed(QByteArrayView(m_rx.constData(), end + 1))) {
            drop(end + 1, true);
            continue;
        }
        const QByteArray block = m_rx.left(end + 1);
        m_rx.remove(0, end + 1);
        return Item{Item::Block, block, 0};
    }
    return std::nullopt;
}
