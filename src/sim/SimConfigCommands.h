#pragma once

#include "sim/SimReply.h"

#include <QHash>
#include <QtGlobal>

class SimDeviceState;

// Reads and writes of the instrument's configuration: identity, station list, settings,
// gases and levels, gas library, user gases, coefficients, clock, readings.
class SimConfigCommands {
public:
    explicit SimConfigCommands(SimDeviceState& state) : m_state(state) {}
    // Handlers installed in a table capture this object.
    Q_DISABLE_COPY_MOVE(SimConfigCommands)

    void install(QHash<QByteArray, SimHandler>& table);

private:
    SimReply readIdentity(const SimRequest& r, QByteArray SimDeviceState::*field, int width) const;
    SimReply writeIdentity(const SimRequest& r, QByteArray SimDeviceState::*field, int width);
    SimReply readStation(const SimRequest& r) const;
    SimReply writeStation(const SimRequest& r);
    SimReply readSetting(const SimRequest& r) const;
    SimReply writeSetting(const SimRequest& r);
    SimReply readLevels(const SimRequest& r, int kind) const;
    SimReply writeLevels(const SimRequest& r, int kind);
    SimReply writeSwitches(const SimRequest& r);
    SimReply readGases(const SimRequest& r) const;
    SimReply writeGases(const SimRequest& r);
    SimReply writeIntegers(const SimRequest& r, int* first, int count);
    SimReply readHistory(const SimRequest& r) const;
    SimReply readLive(const SimRequest& r);
    SimReply readAnalog(const SimRequest& r) const;
    SimReply readUserGases(const SimRequest& r) const;
    SimReply writeUserGases(const SimRequest& r);
    SimReply readLibrary(const SimRequest& r) const;
    SimReply readCoefficients(const SimRequest& r) const;
    SimReply writeCoefficients(const SimRequest& r);
    // "C1,E", "C2,E", "C5,E": derive the hot, cold or circuit coefficient group from the
    // measured points; refused while a point it needs is not a number.
    SimReply executeCompensation(const SimRequest& r);
    SimReply writeClock(const SimRequest& r);

    QByteArray levelsText(const std::array<float, 5>& values) const;

    SimDeviceState& m_state;
};
