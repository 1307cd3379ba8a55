#pragma once

#include <QByteArray>
#include <QList>

// The instrument's own frame code: STX "0001" payload ETX checksum(2 hex) EOT|ETB.
// Deliberately independent of the PC side so that a shared mistake cannot hide.
namespace SimFrame {

constexpr char STX = 0x02;
constexpr char ETX = 0x03;
constexpr char EOT = 0x04;
constexpr char ACK = 0x06;
constexpr char NAK = 0x15;
constexpr char ETB = 0x17;
constexpr char SUB = 0x1A;
constexpr char CR = 0x0D;

// (256 - sum(STX..ETX) mod 256) mod 256 over the bytes given.
quint8 checksum(const QByteArray& stxThroughEtx);
QByteArray checksumText(const QByteArray& stxThroughEtx);
QByteArray build(const QByteArray& payload, char terminator = EOT);

struct Parsed {
    bool ok = false;
    QByteArray payload;
    char terminator = 0;
};

// Checks one complete frame (STX first, terminator last): layout, "0001", upper-case
// checksum digits that match.
Parsed parse(const QByteArray& frame);

} // namespace SimFrame

// Cuts the PC's byte stream into frames. Bytes outside a frame are discarded and an
// unterminated frame is abandoned once it exceeds the bound, so a flood cannot grow memory.
class SimFrameReader {
public:
    static constexpr int MaxFrameBytes = 1024;

    // Appends bytes; complete candidate frames (STX .. EOT/ETB) are collected for take().
    void feed(const QByteArray& bytes);
    bool hasFrame() const { return !m_frames.isEmpty(); }
    QByteArray takeFrame();
    void reset();
    int pendingBytes() const { return int(m_current.size()); }

private:
    QByteArray m_current; // starts with STX while inside a frame, else empty
    QList<QByteArray> m_frames;
};
