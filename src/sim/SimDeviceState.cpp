#include "sim/SimDeviceState.h"

#include "sim/SimFields.h"

#include <algorithm>
#include <cmath>

int SimGas::decimals() const {
    const int d = SimFields::decimalsOf(step);
    return d <= 3 ? d : 0;
}

float SimGas::stepValue() const {
    return step.trimmed().toFloat();
}

float SimGas::fullScaleValue() const {
    return enabled ? fullScale.trimmed().toFloat() : -101.0f;
}

QByteArray SimGas::record() const {
    if (!enabled)
        return QByteArray(25, '*');
    return SimFields::text(name, 10) + ' ' + SimFields::text(fullScale, 5).right(5) +
           SimFields::text(step, 5).right(5) + SimFields::text(unit, 4);
}

bool SimGas::fromRecord(const QByteArray& record, SimGas* gas) {
    if (record.size() != 25)
        return false;
    if (record == QByteArray(25, '*')) {
        *gas = SimGas{};
        return true;
    }
    float fs = 0;
    float st = 0;
    const QByteArray fsText = record.mid(11, 5);
    const QByteArray stepText = record.mid(16, 5);
    if (!SimFields::parseLevel(fsText, &fs) || !SimFields::parseLevel(stepText, &st))
        return false;
    gas->enabled = true;
    gas->name = record.left(10).trimmed();
    gas->fullScale = fsText;
    gas->step = stepText;
    gas->unit = record.mid(21, 4).trimmed();
    return true;
}

const QList<SimSettingInfo>& SimDeviceState::settingTable() {
    using E = SimEncoding;
    static const QList<SimSettingInfo> table = {
        {"AP", E::Decimal, 0, E::Decimal, 1}, // alarm mode
        {"LP", E::Decimal, 0, E::Decimal, 0}, // range mode
        {"SC", E::Hex, 3, E::Hex, 0x032},     // calibration limit
        {"XP", E::Hex, 3, E::Hex, 60},        // logging interval, seconds
        {"SD", E::Decimal, 0, E::Flag, 1},    // show calibration limit
        {"SM", E::Decimal, 0, E::Decimal, 0}, // calibration check
        {"XB", E::Hex, 2, E::Decimal, 1},     // confirmation
        {"XW", E::Decimal, 0, E::Decimal, 1}, // log overwrite
        {"XT", E::Hex, 3, E::Hex, 30},        // backlight, seconds
        {"UQ", E::Decimal, 0, E::Decimal, 1}, // automatic backlight
        {"AF", E::Decimal, 0, E::Decimal, 1}, // alarm on/off
        {"AM", E::Decimal, 0, E::Decimal, 1}, // STEL/TWA on/off
        {"AT", E::Decimal, 0, E::Decimal, 1}, // oxygen alarm kind
        {"CP", E::Hex, 4, E::Hex, 0x0190},    // flow level
        {"HF", E::Hex, 2, E::Hex, 0x80},      // pressure offset
        {"SJ", E::Flag, 0, E::Decimal, 1},    // automatic zero
        {"SG", E::Flag, 0, E::Decimal, 0},    // zero on demand
    };
    return table;
}

const SimSettingInfo* SimDeviceState::settingInfo(const QByteArray& code) {
    for (const SimSettingInfo& s : settingTable()) {
        if (code == s.code)
            return &s;
    }
    return nullptr;
}

namespace {

struct CoefficientDefault {
    const char* code;
    bool writable;
    QList<QByteArray> fields;
};

const QList<CoefficientDefault>& coefficientDefaults() {
    static const QList<CoefficientDefault> table = {
        {"C1", true, {"1", "1187", "1", "2213", "1", "1042", "1", "1968"}},
        {"C2", true, {"1", "-412", "1", "1876", "0", "-398", "1", "1811"}},
        {"C3", true, {"312", "2405", "298", "2398"}},
        {"C4", true, {"287", "1530", "276", "1524"}},
        // Short enough that a write reply fits the 31 characters its decoder reads.
        {"C5", true, {"1", "812", "1", "790", "0", "0", "0", "0"}},
        {"CA", true, {"305", "1498", "294", "1502"}},
        {"CB", true, {"318", "1962", "301", "1957"}},
        {"CC", true, {"322", "2441", "309", "2436"}},
        {"CD", true, {"1043"}},
        {"CE", true, {"1012"}},
        {"CF", true, {"987"}},
        {"CK", true, {"1006"}},
        {"CL", true, {"1051"}},
        {"CM", true, {"979"}},
        {"CN", false, {"11"}},
        {"OG", false, {"1498", "2441"}},
        {"VG", false, {"0F3A", "1C07"}},
        {"V2", false, {"0F3A", "1498", "0", "1C07", "2441", "100"}},
    };
    return table;
}

SimLibraryGas libraryGas(const char* name, const char* fs, const char* step, const char* unit,
                         quint32 volume, float ratio) {
    return SimLibraryGas{name, fs, step, unit, volume, ratio};
}

} // namespace

