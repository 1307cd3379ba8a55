#pragma once

#include "sim/SimFrame.h"

#include <QByteArray>
#include <functional>

// One well-formed frame from the PC, split the way the instrument reads it.
struct SimRequest {
    QByteArray frame;   // the bytes as received, STX through terminator
    QByteArray payload; // between "0001" and ETX
    QByteArray key;     // "XS,R"; "ACK" or "NAK" for block acknowledgements
    QByteArray code;    // "XS"
    QByteArray data;    // after "XS,R,"

    // False for a payload that is neither "CC,F[,data]" nor a block acknowledgement.
    static bool fromPayload(const QByteArray& frame, const QByteArray& payload, SimRequest* out);
};

// What the instrument puts on the wire for one request; empty bytes mean no answer.
struct SimReply {
    enum class Kind { None, Frame, Raw };
    Kind kind = Kind::None;
    QByteArray bytes;
    int memoryBlock = -1;  // "EP" block carried
    int listingBlock = -1; // "EF" listing block carried (1-based)

    bool isEmpty() const { return kind == Kind::None || bytes.isEmpty(); }

    static SimReply frame(const QByteArray& key, const QByteArray& data,
                          char terminator = SimFrame::EOT) {
        return SimReply{Kind::Frame, SimFrame::build(key + ',' + data, terminator), -1, -1};
    }
    static SimReply ack(const QByteArray& key) { return frame(key, QByteArray(1, SimFrame::ACK)); }
    static SimReply nak(const QByteArray& key) { return frame(key, QByteArray(1, SimFrame::NAK)); }
    static SimReply echo(const SimRequest& r) { return SimReply{Kind::Frame, r.frame, -1, -1}; }
    static SimReply raw(const QByteArray& bytes) { return SimReply{Kind::Raw, bytes, -1, -1}; }
};

using SimHandler = std::function<SimReply(const SimRequest&)>;
