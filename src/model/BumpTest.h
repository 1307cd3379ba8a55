#pragma once

#include "model/CalibrationCertificate.h"

#include <QDateTime>
#include <QString>
#include <array>

class clsInstrument;

// The bump test: with test gas applied, the live readings are watched, nothing is adjusted. A
// channel passes when its reading reaches its pass level within the time limit: its first
// alarm level (the "Warning" level; for oxygen the low alarm it falls to), or a given share of
// the applied concentration. A channel without an alarm level uses half the concentration.
namespace Bump {

// The time limit when none is given, in seconds, and the bounds of one.
constexpr int DefaultWithinSeconds = 30;
constexpr int MaxWithinSeconds = 600;
// The share of the applied gas a channel without an alarm level must reach, in percent.
constexpr int DefaultSharePercent = 50;

struct Criteria {
    int withinSeconds = DefaultWithinSeconds;
    int sharePercent = 0; // 0: the alarm levels
};

} // namespace Bump

enum class BumpResult { NotTested, Passed, Failed, Unconfirmed };

struct BumpChannel {
    bool fitted = false;
    BumpResult result = BumpResult::NotTested;
    QString gas;
    QString unit;
    int decimals = 0;
    bool falling = false;         // oxygen: the test gas lowers the reading
    float applied = -101.0f;      // the test gas concentration
    float passLevel = -101.0f;    // the reading that passes
    float peak = UnknownReading;  // the reading furthest from clean air, unknown before one
    double secondsToAlarm = -1.0; // when the pass level was reached; below 0 never
    bool tested() const { return result != BumpResult::NotTested; }
    // "Passed", "Failed", "Not confirmed" or "Not tested" in the current language.
    QString resultText() const;
    // Seconds to the pass level as records show it ("-----" when never reached).
    QString timeText() const;
};

// The record of one bump test, made once when it ends.
struct BumpTestRecord {
    InstrumentIdentity identity;
    QDateTime when;
    QString operatorName;
    QString cylinderLot;
    Bump::Criteria criteria;
    std::array<BumpChannel, Calibration::Channels> channels;

    // Every tested channel passed, and there was one.
    bool passed() const;
    QString verdictText() const;
    // "name  Passed (peak 98ppm, 4 s)" or "name(peak) Failed" lines, each ending in CR LF.
    QString resultLines() const;
};

// The pass level of a channel for the applied concentration: the share of it (oxygen: that
// share of the way from clean air down to it), else the channel's first alarm level from the
// main record, else half the concentration.
float BumpPassLevel(const clsInstrument& main, const clsInstrument& calibration, int channel,
                    float applied, int sharePercent);

// The test in progress: readings go in with the time they were taken; it ends when every
// tested channel passed or the time limit has passed, or when the caller ends it early.
class BumpTest {
public:
    // `applied` below 0 leaves a channel out.
    BumpTest(const clsInstrument& main, const clsInstrument& calibration,
             const Calibration::Readings& applied, const Bump::Criteria& criteria);

    // False when no channel is tested.
    bool anyTested() const;
    // One set of live readings `seconds` after the start; unknown values and instrument
    // states (below 0) count for nothing.
    void addReadings(double seconds, const Calibration::Readings& readings);
    bool finished(double seconds) const;
    // The record: channels that had not passed fail when the time was up, and are unconfirmed
    // when the test ended early (cancelled, or the instrument stopped answering).
    BumpTestRecord finish(double seconds, const InstrumentIdentity& identity, const QDateTime& when,
                          const QString& operatorName, const QString& cylinderLot) const;

private:
    Bump::Criteria m_criteria;
    std::array<BumpChannel, Calibration::Channels> m_channels;
};
