#pragma once

#include <QElapsedTimer>
#include <QtGlobal>
#include <array>
#include <functional>

// The gas at the sensors and how each sensor answers it: what the live readings show, and what
// zero, span and nitrogen adjustment change. The gas reaches a sensor with a first-order lag,
// so readings settle towards a newly applied gas over a few seconds. Time is a monotonic
// millisecond count that tests set by hand.
class SimSensors {
public:
    static constexpr int Channels = 5;
    static constexpr int OxygenChannel = 1;
    static constexpr int RangeChannel = 4; // the vol% range, zeroed in nitrogen
    // The lag of the gas path: about 95 % of a step after three of these.
    static constexpr double TimeConstantMs = 1500.0;
    // Zero passes when the gas at the sensor is this close to clean air (share of full scale).
    static constexpr float ZeroTolerance = 0.05f;
    // Span passes when the gas at the sensor is this close to the requested concentration
    // (share of the concentration).
    static constexpr float SpanTolerance = 0.25f;

    SimSensors();

    // A clock for tests: from then on time moves only by advance().
    void useManualClock(qint64 startMs = 0);
    void advance(qint64 ms);
    qint64 nowMs() const;

    // The clean-air value of a channel: 20.9 for oxygen, 0 otherwise.
    float cleanAir(int channel) const { return channel == OxygenChannel ? 20.9f : 0.0f; }
    // The gas now at each sensor (after the lag) and what the sensor reports for it.
    float exposure(int channel) const;
    float reading(int channel) const;

    // The span gas cylinder: its concentration per channel (clean-air value where a channel's
    // gas is not in it). Connected, it is what flows onto the sensors; otherwise clean air.
    std::array<float, Channels> cylinder{50.0f, 12.0f, 10.0f, 100.0f, 50.0f};
    bool cylinderConnected() const { return m_cylinder; }
    // A technician zeroes in clean air and then connects the span gas: a zero adjustment that
    // adjusted a channel connects the cylinder when this is set.
    bool connectAfterZero = true;
    void connectCylinder(bool on);
    // Without the pump no gas is drawn from the cylinder: the sensors see room air. A cylinder
    // attached to the inlet (a bump test's gas) flows again when the pump is switched on.
    bool cylinderAttached() const { return m_attached; }
    void attachCylinder() { m_attached = true; }
    void pumpSwitched(bool on);
    // Jumps the gas to its target, as if it had been flowing for a long time.
    void settle();

    // Channels that fail every adjustment (a worn-out sensor).
    std::array<bool, Channels> failing{};
    // Channels whose sensor does not respond to gas: it reads clean air whatever flows, so it
    // passes a zero and fails a span.
    std::array<bool, Channels> dead{};
    // A sensor that follows the gas with a time constant of its own (milliseconds; 0: the gas
    // path's TimeConstantMs). The reading keeps its value across the change.
    void setResponseMs(int channel, double ms);
    double responseMs(int channel) const;

    // Zero adjustment of one channel in the gas now present; false when it is not clean air.
    bool zero(int channel, float fullScale);
    // Span adjustment to `concentration`; false when the gas present is far from it.
    bool span(int channel, float concentration);
    // Nitrogen zero of the vol% range channel.
    bool nitrogenZero();

private:
    struct Lag {
        float from = 0;   // exposure when the target last changed
        float target = 0; // what is flowing now
        qint64 since = 0;
    };
    void retarget(int channel, float target);

    QElapsedTimer m_clock;
    bool m_manual = false;
    qint64 m_manualMs = 0;
    bool m_cylinder = false;
    bool m_attached = false;
    std::array<Lag, Channels> m_lag{};
    std::array<double, Channels> m_responseMs{};
    // The sensor: reading = clean air + gain x (exposure - clean air) + offset.
    std::array<float, Channels> m_gain{0.94f, 1.05f, 0.92f, 0.95f, 0.96f};
    std::array<float, Channels> m_offset{1.0f, -0.1f, 0.5f, 2.0f, 1.0f};
};
