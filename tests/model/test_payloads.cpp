// Field encodings shared by the instrument commands and settings files.
#include "model/Payloads.h"
#include "model/clsInstrument.h"

#include <QtTest>

class TestPayloads : public QObject {
    Q_OBJECT

    static clsInstrument gases() {
        clsInstrument r;
        r.setGasEnabled(0, true);
        r.setGasName(0, QStringLiteral("CH4"));
        r.setGasFullScale(0, 100);
        r.setGasDesit(0, 1);
        r.setGasUnit(0, QStringLiteral("%LEL"));
        r.setGasPoint(0, 0);
        r.setGasEnabled(2, true);
        r.setGasName(2, QStringLiteral("H2S-LONGNAME"));
        r.setGasFullScale(2, 30);
        r.setGasDesit(2, 0.5f);
        r.setGasUnit(2, QStringLiteral("ppm"));
        r.setGasPoint(2, 1);
        return r;
    }

private slots:
    void textHexAndLevels() {
        QCOMPARE(TextN(QStringLiteral("AB"), 4), QStringLiteral("AB  "));
        QCOMPARE(TextN(QStringLiteral("ABCDEF"), 4), QStringLiteral("ABCD"));
        QCOMPARE(TextN(QString(), 3), QStringLiteral("   "));
        QCOMPARE(TextN(QStringLiteral("x"), 0), QString());
        QCOMPARE(HexN(30, 4), QStringLiteral("001E"));
        QCOMPARE(HexN(255, 2), QStringLiteral("FF"));
        QCOMPARE(HexN(0x12345, 4), QStringLiteral("2345"));
        QCOMPARE(HexN(-1, 4), QStringLiteral("FFFF"));
        QCOMPARE(HexN(-5, 2), QStringLiteral("FB"));
        QCOMPARE(HexN(0, 3), QStringLiteral("000"));
        QCOMPARE(LevelText(10, 0), QStringLiteral("   10"));
        QCOMPARE(LevelText(19.5f, 1), QStringLiteral(" 19.5"));
        QCOMPARE(LevelText(-101, 1), QStringLiteral("*****"));
    }

    void gasRecords() {
        const clsInstrument r = gases();
        // CH4, 8 blanks; two blanks and 100; four blanks and 1; %LEL.
        QCOMPARE(GasRecordText(r, 0), QStringLiteral("CH4        ") + "  100" + "    1" + "%LEL");
        QCOMPARE(GasRecordText(r, 0).size(), 25);
        QCOMPARE(GasRecordText(r, 1), QString(25, u'*'));
        QCOMPARE(GasRecordText(r, 2), QStringLiteral("H2S-LONGNAM 30.0  0.5ppm "));
        const QString all = GasRecordsPayload(r);
        QCOMPARE(all.split(u',').size(), 5);
        QCOMPARE(all.split(u',')[3], QString(25, u'*'));
    }

    void levelPayloads() {
        clsInstrument r = gases();
        r.setWarning(0, 10);
        r.setAlarm(0, 50);
        r.setWarning(2, 10);
        r.setAlarm(2, 15.25f);
        QCOMPARE(LevelsPayload(r, false), QStringLiteral("   10,*****, 10.0,*****,*****"));
        QCOMPARE(LevelsPayload(r, true), QStringLiteral("   50,*****, 15.3,*****,*****"));
    }

    void userGasRecords() {
        clsInstrument r;
        r.setLS_No(0, 26);
        r.setLS_Name(0, QStringLiteral("USERGAS"));
        r.setLS_FullScale(0, 100);
        r.setLS_Digit(0, 0.1f);
        r.setLS_Point(0, 1);
        r.setLS_Unit(0, QStringLiteral("ppm"));
        r.setLS_elem_vol(0, 300);
        r.setLS_Ratio(0, 1.5f);
        QCOMPARE(LsWritePayloadRecord(r, 0),
                 QStringLiteral("1A,USERGAS   ,100.0,  0.1,ppm ,12C,3FC00000,"));
        QCOMPARE(LsFileRecord(r, 0),
                 QStringLiteral("00,USERGAS   ,100.0,  0.1,ppm ,012C,3FC00000,"));
        QCOMPARE(LsFileRecord(r, 1),
                 QStringLiteral("00,          ,    0,    0,    ,0000,00000000,"));
    }
};

QTEST_GUILESS_MAIN(TestPayloads)
#include "test_payloads.moc"
