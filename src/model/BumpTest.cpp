#include "model/BumpTest.h"

#include "app/MessageTable.h"
#include "app/ReadingFormat.h"
#include "model/clsInstrument.h"

namespace {

// Clean air for an oxygen sensor, vol%.
constexpr float OxygenCleanAir = 20.9f;

bool isOxygen(const QString& gas) {
    const QString name = gas.trimmed();
    return name == QLatin1String("O2") || name == QLatin1String("OXY");
}

bool reached(const BumpChannel& c, float reading) {
    return c.falling ? reading <= c.passLevel : reading >= c.passLevel;
}

} // namespace

QString BumpChannel::resultText() const {
    switch (result) {
    case BumpResult::NotTested:
        return LoadMessage(5803);
    case BumpResult::Passed:
        return LoadMessage(5719);
    case BumpResult::Failed:
        return LoadMessage(5720);
    case BumpResult::Unconfirmed:
        break;
    }
    return LoadMessage(5802);
}

QString BumpChannel::timeText() const {
    return secondsToAlarm < 0 ? QStringLiteral("-----") : QString::number(secondsToAlarm, 'f', 0);
}

bool BumpTestRecord::passed() const {
    bool any = false;
    for (const BumpChannel& c : channels) {
        if (!c.tested())
            continue;
        if (c.result != BumpResult::Passed)
            return false;
        any = true;
    }
    return any;
}

QString BumpTestRecord::verdictText() const {
    return LoadMessage(passed() ? 5719 : 5720);
}

QString BumpTestRecord::resultLines() const {
    QString text;
    for (const BumpChannel& c : channels) {
        if (!c.tested())
            continue;
        const QString peak = RecordReading(c.peak, c.decimals);
        if (c.result == BumpResult::Passed)
            text += LoadMessage(5804, {c.gas, peak + c.unit, c.timeText()});
        else
            text += c.gas + u'(' + peak + QStringLiteral(") ") + c.resultText();
        text += QStringLiteral("\r\n");
    }
    return text;
}

float BumpPassLevel(const clsInstrument& main, const clsInstrument& cal, int i, float applied,
                    int sharePercent) {
    const bool falling = isOxygen(cal.GasName(i));
    const float base = falling ? OxygenCleanAir : 0.0f;
    const auto share = [&](int percent) { return base + (applied - base) * float(percent) / 100; };
    if (sharePercent > 0)
        return share(sharePercent);
    const float alarm = clsInstrument::levelOk(i) ? main.Warning(i) : -101.0f;
    if (alarm >= 0)
        return alarm;
    return share(Bump::DefaultSharePercent);
}

BumpTest::BumpTest(const clsInstrument& main, const clsInstrument& cal,
                   const Calibration::Readings& applied, const Bump::Criteria& criteria)
    : m_criteria(criteria) {
    for (int i = 0; i < Calibration::Channels; ++i) {
        BumpChannel& c = m_channels[i];
        c.fitted = cal.GasEnabled(i);
        c.gas = cal.GasName(i).trimmed();
        c.unit = cal.GasUnit(i).trimmed();
        c.decimals = cal.GasPoint(i);
        if (!c.fitted || !(applied[i] >= 0))
            continue;
        c.result = BumpResult::Unconfirmed; // until the readings say otherwise
        c.falling = isOxygen(c.gas);
        c.applied = applied[i];
        c.passLevel = BumpPassLevel(main, cal, i, applied[i], criteria.sharePercent);
    }
}

bool BumpTest::anyTested() const {
    for (const BumpChannel& c : m_channels)
        if (c.tested())
            return true;
    return false;
}

void BumpTest::addReadings(double seconds, const Calibration::Readings& readings) {
    for (int i = 0; i < Calibration::Channels; ++i) {
        BumpChannel& c = m_channels[i];
        const float v = readings[i];
        if (!c.tested() || IsUnknown(v) || v < 0)
            continue;
        if (IsUnknown(c.peak) || (c.falling ? v < c.peak : v > c.peak))
            c.peak = v;
        if (c.result != BumpResult::Passed && reached(c, v) &&
            seconds <= m_criteria.withinSeconds) {
            c.result = BumpResult::Passed;
            c.secondsToAlarm = seconds;
        }
    }
}

bool BumpTest::finished(double seconds) const {
    if (seconds >= m_criteria.withinSeconds)
        return true;
    for (const BumpChannel& c : m_channels)
        if (c.tested() && c.result != BumpResult::Passed)
            return false;
    return true;
}

BumpTestRecord BumpTest::finish(double seconds, const InstrumentIdentity& identity,
                                const QDateTime& when, const QString& operatorName,
                                const QString& lot) const {
    BumpTestRecord r;
    r.identity = identity;
    r.when = when;
    r.operatorName = operatorName.trimmed();
    r.cylinderLot = lot.trimmed();
    r.criteria = m_criteria;
    r.channels = m_channels;
    const bool timeUp = seconds >= m_criteria.withinSeconds;
    for (BumpChannel& c : r.channels) {
        if (c.result == BumpResult::Unconfirmed && timeUp)
            c.result = BumpResult::Failed;
    }
    return r;
}
