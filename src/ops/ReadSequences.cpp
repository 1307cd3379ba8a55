#include "ops/ReadSequences.h"

#include "app/ReadingFormat.h"
#include "link/Frame.h"
#include "link/uclHbif.h"
#include "model/CommandSet.h"
#include "model/GasInfo.h"
#include "model/clsInstrument.h"

namespace {

std::array<ReadSequences::ReadSlot, ReadSequences::ReadTableSize> buildReadTable() {
    std::array<ReadSequences::ReadSlot, ReadSequences::ReadTableSize> t;
    const auto put = [&t](int slot, const QString& payload) {
        t[std::size_t(slot)].payload = payload;
    };
    struct Fixed {
        int slot;
        const char* code;
    };
    // Single reads by slot; the slots between them stay empty.
    static constexpr Fixed fixed[] = {
        {0, "VP"},   {1, "XZ"},   {3, "IN"},   {4, "HN"},   {5, "HC"},   {7, "AP"},   {8, "XP"},
        {10, "SD"},  {11, "SM"},  {12, "SC"},  {15, "XB"},  {16, "XW"},  {17, "XT"},  {19, "HF"},
        {20, "GJ"},  {21, "A1"},  {22, "A2"},  {25, "HA"},  {26, "VS"},  {30, "AT"},  {37, "UJ"},
        {39, "SJ"},  {40, "SG"},  {43, "CP"},  {45, "UQ"},  {48, "AF"},  {49, "BS"},  {50, "LS"},
        {194, "CN"}, {195, "OG"}, {196, "VG"}, {197, "V2"}, {199, "CC"}, {200, "CF"}, {201, "CM"},
        {202, "CA"}, {203, "CD"}, {204, "CL"}, {205, "C3"}, {206, "C4"}, {207, "C5"}, {208, "CB"},
        {209, "CE"}, {210, "CK"}, {211, "C2"}, {212, "C1"},
    };
    for (const Fixed& f : fixed)
        put(f.slot, ReadPayload(QString::fromLatin1(f.code)));
    put(2, StationIdReadPayload());
    for (int table = 1; table <= 15; ++table)
        put(50 + table, LibraryReadPayload(table));
    for (int station = 0; station < clsInstrument::StationCount; ++station)
        put(66 + station, StationReadPayload(station));
    return t;
}

} // namespace

QStringList ReadSequences::RomNoProperties() {
    return {QStringLiteral("RomNumber"), QStringLiteral("UserID"), QStringLiteral("StationID"),
            QStringLiteral("SerialNo"), QStringLiteral("DummySerial")};
}

const std::array<ReadSequences::ReadSlot, ReadSequences::ReadTableSize>&
ReadSequences::ReadTable() {
    static const auto table = buildReadTable();
    return table;
}

bool ReadSequences::readExchange(const QString& payload) {
    // Refused while another wait runs: one exchange at a time.
    return m_link.Exchange(payload, LinkStatus::WaitRead);
}

bool ReadSequences::readSlots(clsInstrument* record, int last) {
    if (!record)
        return false;
    const OperationScope scope(m_link);
    m_link.setInstrument(record);
    const auto& table = ReadTable();
    for (int slot = 0; slot <= last; ++slot) {
        const QString& payload = table[std::size_t(slot)].payload;
        if (!payload.isEmpty() && !readExchange(payload))
            return false;
    }
    return true;
}

bool ReadSequences::GetInstrument(clsInstrument* record) {
    return readSlots(record, FullReadLastSlot);
}

bool ReadSequences::GetRomNo(clsInstrument* record) {
    if (!record)
        return false;
    record->setFailLine(QString());
    return readSlots(record, RomNoLastSlot);
}

bool ReadSequences::GetLatestHistory(clsInstrument* record) {
    if (!record)
        return false;
    const OperationScope scope(m_link);
    m_link.setInstrument(record);
    if (readExchange(CommandPayload(Key::History)))
        return true;
    m_link.release();
    return false;
}

bool ReadSequences::ReadSingle(const QString& payload, clsInstrument* record) {
    if (!record)
        return false;
    clsInstrument* const previous = m_link.Instrument();
    const OperationScope scope(m_link);
    m_link.setInstrument(record);
    record->setFailLine(QString());
    const bool ok = readExchange(payload);
    m_link.setInstrument(previous);
    return ok;
}

bool ReadSequences::GetGasInfo(clsInstrument* record) {
    if (ReadSingle(CommandPayload(Key::GasTableRead), record))
        return true;
    m_link.release();
    if (record) {
        const QString noSensor(25, u'*');
        for (int gas = 0; gas < clsInstrument::GasCount; ++gas)
            ApplyGasInfoRecord(noSensor, *record, gas);
    }
    return false;
}

bool ReadSequences::GetAutoCalDensty(clsInstrument* record) {
    if (ReadSingle(ReadPayload(u"SA"), record))
        return true;
    m_link.release();
    if (record) {
        for (int gas = 0; gas < clsInstrument::GasCount; ++gas)
            record->setAutoCalib(gas, -101.0f);
    }
    return false;
}
