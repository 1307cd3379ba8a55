#include "link/Frame.h"

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Position of the ETX that closes a frame sent by the PC, or -1.
qsizetype payloadEnd(const QByteArray& frame) {
    if (frame.size() < 9 || frame.at(0) != Ctl::STX)
        return -1;
    const qsizetype etx = frame.size() - 4;
    return frame.at(etx) == Ctl::ETX ? etx : -1;
}

} // namespace

QByteArray WireBytes(const QString& text) {
    QByteArray out(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text.at(i).unicode();
        out[i] = u < 256 ? char(u) : '?';
    }
    return out;
}

QByteArray FrameChecksum(const QByteArray& bytes) {
    unsigned sum = 0;
    for (const char c : bytes)
        sum += quint8(c);
    const unsigned cs = (256 - sum % 256) % 256;
    const char digits[2] = {kHex[cs >> 4], kHex[cs & 15]};
    return QByteArray(digits, 2);
}

QByteArray BuildFrame(const QByteArray& payload, char terminator) {
    QByteArray f;
    f.reserve(payload.size() + 9);
    f += Ctl::STX;
    f += "0001";
    f += payload;
    f += Ctl::ETX;
    f += FrameChecksum(f);
    f += terminator;
    return f;
}

bool BlockChecksumOk(const QByteArray& block) {
    if (block.size() < 9 || block.at(0) != Ctl::STX)
        return false;
    const qsizetype etx = block.size() - 4;
    if (block.at(etx) != Ctl::ETX)
        return false;
    const char hi = block.at(etx + 1);
    const char lo = block.at(etx + 2);
    if (!isHexDigit(hi) || !isHexDigit(lo))
        return false;
    const char given[2] = {hi, lo};
    return FrameChecksum(block.left(etx + 1)) == QByteArray(given, 2).toUpper();
}

QByteArray BlockAcknowledgement(const QByteArray& commandFrame, bool positive) {
    const int n = commandFrame.contains("IH") ? 7 : 5;
    QByteArray payload(1, positive ? Ctl::ACK : Ctl::NAK);
    payload += commandFrame.mid(5, n);
    return BuildFrame(payload, Ctl::ETB);
}

QByteArray StripControl(const QByteArray& text) {
    QByteArray out;
    out.reserve(text.size());
    for (const char c : text) {
        const quint8 b = quint8(c);
        if (b >= 32 && b <= 127)
            out += c;
    }
    return out;
}

QString ToLogText(const QByteArray& frame) {
    QString out;
    out.reserve(frame.size() + 24);
    for (const char c : frame) {
        const quint8 b = quint8(c);
        if (b >= 32 || b == 0x0A || b == 0x0D) {
            out += QChar(b);
            continue;
        }
        switch (b) {
        case 0x02:
            out += QLatin1String("[STX]");
            break;
        case 0x03:
            out += QLatin1String("[ETX]");
            break;
        case 0x04:
            out += QLatin1String("[EOT]");
            break;
        case 0x05:
            out += QLatin1String("[ENQ]");
            break;
        case 0x06:
            out += QLatin1String("[ACK]");
            break;
        case 0x15:
            out += QLatin1String("[NAK]");
            break;
        case 0x17:
            out += QLatin1String("[ETB]");
            break;
        case 0x1A:
            out += QLatin1String("[SUB]");
            break;
        case 0x1B:
            out += QLatin1String("[ESC]");
            break;
        default:
            out += u'[';
            out += QChar(kHex[b >> 4]);
            out += QChar(kHex[b & 15]);
            out += u']';
        }
    }
    return out;
}

BlockParts SplitBlock(const QByteArray& block) {
    BlockParts p;
    if (block.size() > 10)
        p.status = block.at(10);
    QByteArray text = block;
    text.replace(Ctl::CR, ',');
    text = StripControl(text);
    // Without the "0001" field and the checksum.
    text = text.size() > 6 ? text.mid(4, text.size() - 6) : QByteArray();
    p.key = text.left(4);
    p.data = text.mid(5);
    return p;
}

QByteArray CommandKey(const QByteArray& frame) {
    if (frame.size() < 6)
        return QByteArray();
    const char first = frame.at(5);
    if (first == Ctl::ACK || first == Ctl::NAK)
        return QByteArray(1, first);
    return frame.mid(5, 4);
}

QByteArray CommandData(const QByteArray& frame) {
    const qsizetype etx = payloadEnd(frame);
    if (etx < 0 || etx < 10)
        return QByteArray();
    return frame.mid(10, etx - 10);
}