const QList<QByteArray>& SimDeviceState::coefficientCodes() {
    static const QList<QByteArray> codes = [] {
        QList<QByteArray> c;
        for (const CoefficientDefault& d : coefficientDefaults())
            c.append(d.code);
        return c;
    }();
    return codes;
}

int SimDeviceState::coefficientFieldCount(const QByteArray& code) {
    for (const CoefficientDefault& d : coefficientDefaults()) {
        if (code == d.code)
            return int(d.fields.size());
    }
    return 0;
}

bool SimDeviceState::coefficientWritable(const QByteArray& code) {
    for (const CoefficientDefault& d : coefficientDefaults()) {
        if (code == d.code)
            return d.writable;
    }
    return false;
}

SimDeviceState::SimDeviceState() {
    connectText = "TQ-5800 V1.12";
    serialNo = "TQ58-2403-00127";
    dummySerial = "58A00127";
    userId = "FIELD SERVICE 1";
    stationId = "PLANT A";
    specNo = "STD-J01";

    static const char* const named[] = {"PLANT A-01",   "PLANT A-02",   "PLANT A-03",
                                        "PLANT A-04",   "TANK YARD B1", "PUMP ROOM 2",
                                        "BOILER HOUSE", "SEWER MH-117", "LAB 3F"};
    for (int i = 0; i < Stations; ++i)
        stationList.append(i < int(std::size(named)) ? QByteArray(named[i]) : QByteArray(16, '-'));

    gases[0] = SimGas{true, "CH4", "  100", "    1", "%LEL"};
    gases[1] = SimGas{true, "O2", " 40.0", "  0.1", "vol%"};
    gases[2] = SimGas{true, "H2S", "100.0", "  0.5", "ppm"};
    gases[3] = SimGas{true, "CO", "  500", "    1", "ppm"};
    gases[4] = SimGas{true, "CH4", "  100", "    1", "vol%"};

    autoCal = {50.0f, 12.0f, 10.0f, 100.0f, 50.0f};

    const QDateTime calibrated(QDate(2025, 3, 12), QTime(9, 30, 15));
    history[0] = SimCalibration{calibrated, 46, 50};
    history[1] = SimCalibration{calibrated, 12.4f, 12.0f};
    history[2] = SimCalibration{calibrated, 9.0f, 10.0f};
    history[3] = SimCalibration{calibrated, 93, 100};
    history[4] = SimCalibration{calibrated.addDays(-30), 48, 50};

    // %LEL range in 1..15, the vol% range of the same gases 15 entries later.
    const SimLibraryGas lel[15] = {
        libraryGas("CH4", "  100", "    1", "%LEL", 1000, 1.00f),
        libraryGas("i-C4H10", "  100", "    1", "%LEL", 980, 0.55f),
        libraryGas("H2", "  100", "    1", "%LEL", 1010, 1.10f),
        libraryGas("n-C6H14", "  100", "    1", "%LEL", 960, 0.45f),
        libraryGas("CH3OH", "  100", "    1", "%LEL", 990, 0.90f),
        libraryGas("C2H2", "  100", "    1", "%LEL", 970, 0.70f),
        libraryGas("C7H8", "  100", "    1", "%LEL", 950, 0.40f),
        libraryGas("MEK", "  100", "    1", "%LEL", 955, 0.45f),
        libraryGas("C3H8", "  100", "    1", "%LEL", 985, 0.60f),
        libraryGas("C2H4", "  100", "    1", "%LEL", 975, 0.75f),
        libraryGas("C2H5OH", "  100", "    1", "%LEL", 965, 0.65f),
        libraryGas("C8H10", "  100", "    1", "%LEL", 945, 0.35f),
        libraryGas("---", "    0", "    0", "----", 0, 0.0f),
        libraryGas("---", "    0", "    0", "----", 0, 0.0f),
        libraryGas("---", "    0", "    0", "----", 0, 0.0f),
    };
    const char* const volScale[15][2] = {
        {"  100", "    1"}, {" 1.80", " 0.01"}, {"  100", "    1"}, {" 1.10", " 0.01"},
        {"  6.0", "  0.1"}, {" 2.30", " 0.01"}, {" 1.10", " 0.01"}, {" 1.40", " 0.01"},
        {" 1.70", " 0.01"}, {" 2.40", " 0.01"}, {" 3.10", " 0.01"}, {" 1.00", " 0.01"},
        {"    0", "    0"}, {"    0", "    0"}, {"    0", "    0"}};
    for (int i = 0; i < 15; ++i) {
        library[i + 1] = lel[i];
        SimLibraryGas vol = lel[i];
        if (vol.name != "---") {
            vol.fullScale = volScale[i][0];
            vol.step = volScale[i][1];
            vol.unit = "vol%";
        }
        library[i + 16] = vol;
    }

    const auto userRecord = [](const SimLibraryGas& g, int number) {
        return QList<QByteArray>{SimFields::hex(quint32(number), 2),
                                 SimFields::text(g.name, 10),
                                 g.fullScale,
                                 g.step,
                                 SimFields::text(g.unit, 4),
                                 SimFields::hex(g.elementVolume, 3),
                                 SimFields::hexSingle(g.ratio)};
    };
    userGas[0] = userRecord(library[1], 1);
    userGas[1] = userRecord(library[16], 16);

    for (const CoefficientDefault& d : coefficientDefaults())
        coefficients.insert(d.code, d.fields);

    // Millivolts: unused, pressure, O2 amplifier, LEL temperature, LEL bridge, vol temperature,
    // battery, vol bridge.
    analog = {0, 1012, 1850, 1230, 2010, 1225, 3720, 1990};
    adReal = 3.3f;

    restoreDefaultSettings();
}

