#include "model/SettingsFile.h"

#include "app/Conversions.h"
#include "app/Errors.h"
#include "app/FieldCodec.h"
#include "app/FilePaths.h"
#include "app/MessageTable.h"
#include "app/NumberFormat.h"
#include "app/ReadingFormat.h"
#include "app/TextLineReader.h"
#include "app/clsToken.h"
#include "model/CommandSet.h"
#include "model/FactoryParameters.h"
#include "model/GasInfo.h"
#include "model/Payloads.h"
#include "model/UserGasTable.h"
#include "model/clsInstrument.h"

#include <QFile>
#include <QHash>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

namespace {

qint32 wholeNumber(const QString& text, qint32 min, qint32 max) {
    const WholeField f = ParseWholeField(text, min, max);
    if (f.status == FieldStatus::NotNumber)
        throw ConversionError("not a number");
    if (f.status == FieldStatus::OutOfRange)
        throw ConversionError("number outside the range of its field");
    return qint32(f.value);
}

float realNumber(const QString& text) {
    const SingleField f = ParseSingleField(text);
    if (f.status == FieldStatus::NotNumber)
        throw ConversionError("not a number");
    if (f.status == FieldStatus::OutOfRange)
        throw ConversionError("number outside the range of a single");
    return f.value;
}

// A full scale or resolution: written as a level, which has no form for a negative number
// ("*****"), so a negative one would make a file that cannot be read back.
float scaleNumber(const QString& text) {
    const float f = realNumber(text);
    if (f < 0)
        throw ConversionError("negative full scale or resolution");
    return f;
}

int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

// Hexadecimal digits as the writer's two's-complement form of a 16- or 32-bit field
// ("FFFF" in a 16-bit field is -1).
template <typename T> T hexNumber(const QString& text) {
    const QString digits = text.trimmed();
    qsizetype first = 0;
    while (first + 1 < digits.size() && digits.at(first) == u'0')
        ++first;
    const qsizetype count = digits.size() - first;
    if (count == 0 || count > 8)
        throw ConversionError("not a hexadecimal number");
    quint64 u = 0;
    for (qsizetype i = first; i < digits.size(); ++i) {
        const int v = hexDigit(digits.at(i));
        if (v < 0)
            throw ConversionError("not a hexadecimal number");
        u = u * 16 + quint64(v);
    }
    using U = std::make_unsigned_t<T>;
    if (u > quint64(std::numeric_limits<U>::max()))
        throw ConversionError("hexadecimal number outside the range of its field");
    return T(U(u));
}

// A level: a number, "*****" (not used) or a state word.
float levelValue(const QString& text) {
    if (ParseSingleField(text).status == FieldStatus::OutOfRange)
        throw ConversionError("number outside the range of a single");
    return ParseReadingText(text);
}

using Handler = std::function<void(clsInstrument&, const clsToken&)>;

// A hexadecimal field of the instrument's write command holds `digits` digits; a wider value
// would reach the instrument cut to its last digits, so it is refused here.
QString checkedHexDigits(const QString& text, int digits) {
    QString t = text.trimmed();
    while (t.size() > 1 && t.startsWith(u'0'))
        t.remove(0, 1);
    if (t.size() > digits)
        throw ConversionError("value wider than its field of the instrument");
    return t;
}

// The width of the SpecNo field, from its identity row.
int specNoWidth() {
    return FindIdentityCommand(u"BS")->width;
}

const NumericSetting& settingRow(const char* code) {
    return *FindNumericSetting(QString::fromLatin1(code));
}

// A numeric setting as its write command carries it, since that is what a file holds: the
// setting's row gives the property, the write encoding and the width of a hexadecimal field.
Handler settingInto(const char* code) {
    const NumericSetting& s = settingRow(code);
    return [&s](clsInstrument& r, const clsToken& t) {
        const QString& text = t.Tokens(2);
        qint32 v = 0;
        if (s.write == FieldEncoding::Hex) {
            v = hexNumber<qint32>(checkedHexDigits(text, s.hexDigits));
        } else {
            v = wholeNumber(text, s.min, s.max);
            // A switch written as one flag digit: anything but 0 and 1 would reach the
            // instrument as 1.
            if (s.write == FieldEncoding::FlagDigit && v != 0 && v != 1)
                throw ConversionError("switch value other than 0 or 1");
        }
        s.set(r, v);
    };
}

// A text field. After a ";" the tokenizer keeps the rest of the line as one field, commas
// included; sent to the instrument, such a text would shift every field after it.
const QString& plainText(const QString& text) {
    if (text.contains(u','))
        throw ConversionError("text holding a comma, which separates the fields");
    return text;
}

// A level group: one level per gas slot, into the property of the group's row.
Handler levelsInto(const char* code) {
    const LevelCommand& c = *FindLevelCommand(QString::fromLatin1(code));
    return [&c](clsInstrument& r, const clsToken& t) {
        for (int s = 0; s < clsInstrument::GasCount; ++s)
            c.set(r, s, levelValue(t.Tokens(s + 2)));
    };
}

void readUserGases(clsInstrument& r, const clsToken& t) {
    for (int e = 0; e < clsInstrument::UserGasCount; ++e) {
        const int b = 7 * e;
        r.setLS_Name(e, plainText(t.Tokens(b + 3)));
        r.setLS_FullScale(e, scaleNumber(t.Tokens(b + 4)));
        r.setLS_Digit(e, scaleNumber(t.Tokens(b + 5)));
        r.setLS_Point(e, qint16(DecimalsOfText(t.Tokens(b + 5))));
        r.setLS_Unit(e, plainText(t.Tokens(b + 6)));
        r.setLS_elem_vol(e, hexNumber<qint32>(checkedHexDigits(t.Tokens(b + 7), 4)));
        r.setLS_Ratio(e, HexToSingle(t.Tokens(b + 8)));
    }
}

const QHash<QString, Handler>& handlers() {
    static const QHash<QString, Handler> table = [] {
        QHash<QString, Handler> byCode = {
            {QStringLiteral("BS"),
             [](clsInstrument& r, const clsToken& t) {
                 r.setSpecNo(plainText(t.Tokens(2)).trimmed());
             }},
            {QStringLiteral("GJ"),
             [](clsInstrument& r, const clsToken& t) {
                 for (int s = 0; s < clsInstrument::GasCount; ++s)
                     ApplyGasInfoRecord(plainText(t.Tokens(s + 2)), r, s);
             }},
            {QStringLiteral("UJ"),
             [](clsInstrument& r, const clsToken& t) { r.setSpecType(plainText(t.Tokens(2))); }},
            {QStringLiteral("LS"), readUserGases},
        };
        // The numeric settings a file holds. XB is read in decimal, as it is written: the
        // instrument answers it in hexadecimal, but a file holds the write command, and
        // reading it as hex turned 10 into 16.
        for (const char* code : {"AP", "SD", "XW", "UQ", "AF", "AT", "SJ", "SG", "SM", "XB", "XT",
                                 "HF", "SC", "XP", "CP"})
            byCode.insert(QString::fromLatin1(code), settingInto(code));
        for (const char* code : {"A1", "A2"})
            byCode.insert(QString::fromLatin1(code), levelsInto(code));
        return byCode;
    }();
    return table;
}

QString dec(qint64 v) {
    return QString::number(v);
}

// The settings a factory dialog row edits, with the row: a file may hold only what the dialog
// would accept, so that an instrument never receives a value no window can give it.
struct FactoryRowOf {
    const char* code;
    int row;
    qint64 (*value)(const clsInstrument&); // null for the text row
};
#define TQ_VALUE(prop) [](const clsInstrument& r) { return qint64(r.prop()); }
// clang-format off
const FactoryRowOf kFactoryRows[] = {
    // code row value
    {"BS",  2,  nullptr},
    {"AP",  3,  TQ_VALUE(AlarmMode)},
    {"XW",  4,  TQ_VALUE(LogOverWrite)},
    {"SC",  5,  TQ_VALUE(CalLimit)},
    {"SM",  7,  TQ_VALUE(CalCheck)},
    {"AT",  9,  TQ_VALUE(AlarmO2)},
    {"UQ",  10, TQ_VALUE(autoBackLight)},
    {"XT",  11, TQ_VALUE(LcdBackLight)},
    {"AF",  12, TQ_VALUE(AlarmOnOff)},
    {"SJ",  13, TQ_VALUE(AutoZero)},
    {"SG",  14, TQ_VALUE(DemandZero)},
    {"XB",  15, TQ_VALUE(Confirmation)},
};
// clang-format on
#undef TQ_VALUE

// The choices of a list row numbered as the file holds them: "0 Reset, 1 Latch".
QString numberedChoices(int row, const clsInstrument& r) {
    QStringList out;
    const QStringList texts = FactoryParameters::ChoiceList(row, r).split(u'|');
    for (qsizetype i = 0; i < texts.size(); ++i)
        out << QString::number(i) + u' ' + texts.at(i);
    return out.join(QStringLiteral(", "));
}

// Why the record's value of the group `code` lies outside what the windows give it; empty when
// it does not, or when no window limits the group. Switches (SD) and field widths are checked
// where the value is read and written.
QString rangeProblem(const QString& code, const clsInstrument& r) {
    using namespace FactoryParameters;
    if (code == u"UJ") {
        // The destination is the list position as a decimal text.
        static const QStringList destinations = {QStringLiteral("0"), QStringLiteral("1"),
                                                 QStringLiteral("2")};
        if (!destinations.contains(r.SpecType()))
            return LoadMessage(9406, {code, r.SpecType(), Label(8), numberedChoices(8, r)});
        return QString();
    }
    if (code == u"LS") {
        // The user gas as the instrument's write carries it: what the gas table accepts.
        for (int e = 0; e < clsInstrument::UserGasCount; ++e) {
            const QString name = r.LS_Name(e).trimmed();
            if (name.size() > UserGasNameWidth)
                return LoadMessage(5782, {code, name, dec(UserGasNameWidth)});
            if (r.LS_elem_vol(e) > UserGasVoltMax)
                return LoadMessage(9407, {code, dec(r.LS_elem_vol(e)),
                                          UserGasTable::Header(UserGasTable::Volt) +
                                              QStringLiteral(" (0-") + dec(UserGasVoltMax) + u')'});
        }
        return QString();
    }
    if (code == u"XP") {
        if (r.Intervals() < 1)
            return LoadMessage(9407, {code, dec(r.Intervals()), LoadMessage(5223)});
        return QString();
    }
    for (const auto& f : kFactoryRows) {
        if (code != QLatin1String(f.code))
            continue;
        const QString shown = DisplayText(f.row, r);
        switch (RowKind(f.row)) {
        case Kind::Text:
            // An empty SpecNo is what an instrument without one holds.
            if (!shown.trimmed().isEmpty() && !IsValid(f.row, shown))
                return LoadMessage(9409, {code, shown, Label(f.row)});
            return QString();
        case Kind::Number:
            if (!IsValid(f.row, shown))
                return LoadMessage(9407, {code, shown, Label(f.row)});
            return QString();
        case Kind::List:
            if (shown.isEmpty())
                return LoadMessage(
                    9406, {code, dec(f.value(r)), Label(f.row), numberedChoices(f.row, r)});
            return QString();
        }
    }
    return QString();
}

} // namespace

