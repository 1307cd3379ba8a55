// Reading and status formatting: the code table, number formats, gas title texts, intervals,
// step rounding and FillFileFF.
#include "app/Errors.h"
#include "app/ReadingFormat.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestReadingFormat : public QObject {
    Q_OBJECT
private slots:

    void codeTable_data() {
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("text");
        const struct {
            float v;
            const char* t;
        } rows[] = {
            {56797, "*****"},     {-121, "*****"},      {65287, "?????"},     {-118, "?????"},
            {65535, "-----"},     {-101, "-----"},      {-102, "NORMAL"},     {-103, "WARNING"},
            {-104, "ALARM"},      {-105, "STEL"},       {-106, "TWA"},        {-107, "OVER"},
            {-130, "Fail(Air)"},  {-131, "Fail(Span)"}, {-132, "Fail(Sen.)"}, {-133, "Fail(Com.)"},
            {-134, "Fail(Ram)"},  {-135, "Fail(Rom)"},  {-136, "Fail(Ext.)"}, {-150, "Fail(ALK.)"},
            {-151, "Fail(NIMH)"}, {-152, "Fail(FLOW)"}, {-153, "Fail(RAM)"},  {-154, "Fail(ROM)"},
            {-155, "Fail(FRAM)"}, {-156, "Fail(FLA.)"}, {-157, "Fail(CLO.)"}, {-170, "CAL ON"},
            {-171, "CAL OFF"},    {-172, "CLEAR"},      {-173, "LEL"},        {-174, "ppm"},
            {-175, "vol"},        {-176, "ELE ON"},     {-177, "ELE OFF"},    {-178, "CAT ON"},
            {-179, "CAT OFF"},    {-180, "AIR"},
        };
        for (const auto& r : rows)
            QTest::newRow(r.t) << r.v << QString::fromLatin1(r.t);
    }
    void codeTable() {
        QFETCH(float, value);
        QFETCH(QString, text);
        // A state is a state whatever the decimals and the conversion factor.
        QCOMPARE(FormatReading(value, 0), text);
        QCOMPARE(FormatReading(value, 2, 0.2f), text);
    }

    void numbersAndConversion() {
        QCOMPARE(FormatReading(20.9f, 1), QStringLiteral("20.9"));
        QCOMPARE(FormatReading(12.345f, 2), QStringLiteral("12.35"));
        QCOMPARE(FormatReading(5, 4), QStringLiteral("5"));
        QCOMPARE(FormatReading(0.25f, 1), QStringLiteral("0.3"));
        QCOMPARE(FormatReading(2.5f, 0), QStringLiteral("3"));
        QCOMPARE(FormatReading(1.0005f, 3), QStringLiteral("1.001"));
        // Codes that are not in the table are numbers.
        QCOMPARE(FormatReading(-100, 0), QStringLiteral("-100"));
        QCOMPARE(FormatReading(-119, 1), QStringLiteral("-119.0"));
        QCOMPARE(FormatReading(50, 1, 0.2f), QStringLiteral("10.0"));
        QCOMPARE(FormatReading(3, 2, 0.5f), QStringLiteral("1.50"));
        QCOMPARE(FormatReading(3, 2), QStringLiteral("3.00"));
    }

    void parseReadingText() {
        QCOMPARE(ParseReadingText(QStringLiteral("over")), -107.0f);
        QCOMPARE(ParseReadingText(QStringLiteral("Normal")), -102.0f);
        QCOMPARE(ParseReadingText(QStringLiteral("12.5")), 12.5f);
        QCOMPARE(ParseReadingText(QString()), -101.0f);
        QCOMPARE(ParseReadingText(QStringLiteral("WARNING")), -103.0f);
        QCOMPARE(ParseReadingText(QStringLiteral("alr")), -104.0f);
        QCOMPARE(ParseReadingText(QStringLiteral("ALARM")), -101.0f);
        QCOMPARE(ParseReadingText(QStringLiteral("stel")), -105.0f);
        QCOMPARE(ParseReadingText(QStringLiteral("TWA")), -106.0f);
        QCOMPARE(ParseReadingText(QStringLiteral("*****")), -101.0f);
        QCOMPARE(ParseReadingText(QStringLiteral("  25")), 25.0f);
        QCOMPARE(ParseReadingText(QStringLiteral("-5")), -5.0f);
        // Blanks before a state word do not hide it (a right-aligned five-column field).
        QCOMPARE(ParseReadingText(QStringLiteral(" OVER")), -107.0f);
        QCOMPARE(ParseReadingText(QStringLiteral("  nor")), -102.0f);
    }

    void formats() {
        const char* expected[] = {"#0",          "#0.0",        "#0.00",     "#0.000",
                                  "#0.0000",     "#0.00000",    "#0.000000", "#0.0000000",
                                  "#0.00000000", "#0.000000000"};
        for (int n = 0; n < 10; ++n)
            QCOMPARE(DecimalFormat(n), QString::fromLatin1(expected[n]));
        QCOMPARE(DecimalFormat(10), QString());
        QCOMPARE(DecimalFormat(-1), QString());
        QCOMPARE(DecimalFormat(-101), QString());

        QCOMPARE(FormatScaleValue(5, 1), QStringLiteral("  5.0"));
        QCOMPARE(FormatScaleValue(-1, 0), QStringLiteral("*****"));
        QCOMPARE(FormatScaleValue(-101, 2), QStringLiteral("*****"));
        QCOMPARE(FormatScaleValue(0, 0), QStringLiteral("    0"));
        QCOMPARE(FormatScaleValue(100, 0), QStringLiteral("  100"));
        QCOMPARE(FormatScaleValue(0.5f, 2), QStringLiteral(" 0.50"));
        QCOMPARE(FormatScaleValue(1.5f, 3), QStringLiteral("1.500"));
        QCOMPARE(FormatScaleValue(19.5f, 7), QStringLiteral("   20"));
        QCOMPARE(FormatScaleValue(123456, 0), QStringLiteral("23456"));
        QCOMPARE(FormatScaleValue(100, 3), QStringLiteral("0.000"));
    }

    void gasTitleTexts() {
        QCOMPARE(GasTitleText(QStringLiteral(" "), QStringLiteral("ppm"), 5, 0),
                 QStringLiteral("----(---)"));
        QCOMPARE(GasTitleText(QStringLiteral("CO"), QStringLiteral("ppm"), -1, 0),
                 QStringLiteral("CO(ppm)"));
        QCOMPARE(GasTitleText(QStringLiteral("O2"), QStringLiteral("vol%"), 25, 1),
                 QStringLiteral("O2(25.0vol%)"));
        QCOMPARE(GasTitleText(QStringLiteral("O2"), QStringLiteral("vol%"), 25, -101),
                 QStringLiteral("O2(25vol%)"));
    }

    void decimalsOfText() {
        QCOMPARE(DecimalsOfText(QStringLiteral("1")), 0);
        QCOMPARE(DecimalsOfText(QStringLiteral("0.01")), 2);
        QCOMPARE(DecimalsOfText(QStringLiteral("  0.5")), 1);
        QCOMPARE(DecimalsOfText(QStringLiteral("1.2.3")), 3);
        QCOMPARE(DecimalsOfText(QStringLiteral("5.")), 0);
        QCOMPARE(DecimalsOfText(QString()), 0);
    }

    void intervalsAndSteps() {
        const int seconds[] = {10, 20, 30, 60, 180, 300, 600, 120, 0, -10};
        const int index[] = {0, 1, 2, 3, 4, 5, 6, 5, 5, 5};
        for (int i = 0; i < 10; ++i)
            QCOMPARE(IntervalIndex(seconds[i]), index[i]);

        QCOMPARE(RoundToStep(0.26f, 0.05f), 0.25f);
        QCOMPARE(RoundToStep(-1, 0.1f), 0.0f);
        QCOMPARE(RoundToStep(7, 0), 0.0f);
        QCOMPARE(RoundToStep(2.5f, 1), 2.0f);
        QCOMPARE(RoundToStep(3.5f, 1), 4.0f);
        QCOMPARE(RoundToStep(0.75f, 0.5f), 1.0f);
        QCOMPARE(RoundToStep(20.94f, 0.1f), 20.9f);
        QCOMPARE(RoundToStep(0, 0.5f), 0.0f);
        // Halfway values typed at a step of 0.1 go to the even neighbour.
        QCOMPARE(RoundToStep(0.35f, 0.1f), 0.4f);
        QCOMPARE(RoundToStep(0.85f, 0.1f), 0.8f);
        QCOMPARE(RoundToStep(19.45f, 0.1f), 19.4f);
        QCOMPARE(RoundToStep(0.25f, 0.5f), 0.0f);
    }

    void fillFileFF() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("TQ5800.DAT"));
        QVERIFY(FillFileFF(path, 524288));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray all = f.readAll();
        f.close();
        QCOMPARE(all.size(), 524288);
        QCOMPARE(all.count(char(0xFF)), 524288);

        QFile g(path);
        QVERIFY(g.open(QIODevice::WriteOnly));
        g.write(QByteArray(10, 'a'));
        g.close();
        QVERIFY(FillFileFF(path, 4));
        QVERIFY(g.open(QIODevice::ReadOnly));
        QCOMPARE(g.readAll(), QByteArray("\xFF\xFF\xFF\xFF"
                                         "aaaaaa"));
        g.close();
        QVERIFY(FillFileFF(path, 0));
        QCOMPARE(QFileInfo(path).size(), 10);
        QVERIFY(!FillFileFF(dir.filePath(QStringLiteral("missing/x.dat")), 4));
    }
};

QTEST_GUILESS_MAIN(TestReadingFormat)
#include "test_reading_format.moc"