void SimDeviceState::restoreDefaultSettings() {
    for (const SimSettingInfo& s : settingTable())
        settings.insert(s.code, s.defaultValue);
    specType = "0";
    bump = {1, 2, 1, 0};
    backlight = {1, 1, 1};
    zeroSwitches = "1111";
    levels[Warning] = {10.0f, 19.5f, 10.0f, 25.0f, -101.0f};
    levels[Alarm] = {50.0f, 18.0f, 30.0f, 50.0f, -101.0f};
    levels[Stel] = {-101.0f, -101.0f, 15.0f, 200.0f, -101.0f};
    levels[Twa] = {-101.0f, -101.0f, 10.0f, 25.0f, -101.0f};
}

QDateTime SimDeviceState::clock() const {
    return QDateTime::currentDateTime().addMSecs(m_clockOffsetMs);
}

void SimDeviceState::setClock(const QDateTime& when) {
    m_clockOffsetMs = QDateTime::currentDateTime().msecsTo(when);
}

void SimDeviceState::seed(quint32 value) {
    m_rng.seed(value);
    m_drift = {};
}

std::array<float, SimDeviceState::GasSlots> SimDeviceState::sampleReadings() {
    // What each sensor shows for the gas at it; the noise is a slow mean-reverting drift plus
    // jitter.
    std::normal_distribution<float> jitter(0.0f, 1.0f);
    std::array<float, GasSlots> out{};
    for (int i = 0; i < GasSlots; ++i) {
        const SimGas& g = gases[i];
        if (!g.enabled) {
            out[i] = -101.0f;
            continue;
        }
        const float base = sensors.reading(i);
        const float step = g.stepValue() > 0 ? g.stepValue() : 1.0f;
        m_drift[i] = 0.8f * m_drift[i] + 0.15f * step * jitter(m_rng);
        const float raw = base + m_drift[i] + 0.3f * step * jitter(m_rng);
        out[i] = SimFields::roundToStep(std::max(raw, 0.0f), step);
    }
    return out;
}
