#include "model/UserGasTable.h"

#include "app/Conversions.h"
#include "app/NumberFormat.h"
#include "app/ReadingFormat.h"
#include "model/clsInstrument.h"

#include <cmath>

namespace UserGasTable {

namespace {

const QString CoefficientFormat = QStringLiteral("0.00000000");

// clang-format off
struct Column { const char* header; int width; };
const Column kColumns[FieldCount] = {
    // header    width (twips)
    {"Name",      1000},
    {"FullScale", 900},
    {"Digit",     900},
    {"Unit",      900},
    {"Volt",      1000},
    {"Ratio",     900},
    {"a X3",      1100},
    {"b X2",      1100},
    {"c X",       1100},
    {"d",         1100},
    {"(a X3)",    1100},
    {"(b X2)",    1100},
    {"(c X)",     1100},
    {"(d)",       1100},
};
// clang-format on

// The fields of one gas-table entry, whichever table it comes from.
struct Entry {
    QString name;
    float fullScale;
    float digit;
    QString unit;
    qint32 volt;
    float ratio;
    int point;
    double linear[8];
};

Entry libraryEntry(const clsInstrument& r, int i) {
    return {r.LI_Name(i),
            r.LI_FullScale(i),
            r.LI_Digit(i),
            r.LI_Unit(i),
            r.LI_elem_vol(i),
            r.LI_Ratio(i),
            r.LI_Point(i),
            {r.LI_Linear1_a(i), r.LI_Linear1_b(i), r.LI_Linear1_c(i), r.LI_Linear1_d(i),
             r.LI_Linear2_a(i), r.LI_Linear2_b(i), r.LI_Linear2_c(i), r.LI_Linear2_d(i)}};
}

Entry userEntry(const clsInstrument& r, int i) {
    return {r.LS_Name(i),
            r.LS_FullScale(i),
            r.LS_Digit(i),
            r.LS_Unit(i),
            r.LS_elem_vol(i),
            r.LS_Ratio(i),
            r.LS_Point(i),
            {r.LS_Linear1_a(i), r.LS_Linear1_b(i), r.LS_Linear1_c(i), r.LS_Linear1_d(i),
             r.LS_Linear2_a(i), r.LS_Linear2_b(i), r.LS_Linear2_c(i), r.LS_Linear2_d(i)}};
}

QString cellText(const Entry& e, Field f) {
    switch (f) {
    case Name:
        return e.name;
    case FullScale:
        return FormatReading(e.fullScale, e.point);
    case Digit:
        return FormatReading(e.digit, e.point);
    case Unit:
        return e.unit;
    case Volt:
        return QString::number(e.volt);
    case Ratio:
        return ShortestText(e.ratio);
    case FieldCount:
        return QString();
    default:
        return FormatNumber(e.linear[f - Linear1_a], CoefficientFormat);
    }
}

// A scale value with 0 to 3 decimals ("#0" for more), at least five characters wide.
QString scaleText(double value, int decimals) {
    if (value < 0)
        return QStringLiteral("*****");
    const QString format =
        decimals >= 1 && decimals <= 3 ? DecimalFormat(decimals) : QStringLiteral("#0");
    return FormatNumber(value, format).rightJustified(5);
}

bool number(const QString& text, double* v) {
    return ParseNumber(text, v) && std::isfinite(*v);
}

double whole(double v) {
    return RoundHalfEven(v);
}

} // namespace

QString Header(Field f) {
    return f >= 0 && f < FieldCount ? QString::fromLatin1(kColumns[f].header) : QString();
}

int HeaderWidthTwips(Field f) {
    return f >= 0 && f < FieldCount ? kColumns[f].width : 0;
}

QString LibraryCellText(const clsInstrument& record, int entry, Field field) {
    return cellText(libraryEntry(record, entry), field);
}

QString UserCellText(const clsInstrument& record, int entry, Field field) {
    return cellText(userEntry(record, entry), field);
}

bool NameKeyAllowed(int key, const QString& current) {
    if (key == 8)
        return true;
    const bool nameKey = key == ' ' || key == '-' || key == '_' || key == '/' || key == '>' ||
                         key == '<' || (key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z') ||
                         (key >= 'a' && key <= 'z');
    return nameKey && current.size() < NameLength;
}

Checked Validate(Field field, const QString& text, const QString& digitText,
                 const QStringList& builtInNames) {
    Checked c;
    double v = 0;
    switch (field) {
    case Name:
        // Typing keeps to the name rule key by key; pasted text is held to it here.
        if (text.size() > NameLength || !IsNameText(text))
            return c;
        for (const QString& n : builtInNames)
            if (n.trimmed() == text.trimmed())
                return c;
        c.text = text;
        break;
    case FullScale:
        if (!number(text, &v))
            return c;
        c.text = scaleText(v, DecimalsOfText(digitText.trimmed()));
        break;
    case Digit: {
        if (!number(text, &v) || v <= 0)
            return c;
        // What is shown (and written) is the reformatted text: 0.0001 shown with three
        // decimals is 0, a resolution the instrument cannot work with.
        const QString shown = scaleText(v, DecimalsOfText(text.trimmed()));
        double kept = 0;
        if (!number(shown, &kept) || kept <= 0) {
            c.message = 5857;
            c.params = {Header(field), text.trimmed(), shown.trimmed()};
            return c;
        }
        c.text = shown;
        break;
    }
    case Unit: {
        static const QStringList units = {"%LEL", "vol%", "VOL%", "%", "ppm", "ppb"};
        if (!units.contains(text.trimmed()))
            return c;
        c.text = text;
        break;
    }
    case Volt:
        if (!number(text, &v))
            return c;
        v = whole(v);
        if (v <= 0 || v > UserGasVoltMax) {
            c.message = 5856;
            c.params = {Header(field), QString::number(UserGasVoltMax)};
            return c;
        }
        c.text = QString::number(qint64(v));
        break;
    case Ratio:
        if (!number(text, &v) || std::abs(v) > 1e9)
            return c;
        c.text = QString::number(qint64(whole(v)));
        break;
    case FieldCount:
        return c;
    default:
        if (!number(text, &v))
            return c;
        c.text = FormatNumber(v, CoefficientFormat);
        break;
    }
    c.ok = true;
    return c;
}

void Store(clsInstrument& r, int i, const QStringList& cells) {
    if (cells.size() < FieldCount || i < 0 || i >= clsInstrument::UserGasCount)
        return;
    const Entry stored = userEntry(r, i);
    bool changed = false;
    const auto valueOf = [](const QString& t) {
        double v = 0;
        return ParseNumber(t, &v) ? v : 0.0;
    };

    if (cells[Name] != stored.name) {
        r.setLS_Name(i, cells[Name]);
        changed = true;
    }
    if (cells[FullScale].trimmed() != cellText(stored, FullScale).trimmed()) {
        r.setLS_FullScale(i, ParseReadingText(cells[FullScale]));
        changed = true;
    }
    if (cells[Digit].trimmed() != cellText(stored, Digit).trimmed()) {
        r.setLS_Digit(i, float(valueOf(cells[Digit])));
        changed = true;
    }
    const int point = DecimalsOfText(cells[Digit].trimmed());
    if (point != stored.point) {
        r.setLS_Point(i, qint16(point));
        changed = true;
    }
    if (cells[Unit] != stored.unit) {
        r.setLS_Unit(i, cells[Unit]);
        changed = true;
    }
    const qint32 volt = qint32(whole(valueOf(cells[Volt])));
    if (volt != stored.volt) {
        r.setLS_elem_vol(i, volt);
        changed = true;
    }
    const float ratio = float(valueOf(cells[Ratio]));
    if (ratio != stored.ratio) {
        r.setLS_Ratio(i, ratio);
        changed = true;
    }
    // Plain functions rather than member pointers: the undefined-behaviour sanitizer of g++
    // misreads an index into an array of member-function pointers.
    using Setter = void (*)(clsInstrument&, int, double);
    static const Setter linear[8] = {
        [](clsInstrument& r, int i, double v) { r.setLS_Linear1_a(i, v); },
        [](clsInstrument& r, int i, double v) { r.setLS_Linear1_b(i, v); },
        [](clsInstrument& r, int i, double v) { r.setLS_Linear1_c(i, v); },
        [](clsInstrument& r, int i, double v) { r.setLS_Linear1_d(i, v); },
        [](clsInstrument& r, int i, double v) { r.setLS_Linear2_a(i, v); },
        [](clsInstrument& r, int i, double v) { r.setLS_Linear2_b(i, v); },
        [](clsInstrument& r, int i, double v) { r.setLS_Linear2_c(i, v); },
        [](clsInstrument& r, int i, double v) { r.setLS_Linear2_d(i, v); }};
    for (int k = 0; k < 8; ++k) {
        const QString& t = cells[Linear1_a + k];
        if (t != FormatNumber(stored.linear[k], CoefficientFormat)) {
            linear[k](r, i, valueOf(t));
            changed = true;
        }
    }
    if (changed)
        r.setChange_LSData(i, true);
}

} // namespace UserGasTable
