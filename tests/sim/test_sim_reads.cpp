// Every read the PC makes gets a well-formed reply whose fields have the count and widths
// the PC's decoder accepts.

#include "support/SimTestSupport.h"

#include <QtTest>

namespace {

enum class Kind {
    Level,
    Text,
    Hex,
    Decimal,
    Flag,
    Gas,
    History,
    Date,
    Single,
    Raw,
    Numeric,
    Exact
};

struct Field {
    Kind kind;
    int width = 0; // exact width where it matters; 0 for any
    QByteArray exact;
};

Field level() {
    return {Kind::Level, 5, {}};
}
Field text(int n) {
    return {Kind::Text, n, {}};
}
Field hex(int n = 0) {
    return {Kind::Hex, n, {}};
}
Field decimal() {
    return {Kind::Decimal, 0, {}};
}
Field flag() {
    return {Kind::Flag, 1, {}};
}
Field gas() {
    return {Kind::Gas, 25, {}};
}
Field history() {
    return {Kind::History, 22, {}};
}
Field date() {
    return {Kind::Date, 12, {}};
}
Field single() {
    return {Kind::Single, 8, {}};
}
Field raw(int n = 0) {
    return {Kind::Raw, n, {}};
}
Field numeric() {
    return {Kind::Numeric, 0, {}};
}
Field exact(const QByteArray& t) {
    return {Kind::Exact, 0, t};
}

bool isNumeric(const QByteArray& t) {
    bool ok = false;
    t.trimmed().toDouble(&ok);
    return ok;
}

bool isHex(const QByteArray& t) {
    if (t.isEmpty())
        return false;
    for (char c : t) {
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return false;
    }
    return true;
}

bool isDate12(const QByteArray& t) {
    if (t.size() != 12)
        return false;
    for (char c : t) {
        if (c < '0' || c > '9')
            return false;
    }
    const QDate d(2000 + t.mid(0, 2).toInt(), t.mid(2, 2).toInt(), t.mid(4, 2).toInt());
    const QTime h(t.mid(6, 2).toInt(), t.mid(8, 2).toInt(), t.mid(10, 2).toInt());
    return d.isValid() && h.isValid();
}

bool isLevel(const QByteArray& t) {
    return t.size() == 5 && (t == "*****" || isNumeric(t));
}

// Empty when the field passes; otherwise what is wrong.
QString check(const QByteArray& t, const Field& f) {
    if (f.width > 0 && t.size() != f.width)
        return QStringLiteral("width %1, expected %2").arg(t.size()).arg(f.width);
    switch (f.kind) {
    case Kind::Level:
        return isLevel(t) ? QString() : QStringLiteral("not a level");
    case Kind::Text:
    case Kind::Raw:
        return t.isEmpty() ? QStringLiteral("empty") : QString();
    case Kind::Hex:
        return isHex(t) ? QString() : QStringLiteral("not hex");
    case Kind::Decimal: {
        bool ok = false;
        t.toInt(&ok, 10);
        return ok ? QString() : QStringLiteral("not decimal");
    }
    case Kind::Flag:
        return t == "0" || t == "1" ? QString() : QStringLiteral("not a flag digit");
    case Kind::Gas: {
        if (t == QByteArray(25, '*'))
            return {};
        const bool ok =
            isNumeric(t.mid(11, 5)) && isNumeric(t.mid(16, 5)) && !t.left(10).trimmed().isEmpty();
        return ok ? QString() : QStringLiteral("not a gas record");
    }
    case Kind::History: {
        const QByteArray d = t.left(12);
        bool digits = true;
        for (char c : d)
            digits = digits && c >= '0' && c <= '9';
        if (digits && !isDate12(d))
            return QStringLiteral("bad date");
        return QString();
    }
    case Kind::Date:
        return isDate12(t) ? QString() : QStringLiteral("not a date");
    case Kind::Single:
        return isHex(t) ? QString() : QStringLiteral("not a hex single");
    case Kind::Numeric:
        return isNumeric(t) ? QString() : QStringLiteral("not numeric");
    case Kind::Exact:
        return t == f.exact ? QString() : QStringLiteral("expected %1").arg(QString(f.exact));
    }
    return QStringLiteral("?");
}

QList<Field> repeat(const QList<Field>& group, int times) {
    QList<Field> out;
    for (int i = 0; i < times; ++i)
        out += group;
    return out;
}

// The PC's read table: 323 slots, empty ones send nothing.
QList<QByteArray> readTable() {
    QList<QByteArray> t(323);
    const QList<QPair<int, const char*>> fixed = {
        {0, "VP,R,"},   {1, "XZ,R,"},   {2, "XS,R,****"}, {3, "IN,R,"},   {4, "HN,R,"},
        {5, "HC,R,"},   {7, "AP,R,"},   {8, "XP,R,"},     {10, "SD,R,"},  {11, "SM,R,"},
        {12, "SC,R,"},  {15, "XB,R,"},  {16, "XW,R,"},    {17, "XT,R,"},  {19, "HF,R,"},
        {20, "GJ,R,"},  {21, "A1,R,"},  {22, "A2,R,"},    {25, "HA,R,"},  {26, "VS,R,"},
        {30, "AT,R,"},  {37, "UJ,R,"},  {39, "SJ,R,"},    {40, "SG,R,"},  {43, "CP,R,"},
        {45, "UQ,R,"},  {48, "AF,R,"},  {49, "BS,R,"},    {50, "LS,R,"},  {194, "CN,R,"},
        {195, "OG,R,"}, {196, "VG,R,"}, {197, "V2,R,"},   {199, "CC,R,"}, {200, "CF,R,"},
        {201, "CM,R,"}, {202, "CA,R,"}, {203, "CD,R,"},   {204, "CL,R,"}, {205, "C3,R,"},
        {206, "C4,R,"}, {207, "C5,R,"}, {208, "CB,R,"},   {209, "CE,R,"}, {210, "CK,R,"},
        {211, "C2,R,"}, {212, "C1,R,"}};
    for (const auto& [slot, payload] : fixed)
        t[slot] = payload;
    for (int i = 1; i <= 15; ++i)
        t[50 + i] = "LI,R," + QByteArray::number(i, 16).toUpper().rightJustified(2, '0');
    for (int i = 0; i < 128; ++i)
        t[66 + i] = "XS,R," + QByteArray::number(i, 16).toUpper().rightJustified(4, '0');
    return t;
}

QList<Field> expectedFields(const QByteArray& payload) {
    const QByteArray code = payload.left(2);
    const QList<Field> library = {text(10), level(), level(), text(4), hex(3), single()};
    const QList<Field> user = {hex(2), text(10), level(), level(), text(4), hex(3), single()};
    if (payload == "XS,R,****")
        return {exact("****"), text(16)};
    if (code == "XS")
        return {exact(payload.mid(5)), text(16)};
    if (code == "LI")
        return QList<Field>{exact(payload.mid(5))} + repeat(library, 2);
    static const QHash<QByteArray, QList<Field>> byCode = {
        {"VP", {decimal()}},
        {"XZ", {text(16)}},
        {"IN", {text(20)}},
        {"HN", {text(20)}},
        {"BS", {text(10)}},
        {"HC", {date()}},
        {"AP", {decimal()}},
        {"XP", {hex()}},
        {"SD", {decimal()}},
        {"SM", {decimal()}},
        {"SC", {hex()}},
        {"XB", {hex()}},
        {"XW", {decimal()}},
        {"XT", {hex()}},
        {"HF", {hex()}},
        {"AT", {decimal()}},
        {"UJ", {raw(1)}},
        {"SJ", {flag()}},
        {"SG", {flag()}},
        {"CP", {hex()}},
        {"UQ", {decimal()}},
        {"AF", {decimal()}},
        {"LP", {decimal()}},
        {"GJ", repeat({gas()}, 5)},
        {"A1", repeat({level()}, 5)},
        {"A2", repeat({level()}, 5)},
        {"SA", repeat({level()}, 5)},
        {"HA", repeat({hex(4)}, 8) + QList<Field>{single()}},
        {"VS", {hex()}},
        {"LS", repeat(user, 2)},
        {"CN", {raw(2)}},
        {"OG", repeat({raw()}, 2)},
        {"VG", repeat({raw()}, 2)},
        {"V2", repeat({raw()}, 6)},
        {"C1", repeat({raw()}, 8)},
        {"C2", repeat({raw()}, 8)},
        {"C5", repeat({raw()}, 8)},
        {"C3", repeat({raw()}, 4)},
        {"C4", repeat({raw()}, 4)},
        {"CA", repeat({raw()}, 4)},
        {"CB", repeat({raw()}, 4)},
        {"CC", repeat({raw()}, 4)},
        {"CD", {numeric()}},
        {"CE", {numeric()}},
        {"CF", {numeric()}},
        {"CK", {numeric()}},
        {"CL", {numeric()}},
        {"CM", {numeric()}},
        {"SO", repeat({history()}, 5)},
        {"DN", repeat({numeric()}, 5)},
    };
    return byCode.value(code);
}

} // namespace

