#include "support/SimTestSupport.h"

#include "sim/SimFields.h"
#include "sim/SimFrame.h"

#include <QtTest>

class tst_SimFrame : public QObject {
    Q_OBJECT
private slots:
    void knownChecksums_data();
    void knownChecksums();
    void checksumOfMultipleOf256IsZero();
    void buildMatchesIndependentBuilder();
    void parseAcceptsGoodFrames();
    void parseRejectsDamagedFrames_data();
    void parseRejectsDamagedFrames();
    void readerDiscardsBytesBeforeStx();
    void readerCollectsSplitAndJoinedFrames();
    void readerFloodStaysBounded();
    void readerRestartsAtNewStx();
    void levelEncoding_data();
    void levelEncoding();
    void textHexAndDates();
};

void tst_SimFrame::knownChecksums_data() {
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("digits");
    QTest::newRow("RC") << QByteArray("RC,R,") << QByteArray("FB");
    QTest::newRow("VP") << QByteArray("VP,R,") << QByteArray("EA");
    QTest::newRow("XS") << QByteArray("XS,R,****") << QByteArray("3D");
}

void tst_SimFrame::knownChecksums() {
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, digits);
    const QByteArray f = SimFrame::build(payload);
    QCOMPARE(f, QByteArray("\x02"
                           "0001") +
                    payload + '\x03' + digits + '\x04');
}

void tst_SimFrame::checksumOfMultipleOf256IsZero() {
    // STX + "0001" + ETX = 2 + 193 + 3 = 198; ":" (58) makes 256.
    const QByteArray payload(":");
    QCOMPARE(SimFrame::checksum(QByteArray("\x02"
                                           "0001") +
                                payload + '\x03'),
             quint8(0));
    QCOMPARE(SimFrame::build(payload).mid(7, 2), QByteArray("00"));
}

void tst_SimFrame::buildMatchesIndependentBuilder() {
    for (const QByteArray& p : {QByteArray("HC,W,261207143005"),
                                QByteArray("\x06"
                                           "EF,R,"),
                                QByteArray("GJ,W,CH4          100    1%LEL")}) {
        QCOMPARE(SimFrame::build(p), simtest::frame(p));
        QCOMPARE(SimFrame::build(p, SimFrame::ETB), simtest::frame(p, '\x17'));
    }
}

void tst_SimFrame::parseAcceptsGoodFrames() {
    const auto p = SimFrame::parse(simtest::frame("XS,R,0010"));
    QVERIFY(p.ok);
    QCOMPARE(p.payload, QByteArray("XS,R,0010"));
    QCOMPARE(p.terminator, SimFrame::EOT);
    const auto ack = SimFrame::parse(simtest::frame("\x06"
                                                    "EF,R,",
                                                    '\x17'));
    QVERIFY(ack.ok);
    QCOMPARE(ack.terminator, SimFrame::ETB);
}

void tst_SimFrame::parseRejectsDamagedFrames_data() {
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray good = simtest::frame("VP,R,");
    QByteArray badSum = good;
    badSum[good.size() - 2] = 'B'; // "EA" becomes "EB"
    QByteArray lower = good;
    lower[good.size() - 3] = 'e';
    lower[good.size() - 2] = 'a';
    QByteArray badField = good;
    badField[2] = '1';
    QByteArray noEtx = good;
    noEtx[good.size() - 4] = ',';
    QByteArray badTerminator = good;
    badTerminator[good.size() - 1] = '\x03';
    QTest::newRow("checksum") << badSum;
    QTest::newRow("lower-case digits") << lower;
    QTest::newRow("fixed field") << badField;
    QTest::newRow("no ETX") << noEtx;
    QTest::newRow("terminator") << badTerminator;
    QTest::newRow("too short") << QByteArray("\x02"
                                             "0001\x03"
                                             "F\x04");
}

void tst_SimFrame::parseRejectsDamagedFrames() {
    QFETCH(QByteArray, bytes);
    QVERIFY(!SimFrame::parse(bytes).ok);
}

