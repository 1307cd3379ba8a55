// What the PC writes is kept, and each write is answered the way the PC checks it.

#include "support/SimTestSupport.h"

#include "sim/SimFields.h"

#include <QtTest>

namespace {
constexpr char ACK = '\x06';
constexpr char NAK = '\x15';
} // namespace

class tst_SimWrites : public QObject {
    Q_OBJECT
private slots:
    void identityWritesAnswerTheValue_data();
    void identityWritesAnswerTheValue();
    void stationIdAndListEntries();
    void numericSettingsAnswerInTheirReadEncoding_data();
    void numericSettingsAnswerInTheirReadEncoding();
    void badNumericWriteIsRefused();
    void specTypeAcceptsOnlyItsThreeValues();
    void levelWritesAreEchoed_data();
    void levelWritesAreEchoed();
    void malformedLevelWriteIsRefused();
    void gasTableRoundTrip();
    void userGasRoundTrip();
    void switchesAndGroups();
    void clockWriteEchoesAndMovesTheClock();
    void coefficientWritesAnswerLikeReads();
    void writesWithAcknowledgeOnly();
    void compensationExecutesDeriveTheirGroup();
};

void tst_SimWrites::identityWritesAnswerTheValue_data() {
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<int>("width");
    QTest::newRow("serial") << QByteArray("IN") << 20;
    QTest::newRow("substitute serial") << QByteArray("HN") << 20;
    QTest::newRow("user ID") << QByteArray("XZ") << 16;
    QTest::newRow("BS") << QByteArray("BS") << 10;
}

void tst_SimWrites::identityWritesAnswerTheValue() {
    QFETCH(QByteArray, code);
    QFETCH(int, width);
    SimInstrument sim;
    simtest::Wire wire(sim);
    const QByteArray value = QByteArray("NEW VALUE 12345678901234").left(width - 2);
    const QByteArray padded = value.leftJustified(width, ' ');
    const auto w = wire.ask(code + ",W," + padded);
    QCOMPARE(w.key, code + ",W");
    QCOMPARE(w.tokens.size(), 1);
    QCOMPARE(w.tokens[0].trimmed(), value);
    const auto r = wire.ask(code + ",R,");
    QCOMPARE(r.tokens, QList<QByteArray>{padded});
}

void tst_SimWrites::stationIdAndListEntries() {
    SimInstrument sim;
    simtest::Wire wire(sim);
    auto w = wire.ask("XS,W,****,NORTH GATE      ");
    QCOMPARE(w.status, ACK);
    QCOMPARE(wire.ask("XS,R,****").tokens, (QList<QByteArray>{"****", "NORTH GATE      "}));
    w = wire.ask("XS,W,000A,TANK 10         ");
    QCOMPARE(w.key, QByteArray("XS,W"));
    QCOMPARE(w.status, ACK);
    QCOMPARE(wire.ask("XS,R,000A").tokens, (QList<QByteArray>{"000A", "TANK 10         "}));
    QCOMPARE(sim.state().stationList[10], QByteArray("TANK 10         "));
    QCOMPARE(wire.ask("XS,R,0008").tokens.value(1).trimmed(), QByteArray("LAB 3F"));
    QCOMPARE(wire.ask("XS,W,0080,OUT OF RANGE    ").status, NAK);
}

