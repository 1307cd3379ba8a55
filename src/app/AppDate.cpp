#include "app/AppDate.h"

#include <cmath>

namespace {
// Day 0; a function so that dates made during static initialisation elsewhere see it set.
QDate epoch() {
    return QDate(1899, 12, 30);
}
constexpr double kSecondsPerDay = 86400.0;
} // namespace

AppDate AppDate::fromDateTime(const QDateTime& dt) {
    const double day = double(epoch().daysTo(dt.date()));
    const double frac = dt.time().msecsSinceStartOfDay() / (kSecondsPerDay * 1000.0);
    return AppDate(day >= 0 ? day + frac : day - frac);
}

AppDate AppDate::now() {
    // The second the clock shows, so that the day count itself holds no part of a second.
    const QDateTime t = QDateTime::currentDateTime();
    return fromDateTime(t.addMSecs(-t.time().msec()));
}

bool AppDate::isValid() const {
    if (!std::isfinite(m_days))
        return false;
    // Years 100 to 9999.
    return m_days >= -657434.0 && m_days < 2958466.0;
}

double AppDate::serial() const {
    const double whole = std::trunc(m_days);
    const double frac = std::fabs(m_days - whole);
    return whole + frac;
}

AppDate AppDate::fromSerial(double s) {
    const double whole = std::floor(s);
    const double frac = s - whole;
    return AppDate(whole >= 0 ? whole + frac : whole - frac);
}

QDateTime AppDate::toDateTime() const {
    if (!isValid())
        return QDateTime();
    const double whole = std::trunc(m_days);
    const double frac = std::fabs(m_days - whole);
    qint64 msecs = qint64(std::llround(frac * kSecondsPerDay * 1000.0));
    // Cut to whole seconds, as a clock shows them: a time is never shown as a later second
    // than its own (the log's time stamp of the same moment is cut too).
    msecs = msecs / 1000 * 1000;
    QDate d = epoch().addDays(qint64(whole));
    if (msecs >= qint64(kSecondsPerDay) * 1000) {
        msecs -= qint64(kSecondsPerDay) * 1000;
        d = d.addDays(1);
    }
    return QDateTime(d, QTime::fromMSecsSinceStartOfDay(int(msecs)));
}

QString AppDate::general() const {
    return format(QString::fromLatin1(GeneralDateFormat));
}

QString AppDate::format(const QString& qtFormat) const {
    const QDateTime dt = toDateTime();
    return dt.isValid() ? dt.toString(qtFormat) : QString();
}

QString FormatElapsed(qint64 seconds) {
    if (seconds < 0)
        seconds = 0;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg((seconds / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}
