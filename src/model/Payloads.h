#pragma once

#include <QString>

class clsInstrument;

// Field encodings of the instrument's commands and of settings files, each written once.

// text(n): exactly n characters, padded on the right with blanks, longer text cut.
QString TextN(const QString& text, int width);
// level: five characters right-aligned with 0 to 3 decimals ("#0" for other counts),
// "*****" for a negative value.
QString LevelText(float value, int decimals);
// Upper-case hexadecimal, zero-padded on the left and cut to its last `width` digits.
QString HexN(qint64 value, int width);
// The 25-character gas record of one slot: name text(11), full scale and resolution as levels
// with the slot's decimals, unit text(4); 25 "*" for a disabled slot.
QString GasRecordText(const clsInstrument& record, int gas);
// The five gas records joined by ",".
QString GasRecordsPayload(const clsInstrument& record);
// The five Warning (alarm = false) or Alarm (alarm = true) levels joined by ",".
QString LevelsPayload(const clsInstrument& record, bool alarm);
// The user gas fields the instrument's user gas write carries: what an editor or a settings
// file may accept for them.
constexpr int UserGasNameWidth = 10;
constexpr int UserGasVoltDigits = 3;
constexpr qint32 UserGasVoltMax = (1 << (4 * UserGasVoltDigits)) - 1; // 4095

// One user gas record as the instrument's user gas write takes it: number hex(2), name
// text(10), full scale and resolution as levels with the record's decimals, unit text(4),
// element volume hex(3), ratio as a hex single; each field followed by ",".
QString LsWritePayloadRecord(const clsInstrument& record, int entry);
// The same record as a settings file stores it: "00", name text(10), full scale, resolution,
// unit text(4), element volume hex(4), ratio hex single; each field followed by ",".
QString LsFileRecord(const clsInstrument& record, int entry);