void tst_SimWrites::numericSettingsAnswerInTheirReadEncoding_data() {
    QTest::addColumn<QByteArray>("write");
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("AP decimal") << QByteArray("AP,W,2") << QByteArray("2");
    QTest::newRow("LP decimal") << QByteArray("LP,W,2") << QByteArray("2");
    QTest::newRow("SC hex") << QByteArray("SC,W,03C") << QByteArray("03C");
    QTest::newRow("XP hex") << QByteArray("XP,W,0B4") << QByteArray("0B4");
    QTest::newRow("SD flag digit") << QByteArray("SD,W,0") << QByteArray("0");
    QTest::newRow("SM decimal") << QByteArray("SM,W,1") << QByteArray("1");
    QTest::newRow("XB written decimal, read hex") << QByteArray("XB,W,12") << QByteArray("0C");
    QTest::newRow("XW decimal") << QByteArray("XW,W,0") << QByteArray("0");
    QTest::newRow("XT hex") << QByteArray("XT,W,05A") << QByteArray("05A");
    QTest::newRow("UQ decimal") << QByteArray("UQ,W,0") << QByteArray("0");
    QTest::newRow("AF decimal") << QByteArray("AF,W,0") << QByteArray("0");
    QTest::newRow("AM decimal") << QByteArray("AM,W,0") << QByteArray("0");
    QTest::newRow("AT decimal") << QByteArray("AT,W,2") << QByteArray("2");
    QTest::newRow("CP hex") << QByteArray("CP,W,01F4") << QByteArray("01F4");
    QTest::newRow("HF hex") << QByteArray("HF,W,7E") << QByteArray("7E");
    QTest::newRow("SJ") << QByteArray("SJ,W,0") << QByteArray("0");
    QTest::newRow("SG") << QByteArray("SG,W,1") << QByteArray("1");
}

void tst_SimWrites::numericSettingsAnswerInTheirReadEncoding() {
    QFETCH(QByteArray, write);
    QFETCH(QByteArray, answer);
    SimInstrument sim;
    simtest::Wire wire(sim);
    const QByteArray code = write.left(2);
    const auto before = wire.ask(code + ",R,").tokens;
    QVERIFY2(before != QList<QByteArray>{answer}, "pick a value that differs from the default");
    const auto w = wire.ask(write);
    QCOMPARE(w.key, code + ",W");
    QCOMPARE(w.tokens, QList<QByteArray>{answer});
    QCOMPARE(wire.ask(code + ",R,").tokens, QList<QByteArray>{answer});
}

void tst_SimWrites::badNumericWriteIsRefused() {
    SimInstrument sim;
    simtest::Wire wire(sim);
    QCOMPARE(wire.ask("AP,W,X").status, NAK);
    QCOMPARE(wire.ask("XP,W,G00").status, NAK);
    QCOMPARE(wire.ask("AP,R,").tokens, QList<QByteArray>{"1"});
}

void tst_SimWrites::specTypeAcceptsOnlyItsThreeValues() {
    SimInstrument sim;
    simtest::Wire wire(sim);
    QCOMPARE(wire.ask("UJ,W,2").tokens, QList<QByteArray>{"2"});
    QCOMPARE(wire.ask("UJ,R,").tokens, QList<QByteArray>{"2"});
    QCOMPARE(wire.ask("UJ,W,3").status, NAK);
    QCOMPARE(wire.ask("UJ,R,").tokens, QList<QByteArray>{"2"});
}

void tst_SimWrites::levelWritesAreEchoed_data() {
    QTest::addColumn<QByteArray>("code");
    QTest::newRow("warning") << QByteArray("A1");
    QTest::newRow("alarm") << QByteArray("A2");
    QTest::newRow("STEL") << QByteArray("AS");
    QTest::newRow("TWA") << QByteArray("AW");
}

void tst_SimWrites::levelWritesAreEchoed() {
    QFETCH(QByteArray, code);
    SimInstrument sim;
    simtest::Wire wire(sim);
    const QList<QByteArray> levels{"   15", " 19.0", " 12.5", "   35", "*****"};
    const QByteArray payload = code + ",W," + levels.join(',');
    wire.send(payload);
    QCOMPARE(wire.nextBlock(), simtest::frame(payload)); // byte for byte
    QCOMPARE(wire.ask(code + ",R,").tokens, levels);
}

