// Tokenizer, conversions, number formats and dates.
#include "app/AppDate.h"
#include "app/Conversions.h"
#include "app/Errors.h"
#include "app/FieldCodec.h"
#include "app/NumberFormat.h"
#include "app/clsToken.h"

#include <QtTest>
#include <cmath>
#include <limits>

class TestText : public QObject {
    Q_OBJECT
private slots:
    void tokenizerResponseDelimiters() {
        clsToken t;
        t.AddDelimiters(QStringLiteral("\r"));
        t.AddDelimiters(QStringLiteral(","));
        t.setSource(QStringLiteral("OK,12,,3"));
        QCOMPARE(t.TokenCount(), 3);
        QCOMPARE(t.Tokens(0), QStringLiteral("OK"));
        QCOMPARE(t.Tokens(1), QStringLiteral("12"));
        QCOMPARE(t.Tokens(2), QStringLiteral("3"));
        t.setSource(QStringLiteral(",A"));
        QCOMPARE(t.TokenCount(), 1);
        QCOMPARE(t.Tokens(0), QStringLiteral("A"));
        t.setSource(QStringLiteral("A,\r"));
        QCOMPARE(t.TokenCount(), 1);
        t.setSource(QString());
        QCOMPARE(t.TokenCount(), 0);
        // Stale slots keep the earlier line's tokens.
        t.setSource(QStringLiteral("a,b,c"));
        t.setSource(QStringLiteral("z"));
        QCOMPARE(t.TokenCount(), 1);
        QCOMPARE(t.Tokens(1), QStringLiteral("b"));
        QCOMPARE(t.Tokens(2), QStringLiteral("c"));
    }

    void tokenizerQuotesAndComments() {
        clsToken t;
        t.AddComments(QStringLiteral(";"));
        t.AddDelimiters(QStringLiteral("\t"));
        t.AddStrings(QStringLiteral("'"));
        t.setSource(QStringLiteral("Font\t'Arial'\t9"));
        QCOMPARE(t.TokenCount(), 3);
        QCOMPARE(t.Tokens(1), QStringLiteral("Arial"));
        t.setSource(QStringLiteral("Key\t'a\tb'"));
        QCOMPARE(t.TokenCount(), 2);
        QCOMPARE(t.Tokens(1), QStringLiteral("a\tb"));
        t.setSource(QStringLiteral("x'abc'"));
        QCOMPARE(t.TokenCount(), 1);
        QCOMPARE(t.Tokens(0), QStringLiteral("abc"));
        t.setSource(QStringLiteral("Key\t1 ;rest"));
        QCOMPARE(t.TokenCount(), 1);
        QCOMPARE(t.Tokens(0), QStringLiteral("Key"));
        QCOMPARE(t.Tokens(1), QStringLiteral("rest"));
        t.setSource(QStringLiteral(";comment line"));
        QCOMPARE(t.TokenCount(), 0);
        QCOMPARE(t.Tokens(0), QStringLiteral("comment line"));
        t.setSource(QStringLiteral("''"));
        QCOMPARE(t.TokenCount(), 1);
        QCOMPARE(t.Tokens(0), QString());
        // Unterminated string: its text is the last token; a comment inside a string is text.
        t.setSource(QStringLiteral("A\t'b;c"));
        QCOMPARE(t.TokenCount(), 2);
        QCOMPARE(t.Tokens(1), QStringLiteral("b;c"));
    }

