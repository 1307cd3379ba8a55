#include "model/FactoryParameters.h"

#include "app/Conversions.h"
#include "app/MessageTable.h"
#include "app/clsToken.h"
#include "model/clsInstrument.h"

#include <QStringList>

namespace FactoryParameters {

namespace {

using GetInt = int (*)(const clsInstrument&);
using SetInt = void (*)(clsInstrument&, int);
using GetText = QString (*)(const clsInstrument&);
using SetText = void (*)(clsInstrument&, const QString&);

struct Row {
    int label; // message number
    Kind kind;
    // Text rows: at most this many characters. Number rows: the range.
    int maxLength;
    int min, max;
    // List rows: message numbers of the choices, or 0 where `fixed` gives the texts.
    int choices[3];
    const char* fixed;
    GetInt getInt;
    SetInt setInt;
    GetText getText;
    SetText setText;
};

#define TQ_INT(prop)                                                                               \
    [](const clsInstrument& r) { return int(r.prop()); },                                          \
        [](clsInstrument& r, int v) { r.set##prop(qint16(v)); }, nullptr, nullptr
#define TQ_TEXT(prop)                                                                              \
    nullptr, nullptr, [](const clsInstrument& r) { return r.prop(); },                             \
        [](clsInstrument& r, const QString& v) { r.set##prop(v); }

const char* const OffOn = "Off|On";

// clang-format off
const Row kRows[LastRow + 1] = {
    {0,    Kind::Text,   0,  0,   0,   {0, 0, 0},          nullptr, nullptr, nullptr, nullptr, nullptr},
    //label kind         len min  max  choices             fixed   property
    {8003, Kind::Text,   20, 0,   0,   {0, 0, 0},          nullptr, TQ_TEXT(DummySerial)},
    {8042, Kind::Text,   10, 0,   0,   {0, 0, 0},          nullptr, TQ_TEXT(SpecNo)},
    {8004, Kind::List,   0,  0,   0,   {8005, 8006, 0},    nullptr, TQ_INT(AlarmMode)},
    {8009, Kind::List,   0,  0,   0,   {0, 0, 0},          OffOn,   TQ_INT(LogOverWrite)},
    {8007, Kind::Number, 0,  1,   365, {0, 0, 0},          nullptr, TQ_INT(CalLimit)},
    {8010, Kind::List,   0,  0,   0,   {0, 0, 0},          OffOn,   TQ_INT(DispCalLimit)},
    {8011, Kind::List,   0,  0,   0,   {8012, 8013, 8014}, nullptr, TQ_INT(CalCheck)},
    {8015, Kind::List,   0,  0,   0,   {8016, 8017, 8041}, nullptr,
        [](const clsInstrument& r) { return r.SpecType().trimmed().toInt(); },
        [](clsInstrument& r, int v) { r.setSpecType(QString::number(v)); }, nullptr, nullptr},
    {8022, Kind::List,   0,  0,   0,   {0, 0, 0},          nullptr, TQ_INT(AlarmO2)},
    {8027, Kind::List,   0,  0,   0,   {0, 0, 0},          OffOn,   TQ_INT(autoBackLight)},
    {8023, Kind::Number, 0,  1,   255, {0, 0, 0},          nullptr, TQ_INT(LcdBackLight)},
    {8037, Kind::List,   0,  0,   0,   {0, 0, 0},          OffOn,   TQ_INT(AlarmOnOff)},
    {8019, Kind::List,   0,  0,   0,   {0, 0, 0},          OffOn,   TQ_INT(AutoZero)},
    {8020, Kind::List,   0,  0,   0,   {0, 0, 0},          OffOn,   TQ_INT(DemandZero)},
    {8044, Kind::List,   0,  0,   0,   {0, 0, 0},          OffOn,   TQ_INT(Confirmation)},
};
// clang-format on
#undef TQ_INT
#undef TQ_TEXT

constexpr int OxyRow = 9;

const Row* rowOf(int row) {
    return row >= FirstRow && row <= LastRow ? &kRows[row] : nullptr;
}

// The texts of a "|" list, split with the system's tokenizer.
QStringList choicesOf(const QString& list) {
    clsToken tok;
    tok.AddDelimiters(QStringLiteral("|"));
    tok.setSource(list);
    QStringList out;
    for (int i = 0; i < tok.TokenCount(); ++i)
        out << tok.Tokens(i);
    return out;
}

bool textRuleHolds(const Row& r, const QString& text) {
    if (text.size() > r.maxLength)
        return false;
    for (const QChar c : text)
        if (c.unicode() == 8 || !IsIdKey(c.unicode()))
            return false;
    return true;
}

} // namespace

Kind RowKind(int row) {
    const Row* r = rowOf(row);
    return r ? r->kind : Kind::Text;
}

QString Label(int row) {
    const Row* r = rowOf(row);
    return r ? LoadMessage(r->label) : QString();
}

QString ChoiceList(int row, const clsInstrument& record) {
    const Row* r = rowOf(row);
    if (!r || r->kind != Kind::List)
        return QString();
    if (row == OxyRow) {
        return record.RomNumber() >= ThirdOxyAlarmRom ? QStringLiteral("H-L|L-LL|H-HH")
                                                      : QStringLiteral("H-L|L-LL");
    }
    if (r->fixed)
        return QString::fromLatin1(r->fixed);
    QStringList texts;
    for (const int m : r->choices)
        if (m)
            texts << LoadMessage(m);
    return texts.join(u'|');
}

QString DisplayText(int row, const clsInstrument& record) {
    const Row* r = rowOf(row);
    if (!r)
        return QString();
    switch (r->kind) {
    case Kind::Text:
        return r->getText(record);
    case Kind::Number:
        return QString::number(r->getInt(record));
    case Kind::List:
        break;
    }
    const QStringList choices = choicesOf(ChoiceList(row, record));
    const int v = r->getInt(record);
    return v >= 0 && v < choices.size() ? choices.at(v) : QString();
}

int FilterKey(int row, const QString& after, int key) {
    const Row* r = rowOf(row);
    if (!r || key == 8)
        return key;
    if (r->kind == Kind::Text && !textRuleHolds(*r, after))
        return 0;
    if (r->kind == Kind::Number && !IsAllDigits(after))
        return 0;
    if (key >= 'a' && key <= 'z')
        return key - 'a' + 'A';
    return key;
}

bool IsValid(int row, const QString& text) {
    const Row* r = rowOf(row);
    if (!r || text.trimmed().isEmpty())
        return false;
    switch (r->kind) {
    case Kind::Text:
        return textRuleHolds(*r, text);
    case Kind::Number: {
        if (!IsAllDigits(text) || text.size() > 9)
            return false;
        const int v = text.toInt();
        return v >= r->min && v <= r->max;
    }
    case Kind::List:
        return true;
    }
    return false;
}

void Store(int row, const QString& text, clsInstrument& record) {
    const Row* r = rowOf(row);
    if (!r)
        return;
    switch (r->kind) {
    case Kind::Text:
        if (r->getText(record) != text)
            r->setText(record, text);
        return;
    case Kind::Number: {
        bool ok = false;
        const int v = text.trimmed().toInt(&ok);
        if (ok && v != r->getInt(record))
            r->setInt(record, v);
        return;
    }
    case Kind::List:
        break;
    }
    const QStringList choices = choicesOf(ChoiceList(row, record));
    for (qsizetype i = 0; i < choices.size(); ++i) {
        if (choices.at(i).compare(text, Qt::CaseInsensitive) == 0) {
            if (r->getInt(record) != int(i))
                r->setInt(record, int(i));
            return;
        }
    }
}

} // namespace FactoryParameters