class tst_SimReads : public QObject {
    Q_OBJECT
private slots:
    void readTableHas190Commands();
    void everyReadIsAnsweredInTheDecodersFormat_data();
    void everyReadIsAnsweredInTheDecodersFormat();
    void defaultInstrumentValues();
    void libraryTablesPairTheTwoRanges();
    void liveReadingsMoveAroundCleanAir();
    void unknownCommandIsRefused();
};

void tst_SimReads::readTableHas190Commands() {
    QList<QByteArray> sent;
    for (const QByteArray& p : readTable()) {
        if (!p.isEmpty())
            sent.append(p);
    }
    QCOMPARE(sent.size(), 190);
    QCOMPARE(sent.first(), QByteArray("VP,R,"));
    QCOMPARE(sent.last(), QByteArray("C1,R,"));
}

void tst_SimReads::everyReadIsAnsweredInTheDecodersFormat_data() {
    QTest::addColumn<QByteArray>("payload");
    for (const QByteArray& p : readTable()) {
        if (!p.isEmpty())
            QTest::newRow(p.constData()) << p;
    }
    for (const char* p : {"SO,R,", "SA,R,", "LP,R,", "DN,R,"})
        QTest::newRow(p) << QByteArray(p);
}

void tst_SimReads::everyReadIsAnsweredInTheDecodersFormat() {
    QFETCH(QByteArray, payload);
    SimInstrument sim;
    simtest::Wire wire(sim);
    const simtest::Reply r = wire.ask(payload);
    QVERIFY2(r.wellFormed, r.raw.toHex().constData());
    QVERIFY(r.checksumOk);
    QCOMPARE(r.terminator, '\x04');
    QCOMPARE(r.key, payload.left(4));
    QVERIFY(r.raw.size() >= 15);
    const QList<Field> fields = expectedFields(payload);
    QVERIFY2(!fields.isEmpty(), "no expectation for this command");
    QCOMPARE(r.tokens.size(), fields.size());
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const QString problem = check(r.tokens[i], fields[i]);
        QVERIFY2(problem.isEmpty(), qPrintable(QStringLiteral("field %1 \"%2\": %3")
                                                   .arg(i)
                                                   .arg(QString::fromLatin1(r.tokens[i]))
                                                   .arg(problem)));
    }
    QVERIFY(wire.staysQuiet(0)); // exactly one reply
}

