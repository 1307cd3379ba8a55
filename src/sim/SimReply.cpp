#include "sim/SimReply.h"

bool SimRequest::fromPayload(const QByteArray& frame, const QByteArray& payload, SimRequest* out) {
    SimRequest r;
    r.frame = frame;
    r.payload = payload;
    if (!payload.isEmpty() &&
        (payload.front() == SimFrame::ACK || payload.front() == SimFrame::NAK)) {
        r.key = payload.front() == SimFrame::ACK ? "ACK" : "NAK";
        r.data = payload.mid(1);
        *out = r;
        return true;
    }
    // "CC,F," with data, or just "CC,F" (a write whose trailing comma was trimmed away).
    if (payload.size() < 4 || payload.at(2) != ',' || (payload.size() > 4 && payload.at(4) != ','))
        return false;
    for (int i : {0, 1, 3}) {
        const char c = payload.at(i);
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    }
    r.key = payload.left(4);
    r.code = payload.left(2);
    r.data = payload.mid(5);
    *out = r;
    return true;
}
