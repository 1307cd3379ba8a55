#include "sim/SimConfigCommands.h"

#include "sim/SimDeviceState.h"
#include "sim/SimFields.h"

namespace {

QByteArray encode(int value, SimEncoding encoding, int width) {
    switch (encoding) {
    case SimEncoding::Hex:
        return SimFields::hex(quint32(value), width);
    case SimEncoding::Flag:
        return value ? "1" : "0";
    case SimEncoding::Decimal:
        break;
    }
    return QByteArray::number(value);
}

bool decode(const QByteArray& field, SimEncoding encoding, int* value) {
    const QByteArray t = field.trimmed();
    if (encoding == SimEncoding::Hex) {
        quint32 v = 0;
        if (!SimFields::parseHex(t, &v) || v > 0xFFFF)
            return false;
        *value = int(v);
        return true;
    }
    if (!SimFields::parseDecimal(t, value))
        return false;
    if (encoding == SimEncoding::Flag)
        *value = *value != 0 ? 1 : 0;
    return true;
}

// The PC ends some field lists with a ","; that empty last field carries nothing.
QList<QByteArray> fieldsOf(const QByteArray& data) {
    QList<QByteArray> f = SimFields::split(data);
    if (f.size() > 1 && f.back().isEmpty())
        f.removeLast();
    return f;
}

bool isHexIndex(const QByteArray& t, int digits, int* value) {
    quint32 v = 0;
    if (t.size() != digits || !SimFields::parseHex(t, &v))
        return false;
    *value = int(v);
    return true;
}

} // namespace

void SimConfigCommands::install(QHash<QByteArray, SimHandler>& t) {
    SimDeviceState& s = m_state;
    t.insert("RC,R", [&s](const SimRequest& r) { return SimReply::frame(r.key, s.connectText); });
    t.insert("VP,R", [&s](const SimRequest& r) {
        return SimReply::frame(r.key, QByteArray::number(s.romNumber));
    });
    t.insert("VS,R", [&s](const SimRequest& r) {
        return SimReply::frame(r.key, SimFields::hex(s.romSum, 4));
    });
    t.insert("HC,R", [&s](const SimRequest& r) {
        return SimReply::frame(r.key, SimFields::date12(s.clock()));
    });
    t.insert("HC,W", [this](const SimRequest& r) { return writeClock(r); });

    const struct {
        const char* code;
        QByteArray SimDeviceState::*field;
        int width;
    } identity[] = {{"IN", &SimDeviceState::serialNo, 20},
                    {"HN", &SimDeviceState::dummySerial, 20},
                    {"XZ", &SimDeviceState::userId, 16},
                    {"BS", &SimDeviceState::specNo, 10}};
    for (const auto& id : identity) {
        const QByteArray code(id.code);
        const auto field = id.field;
        const int width = id.width;
        t.insert(code + ",R", [this, field, width](const SimRequest& r) {
            return readIdentity(r, field, width);
        });
        t.insert(code + ",W", [this, field, width](const SimRequest& r) {
            return writeIdentity(r, field, width);
        });
    }
    t.insert("XS,R", [this](const SimRequest& r) { return readStation(r); });
    t.insert("XS,W", [this](const SimRequest& r) { return writeStation(r); });

    for (const SimSettingInfo& info : SimDeviceState::settingTable()) {
        const QByteArray code(info.code);
        t.insert(code + ",R", [this](const SimRequest& r) { return readSetting(r); });
        t.insert(code + ",W", [this](const SimRequest& r) { return writeSetting(r); });
    }
    t.insert("UJ,R", [&s](const SimRequest& r) { return SimReply::frame(r.key, s.specType); });
    t.insert("UJ,W", [&s](const SimRequest& r) {
        const QByteArray v = r.data.trimmed();
        if (v != "0" && v != "1" && v != "2")
            return SimReply::nak(r.key);
        s.specType = v;
        return SimReply::frame(r.key, s.specType);
    });

    const char* const levelCodes[] = {"A1", "A2", "AS", "AW"};
    for (int kind = 0; kind < SimDeviceState::LevelKinds; ++kind) {
        const QByteArray code(levelCodes[kind]);
        t.insert(code + ",R", [this, kind](const SimRequest& r) { return readLevels(r, kind); });
        t.insert(code + ",W", [this, kind](const SimRequest& r) { return writeLevels(r, kind); });
    }

    t.insert("UZ,R", [&s](const SimRequest& r) { return SimReply::frame(r.key, s.zeroSwitches); });
    t.insert("UZ,W", [this](const SimRequest& r) { return writeSwitches(r); });
    t.insert("AO,R", [&s](const SimRequest& r) { return SimReply::frame(r.key, s.overScale); });
    t.insert("GJ,R", [this](const SimRequest& r) { return readGases(r); });
    t.insert("GJ,W", [this](const SimRequest& r) { return writeGases(r); });

    t.insert("BU,R", [&s](const SimRequest& r) {
        QList<QByteArray> f;
        for (int v : s.bump)
            f.append(QByteArray::number(v));
        return SimReply::frame(r.key, f.join(','));
    });
    t.insert("BU,W", [this](const SimRequest& r) {
        return writeIntegers(r, m_state.bump.data(), int(m_state.bump.size()));
    });
    t.insert("WB,R", [&s](const SimRequest& r) {
        QList<QByteArray> f;
        for (int v : s.backlight)
            f.append(QByteArray::number(v));
        return SimReply::frame(r.key, f.join(','));
    });
    t.insert("WB,W", [this](const SimRequest& r) {
        return writeIntegers(r, m_state.backlight.data(), int(m_state.backlight.size()));
    });

    t.insert("SO,R", [this](const SimRequest& r) { return readHistory(r); });
    t.insert("DN,R", [this](const SimRequest& r) { return readLive(r); });
    t.insert("SA,R", [this](const SimRequest& r) {
        return SimReply::frame(r.key, levelsText(m_state.autoCal));
    });
    t.insert("HA,R", [this](const SimRequest& r) { return readAnalog(r); });
    t.insert("LS,R", [this](const SimRequest& r) { return readUserGases(r); });
    t.insert("LS,W", [this](const SimRequest& r) { return writeUserGases(r); });
    t.insert("LI,R", [this](const SimRequest& r) { return readLibrary(r); });

    for (const QByteArray& code : SimDeviceState::coefficientCodes()) {
        t.insert(code + ",R", [this](const SimRequest& r) { return readCoefficients(r); });
        if (SimDeviceState::coefficientWritable(code))
            t.insert(code + ",W", [this](const SimRequest& r) { return writeCoefficients(r); });
    }
    for (const QByteArray key : {"C1,E", "C2,E", "C5,E"})
        t.insert(key, [this](const SimRequest& r) { return executeCompensation(r); });
}

