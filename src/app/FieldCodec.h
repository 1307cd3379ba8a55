#pragma once

#include <QStringView>
#include <QtGlobal>
#include <limits>

// The number rule of every field that a file or the instrument gives as text: a numeric text
// (decimal, or "&H" hexadecimal) is rounded half to even to a whole number, which must then
// fit its field; a value that does not fit is refused, never wrapped or cut. A single must be
// finite as a single. The readers decide what a refusal means to them (a fallback, an error
// naming the line, a rejected reply).
enum class FieldStatus { Ok, NotNumber, OutOfRange };

struct WholeField {
    FieldStatus status = FieldStatus::NotNumber;
    qint64 value = 0;
};
WholeField ParseWholeField(QStringView text, qint64 min, qint64 max);
template <typename T> WholeField ParseWholeFieldOf(QStringView text) {
    return ParseWholeField(text, std::numeric_limits<T>::min(), std::numeric_limits<T>::max());
}

struct SingleField {
    FieldStatus status = FieldStatus::NotNumber;
    float value = 0;
};
SingleField ParseSingleField(QStringView text);
