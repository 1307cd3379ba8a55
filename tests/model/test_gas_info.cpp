#include "app/Errors.h"
#include "model/GasInfo.h"
#include "model/clsInstrument.h"

#include <QtTest>

class TestGasInfo : public QObject {
    Q_OBJECT
private slots:
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
    }
};

QTEST_GUILESS_MAIN(TestGasInfo)
#include "test_gas_info.moc"
