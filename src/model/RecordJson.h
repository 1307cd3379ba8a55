#pragma once

#include "app/AppDate.h"

#include <QDateTime>
#include <QJsonObject>
#include <QJsonValue>
#include <array>

class clsInstrument;

// The JSON that tq5800-cli writes for scripts: numbers as numbers, switches as true/false,
// times in RFC 3339 with their offset from UTC, texts without the padding of their fields, and
// null where the record holds no value. "FormatVersion" names the layout; it goes up when a
// key changes its meaning or its type. docs/tq5800-record.schema.json describes the record.
inline constexpr int JsonFormatVersion = 1;

// Not finite: null.
QJsonValue JsonNumber(double value);
QJsonValue JsonTime(const QDateTime& when);
// A date of the record; its placeholders (day 0 and the "not available" days before it) are
// null.
QJsonValue JsonDate(const AppDate& date);
// A decimal number written as text; null when the text is none.
QJsonValue JsonDecimalText(const QString& text);

// One live reading of the five channels: when it came, and per channel the gas, its unit,
// whether the channel is fitted, the value (null when there is none: not fitted, not
// available, or an instrument state such as "OVER") and the text the terminal line shows.
QJsonObject LiveReadingJson(const clsInstrument& record, const std::array<float, 5>& values,
                            const QDateTime& when);
