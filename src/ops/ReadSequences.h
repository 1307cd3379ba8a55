#pragma once

#include <QString>
#include <QStringList>
#include <array>

class clsInstrument;
class uclHbif;

// The read operations of the communications control: each is a run of single exchanges on the
// link, decoded into the record it is given, and returns True only when every exchange ended
// with Status 6. The record becomes the link's Instrument (ReadSingle gives the previous one
// back).
class ReadSequences {
public:
    // The read table: 323 slots in the order a full read sends them; empty payloads are
    // skipped.
    static constexpr int ReadTableSize = 323;
    struct ReadSlot {
        QString payload;
        bool enabled = true; // set for every slot, consulted by nobody
    };
    static const std::array<ReadSlot, ReadTableSize>& ReadTable();
    // The slots GetInstrument and GetRomNo walk.
    static constexpr int FullReadLastSlot = 321;
    static constexpr int RomNoLastSlot = 4;

    explicit ReadSequences(uclHbif& link) : m_link(link) {}

    // Every non-empty slot from 0 to 321, in order; stops at the first failed exchange.
    bool GetInstrument(clsInstrument* record);
    // The identity slots 0 to 4 only; clears FailLine first.
    bool GetRomNo(clsInstrument* record);
    // The record properties those slots fill ("VP" the program number, then the identity
    // texts): all of the record that GetRomNo makes the instrument's.
    static QStringList RomNoProperties();
    // Key::History; on failure Status becomes 2.
    bool GetLatestHistory(clsInstrument* record);
    // Key::GasTableRead; on failure Status 2 and every gas slot as "no sensor".
    bool GetGasInfo(clsInstrument* record);
    // the "SA" levels; on failure Status 2 and the five AutoCalib values -101.
    bool GetAutoCalDensty(clsInstrument* record);
    // One read into `record` while the link's Instrument is lent to it.
    bool ReadSingle(const QString& payload, clsInstrument* record);

private:
    bool readSlots(clsInstrument* record, int last);
    bool readExchange(const QString& payload);

    uclHbif& m_link;
};
