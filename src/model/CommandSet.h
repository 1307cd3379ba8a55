#pragma once

#include "app/AppDate.h"

#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <array>
#include <span>

class clsInstrument;

// The instrument's command vocabulary as data: each family of commands is one table that both
// the reply decoder and the payload builders read, so a code, its property and its field
// encodings are written down once.

// What the transport and the decoder must know of a command key beyond its fields.
namespace CommandPolicy {
enum : unsigned {
    None = 0,
    NeverResend = 1,    // a repeat would repeat its effect: the exchange ends by time-out instead
    EchoesSelector = 2, // the reply names the entry asked for, and must name the same one
    AckOnly = 4,        // the reply is accepted when its status character is ACK
    AcceptAny = 8,      // any well-formed reply is accepted
};
}
// What the decoder does with the reply to a key that belongs to no family below.
enum class ReplyRule {
    Acknowledge, // accepted when the status character is ACK
    AcceptAny,   // any well-formed reply, its data not stored
    StationEntry,
    GasTable,
    ClockRead,
    ClockEcho,
    History,
    Live,
    RomNumber,
    Sum,
    Connect,
    Channels,
    Analog,
    UserGas,
    Library,
    ZeroSpanFields,
    SpanResult,
    ZeroResult,
    Completion,
    Nitrogen,
    DumpList,
    SwitchEcho,
};

// The keys the program sends or names by themselves (the families below build their own keys
// from their codes). Other is every row no caller names.
enum class Key {
    Other,
    Connect,    // the link timer's connect request
    LiveRead,   // the five live readings
    ClockRead,  // also the record's FailLine after a clock that is no date
    ClockWrite, // echoed by the instrument
    PowerOff,
    Pump,      // data "1" on, "0" off
    ZeroStart, // with the zero request, then polled by ZeroPoll
    ZeroPoll,
    Span,     // with the span request
    Nitrogen, // with the oxygen value
    CheckData,
    Save,      // closes a write of settings
    BodyClear, // the logged data, polled by BodyClearPoll
    BodyClearPoll,
    PowerClear, // the power log, polled by PowerClearPoll
    PowerClearPoll,
    Defaults, // the factory defaults, polled by DefaultsPoll
    DefaultsPoll,
    StationRead, // data "****" (the station ID) or the entry's index
    StationWrite,
    GasTableRead,
    GasTableWrite,
    UserGasWrite,
    LibraryRead,     // data: the table number
    MemoryBlockRead, // data: the block number
    DumpListing,     // the instrument's own dump listing
    History,         // the calibration history
};

// One row per key: its name for the callers, the transport's policy and the decoder's rule.
struct CommandKeyRow {
    Key name;
    const char* key; // "SZ,W"
    unsigned policy;
    ReplyRule reply;
};
std::span<const CommandKeyRow> CommandKeyRows();
// The policy of a four-character command key; None for a key without a row.
unsigned PolicyOf(QByteArrayView key);
// The four characters of a named key ("HC,R") and its payload: the key, ",", the data.
QByteArray KeyText(Key key);
QString CommandPayload(Key key, QStringView data = {});
// The two-letter code of a named key ("SZ"), as the poll logs name it.
QString CommandCode(Key key);

// How a field is written on the wire.
enum class FieldEncoding {
    Decimal,       // digits, format "0"
    Hex,           // upper-case hex digits, zero-padded to the setting's width
    FlagDigit,     // "1" for a non-zero value, "0" otherwise
    FirstCharFlag, // read: 1 when the first character is "1", else 0
    Text,          // the stored text as it is (the destination code)
};

// Identity texts: "IN", "HN", "XZ", "BS".
struct IdentityCommand {
    const char* code;
    bool (clsInstrument::*flag)() const;
    QString (clsInstrument::*get)() const;
    void (clsInstrument::*set)(const QString&);
    void (clsInstrument::*setFlag)(bool);
    int width;
};

