#pragma once

#include "link/HexListBuffer.h"

#include <QByteArray>
#include <QString>

class clsInstrument;

// Where the current exchange stands. Operations set a waiting value, send, and wait while it
// holds; the receive handler, the line events and the link timer move it on.
enum class LinkStatus : qint32 {
    Idle = 0,          // start-up and the connect sequence
    Released = 2,      // no exchange; the live-reading poll may send
    BlockTransfer = 3, // a multi-block reply is being acknowledged
    WaitRead = 4,      // waiting for the reply to a read
    WaitWrite = 5,     // waiting for the reply to a write or command
    Done = 6,          // the exchange ended well
    Failed = 7,        // time-out after the last resend, bad blocks, a line or port error
    Cancelled = 8,     // the host cancelled while replies came
    BinaryDump = 9,    // raw memory bytes are arriving
};

// Why the last exchange failed: the instrument did not answer in time after every resend; it
// answered with something it could not take or that was not the reply; or the line or port
// failed under it.
enum class FailureCause { None, NoAnswer, Refused, Line };

// Whether an exchange is under way, so that a time-out, a lost line or a port error ends it.
constexpr bool IsWaiting(LinkStatus s) {
    return s == LinkStatus::BlockTransfer || s == LinkStatus::WaitRead ||
           s == LinkStatus::WaitWrite || s == LinkStatus::BinaryDump;
}

// Whether the link has been talking to an instrument (or its record was filled as if it had):
// any state after the start-up and the connect sequence.
constexpr bool IsTalking(LinkStatus s) {
    return s != LinkStatus::Idle;
}

// The connection as the link timer drives it.
enum class ConnectMode : qint32 {
    NotConnected = 0,
    Connecting = 2, // the link timer sends Key::Connect until the instrument answers
    Connected = 3,
    Reopen = 4, // open the serial port again, then connect
};

// The part of the link's state that reply decoding reads and writes. The transport owns it;
// the decoder works on it, so the decoder can be driven on its own in tests.
struct LinkState {
    clsInstrument* Instrument = nullptr; // the record replies are stored in
    ConnectMode LinkMode = ConnectMode::NotConnected;
    QByteArray LastFrame; // the last frame sent (the clock write's echo check)
    QString ZeroResult;   // five characters or empty
    QString SpanResult;
    bool Completion = false;    // the last clear/default poll carried ACK
    QString ReturnedText;       // token 0 of the last accepted nitrogen-zero reply
    QString ConnectReply;       // data text of the last connect reply
    HexListBuffer DumpList;     // dump-listing lines not yet written
    bool VerifyChecksum = true; // set by the host: blocks with a wrong checksum are rejected
};
