#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

// Receive-side framing of the instrument's line, without any link state: bytes go in; blocks
// (STX "0001" ... ETX, two checksum characters, EOT or ETB), text lines that refuse a command
// and counts of dropped noise come out, in the order they were received. What a block says and
// whether it answers the command is the link's business; its checksum is the decoder's.
//
// Bytes before a frame's STX are noise. A printable line ended by CR, when the link says a
// reply is awaited and nothing but text arrived since the last send, is the instrument
// refusing the command; after binary noise it is noise too, so that a burst of garbage cannot
// use up the resends. A frame that outgrows any reply is no frame, and a frame that broke off
// where a new one began gives way to the new one. The buffer never holds more than the bound.
class FrameAssembler {
public:
    struct Item {
        enum Kind {
            Block,   // a framed block, terminator included
            Refusal, // a text line ended by CR that refuses the command
            Noise,   // `noise` bytes were dropped (reported once they reach the bound)
        };
        Kind kind = Block;
        QByteArray bytes;
        qint64 noise = 0;
    };

    // How much noise may pass unreported, and how long a frame may grow before it is no frame.
    explicit FrameAssembler(qsizetype bound) : m_bound(bound) {}

    void append(QByteArrayView bytes) { m_rx.append(bytes); }
    // A frame was sent: a text line from now on may be a refusal, and what waited is dropped.
    void frameSent();
    void clear() { m_rx.clear(); }
    // The next block or refusal, or a noise report once dropped noise reaches the bound;
    // nothing when the buffer holds no whole one. `replyAwaited`: an exchange waits for a reply.
    std::optional<Item> next(bool replyAwaited);
    // Noise dropped and not yet reported; reporting it starts the count again.
    qint64 takeNoise();
    qint64 pendingNoise() const { return m_noise; }
    const QByteArray& buffer() const { return m_rx; }

    // The shape of a block: STX, "0001", and ETX before the checksum and terminator.
    static bool isFramed(QByteArrayView block);

private:
    void drop(qsizetype n, bool binary);

    qsizetype m_bound;
    QByteArray m_rx;
    bool m_noiseSinceSend = false; // bytes that were no frame arrived since the last send
    qint64 m_noise = 0;            // dropped and not yet reported
};
