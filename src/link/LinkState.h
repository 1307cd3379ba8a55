#pragma once

#include "link/HexListBuffer.h"

#include <QByteArray>
#include <QString>

class clsInstrument;

// The part of the link's state that reply decoding reads and writes. The transport owns it;
// the decoder works on it, so the decoder can be driven on its own in tests.
struct LinkState {
    clsInstrument* Instrument = nullptr; // the record replies are stored in
    qint32 LinkMode = 0;                 // 0 not connected, 2 connecting, 3 connected, 4 reopen
    QByteArray LastFrame;                // the last frame sent (the clock write's echo check)
    QString ZeroResult;                  // five characters or empty
    QString SpanResult;
    bool Completion = false; // the last clear/default poll carried ACK
    QString ReturnedText;    // token 0 of the last accepted nitrogen-zero reply
    QString ConnectReply;    // data text of the last connect reply
    HexListBuffer DumpList;  // dump-listing lines not yet written
};