void tst_SimWrites::malformedLevelWriteIsRefused() {
    SimInstrument sim;
    simtest::Wire wire(sim);
    QCOMPARE(wire.ask("A1,W,   15, 19.0,  abc,   35,*****").status, NAK);
    QCOMPARE(wire.ask("A1,W,   15, 19.0").status, NAK);
    QCOMPARE(wire.ask("A1,R,").tokens.value(0), QByteArray("   10"));
}

void tst_SimWrites::gasTableRoundTrip() {
    SimInstrument sim;
    simtest::Wire wire(sim);
    const QList<QByteArray> records{"i-C4H10      100    1%LEL", "O2          25.0  0.1vol%",
                                    "NH3        100.0  0.5ppm ", QByteArray(25, '*'),
                                    "CH4          100    1vol%"};
    const auto w = wire.ask("GJ,W," + records.join(','));
    QCOMPARE(w.key, QByteArray("GJ,W"));
    QCOMPARE(w.status, ACK);
    QCOMPARE(wire.ask("GJ,R,").tokens, records);
    // Levels follow the slots' decimals; a slot without a sensor has none.
    QVERIFY(!sim.state().gases[3].enabled);
    QCOMPARE(wire.ask("GJ,W,CH4          100    1%LEL").status, NAK);
    QCOMPARE(wire.ask("GJ,R,").tokens, records);
}

void tst_SimWrites::userGasRoundTrip() {
    SimInstrument sim;
    simtest::Wire wire(sim);
    const QList<QByteArray> fields{
        "00", "C3H8      ", "  100", "    1", "%LEL", "3D9", SimFields::hexSingle(0.6f),
        "00", "H2        ", "  100", "    1", "vol%", "3F2", SimFields::hexSingle(1.1f)};
    // The PC ends every field with ",".
    const auto w = wire.ask("LS,W," + fields.join(',') + ',');
    QCOMPARE(w.status, ACK);
    QCOMPARE(wire.ask("LS,R,").tokens, fields);
    QCOMPARE(wire.ask("LS,W,00,ONLY ONE  ,  100,    1,%LEL,3D9,3F800000,").status, NAK);
}

void tst_SimWrites::switchesAndGroups() {
    SimInstrument sim;
    simtest::Wire wire(sim);
    QCOMPARE(wire.ask("UZ,W,1010").tokens, QList<QByteArray>{"1010"});
    QCOMPARE(wire.ask("UZ,R,").tokens, QList<QByteArray>{"1010"});
    QCOMPARE(wire.ask("UZ,W,101").status, NAK);
    QCOMPARE(wire.ask("AO,R,").tokens.value(0).size(), 4);

    QCOMPARE(wire.ask("BU,W,3,4,2,1").status, ACK);
    QCOMPARE(wire.ask("BU,R,").tokens, (QList<QByteArray>{"3", "4", "2", "1"}));
    QCOMPARE(wire.ask("WB,W,2,0,1").status, ACK);
    QCOMPARE(wire.ask("WB,R,").tokens, (QList<QByteArray>{"2", "0", "1"}));
    QCOMPARE(wire.ask("WB,W,2,0").status, NAK);
}

void tst_SimWrites::clockWriteEchoesAndMovesTheClock() {
    SimInstrument sim;
    simtest::Wire wire(sim);
    const QByteArray payload = "HC,W,261207143005";
    wire.send(payload);
    QCOMPARE(wire.nextBlock(), simtest::frame(payload));
    const QByteArray t = wire.ask("HC,R,").tokens.value(0);
    const QDateTime read =
        QDateTime::fromString(QString::fromLatin1("20" + t), QStringLiteral("yyyyMMddHHmmss"));
    const QDateTime set(QDate(2026, 12, 7), QTime(14, 30, 5));
    QVERIFY(read.isValid());
    QVERIFY(set.secsTo(read) >= 0 && set.secsTo(read) <= 2);
    QCOMPARE(wire.ask("HC,W,261307143005").status, NAK); // month 13
}

