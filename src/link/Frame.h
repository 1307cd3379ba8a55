#pragma once

#include <QByteArray>
#include <QString>

// The instrument's frame: STX "0001" payload ETX checksum(2 hex) terminator. One character is
// one byte on the wire, so frames are byte arrays; the texts that go into them are Latin-1.
namespace Ctl {
inline constexpr char STX = '\x02';
inline constexpr char ETX = '\x03';
inline constexpr char EOT = '\x04';
inline constexpr char ENQ = '\x05';
inline constexpr char ACK = '\x06';
inline constexpr char CR = '\x0D';
inline constexpr char NAK = '\x15';
inline constexpr char ETB = '\x17';
inline constexpr char SUB = '\x1A';
inline constexpr char ESC = '\x1B';
} // namespace Ctl

// A received block shorter than this is a format error.
inline constexpr int MinBlockLength = 15;

// Payload text as wire bytes; a character outside Latin-1 becomes "?".
QByteArray WireBytes(const QString& text);

// (256 - sum mod 256) mod 256 of every byte given, as two upper-case hex digits.
QByteArray FrameChecksum(const QByteArray& bytesThroughEtx);
QByteArray BuildFrame(const QByteArray& payload, char terminator);
inline QByteArray BuildFrame(const QString& payload, char terminator) {
    return BuildFrame(WireBytes(payload), terminator);
}

// True when the block is STX ... ETX, two hex digits, a terminator, and the digits are the
// checksum of everything up to the ETX.
bool BlockChecksumOk(const QByteArray& block);

// Block acknowledgements (ETB-terminated): ACK or NAK followed by the key of the command
// being answered with its comma, five characters (seven characters when that command contains
// "IH").
QByteArray BlockAcknowledgement(const QByteArray& commandFrame, bool positive);

// Only the characters 32..127, in order.
QByteArray StripControl(const QByteArray& text);
// Readable form of a frame for the communication log ("[STX]0001", the payload, "[ETX]", checksum,
// "[EOT]").
QString ToLogText(const QByteArray& frame);

// A received block split the way the decoder reads it: the status character (position 11),
// the four-character command key and the data after the key's comma (CR read as ",").
struct BlockParts {
    char status = 0;
    QByteArray key;
    QByteArray data;
};
BlockParts SplitBlock(const QByteArray& block);

// The command key of a frame the PC sent (code, comma, form letter), or the ACK/NAK character for a
// block acknowledgement.
QByteArray CommandKey(const QByteArray& frame);
// The data of a frame the PC sent (after the key's comma, up to ETX).
QByteArray CommandData(const QByteArray& frame);