SimReply SimConfigCommands::readIdentity(const SimRequest& r, QByteArray SimDeviceState::*field,
                                         int width) const {
    return SimReply::frame(r.key, SimFields::text(m_state.*field, width));
}

SimReply SimConfigCommands::writeIdentity(const SimRequest& r, QByteArray SimDeviceState::*field,
                                          int width) {
    // The instrument answers with what it now holds, so the PC can compare.
    m_state.*field = r.data.left(width);
    return SimReply::frame(r.key, SimFields::text(m_state.*field, width));
}

SimReply SimConfigCommands::readStation(const SimRequest& r) const {
    const QByteArray index = r.data.trimmed();
    if (index == "****")
        return SimReply::frame(r.key, "****," + SimFields::text(m_state.stationId, 16));
    int i = 0;
    if (!isHexIndex(index, 4, &i) || i >= SimDeviceState::Stations)
        return SimReply::nak(r.key);
    return SimReply::frame(r.key, SimFields::hex(quint32(i), 4) + ',' +
                                      SimFields::text(m_state.stationList[i], 16));
}

SimReply SimConfigCommands::writeStation(const SimRequest& r) {
    const qsizetype comma = r.data.indexOf(',');
    if (comma < 0)
        return SimReply::nak(r.key);
    const QByteArray index = r.data.left(comma);
    const QByteArray text = r.data.mid(comma + 1).left(16);
    if (index == "****") {
        m_state.stationId = text;
        return SimReply::ack(r.key);
    }
    int i = 0;
    if (!isHexIndex(index, 4, &i) || i >= SimDeviceState::Stations)
        return SimReply::nak(r.key);
    m_state.stationList[i] = text;
    return SimReply::ack(r.key);
}

SimReply SimConfigCommands::readSetting(const SimRequest& r) const {
    const SimSettingInfo* info = SimDeviceState::settingInfo(r.code);
    return SimReply::frame(r.key,
                           encode(m_state.settings.value(r.code), info->read, info->readWidth));
}