QByteArray SettingsFileText(const clsInstrument& r) {
    const auto line = [](const char* code, const QString& fields) {
        return QLatin1String(code) + QStringLiteral(",W,") + fields;
    };
    QStringList out;
    out << line("BS", TextN(r.SpecNo(), specNoWidth()) + u',');
    out << line("GJ", GasRecordsPayload(r) + u',');
    out << line("AP", dec(r.AlarmMode()) + u',');
    out << line("SD", (r.DispCalLimit() != 0 ? QStringLiteral("1") : QStringLiteral("0")) + u',');
    out << line("SM", dec(r.CalCheck()) + u',');
    out << line("XB", dec(r.Confirmation()) + u',');
    out << line("XW", dec(r.LogOverWrite()) + u',');
    out << line("XT", HexN(r.LcdBackLight(), 4) + u',');
    out << line("UQ", dec(r.autoBackLight()) + u',');
    out << line("AF", dec(r.AlarmOnOff()) + u',');
    out << line("CP", HexN(r.FlowLevel(), 4) + u',');
    out << line("HF", HexN(r.pressOffset(), 2) + u',');
    out << line("AT", dec(r.AlarmO2()) + u',');
    out << line("A1", LevelsPayload(r, false) + u',');
    out << line("A2", LevelsPayload(r, true) + u',');
    out << line("SC", HexN(r.CalLimit(), 4) + u',');
    out << line("XP", HexN(r.Intervals(), 4) + u',');
    out << line("UJ", r.SpecType() + u',');
    out << line("SJ", dec(r.AutoZero()) + u',');
    out << line("SG", dec(r.DemandZero()) + u',');
    out << line("LS", LsFileRecord(r, 0) + LsFileRecord(r, 1));
    return (out.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLocal8Bit();
}

QStringList SettingsFileProblems(const clsInstrument& r) {
    QStringList out;
    const auto tooWide = [&out](const QString& what, const QString& value, int width) {
        out << LoadMessage(5782, {what, value, QString::number(width)});
    };
    const auto text = [&](const QString& what, const QString& value, int width) {
        if (value.trimmed().size() > width)
            tooWide(what, value.trimmed(), width);
        // The file separates its fields with commas: one inside a text would shift every
        // field after it on reading. A ";" starts a comment, which the reader takes for the
        // rest of the line.
        if (value.contains(u','))
            out << LoadMessage(5785, {what, value.trimmed()});
        if (value.contains(u';'))
            out << LoadMessage(5789, {what, value.trimmed()});
    };
    const auto num5 = [&](const QString& what, float value, int decimals) {
        // The five-character format keeps only the last five characters of a wider number.
        if (value < 0)
            return;
        const int d = decimals >= 0 && decimals <= 3 ? decimals : 0;
        const QString full = QString::number(double(value), 'f', d);
        if (full.size() > 5)
            tooWide(what, full, 5);
    };
    // `low` admits the two's-complement form of a small negative value, as the instrument
    // reads its pressure offset.
    const auto hexField = [&](const QString& what, qint64 value, int digits, qint64 low = 0) {
        if (value < low || value >= (qint64(1) << (4 * digits)))
            tooWide(what, QString::number(value), digits);
    };
    const auto hex = [&](const char* code, qint64 value, qint64 low = 0) {
        hexField(QLatin1String(code), value, settingRow(code).hexDigits, low);
    };
    text(QStringLiteral("BS"), r.SpecNo(), specNoWidth());
    if (r.SpecType().contains(u','))
        out << LoadMessage(5785, {QStringLiteral("UJ"), r.SpecType()});
    if (r.SpecType().contains(u';'))
        out << LoadMessage(5789, {QStringLiteral("UJ"), r.SpecType()});
    for (int s = 0; s < clsInstrument::GasCount; ++s) {
        const QString gj = QStringLiteral("GJ %1").arg(s + 1);
        if (r.GasEnabled(s)) {
            // The reader takes the name from the first 10 of its 11 characters.
            text(gj, r.GasName(s), 10);
            text(gj, r.GasUnit(s), 4);
            num5(gj, r.GasFullScale(s), r.GasPoint(s));
            num5(gj, r.GasDesit(s), r.GasPoint(s));
        }
        num5(QStringLiteral("A1 %1").arg(s + 1), r.Warning(s), r.GasPoint(s));
        num5(QStringLiteral("A2 %1").arg(s + 1), r.Alarm(s), r.GasPoint(s));
    }
    // A switch is 0 or true (1, or -1 as the record's booleans are); the file writes "1".
    if (r.DispCalLimit() != 0 && r.DispCalLimit() != 1 && r.DispCalLimit() != -1)
        out << LoadMessage(5783, {QStringLiteral("SD"), QString::number(r.DispCalLimit())});
    hex("XT", r.LcdBackLight());
    hex("CP", r.FlowLevel());
    hex("HF", r.pressOffset(), -128);
    hex("SC", r.CalLimit());
    hex("XP", r.Intervals());
    for (int e = 0; e < clsInstrument::UserGasCount; ++e) {
        const QString ls = QStringLiteral("LS %1").arg(e + 1);
        text(ls, r.LS_Name(e), UserGasNameWidth);
        text(ls, r.LS_Unit(e), 4);
        num5(ls, r.LS_FullScale(e), r.LS_Point(e));
        num5(ls, r.LS_Digit(e), r.LS_Point(e));
        hexField(ls, r.LS_elem_vol(e), 4);
    }
    // What the reader would refuse is not written either; a value already reported as not
    // fitting its field is not reported twice.
    for (const char* code : {"BS", "AP", "XW", "SC", "SM", "UJ", "AT", "UQ", "XT", "AF", "SJ", "SG",
                             "XB", "XP", "LS"}) {
        const QString c = QLatin1String(code);
        const bool reported = std::any_of(
            out.cbegin(), out.cend(), [&c](const QString& p) { return p.startsWith(c + u':'); });
        if (const QString why = rangeProblem(c, r); !reported && !why.isEmpty())
            out << why;
    }
    return out;
}

bool WriteSettingsFile(const clsInstrument& r, const QString& path, QString* error) {
    const QStringList problems = SettingsFileProblems(r);
    if (!problems.isEmpty()) {
        if (error)
            *error = problems.join(QStringLiteral("\n"));
        return false;
    }
    return WriteFileAtomically(path, SettingsFileText(r), error);
}

SettingsReadResult ReadSettings(clsInstrument& r, QIODevice& in) {
    SettingsReadResult result;
    clsToken t;
    t.AddComments(QStringLiteral(";"));
    t.AddDelimiters(QStringLiteral(","));
    TextLineReader reader(in);
    QString text;
    bool cut = false;
    QHash<QString, qint64> given; // group code -> the line that gave it
    qint64 firstUnknown = 0;
    const auto refuse = [&](qint64 line, const QString& why) {
        result.ok = false;
        result.line = line;
        result.message = why;
    };
    while (result.ok && reader.next(&text, &cut)) {
        const qint64 line = reader.lineNumber();
        if (cut) {
            refuse(line, LoadMessage(9404, {QString::number(TextLineReader::DefaultLineLimit)}));
            break;
        }
        // A blank line would only apply the line before it again.
        if (text.trimmed().isEmpty())
            continue;
        try {
            // Token slots are not cleared between lines, and the reader does not look at
            // TokenCount: a line short of fields takes them from the line before, a comment
            // lands in token 0.
            t.setSource(text);
            const QString code = t.Tokens(0).toUpper();
            const auto it = handlers().constFind(code);
            if (it == handlers().constEnd()) {
                if (result.unknownLines++ == 0)
                    firstUnknown = line;
                if (result.unknownLines > MaxUnknownLines) {
                    refuse(firstUnknown, LoadMessage(9408, {QString::number(MaxUnknownLines),
                                                            result.unknown.value(0).left(60)}));
                    break;
                }
                result.unknown << text;
                continue;
            }
            // A group given twice leaves one of its values unsaid: which did the author mean?
            if (const auto seen = given.constFind(code); seen != given.constEnd()) {
                refuse(line, LoadMessage(9405, {code, QString::number(*seen)}));
                break;
            }
            given.insert(code, line);
            (*it)(r, t);
            if (const QString why = rangeProblem(code, r); !why.isEmpty())
                refuse(line, why);
        } catch (const std::exception& e) {
            refuse(line, QString::fromLocal8Bit(e.what()));
        }
    }
    if (result.ok && given.isEmpty())
        refuse(0, LoadMessage(9401));
    return result;
}

SettingsReadResult ReadSettingsFile(clsInstrument& r, const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        SettingsReadResult result;
        result.ok = false;
        result.message = f.errorString();
        return result;
    }
    return ReadSettings(r, f);
}

SettingsReadResult ImportSettingsFile(clsInstrument& r, const QString& path) {
    // Read into a copy: a file that is refused anywhere changes nothing.
    clsInstrument loaded = r;
    SettingsReadResult result = ReadSettingsFile(loaded, path);
    if (result.ok) {
        r = loaded;
        r.SetChangeFlags(true, false);
        r.setImportFlag(-1);
    }
    return result;
}

QString SettingsRefusalText(const SettingsReadResult& result) {
    if (result.line > 0)
        return LoadMessage(5776, {QString::number(result.line), result.message});
    return LoadMessage(9403, {result.message});
}
