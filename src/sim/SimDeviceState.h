#pragma once

#include "sim/SimLoggerMemory.h"
#include "sim/SimSensors.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <array>
#include <random>

// One gas slot as the instrument holds it: the four columns of its 25-character record.
struct SimGas {
    bool enabled = false;
    QByteArray name;      // up to 10 characters
    QByteArray fullScale; // 5 characters, level encoding
    QByteArray step;      // 5 characters; its decimals are the slot's decimals
    QByteArray unit;      // up to 4 characters

    int decimals() const;
    float stepValue() const;
    float fullScaleValue() const;
    QByteArray record() const; // 25 characters, or 25 "*" when no sensor is fitted
    static bool fromRecord(const QByteArray& record, SimGas* gas);
};

// One entry of the built-in gas library or of the user gas pair.
struct SimLibraryGas {
    QByteArray name;      // up to 10 characters
    QByteArray fullScale; // level encoding
    QByteArray step;      // level encoding
    QByteArray unit;      // up to 4 characters
    quint32 elementVolume = 0;
    float ratio = 0;
};

struct SimCalibration {
    QDateTime when; // invalid: never calibrated
    float before = -101;
    float after = -101;
};

enum class SimEncoding { Decimal, Hex, Flag };

// A numeric setting: its code, how the instrument answers it and how the PC writes it.
struct SimSettingInfo {
    const char* code;
    SimEncoding read;
    int readWidth;
    SimEncoding write;
    int defaultValue;
};

// The device model behind the simulator. Plain data: the responder reads and changes it,
// tests may inspect or preset anything.
class SimDeviceState {
public:
    SimDeviceState();

    static constexpr int GasSlots = 5;
    static constexpr int Stations = 128;
    static constexpr int LibraryEntries = 30; // 1..15 %LEL range, 16..30 vol% range
    enum Level { Warning, Alarm, Stel, Twa, LevelKinds };

    // Identity.
    int romNumber = 4426;
    quint32 romSum = 0x3A7F;
    QByteArray connectText;
    QByteArray serialNo;           // 20
    QByteArray dummySerial;        // 20
    QByteArray userId;             // 16
    QByteArray stationId;          // 16
    QByteArray specNo;             // 10
    QList<QByteArray> stationList; // 128 entries of up to 16 characters

    // Settings.
    static const QList<SimSettingInfo>& settingTable();
    static const SimSettingInfo* settingInfo(const QByteArray& code);
    QHash<QByteArray, int> settings; // by code
    QByteArray specType = "0";
    std::array<int, 4> bump{};      // time, threshold, fail cal time, fail after
    std::array<int, 3> backlight{}; // mode, time, buzzer
    QByteArray zeroSwitches = "1111";
    QByteArray overScale = "0000";
    bool pumpOn = true;

    // Gases and levels.
    std::array<SimGas, GasSlots> gases;
    std::array<std::array<float, GasSlots>, LevelKinds> levels{};
    std::array<float, GasSlots> autoCal{};
    std::array<SimCalibration, GasSlots> history;
    std::array<SimLibraryGas, LibraryEntries + 1> library; // index 0 unused
    std::array<QList<QByteArray>, 2> userGas;              // 7 fields each, as written

    // Factory coefficients as raw texts, by command code.
    static const QList<QByteArray>& coefficientCodes();
    static int coefficientFieldCount(const QByteArray& code);
    static bool coefficientWritable(const QByteArray& code);
    QHash<QByteArray, QList<QByteArray>> coefficients;

    // A/D converter values and the reference voltage.
    std::array<quint16, 8> analog{};
    float adReal = 0;

    // The clock runs from the PC's time at start; a write moves it.
    QDateTime clock() const;
    void setClock(const QDateTime& when);

    // The gas at the sensors and their calibration.
    SimSensors sensors;

    // Live readings: what the sensors show, with a little noise, rounded to each slot's step.
    std::array<float, GasSlots> sampleReadings();
    void seed(quint32 value);

    // Restores the user settings to their factory values (identity and gases are kept).
    void restoreDefaultSettings();

    SimLoggerMemory memory;

private:
    qint64 m_clockOffsetMs = 0;
    std::mt19937 m_rng{1};
    std::array<float, GasSlots> m_drift{};
};