SimReply SimConfigCommands::writeSetting(const SimRequest& r) {
    const SimSettingInfo* info = SimDeviceState::settingInfo(r.code);
    int value = 0;
    if (!decode(r.data, info->write, &value))
        return SimReply::nak(r.key);
    m_state.settings.insert(r.code, value);
    // Answered in the read encoding: that is how the PC checks what was stored.
    return SimReply::frame(r.key, encode(value, info->read, info->readWidth));
}

QByteArray SimConfigCommands::levelsText(const std::array<float, 5>& values) const {
    QList<QByteArray> f;
    for (int i = 0; i < SimDeviceState::GasSlots; ++i)
        f.append(SimFields::level(values[i], m_state.gases[i].decimals()));
    return f.join(',');
}

SimReply SimConfigCommands::readLevels(const SimRequest& r, int kind) const {
    return SimReply::frame(r.key, levelsText(m_state.levels[kind]));
}

SimReply SimConfigCommands::writeLevels(const SimRequest& r, int kind) {
    const QList<QByteArray> f = SimFields::split(r.data);
    std::array<float, SimDeviceState::GasSlots> values{};
    if (f.size() != SimDeviceState::GasSlots)
        return SimReply::nak(r.key);
    for (int i = 0; i < SimDeviceState::GasSlots; ++i) {
        if (!SimFields::parseLevel(f[i], &values[i]))
            return SimReply::nak(r.key);
    }
    m_state.levels[kind] = values;
    // Level writes are confirmed by sending the frame back unchanged.
    return SimReply::echo(r);
}

SimReply SimConfigCommands::writeSwitches(const SimRequest& r) {
    const QByteArray v = r.data.trimmed();
    if (v.size() != 4)
        return SimReply::nak(r.key);
    for (char c : v) {
        if (c < '0' || c > '9')
            return SimReply::nak(r.key);
    }
    m_state.zeroSwitches = v;
    return SimReply::frame(r.key, m_state.zeroSwitches);
}

SimReply SimConfigCommands::readGases(const SimRequest& r) const {
    QList<QByteArray> f;
    for (const SimGas& g : m_state.gases)
        f.append(g.record());
    return SimReply::frame(r.key, f.join(','));
}

SimReply SimConfigCommands::writeGases(const SimRequest& r) {
    const QList<QByteArray> f = SimFields::split(r.data);
    if (f.size() != SimDeviceState::GasSlots)
        return SimReply::nak(r.key);
    std::array<SimGas, SimDeviceState::GasSlots> gases;
    for (int i = 0; i < SimDeviceState::GasSlots; ++i) {
        if (!SimGas::fromRecord(f[i], &gases[i]))
            return SimReply::nak(r.key);
    }
    m_state.gases = gases;
    return SimReply::ack(r.key);
}

SimReply SimConfigCommands::writeIntegers(const SimRequest& r, int* first, int count) {
    const QList<QByteArray> f = fieldsOf(r.data);
    QList<int> values;
    for (const QByteArray& field : f) {
        int v = 0;
        if (!SimFields::parseDecimal(field, &v))
            return SimReply::nak(r.key);
        values.append(v);
    }
    if (values.size() != count)
        return SimReply::nak(r.key);
    std::copy(values.begin(), values.end(), first);
    return SimReply::ack(r.key);
}

SimReply SimConfigCommands::readHistory(const SimRequest& r) const {
    QList<QByteArray> f;
    for (int i = 0; i < SimDeviceState::GasSlots; ++i) {
        const SimCalibration& c = m_state.history[i];
        const int d = m_state.gases[i].decimals();
        if (!c.when.isValid()) {
            f.append(QByteArray(12, '-') + "----------");
            continue;
        }
        f.append(SimFields::date12(c.when) + SimFields::level(c.before, d) +
                 SimFields::level(c.after, d));
    }
    return SimReply::frame(r.key, f.join(','));
}

SimReply SimConfigCommands::readLive(const SimRequest& r) {
    const auto readings = m_state.sampleReadings();
    QList<QByteArray> f;
    for (int i = 0; i < SimDeviceState::GasSlots; ++i) {
        f.append(m_state.gases[i].enabled
                     ? SimFields::level(readings[i], m_state.gases[i].decimals())
                     : QByteArray("-101"));
    }
    return SimReply::frame(r.key, f.join(','));
}