void tst_SimReads::defaultInstrumentValues() {
    SimInstrument sim;
    simtest::Wire wire(sim);
    QCOMPARE(wire.ask("VP,R,").tokens, QList<QByteArray>{"4426"});
    const auto gj = wire.ask("GJ,R,").tokens;
    QCOMPARE(gj.size(), 5);
    QCOMPARE(gj[0], QByteArray("CH4          100    1%LEL"));
    QCOMPARE(gj[1], QByteArray("O2          40.0  0.1vol%"));
    QCOMPARE(gj[2], QByteArray("H2S        100.0  0.5ppm "));
    QCOMPARE(gj[3], QByteArray("CO           500    1ppm "));
    QCOMPARE(gj[4], QByteArray("CH4          100    1vol%"));
    QCOMPARE(wire.ask("A1,R,").tokens,
             (QList<QByteArray>{"   10", " 19.5", " 10.0", "   25", "*****"}));
    QCOMPARE(wire.ask("A2,R,").tokens,
             (QList<QByteArray>{"   50", " 18.0", " 30.0", "   50", "*****"}));
    QCOMPARE(wire.ask("AS,R,").tokens,
             (QList<QByteArray>{"*****", "*****", " 15.0", "  200", "*****"}));
    QCOMPARE(wire.ask("AW,R,").tokens,
             (QList<QByteArray>{"*****", "*****", " 10.0", "   25", "*****"}));
    const auto named = wire.ask("XS,R,0000").tokens;
    QCOMPARE(named.value(1), QByteArray("PLANT A-01      "));
    QCOMPARE(wire.ask("XS,R,007F").tokens.value(1), QByteArray(16, '-'));
    QVERIFY(wire.ask("XS,R,0080").status == '\x15'); // only 128 entries

    // The clock runs from the PC's time.
    const auto hc = wire.ask("HC,R,").tokens.value(0);
    QDateTime when =
        QDateTime::fromString(QString::fromLatin1("20" + hc), QStringLiteral("yyyyMMddHHmmss"));
    QVERIFY(when.isValid());
    QVERIFY(qAbs(when.secsTo(QDateTime::currentDateTime())) <= 2);
}