    void tokenizerTablesAndLimits() {
        clsToken t;
        for (int i = 0; i < 11; ++i)
            t.AddDelimiters(QString(QChar('a' + i)));
        QCOMPARE(t.Delimiters(9), QStringLiteral("j"));
        QCOMPARE(t.Delimiters(10), QString());
        t.setDelimiters(10, QStringLiteral("x")); // ignored: only slots 0..9 are reachable
        QCOMPARE(t.Delimiters(10), QString());
        t.ClearDelimiters();
        QCOMPARE(t.Delimiters(0), QString());
        // A multi-character entry never matches.
        t.AddDelimiters(QStringLiteral(",,"));
        t.setSource(QStringLiteral("a,b"));
        QCOMPARE(t.TokenCount(), 1);

        t.setTokens(255, QStringLiteral("x"));
        QCOMPARE(t.Tokens(255), QString());
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, t.setTokens(256, QStringLiteral("x")));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, t.setTokens(-1, QStringLiteral("x")));

        clsToken c;
        c.AddDelimiters(QStringLiteral(","));
        QStringList parts;
        for (int i = 0; i < 256; ++i)
            parts << QString::number(i);
        c.setSource(parts.join(u','));
        QCOMPARE(c.TokenCount(), 256);
        parts << QStringLiteral("256");
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, c.setSource(parts.join(u',')));
        QCOMPARE(c.TokenCount(), 256);
        QCOMPARE(c.Tokens(254), QStringLiteral("254"));
    }

    void hexSingles() {
        QCOMPARE(SingleToHex(1.0f), QStringLiteral("3F800000"));
        QCOMPARE(SingleToHex(-101.0f), QStringLiteral("C2CA0000"));
        QCOMPARE(HexToSingle(QStringLiteral("3DCCCCCD")), 0.1f);
        QCOMPARE(HexToSingle(QStringLiteral("C2CA0000")), -101.0f);
        QCOMPARE(HexToSingle(QStringLiteral("3dcccccd")), 0.1f);
        const float specials[] = {std::numeric_limits<float>::infinity(),
                                  -std::numeric_limits<float>::infinity(),
                                  -0.0f,
                                  std::numeric_limits<float>::denorm_min(),
                                  std::numeric_limits<float>::max(),
                                  20.9f};
        for (float v : specials) {
            const float back = HexToSingle(SingleToHex(v));
            QCOMPARE(std::bit_cast<quint32>(back), std::bit_cast<quint32>(v));
        }
        QCOMPARE(SingleToHex(-0.0f), QStringLiteral("80000000"));
        const char* bad[] = {"", "3F80000", "3F80000G", "+F800000", " 3F80000", "3F8-0000"};
        for (const char* b : bad)
            QVERIFY_THROWS_EXCEPTION(ConversionError, HexToSingle(QString::fromLatin1(b)));
        QCOMPARE(PadHex(QStringLiteral("A")), QStringLiteral("0A"));
        QCOMPARE(PadHex(QString()), QString());
        QCOMPARE(PadHex(QStringLiteral("AB")), QStringLiteral("AB"));
    }

    void identityTextsAndKeys() {
        QCOMPARE(NormalizeIdText(QStringLiteral("   "), 2), QString(20, u'-'));
        QCOMPARE(NormalizeIdText(QString(), 0), QString(16, u'-'));
        QCOMPARE(NormalizeIdText(QString(), 1), QString(16, u'-'));
        QCOMPARE(NormalizeIdText(QString(), 3), QString(20, u'-'));
        QCOMPARE(NormalizeIdText(QStringLiteral("  "), 4), QString());
        QCOMPARE(NormalizeIdText(QStringLiteral(" AB "), 0), QStringLiteral("AB"));
        QVERIFY(IsIdKey('*') && !IsNameKey('*'));
        QVERIFY(IsNameKey('_') && IsNameKey('/') && !IsIdKey('_') && !IsIdKey('/'));
        QVERIFY(!IsIdKey(',') && !IsIdKey('.') && !IsNameKey(',') && !IsNameKey('.'));
        QVERIFY(IsIdKey(8) && IsNameKey(8) && IsIdKey(' ') && IsNameKey('<'));
        QVERIFY(IsNameText(QString()));
        QVERIFY(IsNameText(QStringLiteral("AB-1 <x>")));
        QVERIFY(!IsNameText(QStringLiteral("AB,1")));
        QVERIFY(!IsNameText(QString(QChar(8))));
        QVERIFY(IsAllDigits(QString()));
        QVERIFY(IsAllDigits(QStringLiteral("0123")));
        QVERIFY(!IsAllDigits(QStringLiteral("12a")));
    }

    void numberFormats_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("single");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("expected");
        QTest::newRow("quarter") << 0.25 << true << "#0.0"
                                 << "0.3";
        QTest::newRow("half") << 2.5 << true << "#0"
                              << "3";
        QTest::newRow("neg half") << -2.5 << true << "#0"
                                  << "-3";
        QTest::newRow("float decimal") << 12.345 << true << "#0.00"
                                       << "12.35";
        QTest::newRow("o2") << 20.9 << true << "#0.0"
                            << "20.9";
        QTest::newRow("nine") << 9.96 << true << "#0.0"
                              << "10.0";
        QTest::newRow("zero") << 0.0 << true << "#0.000"
                              << "0.000";
        QTest::newRow("tiny neg") << -0.001 << true << "#0.0"
                                  << "0.0";
        QTest::newRow("plain 0") << 5.0 << true << "0"
                                 << "5";
        QTest::newRow("rom") << 4426.0 << false << "00000"
                             << "04426";
        QTest::newRow("volts") << 1.234 << false << "0.000V"
                               << "1.234V";
        QTest::newRow("coeff") << -0.000123456789 << false << "0.00000000"
                               << "-0.00012346";
        QTest::newRow("nine decimals") << 1.5 << true << "#0.000000000"
                                       << "1.500000000";
        QTest::newRow("general") << 0.1 << true << ""
                                 << "0.1";
        QTest::newRow("general big") << 100.0 << true << ""
                                     << "100";
    }
    void numberFormats() {
        QFETCH(double, value);
        QFETCH(bool, single);
        QFETCH(QString, format);
        QFETCH(QString, expected);
        QCOMPARE(single ? FormatNumber(float(value), format) : FormatNumber(value, format),
                 expected);
    }

    void numericTexts() {
        double v = 0;
        QVERIFY(ParseNumber(QStringLiteral(" 12.5 "), &v));
        QCOMPARE(v, 12.5);
        QVERIFY(ParseNumber(QStringLiteral("-1e2"), &v));
        QCOMPARE(v, -100.0);
        QVERIFY(ParseNumber(QStringLiteral("&H1F"), &v));
        QCOMPARE(v, 31.0);
        QVERIFY(ParseNumber(QStringLiteral("&HFFFF"), &v));
        QCOMPARE(v, -1.0);
        QVERIFY(ParseNumber(QStringLiteral(".5"), &v));
        QCOMPARE(v, 0.5);
        const char* bad[] = {"",   " ",   "abc", "1.2.3", "&H",   "&HXYZ",
                             "1e", "12a", "--1", "*****", "1e999"};
        for (const char* b : bad)
            QVERIFY2(!IsNumericText(QString::fromLatin1(b)), b);
    }

    void dates() {
        QCOMPARE(AppDate(0).toDateTime(), QDateTime(QDate(1899, 12, 30), QTime(0, 0)));
        QCOMPARE(AppDate(-101).toDateTime().date(), QDate(1899, 9, 20));
        const QDateTime dt(QDate(2026, 12, 7), QTime(14, 30, 5));
        const AppDate d = AppDate::fromDateTime(dt);
        QCOMPARE(d.toDateTime(), dt);
        QCOMPARE(d.general(), QStringLiteral("2026/12/07 14:30:05"));
        // A time is shown at its own second, never the next: as a clock, and as the log's
        // time stamp of the same moment, shows it.
        const AppDate late = AppDate::fromDateTime(dt.addMSecs(999));
        QCOMPARE(late.general(), QStringLiteral("2026/12/07 14:30:05"));
        QCOMPARE(
            AppDate::fromDateTime(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59, 600))).general(),
            QStringLiteral("2026/12/31 23:59:59"));
        // Before day 0 the fraction still counts forward from midnight.
        const AppDate early = AppDate::fromDateTime(QDateTime(QDate(1899, 12, 29), QTime(6, 0)));
        QCOMPARE(early.days(), -1.25);
        QCOMPARE(early.serial(), -0.75);
        QCOMPARE(AppDate::fromSerial(-0.75).days(), -1.25);
        QVERIFY(!AppDate(1e12).isValid());
        QVERIFY(!AppDate(1e12).toDateTime().isValid());
        QCOMPARE(FormatElapsed(3725), QStringLiteral("01:02:05"));
        QCOMPARE(FormatElapsed(0), QStringLiteral("00:00:00"));
    }

    void nowIsTheSecondOfTheClockNotTheNextOne() {
        // The communication log stamps a line with the clock's second; a date inside the line
        // must not be rounded up to the next one in the second half of a second.
        QVERIFY(QTest::qWaitFor([] { return QTime::currentTime().msec() >= 600; }, 2000));
        const QString stamp = QTime::currentTime().toString(QStringLiteral("hh:mm:ss"));
        const QString date = AppDate::now().general();
        QVERIFY2(date.endsWith(stamp), qPrintable(date + " / " + stamp));
    }

    // The whole-number rule every reader shares: half to even, then the field's range.
    void wholeField_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("min");
        QTest::addColumn<qint64>("max");
        QTest::addColumn<int>("status");
        QTest::addColumn<qint64>("value");
        const int ok = int(FieldStatus::Ok), nan = int(FieldStatus::NotNumber),
                  out = int(FieldStatus::OutOfRange);
        QTest::newRow("half down to even") << "2.5" << -9ll << 9ll << ok << 2ll;
        QTest::newRow("half up to even") << "3.5" << -9ll << 9ll << ok << 4ll;
        QTest::newRow("negative half") << " -0.5 " << -9ll << 9ll << ok << 0ll;
        QTest::newRow("hex") << "&H7FFF" << 0ll << 32767ll << ok << 32767ll;
        QTest::newRow("hex of four digits is 16-bit") << "&HFFFF" << -9ll << 9ll << ok << -1ll;
        QTest::newRow("rounds into the field") << "32767.4" << -32768ll << 32767ll << ok << 32767ll;
        QTest::newRow("rounds out of the field") << "32767.5" << -32768ll << 32767ll << out << 0ll;
        QTest::newRow("below the field") << "-1" << 0ll << 3ll << out << 0ll;
        QTest::newRow("far past the field") << "1e30" << -9ll << 9ll << out << 0ll;
        QTest::newRow("not a number") << "12a" << -9ll << 9ll << nan << 0ll;
        QTest::newRow("empty") << "" << -9ll << 9ll << nan << 0ll;
    }
    void wholeField() {
        QFETCH(QString, text);
        QFETCH(qint64, min);
        QFETCH(qint64, max);
        QFETCH(int, status);
        QFETCH(qint64, value);
        const WholeField f = ParseWholeField(text, min, max);
        QCOMPARE(int(f.status), status);
        QCOMPARE(f.value, value);
    }

    void singleField_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("status");
        QTest::addColumn<float>("value");
        QTest::newRow("decimal") << "19.5" << int(FieldStatus::Ok) << 19.5f;
        QTest::newRow("past a single") << "1e39" << int(FieldStatus::OutOfRange) << 0.0f;
        QTest::newRow("word") << "OVER" << int(FieldStatus::NotNumber) << 0.0f;
    }
    void singleField() {
        QFETCH(QString, text);
        QFETCH(int, status);
        QFETCH(float, value);
        const SingleField f = ParseSingleField(text);
        QCOMPARE(int(f.status), status);
        QCOMPARE(f.value, value);
    }
};

QTEST_GUILESS_MAIN(TestText)
#include "test_text.moc"
