#include "app/FieldCodec.h"

#include "app/NumberFormat.h"

#include <cmath>

WholeField ParseWholeField(QStringView text, qint64 min, qint64 max) {
    double d = 0;
    if (!ParseNumber(text, &d))
        return {FieldStatus::NotNumber, 0};
    const double r = RoundHalfEven(d);
    if (!std::isfinite(r) || r < double(min) || r > double(max))
        return {FieldStatus::OutOfRange, 0};
    return {FieldStatus::Ok, qint64(r)};
}

SingleField ParseSingleField(QStringView text) {
    double d = 0;
    if (!ParseNumber(text, &d))
        return {FieldStatus::NotNumber, 0};
    const float f = float(d);
    if (!std::isfinite(f))
        return {FieldStatus::OutOfRange, 0};
    return {FieldStatus::Ok, f};
}