void tst_SimReads::libraryTablesPairTheTwoRanges() {
    SimInstrument sim;
    simtest::Wire wire(sim);
    QStringList names;
    for (int table = 1; table <= 15; ++table) {
        const QByteArray nn = QByteArray::number(table, 16).toUpper().rightJustified(2, '0');
        const auto t = wire.ask("LI,R," + nn).tokens;
        QCOMPARE(t.size(), 13);
        QCOMPARE(t[0], nn);
        QCOMPARE(t[1], t[7]); // the same gas in both ranges
        if (t[1].trimmed() != "---") {
            QCOMPARE(t[4], QByteArray("%LEL"));
            QCOMPARE(t[10], QByteArray("vol%"));
        }
        names << QString::fromLatin1(t[1].trimmed());
    }
    for (const char* gas :
         {"CH4", "i-C4H10", "H2", "n-C6H14", "CH3OH", "C2H2", "C7H8", "MEK", "C3H8"})
        QVERIFY2(names.contains(QLatin1String(gas)), gas);
    QVERIFY(names.contains(QStringLiteral("---")));
    QVERIFY(wire.ask("LI,R,10").status == '\x15');
    QVERIFY(wire.ask("LI,R,00").status == '\x15');
}

void tst_SimReads::liveReadingsMoveAroundCleanAir() {
    SimInstrument sim;
    simtest::Wire wire(sim);
    QSet<QByteArray> oxygen;
    for (int i = 0; i < 40; ++i) {
        const auto t = wire.ask("DN,R,").tokens;
        QCOMPARE(t.size(), 5);
        const float ch4 = t[0].trimmed().toFloat();
        const float o2 = t[1].trimmed().toFloat();
        const float h2s = t[2].trimmed().toFloat();
        const float co = t[3].trimmed().toFloat();
        QVERIFY(ch4 >= 0 && ch4 <= 3);
        QVERIFY(o2 >= 20.5f && o2 <= 21.3f);
        QVERIFY(h2s >= 0 && h2s <= 1.5f);
        QVERIFY(co >= 0 && co <= 4);
        QCOMPARE(t[1].size(), 5);
        oxygen.insert(t[1]);
    }
    QVERIFY2(oxygen.size() > 1, "readings never change");
}

void tst_SimReads::unknownCommandIsRefused() {
    SimInstrument sim;
    simtest::Wire wire(sim);
    const auto r = wire.ask("ZZ,R,");
    QCOMPARE(r.key, QByteArray("ZZ,R"));
    QCOMPARE(r.status, '\x15');
}

QTEST_GUILESS_MAIN(tst_SimReads)
#include "test_sim_reads.moc"