void tst_SimWrites::coefficientWritesAnswerLikeReads() {
    SimInstrument sim;
    simtest::Wire wire(sim);
    const QList<QByteArray> c1{"0", "1200", "1", "2300", "0", "1100", "1", "2000"};
    auto w = wire.ask("C1,W," + c1.join(','));
    QCOMPARE(w.key, QByteArray("C1,W"));
    QCOMPARE(w.tokens, c1);
    QCOMPARE(wire.ask("C1,R,").tokens, c1);

    // The console sends only the filled cells: the rest keep their values.
    const auto before = wire.ask("CA,R,").tokens;
    w = wire.ask("CA,W,111,222");
    QCOMPARE(w.tokens, (QList<QByteArray>{"111", "222", before[2], before[3]}));

    QCOMPARE(wire.ask("CF,W,1234").tokens, QList<QByteArray>{"1234"});
    QCOMPARE(wire.ask("CF,R,").tokens, QList<QByteArray>{"1234"});
    QCOMPARE(wire.ask("CF,W").status, NAK);     // empty cell
    QCOMPARE(wire.ask("CF,W,abc").status, NAK); // not numeric
    QCOMPARE(wire.ask("OG,W,1,2").status, NAK); // read only

    // The C5 write answer is read from its first 31 data characters only.
    wire.send("C5,W,1,800,1,780,0,0,0,0");
    const QByteArray block = wire.nextBlock();
    const qsizetype etx = block.indexOf('\x03');
    const QByteArray data = block.mid(11, etx - 11);
    QVERIFY(data.size() <= 31);
    QCOMPARE(data.split(',').size(), 8);

    for (const char* e : {"C1,E,", "C2,E,", "C5,E,"})
        QCOMPARE(wire.ask(e).status, ACK);
}

void tst_SimWrites::compensationExecutesDeriveTheirGroup() {
    SimInstrument sim;
    simtest::Wire wire(sim);
    wire.ask("CC,W,400,1,350,2");
    wire.ask("CB,W,300,1,320,2");
    wire.ask("CF,W,900");
    wire.ask("CE,W,1000");
    wire.ask("CM,W,50");
    wire.ask("CK,W,20");
    QCOMPARE(wire.ask("C1,E,").status, ACK);
    QCOMPARE(wire.ask("C1,R,").tokens,
             (QList<QByteArray>{"1", "100", "1", "-100", "1", "30", "1", "30"}));

    // A point that is not a number refuses the execute and leaves the group as it was.
    const auto cold = wire.ask("C2,R,").tokens;
    wire.ask("CA,W,1x"); // stored as sent
    QCOMPARE(wire.ask("C2,E,").status, NAK);
    QCOMPARE(wire.ask("C2,R,").tokens, cold);
}

void tst_SimWrites::writesWithAcknowledgeOnly() {
    SimInstrument sim;
    simtest::Wire wire(sim);
    for (const char* p : {"DW,W,", "UD,W,", "UP,W,", "UG,W,1", "BP,W,0"}) {
        const auto r = wire.ask(p);
        QCOMPARE(r.key, QByteArray(p).left(4));
        QCOMPARE(r.status, ACK);
    }
    QCOMPARE(wire.ask("BP,R,").tokens, QList<QByteArray>{"0"});
    QCOMPARE(wire.ask("BP,W,1").status, ACK);
    QCOMPARE(wire.ask("BP,R,").tokens, QList<QByteArray>{"1"});
    QVERIFY(!wire.ask("UG,R,").tokens.isEmpty());
    for (char c = 'A'; c <= 'V'; ++c) {
        const QByteArray key = QByteArray("Y") + c + ",R";
        const auto r = wire.ask(key + ',');
        QCOMPARE(r.key, key);
        QCOMPARE(r.tokens.size(), 1);
    }
}

QTEST_GUILESS_MAIN(tst_SimWrites)
#include "test_sim_writes.moc"
