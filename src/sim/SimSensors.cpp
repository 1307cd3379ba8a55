#include "sim/SimSensors.h"

#include <cmath>

SimSensors::SimSensors() {
    m_clock.start();
    for (int i = 0; i < Channels; ++i)
        m_lag[i] = Lag{cleanAir(i), cleanAir(i), 0};
}

void SimSensors::useManualClock(qint64 startMs) {
    // Keep the gas where it is now, on the new time line.
    for (int i = 0; i < Channels; ++i)
        m_lag[i] = Lag{exposure(i), m_lag[i].target, startMs};
    m_manual = true;
    m_manualMs = startMs;
}

void SimSensors::advance(qint64 ms) {
    if (m_manual)
        m_manualMs += qMax<qint64>(ms, 0);
}

qint64 SimSensors::nowMs() const {
    return m_manual ? m_manualMs : m_clock.elapsed();
}

float SimSensors::exposure(int i) const {
    const Lag& l = m_lag.at(i);
    const double t = double(nowMs() - l.since);
    return float(l.target + (l.from - l.target) * std::exp(-t / responseMs(i)));
}

float SimSensors::reading(int i) const {
    const float base = cleanAir(i);
    const float gas = dead.at(i) ? base : exposure(i);
    return base + m_gain.at(i) * (gas - base) + m_offset.at(i);
}

double SimSensors::responseMs(int i) const {
    return m_responseMs.at(i) > 0 ? m_responseMs.at(i) : TimeConstantMs;
}

void SimSensors::setResponseMs(int i, double ms) {
    const float now = exposure(i);
    m_responseMs.at(i) = qMax(ms, 0.0);
    m_lag[i] = Lag{now, m_lag[i].target, nowMs()};
}

void SimSensors::retarget(int i, float target) {
    m_lag[i] = Lag{exposure(i), target, nowMs()};
}

void SimSensors::connectCylinder(bool on) {
    m_cylinder = on;
    for (int i = 0; i < Channels; ++i)
        retarget(i, on ? cylinder[i] : cleanAir(i));
}

void SimSensors::pumpSwitched(bool on) {
    if (on == m_cylinder || (on && !m_attached))
        return;
    connectCylinder(on);
}

void SimSensors::settle() {
    for (int i = 0; i < Channels; ++i)
        m_lag[i] = Lag{m_lag[i].target, m_lag[i].target, nowMs()};
}

bool SimSensors::zero(int i, float fullScale) {
    if (failing.at(i))
        return false;
    const float base = cleanAir(i);
    const float limit = ZeroTolerance * (fullScale > 0 ? fullScale : 100.0f);
    if (std::fabs(exposure(i) - base) > limit)
        return false;
    // The reading now shows clean air for the gas present.
    m_offset[i] = -m_gain[i] * (exposure(i) - base);
    return true;
}

bool SimSensors::span(int i, float c) {
    if (failing.at(i) || dead.at(i) || c <= 0)
        return false;
    const float base = cleanAir(i);
    const float e = exposure(i);
    if (std::fabs(e - c) > SpanTolerance * c || std::fabs(e - base) < 1e-3f)
        return false;
    // The reading now shows the requested concentration for the gas present.
    m_gain[i] = (c - base - m_offset[i]) / (e - base);
    return true;
}

bool SimSensors::nitrogenZero() {
    if (failing.at(RangeChannel))
        return false;
    m_offset[RangeChannel] = -m_gain[RangeChannel] * (exposure(RangeChannel) - 0.0f);
    return true;
}