// Numeric settings ("AP" ... "SG"); "UJ" is the one text among them (Text encodings, no
// numeric accessors).
struct NumericSetting {
    const char* code;
    qint32 (*get)(const clsInstrument&);
    void (*set)(clsInstrument&, qint32);
    bool (*flag)(const clsInstrument&);
    void (*setFlag)(clsInstrument&, bool);
    FieldEncoding read;
    FieldEncoding write;
    int hexDigits; // width of a Hex write
    qint32 min;    // range of the property's type: a wider value is refused, not wrapped
    qint32 max;
};

// Five per-sensor levels: "A1", "A2", "AS", "AW", and the automatic-calibration values "SA".
struct LevelCommand {
    const char* code;
    float (*get)(const clsInstrument&, int);
    void (*set)(clsInstrument&, int, float);
    bool (*flag)(const clsInstrument&, int);
    void (*setFlag)(clsInstrument&, int, bool);
    bool writable; // "SA" is read only
};

// Per-sensor switches, four digit characters: "UZ", "AO".
struct SwitchCommand {
    const char* code;
    void (*set)(clsInstrument&, int, qint16);
    void (*setFlag)(clsInstrument&, int, bool);
};

// Bump and backlight groups: integer fields with accepted ranges.
struct RangedField {
    void (*set)(clsInstrument&, qint16);
    void (*setFlag)(clsInstrument&, bool);
    qint16 min;
    qint16 max;
};
struct RangedGroupCommand {
    const char* code;
    int fieldCount;
    bool logCountError; // a wrong field count is logged as a format error
    std::array<RangedField, 4> fields;
};

// Compensation coefficients and raw sensor texts, stored as the instrument sends them.
struct CoefficientCommand {
    static constexpr int MaxFields = 8;
    const char* code;
    int count;
    bool numeric; // a single numeric field (the span terms)
    std::array<QString (clsInstrument::*)() const, MaxFields> get;
    std::array<void (clsInstrument::*)(const QString&), MaxFields> set;
    void (clsInstrument::*setFlag)(bool); // null: the group has no change flag
    int writeReplyChars = 0; // the write reply is decoded from this many data characters; 0: all
};

std::span<const IdentityCommand> IdentityCommands();
std::span<const NumericSetting> NumericSettings();
std::span<const LevelCommand> LevelCommands();
std::span<const SwitchCommand> SwitchCommands();
std::span<const RangedGroupCommand> RangedGroupCommands();
std::span<const CoefficientCommand> CoefficientCommands();

// Lookups by two-letter code; null when the family has no such code.
const IdentityCommand* FindIdentityCommand(QStringView code);
const NumericSetting* FindNumericSetting(QStringView code);
const LevelCommand* FindLevelCommand(QStringView code);
const CoefficientCommand* FindCoefficientCommand(QStringView code);

// Payloads (the text between "0001" and ETX). Codes that a family does not hold give an empty
// payload.
QString ReadPayload(QStringView code); // "VP,R,"
QString IdentityWritePayload(QStringView code, const clsInstrument& record);
QString SettingWritePayload(QStringView code, const clsInstrument& record);
QString LevelsWritePayload(QStringView code, const clsInstrument& record);
QString StationIdReadPayload();        // "XS,R,****"
QString StationReadPayload(int index); // "XS,R,001F"
QString StationIdWritePayload(const clsInstrument& record);
QString StationWritePayload(const clsInstrument& record, int index);
QString GasTableWritePayload(const clsInstrument& record);
QString UserGasWritePayload(const clsInstrument& record);
QString LibraryReadPayload(int table);          // "LI,R,0F"
QString ClockWritePayload(const AppDate& when); // "HC,W,YYMMDDhhnnss"
QString MemoryBlockReadPayload(int block);      // "EP,R,03FF"
// The value of a numeric setting in its write encoding.
QString EncodeSetting(const NumericSetting& setting, const clsInstrument& record);
