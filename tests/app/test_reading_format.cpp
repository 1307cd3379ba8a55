// Reading and status formatting: the code table, number formats, gas titles, the gas
// information record, intervals, step rounding, FillFileFF and the auto-calibration check.
#include "app/Errors.h"
#include "app/ReadingFormat.h"
#include "model/clsInstrument.h"
#include "state/AppState.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestReadingFormat : public QObject {
    Q_OBJECT
private slots:
    void init() { resetAppState(); }

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
        // A state is a state whatever the decimals and the conversion.
        QCOMPARE(FormatReading(value, 0, false), text);
        QCOMPARE(FormatReading(value, 2, true), text);
    }

    void numbersAndConversion() {
        QCOMPARE(FormatReading(20.9f, 1, false), QStringLiteral("20.9"));
        QCOMPARE(FormatReading(12.345f, 2, false), QStringLiteral("12.35"));
        QCOMPARE(FormatReading(5, 4, false), QStringLiteral("5"));
        QCOMPARE(FormatReading(0.25f, 1, false), QStringLiteral("0.3"));
        QCOMPARE(FormatReading(2.5f, 0, false), QStringLiteral("3"));
        QCOMPARE(FormatReading(1.0005f, 3, false), QStringLiteral("1.001"));
        // Codes that are not in the table are numbers.
        QCOMPARE(FormatReading(-100, 0, false), QStringLiteral("-100"));
        QCOMPARE(FormatReading(-119, 1, false), QStringLiteral("-119.0"));
        QCOMPARE(FormatReading(50, 1, true), QStringLiteral("10.0"));
        appState().ConvParam = 0.5f;
        QCOMPARE(FormatReading(3, 2, true), QStringLiteral("1.50"));
        QCOMPARE(FormatReading(3, 2, false), QStringLiteral("3.00"));
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

    void gasTitles() {
        clsInstrument r;
        QCOMPARE(GasTitle(r, 0, true), QStringLiteral("----(---)"));
        r.setGasName(0, QStringLiteral("CH4"));
        r.setGasUnit(0, QStringLiteral("%LEL"));
        r.setGasFullScale(0, 100);
        r.setGasPoint(0, 0);
        QCOMPARE(GasTitle(r, 0, true), QStringLiteral("CH4(100%LEL)"));
        QCOMPARE(GasTitle(r, 0, false), QStringLiteral("CH4(%LEL)"));
        r.setGasName(4, QStringLiteral("CH4"));
        r.setGasUnit(4, QStringLiteral("%LEL"));
        r.setGasFullScale(4, 100);
        r.setGasPoint(4, 0);
        QCOMPARE(GasTitle(r, 4, true), QStringLiteral("CH4(%LEL)"));
        r.setGasName(2, QStringLiteral("H2S"));
        r.setGasUnit(2, QStringLiteral("ppm"));
        r.setGasFullScale(2, 30);
        r.setGasPoint(2, 1);
        QCOMPARE(GasTitle(r, 2, true), QStringLiteral("H2S(30.0ppm)"));
        r.setGasName(3, QStringLiteral("   "));
        QCOMPARE(GasTitle(r, 3, false), QStringLiteral("----(---)"));

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

    void gasInfoRecord() {
        clsInstrument r;
        ApplyGasInfoRecord(QStringLiteral("CH4          100 0.01%LEL"), r, 0);
        QCOMPARE(r.GasName(0), QStringLiteral("CH4"));
        QVERIFY(r.GasEnabled(0));
        QCOMPARE(r.GasFullScale(0), 100.0f);
        QCOMPARE(r.GasDesit(0), 0.01f);
        QCOMPARE(r.GasPoint(0), qint16(2));
        QCOMPARE(r.GasUnit(0), QStringLiteral("%LEL"));
        QVERIFY(r.Change_GasEnable(0));
        QVERIFY(r.Change_GasPoint(0));

        // Column 11 is not part of the name.
        ApplyGasInfoRecord(QStringLiteral("ABCDEFGHIJK 25.0  0.1vol%"), r, 1);
        QCOMPARE(r.GasName(1), QStringLiteral("ABCDEFGHIJ"));
        QCOMPARE(r.GasPoint(1), qint16(1));

        r.ClearChangeFlags();
        ApplyGasInfoRecord(QString(25, u'*'), r, 0);
        QCOMPARE(r.GasName(0), QString());
        QVERIFY(!r.GasEnabled(0));
        QCOMPARE(r.GasFullScale(0), -101.0f);
        QCOMPARE(r.GasDesit(0), 0.0f);
        QCOMPARE(r.GasPoint(0), qint16(-101));
        QCOMPARE(r.GasUnit(0), QString());
        QVERIFY(r.Change_GasEnable(0));

        // A bad column raises the error after the fields before it were written.
        clsInstrument b;
        QVERIFY_THROWS_EXCEPTION(
            ConversionError, ApplyGasInfoRecord(QStringLiteral("H2S        abcde  0.5ppm "), b, 2));
        QCOMPARE(b.GasName(2), QStringLiteral("H2S"));
        QVERIFY(b.GasEnabled(2));
        QCOMPARE(b.GasFullScale(2), -101.0f);
        QVERIFY_THROWS_EXCEPTION(
            ConversionError, ApplyGasInfoRecord(QStringLiteral("CO           500  x  ppm "), b, 3));
        QCOMPARE(b.GasFullScale(3), 500.0f);
        QCOMPARE(b.GasDesit(3), 0.0f);
        QVERIFY_THROWS_EXCEPTION(
            ConversionError, ApplyGasInfoRecord(QStringLiteral("X           9e99    1ppm "), b, 1));
        QVERIFY_THROWS_EXCEPTION(ConversionError,
                                 ApplyGasInfoRecord(QStringLiteral("short"), b, 1));
        // A gas index outside the record changes nothing and does not fail.
        ApplyGasInfoRecord(QStringLiteral("CH4          100    1%LEL"), b, 7);
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

    void calibCheck() {
        clsInstrument r;
        r.setGasName(0, QStringLiteral("CH4"));
        r.setWarning(0, 10);
        QVERIFY(CheckCalibValue(r, 0, 50));
        QVERIFY(CheckCalibValue(r, 0, 10));
        QVERIFY(!CheckCalibValue(r, 0, 5));
        QVERIFY(CheckCalibValue(r, 0, -101));
        QVERIFY(CheckCalibValue(r, 0, -1));

        r.setGasName(1, QStringLiteral("O2"));
        r.setWarning(1, 18);
        r.setAlarmO2(1);
        QVERIFY(CheckCalibValue(r, 1, 17.9f));
        QVERIFY(CheckCalibValue(r, 1, 18));
        QVERIFY(!CheckCalibValue(r, 1, 20.9f));
        QVERIFY(CheckCalibValue(r, 1, -101));
        // Oxygen without a warning level: the default 19.5.
        r.setWarning(1, -101);
        QVERIFY(CheckCalibValue(r, 1, 19.5f));
        QVERIFY(!CheckCalibValue(r, 1, 19.6f));
        // Alarm type 2 always uses the default, whatever the warning.
        r.setWarning(1, 23);
        r.setAlarmO2(2);
        QVERIFY(!CheckCalibValue(r, 1, 20));
        QVERIFY(CheckCalibValue(r, 1, 19.5f));
        // "OXY" is oxygen too; the comparison is exact.
        r.setAlarmO2(1);
        r.setGasName(1, QStringLiteral("OXY"));
        QVERIFY(CheckCalibValue(r, 1, 22));
        QVERIFY(!CheckCalibValue(r, 1, 24));
        r.setGasName(1, QStringLiteral("o2"));
        QVERIFY(CheckCalibValue(r, 1, 24));
        QVERIFY(!CheckCalibValue(r, 1, 22));

        // Defaults of the other slots when their warning is not set.
        QVERIFY(!CheckCalibValue(r, 2, 9.9f));
        QVERIFY(CheckCalibValue(r, 2, 10));
        QVERIFY(!CheckCalibValue(r, 3, 24.9f));
        QVERIFY(CheckCalibValue(r, 3, 25));
        QVERIFY(CheckCalibValue(r, 4, 0));
        QVERIFY(CheckCalibValue(r, 9, 0));

        appState().Instrument.setGasName(0, QStringLiteral("CH4"));
        appState().Instrument.setWarning(0, 30);
        QVERIFY(!CheckCalibValue(0, 20));
        QVERIFY(CheckCalibValue(0, 30));
    }
};

QTEST_GUILESS_MAIN(TestReadingFormat)
#include "test_reading_format.moc"