SimReply SimConfigCommands::readAnalog(const SimRequest& r) const {
    QList<QByteArray> f;
    for (quint16 v : m_state.analog)
        f.append(SimFields::hex(v, 4));
    f.append(SimFields::hexSingle(m_state.adReal));
    return SimReply::frame(r.key, f.join(','));
}

SimReply SimConfigCommands::readUserGases(const SimRequest& r) const {
    return SimReply::frame(r.key, (m_state.userGas[0] + m_state.userGas[1]).join(','));
}

SimReply SimConfigCommands::writeUserGases(const SimRequest& r) {
    const QList<QByteArray> f = fieldsOf(r.data);
    if (f.size() != 14)
        return SimReply::nak(r.key);
    for (const QByteArray& field : f) {
        if (field.isEmpty())
            return SimReply::nak(r.key);
    }
    m_state.userGas[0] = f.mid(0, 7);
    m_state.userGas[1] = f.mid(7, 7);
    return SimReply::ack(r.key);
}

SimReply SimConfigCommands::readLibrary(const SimRequest& r) const {
    int table = 0;
    if (!isHexIndex(r.data.trimmed(), 2, &table) || table < 1 || table > 15)
        return SimReply::nak(r.key);
    QList<QByteArray> f{SimFields::hex(quint32(table), 2)};
    for (int entry : {table, table + 15}) {
        const SimLibraryGas& g = m_state.library[entry];
        f << SimFields::text(g.name, 10) << g.fullScale << g.step << SimFields::text(g.unit, 4)
          << SimFields::hex(g.elementVolume, 3) << SimFields::hexSingle(g.ratio);
    }
    return SimReply::frame(r.key, f.join(','));
}

SimReply SimConfigCommands::readCoefficients(const SimRequest& r) const {
    return SimReply::frame(r.key, m_state.coefficients.value(r.code).join(','));
}

SimReply SimConfigCommands::writeCoefficients(const SimRequest& r) {
    QList<QByteArray>& stored = m_state.coefficients[r.code];
    const QList<QByteArray> f = fieldsOf(r.data);
    // The factory console sends only the cells that hold a value, in order.
    if (f.isEmpty() || f.size() > stored.size())
        return SimReply::nak(r.key);
    for (const QByteArray& field : f) {
        if (field.trimmed().isEmpty())
            return SimReply::nak(r.key);
    }
    if (stored.size() == 1) {
        bool numeric = false;
        f.front().trimmed().toDouble(&numeric);
        if (!numeric)
            return SimReply::nak(r.key);
    }
    for (qsizetype i = 0; i < f.size(); ++i)
        stored[i] = f[i].trimmed();
    return SimReply::frame(r.key, stored.join(','));
}

SimReply SimConfigCommands::executeCompensation(const SimRequest& r) {
    const auto& c = m_state.coefficients;
    bool ok = true;
    const auto point = [&](const char* code, int field) -> qint64 {
        const QList<QByteArray> f = c.value(code);
        bool good = false;
        const qint64 v = field < f.size() ? f[field].trimmed().toLongLong(&good) : 0;
        ok = ok && good;
        return v;
    };
    // A term is the point measured at the group's temperature less the middle one.
    const auto term = [&](const char* code, int field, const char* middle) {
        return QByteArray::number(point(code, field) - point(middle, field));
    };
    QList<QByteArray> out;
    if (r.code == "C1") // hot: zero and span points against the middle ones
        out = {"1", term("CC", 0, "CB"), "1", term("CF", 0, "CE"),
               "1", term("CC", 2, "CB"), "1", term("CM", 0, "CK")};
    else if (r.code == "C2") // cold
        out = {"1", term("CA", 0, "CB"), "1", term("CD", 0, "CE"),
               "1", term("CA", 2, "CB"), "1", term("CL", 0, "CK")};
    else // circuit: the cold circuit zero, then the hot one
        out = {"1", term("C4", 0, "CB"), "1", term("C4", 2, "CB"),
               "1", term("C3", 0, "CB"), "1", term("C3", 2, "CB")};
    if (!ok)
        return SimReply::nak(r.key);
    m_state.coefficients[r.code] = out;
    return SimReply::ack(r.key);
}

SimReply SimConfigCommands::writeClock(const SimRequest& r) {
    QDateTime when;
    if (!SimFields::parseDate12(r.data, &when))
        return SimReply::nak(r.key);
    m_state.setClock(when);
    // The clock write is confirmed by sending the frame back byte for byte.
    return SimReply::echo(r);
}
