#pragma once

#include <QDateTime>
#include <QString>

// A date and time as a day count: day 0 is 30 December 1899 00:00, the fraction is the time
// of day. For days before day 0 the fraction still counts forward from midnight
// (-1.25 is 29 December 1899 06:00).
class AppDate {
public:
    constexpr AppDate() = default;
    constexpr explicit AppDate(double days) : m_days(days) {}

    static AppDate fromDateTime(const QDateTime& dt);
    static AppDate now();
    // False for dates outside the years 100 to 9999 (the range the system accepts).
    bool isValid() const;
    QDateTime toDateTime() const;

    constexpr double days() const { return m_days; }
    constexpr bool operator==(const AppDate&) const = default;

    // Linear time in days: unlike days(), the fraction of a date before day 0 counts away from
    // it, so differences and sums of serials are plain arithmetic.
    double serial() const;
    static AppDate fromSerial(double s);

    // The program-wide "general date format" ("yyyy/MM/dd hh:mm:ss").
    QString general() const;
    QString format(const QString& qtFormat) const;

private:
    double m_days = 0.0;
};

// Elapsed seconds as "HH:NN:SS" (hours may exceed 24).
QString FormatElapsed(qint64 seconds);
// The general date format as a Qt format string.
inline constexpr const char* GeneralDateFormat = "yyyy/MM/dd hh:mm:ss";