void tst_SimFrame::readerDiscardsBytesBeforeStx() {
    SimFrameReader r;
    r.feed("noise\x04\x17 more" + simtest::frame("VP,R,"));
    QVERIFY(r.hasFrame());
    QCOMPARE(r.takeFrame(), simtest::frame("VP,R,"));
    QVERIFY(!r.hasFrame());
}

void tst_SimFrame::readerCollectsSplitAndJoinedFrames() {
    SimFrameReader r;
    const QByteArray a = simtest::frame("VP,R,");
    const QByteArray b = simtest::frame("RC,R,");
    r.feed(a.left(3));
    QVERIFY(!r.hasFrame());
    r.feed(a.mid(3) + b);
    QCOMPARE(r.takeFrame(), a);
    QCOMPARE(r.takeFrame(), b);
    QVERIFY(!r.hasFrame());
}

void tst_SimFrame::readerFloodStaysBounded() {
    SimFrameReader r;
    r.feed(QByteArray(1, SimFrame::STX));
    for (int i = 0; i < 200; ++i) {
        r.feed(QByteArray(4096, 'A'));
        QVERIFY(r.pendingBytes() <= SimFrameReader::MaxFrameBytes);
    }
    QVERIFY(!r.hasFrame());
    r.feed(simtest::frame("VP,R,"));
    QCOMPARE(r.takeFrame(), simtest::frame("VP,R,"));
}

void tst_SimFrame::readerRestartsAtNewStx() {
    SimFrameReader r;
    r.feed("\x02"
           "0001VP,R" +
           simtest::frame("RC,R,"));
    QCOMPARE(r.takeFrame(), simtest::frame("RC,R,"));
    QVERIFY(!r.hasFrame());
}

void tst_SimFrame::levelEncoding_data() {
    QTest::addColumn<float>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("whole") << 10.0f << 0 << QByteArray("   10");
    QTest::newRow("one decimal") << 19.5f << 1 << QByteArray(" 19.5");
    QTest::newRow("two decimals") << 1.8f << 2 << QByteArray(" 1.80");
    QTest::newRow("full width") << 100.0f << 1 << QByteArray("100.0");
    QTest::newRow("too long keeps last five") << 1000.0f << 1 << QByteArray("000.0");
    QTest::newRow("none") << -101.0f << 1 << QByteArray("*****");
    QTest::newRow("odd decimals") << 5.0f << 7 << QByteArray("    5");
}

void tst_SimFrame::levelEncoding() {
    QFETCH(float, value);
    QFETCH(int, decimals);
    QFETCH(QByteArray, text);
    QCOMPARE(SimFields::level(value, decimals), text);
    float back = 0;
    QVERIFY(SimFields::parseLevel(text, &back));
    if (value >= 0 && value < 1000)
        QCOMPARE(back, value);
    else if (value < 0)
        QCOMPARE(back, -101.0f);
}

void tst_SimFrame::textHexAndDates() {
    QCOMPARE(SimFields::text("ABC", 5), QByteArray("ABC  "));
    QCOMPARE(SimFields::text("ABCDEFG", 5), QByteArray("ABCDE"));
    QCOMPARE(SimFields::hex(0x1F, 4), QByteArray("001F"));
    QCOMPARE(SimFields::hexSingle(1.0f), QByteArray("3F800000"));
    QCOMPARE(SimFields::hexSingle(-101.0f), QByteArray("C2CA0000"));
    float f = 0;
    QVERIFY(SimFields::parseHexSingle("3DCCCCCD", &f));
    QCOMPARE(f, 0.1f);
    QCOMPARE(SimFields::date12(QDateTime(QDate(2026, 12, 7), QTime(14, 30, 5))),
             QByteArray("261207143005"));
    QDateTime when;
    QVERIFY(SimFields::parseDate12("991231235959", &when));
    QCOMPARE(when, QDateTime(QDate(2099, 12, 31), QTime(23, 59, 59)));
    QVERIFY(!SimFields::parseDate12("261307143005", &when)); // month 13
    QVERIFY(!SimFields::parseDate12("26120714300", &when));
}

QTEST_GUILESS_MAIN(tst_SimFrame)
#include "test_sim_frame.moc"
