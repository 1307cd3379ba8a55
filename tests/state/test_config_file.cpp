// Configuration file: keys, fallbacks, rounding, stops, the writer's lines, atomic replace,
// password scrambling and hostile input.
#include "app/AppDate.h"
#include "app/Errors.h"
#include "app/FilePaths.h"
#include "app/MessageTable.h"
#include "state/AppState.h"
#include "state/ConfigFile.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>

namespace {

ConfigReadResult readText(AppState& s, const QByteArray& text) {
    QBuffer b;
    b.setData(text);
    b.open(QIODevice::ReadOnly);
    return ReadConfig(s, b);
}

QStringList textLines(const QByteArray& bytes) {
    return QString::fromLocal8Bit(bytes).split(QStringLiteral("\r\n"));
}

AppDate when() {
    return AppDate::fromDateTime(QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9)));
}

// The written text with the count line taken out, for comparing two writings.
QByteArray withoutCount(QByteArray text) {
    const qsizetype a = text.indexOf("Execute Count\t");
    const qsizetype b = text.indexOf('\n', a);
    text.remove(a, b - a + 1);
    return text;
}

} // namespace

class TestConfigFile : public QObject {
    Q_OBJECT
private slots:
    void init() {
        resetAppState();
        SetMessageLanguage(QStringLiteral("en"));
    }

    void pathHasExactlyOneSeparator() {
        appState().StartFolder = QStringLiteral("/home/op/tq");
        QCOMPARE(ConfigFilePath(), QStringLiteral("/home/op/tq/TQ5800Config.ini"));
        appState().StartFolder = QStringLiteral("/home/op/tq/");
        QCOMPARE(ConfigFilePath(), QStringLiteral("/home/op/tq/TQ5800Config.ini"));
        appState().StartFolder = QStringLiteral("C:\\TQ\\");
        QCOMPARE(ConfigFilePath(), QStringLiteral("C:\\TQ\\TQ5800Config.ini"));
        appState().StartFolder.clear();
        QCOMPARE(ConfigFilePath(), QStringLiteral("TQ5800Config.ini"));
    }

    void keysMatchInAnyCaseAndFallBack() {
        AppState& s = appState();
        readText(s, "Delay\tabc\r\n");
        QCOMPARE(s.CommDelay, qint16(100));
        readText(s, "DELAY\t250\r\n");
        QCOMPARE(s.CommDelay, qint16(250));
        readText(s, "dElAy\t7\r\ntimeout\tx\r\nRetry\t\t-\r\n");
        QCOMPARE(s.CommDelay, qint16(7));
        QCOMPARE(s.CommTimeout, qint16(3));
        QCOMPARE(s.CommRetry, qint16(3));

        // Every numeric key's fallback for a text that is not a number.
        resetAppState();
        AppState& t = appState();
        t.ExecuteCount = 9;
        t.LimitDays = 9;
        t.ConvParam = 9;
        t.AppFont.Size = 30;
        t.CalWaitTimes = {9, 9, 9};
        t.TrendSearch = {9, 9};
        t.PrtWidth = {9, 9};
        t.WindowWidth = t.WindowHeight = 1;
        t.CalibRange = {9, 9, 9, 9};
        const QByteArray text =
            "Execute Count\tx\nLIMITDAYS\tx\nConv Param\tx\nFont\t'A'\tx\n"
            "CalUnitOnWait\tx\nCalSpanOnWait\tx\nCalSpanOffWait\tx\n"
            "Trend Search\tx\tx\nPrt Width\tx\tx\nSize Values\tx\tx\tx\n"
            "Calib. Range\tx\tx\tx\tx\n"
            "DefaultValue1\tx\tx\tx\tx\tx\tx\nDefaultValue2\tx\tx\tx\tx\tx\tx\n";
        QVERIFY(!readText(t, text).stopped);
        QCOMPARE(t.ExecuteCount, 0);
        QCOMPARE(t.LimitDays, qint16(0));
        QCOMPARE(t.ConvParam, 0.2f);
        QCOMPARE(t.AppFont.Size, 9.0f);
        QCOMPARE(t.CalWaitTimes, (std::array<qint16, 3>{120, 120, 30}));
        QCOMPARE(t.TrendSearch, (std::array<qint16, 2>{0, 0}));
        QCOMPARE(t.PrtWidth, (std::array<float, 2>{1, 1}));
        QCOMPARE(t.WindowState, qint16(0));
        QCOMPARE(t.WindowWidth, 7680.0f);
        QCOMPARE(t.WindowHeight, 5760.0f);
        QCOMPARE(t.CalibRange, (std::array<float, 4>{0, 0, 0, 0}));
        const clsInstrument& d = t.DefaultRecord;
        QCOMPARE(d.CalLimit(), qint16(90));
        QCOMPARE(d.LcdBackLight(), qint16(30));
        QCOMPARE(d.AlarmMode(), qint16(1));
        QCOMPARE(d.Intervals(), qint16(5));
        QCOMPARE(d.DispCalLimit(), qint16(0));
        QCOMPARE(d.CalCheck(), qint16(0));
        QCOMPARE(d.LogOverWrite(), qint16(1));
        QCOMPARE(d.FlowValue(), qint16(128));
        QCOMPARE(d.AlarmO2(), qint16(1));
        QCOMPARE(d.AutoZero(), qint16(0));
        QCOMPARE(d.DemandZero(), qint16(1));
        QCOMPARE(d.UseUserPassword(), qint16(0));
    }

    void booleansFontsAndWindow() {
        AppState& s = appState();
        readText(s, "Auto Load Mode\tTrue\tFalse\r\n");
        QVERIFY(s.AutoLoadMode);
        QVERIFY(!s.AutoRemoveData);
        readText(s, "Auto Load Mode\tyes\ttrue\r\n");
        QVERIFY(!s.AutoLoadMode);
        QVERIFY(s.AutoRemoveData);

        readText(s, "Font\t'Courier New'\t10\tTRUE\tfalse\tFalse\r\n");
        QCOMPARE(s.AppFont.Name, QStringLiteral("Courier New"));
        QCOMPARE(s.AppFont.Size, 10.0f);
        QVERIFY(s.AppFont.Bold);
        QVERIFY(!s.AppFont.Italic);
        QVERIFY(!s.AppFont.Underline);

        readText(s, "Serial Log File\ton\r\n");
        QVERIFY(s.SerialLogEnabled);
        readText(s, "Serial Log File\tTRUE\r\n");
        QVERIFY(!s.SerialLogEnabled);
        readText(s, "Completely View\ttrue\r\nVerify Checksum\tFalse\r\n");
        QVERIFY(s.CompletelyView);
        QVERIFY(!s.VerifyChecksum);

        readText(s, "Size Values\t1\t9000\t7000\r\n");
        QCOMPARE(s.WindowState, qint16(0));
        QCOMPARE(s.WindowWidth, 9000.0f);
        QCOMPARE(s.WindowHeight, 7000.0f);
        readText(s, "Size Values\t2\t9000\t7000\r\n");
        QCOMPARE(s.WindowState, qint16(2));

        s.ConvFlag = true;
        readText(s, "Conv Param\t0.5\tTrue\r\n");
        QCOMPARE(s.ConvParam, 0.5f);
        QVERIFY(!s.ConvFlag);
    }

    void linesWithoutValuesAndCommentsAreIgnored() {
        AppState& s = appState();
        s.CommDelay = 42;
        s.FactoryRecordSuffix = QStringLiteral("_x");
        readText(s, "Delay\r\n; Delay\t5\r\n;Delay\t6\r\n\r\nFactory Record Suffix\t\r\n"
                    "Delay\t5 ;comment\r\nUnknown Key\t1\r\n");
        QCOMPARE(s.CommDelay, qint16(42));
        QCOMPARE(s.FactoryRecordSuffix, QStringLiteral("_x"));
        readText(s, "Factory Record Suffix\t_01\r\n");
        QCOMPARE(s.FactoryRecordSuffix, QStringLiteral("_01"));
    }

    void missingFieldsKeepTheirValues() {
        AppState& s = appState();
        s.AppFont.Size = 12;
        s.AppFont.Bold = true;
        // An unknown line leaves "TRUE" in the tokenizer's slot 2; it must not leak.
        readText(s, "Other\t1\tTRUE\tTRUE\r\nFont\t'Arial'\r\nAuto Load Mode\tTrue\r\n");
        QCOMPARE(s.AppFont.Name, QStringLiteral("Arial"));
        QCOMPARE(s.AppFont.Size, 12.0f);
        QVERIFY(s.AppFont.Bold);
        QVERIFY(s.AutoLoadMode);
        QVERIFY(!s.AutoRemoveData);
    }

    void integersRoundHalfToEven() {
        AppState& s = appState();
        readText(s, "Delay\t2.5\r\nTimeout\t3.5\r\nRetry\t-0.5\r\nLIMITDAYS\t&H10\r\n");
        QCOMPARE(s.CommDelay, qint16(2));
        QCOMPARE(s.CommTimeout, qint16(4));
        QCOMPARE(s.CommRetry, qint16(0));
        QCOMPARE(s.LimitDays, qint16(16));
        readText(s, "Calib. Range\t2.5\t3.7\t-1.5\t1e2\r\n");
        QCOMPARE(s.CalibRange, (std::array<float, 4>{2, 4, -2, 100}));
        readText(s, "Delay\t32767.4\r\nExecute Count\t2147483647\r\n");
        QCOMPARE(s.CommDelay, qint16(32767));
        QCOMPARE(s.ExecuteCount, 2147483647);
    }

    void numberOutOfRangeStopsTheReading_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("integer") << QByteArray("Timeout\t70000");
        QTest::newRow("integer rounds over") << QByteArray("Delay\t32767.5");
        QTest::newRow("integer below") << QByteArray("Retry\t-32769");
        QTest::newRow("long") << QByteArray("Execute Count\t2147483648");
        QTest::newRow("single") << QByteArray("Prt Width\t1e39");
        QTest::newRow("gas point") << QByteArray("Gas Inst\t1\t'X'\tTRUE\tFalse\t99999");
        QTest::newRow("gas number high") << QByteArray("Gas Inst\t6\t'X'");
        QTest::newRow("gas number zero") << QByteArray("Gas Inst\t0\t'X'");
        QTest::newRow("gas number huge") << QByteArray("Gas Inst\t1e9\t'X'");
        QTest::newRow("slot high") << QByteArray("ChgGas\t7\t1\t'X'");
        QTest::newRow("code high") << QByteArray("ChgGas\t1\t18\t'X'");
        QTest::newRow("code zero") << QByteArray("ChgGas\t1\t0\t'X'");
        QTest::newRow("password") << QByteArray("TQ-5800\t\xEF\xBF\xBF\xEF\xBF\xBF");
        QTest::newRow("257 fields")
            << QByteArray("Delay") + QByteArray(257, '\t').replace("\t", "\t1");
    }
    void numberOutOfRangeStopsTheReading() {
        QFETCH(QByteArray, line);
        AppState& s = appState();
        const ConfigReadResult r =
            readText(s, "Delay\t250\r\n;\r\n" + line + "\r\nRetry\t9\r\nTimeout\t9\r\n");
        QVERIFY(r.found);
        QVERIFY(r.stopped);
        QCOMPARE(r.stopLine, 3);
        QCOMPARE(s.CommDelay, qint16(250));
        QCOMPARE(s.CommRetry, qint16(3));
        QCOMPARE(s.CommTimeout, qint16(3));
    }

    void gasInstAndChangedGasLines() {
        AppState& s = appState();
        const ConfigReadResult r = readText(
            s, "Gas Inst\tx\t'Bad'\r\n"
               "Gas Inst\t2\t'O2'\tTRUE\tTrue\t1\t'vol%'\t19.5\t18\t-1\t-1\t0.1\t25\t20.9\t21\t"
               "255\r\n"
               "ChgGas\t1\ty\t'Bad'\r\n"
               "ChgGas\t3\t2\t'H2S'\tTRUE\tFalse\t1\t'ppm'\t10\t30\t-1\t5\t0.5\t100\t10\r\n"
               "ChgGas\t6\t17\t'Last'\tfalse\r\n");
        QVERIFY(!r.stopped);
        const clsInstrument& d = s.DefaultRecord;
        QCOMPARE(d.GasName(0), QString());
        QCOMPARE(d.GasName(1), QStringLiteral("O2"));
        QVERIFY(d.GasEnabled(1));
        QVERIFY(s.GasLocked[1]);
        QCOMPARE(d.GasPoint(1), qint16(1));
        QCOMPARE(d.GasUnit(1), QStringLiteral("vol%"));
        QCOMPARE(d.Warning(1), 19.5f);
        QCOMPARE(d.Alarm(1), 18.0f);
        QCOMPARE(d.Stel(1), -101.0f);
        QCOMPARE(d.Twa(1), -101.0f);
        QCOMPARE(d.GasDesit(1), 0.1f);
        QCOMPARE(d.GasFullScale(1), 25.0f);
        QCOMPARE(d.AutoCalib(1), 20.9f);
        QCOMPARE(s.FactAutoCal[1], 21.0f);
        QCOMPARE(s.GraphColors[1], 255);

        const GasDefaultEntry& e = s.GasDefaults.at(1, 2);
        QCOMPARE(e.Name, QStringLiteral("H2S"));
        QVERIFY(e.Enabled);
        QVERIFY(!e.Locked);
        QCOMPARE(e.Point, qint16(1));
        QCOMPARE(e.Unit, QStringLiteral("ppm"));
        QCOMPARE(e.Warning, 10.0f);
        QCOMPARE(e.Alarm, 30.0f);
        QCOMPARE(e.STEL, -101.0f);
        QCOMPARE(e.TWA, 5.0f);
        QCOMPARE(e.Digit, 0.5f);
        QCOMPARE(e.FullScale, 100.0f);
        QCOMPARE(e.AutoCal, 10.0f);
        QCOMPARE(s.GasDefaults.at(16, 5).Name, QStringLiteral("Last"));
        QCOMPARE(s.GasDefaults.at(1, 0).Name, QString());
    }

    void passwordScrambling() {
        QCOMPARE(ScramblePassword(QString()), QString());
        QCOMPARE(ScramblePassword(QStringLiteral("A")), QStringLiteral("GJ"));
        QCOMPARE(ScramblePassword(QStringLiteral("AA")), QStringLiteral("GJHJ"));
        const QStringList samples = {QStringLiteral("7261"), QStringLiteral("a b;c'd\t"),
                                     QStringLiteral("パスワード"), QString(40, u'z')};
        for (const QString& p : samples) {
            const QString twice = ScramblePassword(ScramblePassword(p));
            QCOMPARE(twice.size(), p.size() * 4);
            for (QChar c : twice)
                QVERIFY(c.unicode() >= 70);
            QCOMPARE(UnscramblePassword(UnscramblePassword(twice)), p);
        }
        QCOMPARE(UnscramblePassword(QStringLiteral("GJH")), QStringLiteral("A"));
        QCOMPARE(UnscramblePassword(QStringLiteral("FF")), QString(QChar(0)));
        QVERIFY_THROWS_EXCEPTION(ConversionError, UnscramblePassword(QString(2, QChar(0xFFFF))));

        AppState& s = appState();
        s.AccessPassword = QStringLiteral("1234");
        const QByteArray text = ConfigFileText(s, when());
        QVERIFY(text.endsWith("TQ-5800\t" + ScramblePassword(ScramblePassword("1234")).toLatin1() +
                              "\r\n"));
        resetAppState();
        readText(appState(), text);
        QCOMPARE(appState().AccessPassword, QStringLiteral("1234"));
    }

    void writerLines() {
        AppState& s = appState();
        s.ExecuteCount = 5;
        s.CommDelay = 0;
        s.CommTimeout = 0;
        s.CommRetry = 0;
        s.IrCommNum = 4;
        s.AccessPassword = QString();
        const QByteArray bytes = ConfigFileText(s, when());
        QVERIFY(!bytes.contains("\n\n") && !bytes.contains("\r\r"));
        QCOMPARE(bytes.count("\n"), bytes.count("\r\n"));
        const QStringList l = textLines(bytes);
        QCOMPARE(l.mid(0, 6), (QStringList{";", ";            TQ-5800 Data logger program",
                                           ";      Last update = 2024/05/06 07:08:09",
                                           ";         Delimiter is tab,comma(,) character",
                                           ";           This file is changed set menu", ";"}));
        QVERIFY(l[6].startsWith(";") && l[6].contains("Norvel, Inc."));
        QCOMPARE(l.mid(7, 12), (QStringList{";", "", "Execute Count\t6", "Serial Log File\tOFF",
                                            "Factory Record Suffix\t", "IrCOMM Num\t4",
                                            "COMM Settings\t921600,n,8,1", "Verify Checksum\tTrue",
                                            "Timeout\t3", "Delay\t300", "Retry\t3", ""}));
        QVERIFY(l.contains("Graph Color\t0\t0\t0\t0\t1\t0\t0"));
        QVERIFY(l.contains("Data Select\tFalse\tFalse\tFalse"));
        QVERIFY(l.contains("Font\t''\t9\tFalse\tFalse\tFalse"));
        QVERIFY(l.contains("Size Values\t0\t7680\t5760"));
        QVERIFY(l.contains("Prt Width\t1\t1"));
        QVERIFY(l.contains("; GasNo 5"));
        QVERIFY(!l.contains("; GasNo 6"));
        QVERIFY(!l.join('\n').contains("LIMITDAYS", Qt::CaseInsensitive));
        QCOMPARE(l.filter(QRegularExpression("^Gas Inst\t")).size(), 5);
        QCOMPARE(l.filter(QRegularExpression("^ChgGas\t")).size(), 80);
        QCOMPARE(l.filter(QRegularExpression("^ChgGas\t")).last().section('\t', 0, 2),
                 QStringLiteral("ChgGas\t5\t16"));
        QCOMPARE(l.at(l.size() - 3), QStringLiteral(";"));
        QCOMPARE(l.at(l.size() - 2), QStringLiteral("TQ-5800\t"));
        QCOMPARE(l.last(), QString());

        SetMessageLanguage(QStringLiteral("ja"));
        QVERIFY(textLines(ConfigFileText(s, when()))[6].contains("Selvane CO.,LTD."));
    }

    // The fleet database's key is written only when chosen, and never with a password; one
    // that stands in a file is dropped on reading.
    void fleetDbKeepsNoPassword() {
        AppState& s = appState();
        QVERIFY(!ConfigFileText(s, when()).contains("Fleet DB"));
        s.FleetDb = QStringLiteral("postgresql://shop:s3cret@db:5432/fleet?sslmode=require");
        const QByteArray bytes = ConfigFileText(s, when());
        QVERIFY(!bytes.contains("s3cret"));
        AppState back;
        readText(back, bytes);
        QCOMPARE(back.FleetDb, QStringLiteral("postgresql://shop@db:5432/fleet?sslmode=require"));
        readText(back, "Fleet DB\t'postgresql://u:pw@h/db'\r\n");
        QCOMPARE(back.FleetDb, QStringLiteral("postgresql://u@h/db"));
    }

    void writeThenReadRestoresTheState() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        AppState& s = appState();
        s.StartFolder = dir.path();
        s.ExecuteCount = 41;
        s.SerialLogEnabled = true;
        s.FactoryRecordSuffix = QStringLiteral("_line 2");
        s.CommTimeout = 5;
        s.CommDelay = 150;
        s.CommRetry = 7;
        s.VerifyChecksum = false;
        s.AutoLoadMode = true;
        s.AppFont = {QStringLiteral("MS UI Gothic"), 10.5f, true, false, true};
        s.CalibRange = {1, 2, 3, 40};
        s.GasLocked = {true, false, true, false, false, false};
        s.FactAutoCal = {50, 12.5f, 10, 100, 0.1f};
        s.GraphColors = {255, 65280, 16711680, 0, -1};
        s.ConvParam = 0.25f;
        s.WindowState = 2;
        s.WindowWidth = 12000.5f;
        s.WindowHeight = 9000;
        s.PrtWidth = {2, 0.5f};
        s.AccessPassword = QStringLiteral("secret 99");
        s.CalWaitTimes = {60, 90, 15};
        s.CompletelyView = true;
        s.TrendSearch = {3, 4};
        s.GasDefaults.FillDefaults();
        s.GasDefaults.at(15, 4).Name = QStringLiteral("User gas");
        s.GasDefaults.at(15, 4).Locked = true;
        clsInstrument& d = s.DefaultRecord;
        d.setCalLimit(180);
        d.setLcdBackLight(15);
        d.setAlarmMode(0);
        d.setIntervals(60);
        d.setDispCalLimit(1);
        d.setCalCheck(2);
        d.setLogOverWrite(0);
        d.setFlowValue(200);
        d.setAlarmO2(2);
        d.setAutoZero(1);
        d.setDemandZero(0);
        d.setUseUserPassword(1);
        SelectGas(d, s.GasDefaults, 0, 0, false);
        SelectGas(d, s.GasDefaults, 2, 0, false);
        d.setGasEnabled(3, false);
        d.setGasName(3, QStringLiteral("C O"));

        const QByteArray first = ConfigFileText(s, when());
        QVERIFY(WriteConfigFile());
        QFile f(ConfigFilePath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(withoutCount(f.readAll()).mid(100), withoutCount(first).mid(100));
        f.close();

        const AppState before = s;
        resetAppState();
        appState().StartFolder = dir.path();
        const ConfigReadResult r = ReadConfigFile();
        QVERIFY(r.found && !r.stopped);
        const AppState& a = appState();
        QCOMPARE(a.ExecuteCount, 42);
        QCOMPARE(a.SerialLogEnabled, true);
        QCOMPARE(a.FactoryRecordSuffix, before.FactoryRecordSuffix);
        QCOMPARE(a.CommTimeout, qint16(5));
        QCOMPARE(a.CommDelay, qint16(150));
        QCOMPARE(a.CommRetry, qint16(7));
        QCOMPARE(a.VerifyChecksum, false);
        QCOMPARE(a.AutoLoadMode, true);
        QCOMPARE(a.AppFont.Name, before.AppFont.Name);
        QCOMPARE(a.AppFont.Size, 10.5f);
        QCOMPARE(a.AppFont.Bold, true);
        QCOMPARE(a.AppFont.Underline, true);
        QCOMPARE(a.CalibRange, before.CalibRange);
        QCOMPARE(a.GasLocked, before.GasLocked);
        QCOMPARE(a.FactAutoCal, before.FactAutoCal);
        QCOMPARE(a.GraphColors, before.GraphColors);
        QCOMPARE(a.ConvParam, 0.25f);
        QCOMPARE(a.WindowState, qint16(2));
        QCOMPARE(a.WindowWidth, 12000.5f);
        QCOMPARE(a.PrtWidth, before.PrtWidth);
        QCOMPARE(a.AccessPassword, before.AccessPassword);
        QCOMPARE(a.CalWaitTimes, before.CalWaitTimes);
        QCOMPARE(a.CompletelyView, true);
        QCOMPARE(a.TrendSearch, before.TrendSearch);
        for (int slot = 0; slot < 5; ++slot)
            for (int code = 0; code < 16; ++code) {
                const GasDefaultEntry& x = a.GasDefaults.at(code, slot);
                const GasDefaultEntry& y = before.GasDefaults.at(code, slot);
                QCOMPARE(x.Name, y.Name);
                QCOMPARE(x.Enabled, y.Enabled);
                QCOMPARE(x.Locked, y.Locked);
                QCOMPARE(x.Point, y.Point);
                QCOMPARE(x.Unit, y.Unit);
                QCOMPARE(x.Warning, y.Warning);
                QCOMPARE(x.Alarm, y.Alarm);
                QCOMPARE(x.STEL, y.STEL);
                QCOMPARE(x.TWA, y.TWA);
                QCOMPARE(x.Digit, y.Digit);
                QCOMPARE(x.FullScale, y.FullScale);
                QCOMPARE(x.AutoCal, y.AutoCal);
            }
        const clsInstrument& e = a.DefaultRecord;
        QCOMPARE(e.CalLimit(), qint16(180));
        QCOMPARE(e.LcdBackLight(), qint16(15));
        QCOMPARE(e.AlarmMode(), qint16(0));
        QCOMPARE(e.Intervals(), qint16(60));
        QCOMPARE(e.DispCalLimit(), qint16(1));
        QCOMPARE(e.CalCheck(), qint16(2));
        QCOMPARE(e.LogOverWrite(), qint16(0));
        QCOMPARE(e.FlowValue(), qint16(200));
        QCOMPARE(e.AlarmO2(), qint16(2));
        QCOMPARE(e.AutoZero(), qint16(1));
        QCOMPARE(e.DemandZero(), qint16(0));
        QCOMPARE(e.UseUserPassword(), qint16(1));
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(e.GasName(i), before.DefaultRecord.GasName(i));
            QCOMPARE(e.GasEnabled(i), before.DefaultRecord.GasEnabled(i));
            QCOMPARE(e.GasPoint(i), before.DefaultRecord.GasPoint(i));
            QCOMPARE(e.GasUnit(i), before.DefaultRecord.GasUnit(i));
            QCOMPARE(e.Warning(i), before.DefaultRecord.Warning(i));
            QCOMPARE(e.Alarm(i), before.DefaultRecord.Alarm(i));
            QCOMPARE(e.Stel(i), before.DefaultRecord.Stel(i));
            QCOMPARE(e.Twa(i), before.DefaultRecord.Twa(i));
            QCOMPARE(e.GasDesit(i), before.DefaultRecord.GasDesit(i));
            QCOMPARE(e.GasFullScale(i), before.DefaultRecord.GasFullScale(i));
            QCOMPARE(e.AutoCalib(i), before.DefaultRecord.AutoCalib(i));
        }

        // Each writing counts one more start.
        QVERIFY(WriteConfigFile());
        resetAppState();
        appState().StartFolder = dir.path();
        ReadConfigFile();
        QCOMPARE(appState().ExecuteCount, 43);
    }

    void apostrophesSurviveAWriteAndRead() {
        AppState& s = appState();
        s.GasDefaults.FillDefaults();
        s.FactoryRecordSuffix = QStringLiteral("'_O'K");
        s.AppFont.Name = QStringLiteral("Bob's Sans");
        s.DefaultRecord.setGasName(1, QStringLiteral("O'2"));
        s.DefaultRecord.setGasUnit(1, QStringLiteral("'"));
        s.GasDefaults.at(15, 4).Name = QStringLiteral("it's");
        QByteArray text = ConfigFileText(s, AppDate::now());
        resetAppState();
        QBuffer in(&text);
        QVERIFY(in.open(QIODevice::ReadOnly));
        QVERIFY(!ReadConfig(appState(), in).stopped);
        const AppState& r = appState();
        QCOMPARE(r.FactoryRecordSuffix, QStringLiteral("'_O'K"));
        QCOMPARE(r.AppFont.Name, QStringLiteral("Bob's Sans"));
        QCOMPARE(r.DefaultRecord.GasName(1), QStringLiteral("O'2"));
        QCOMPARE(r.DefaultRecord.GasUnit(1), QStringLiteral("'"));
        QCOMPARE(r.GasDefaults.at(15, 4).Name, QStringLiteral("it's"));

        // A line as earlier versions wrote it: quoted fields without quotes inside, and empty
        // fields between tabs, which are skipped.
        QByteArray old = "Factory Record Suffix\t\t'_A;B'\t; comment\r\n";
        QBuffer oldIn(&old);
        QVERIFY(oldIn.open(QIODevice::ReadOnly));
        ReadConfig(appState(), oldIn);
        QCOMPARE(appState().FactoryRecordSuffix, QStringLiteral("_A;B"));

        // Text after the closing quote joins the field; a ";" after a quoted field ends the line.
        QByteArray joined = "Font\t'A''B'C D\t'1'5;7\r\n";
        QBuffer joinedIn(&joined);
        QVERIFY(joinedIn.open(QIODevice::ReadOnly));
        ReadConfig(appState(), joinedIn);
        QCOMPARE(appState().AppFont.Name, QStringLiteral("A'BC D"));
        QCOMPARE(appState().AppFont.Size, 15.0f);
    }

    void defaultCommSettings() {
        appState().CommSettings.clear();
        DefaultCommSettings();
        QCOMPARE(appState().CommSettings, QStringLiteral("921600,n,8,1"));
    }

    void missingFileChangesNothing() {
        QTemporaryDir dir;
        appState().StartFolder = dir.path();
        appState().CommDelay = 77;
        const ConfigReadResult r = ReadConfigFile();
        QVERIFY(!r.found);
        QCOMPARE(appState().CommDelay, qint16(77));
    }

    void failedWriteLeavesTheOldFileWhole() {
        QTemporaryDir dir;
        const QString path = PathInFolder(dir.path(), QStringLiteral("TQ5800Config.ini"));
        const QByteArray old = QByteArray("Delay\t250\r\n").repeated(2000);
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(old);
        }
        // A disk that fills up mid-write: the process may not grow any file past 2 KiB.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit small = saved;
        small.rlim_cur = 2048;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        QString error;
        const bool written = WriteConfigFile(appState(), path, &error);
        setrlimit(RLIMIT_FSIZE, &saved);
        QVERIFY(!written);
        QVERIFY(!error.isEmpty());
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1);

        QVERIFY(!WriteConfigFile(appState(), dir.path() + "/missing/TQ5800Config.ini", &error));
        QVERIFY(WriteConfigFile(appState(), path, &error));
        QVERIFY(QFile(path).size() != old.size());
    }

    void hostileInputNeitherCrashesNorHangs() {
        AppState& s = appState();
        QByteArray text = "Delay\t250\r\n";
        text += QByteArray(10 * 1024 * 1024, 'x') + "\tRetry\t9\r\n";
        text += QByteArray("\0\x01\xff\xfe\t\t\r\r\n", 9);
        text += "Retry\t\t8\r\nTimeout\t-32768\r";
        QElapsedTimer timer;
        timer.start();
        const ConfigReadResult r = readText(s, text);
        QVERIFY2(timer.elapsed() < 20000, "a 10 MB line took too long");
        QVERIFY(!r.stopped);
        QCOMPARE(s.CommDelay, qint16(250));
        QCOMPARE(s.CommRetry, qint16(8));
        QCOMPARE(s.CommTimeout, qint16(-32768));
        QVERIFY(r.found);
        QVERIFY(readText(s, "CalSpanOffWait\t1e308\r\n").stopped);
    }

    // Whatever a damaged file held, what the reader kept is written so that it reads back the
    // same: the writer and the reader agree on every value they exchange.
    void randomFilesSettleAfterOneWriting() {
        const QList<QByteArray> keys = {"Execute Count",
                                        "Serial Log File",
                                        "Factory Record Suffix",
                                        "Delay",
                                        "TIMEOUT",
                                        "Retry",
                                        "Auto Load Mode",
                                        "Font",
                                        "LIMITDAYS",
                                        "Calib. Range",
                                        "DefaultValue1",
                                        "DefaultValue2",
                                        "Gas Inst",
                                        "Conv Param",
                                        "ChgGas",
                                        "Size Values",
                                        "Prt Width",
                                        "TQ-5800",
                                        "CalUnitOnWait",
                                        "Completely View",
                                        "Trend Search",
                                        "Verify Checksum"};
        const QList<QByteArray> values = {"1",     "2",  "-1",   "0.5", "TRUE", "on", "'a b'",
                                          "'x;y'", "",   "'",    "1e3", "&HFF", "17", "6",
                                          "ABCD",  "\t", "5.25", ";c",  "300",  "-7", "FG"};
        QRandomGenerator rng(20240506);
        for (int round = 0; round < 300; ++round) {
            QByteArray text;
            const int lines = rng.bounded(1, 40);
            for (int l = 0; l < lines; ++l) {
                if (rng.bounded(10) == 0) {
                    for (int k = rng.bounded(60); k > 0; --k)
                        text += char(rng.bounded(256));
                } else {
                    text += keys[rng.bounded(keys.size())];
                    for (int k = rng.bounded(16); k > 0; --k)
                        text += '\t' + values[rng.bounded(values.size())];
                }
                text += rng.bounded(4) == 0 ? "\n" : "\r\n";
            }
            resetAppState();
            readText(appState(), text);
            // An empty password is written as a key without a value, which the reader
            // ignores: the default password comes back.
            const bool noPassword = appState().AccessPassword.isEmpty();
            const QByteArray once = ConfigFileText(appState(), when());
            resetAppState();
            const ConfigReadResult r = readText(appState(), once);
            QVERIFY2(!r.stopped, qPrintable(r.reason));
            if (noPassword) {
                QCOMPARE(appState().AccessPassword, AppState().AccessPassword);
                appState().AccessPassword.clear();
            }
            const QByteArray twice = ConfigFileText(appState(), when());
            const QStringList a = textLines(withoutCount(twice)), b = textLines(withoutCount(once));
            QCOMPARE(a.size(), b.size());
            for (int i = 0; i < a.size(); ++i)
                QCOMPARE(a[i], b[i]);
        }
    }
};

QTEST_GUILESS_MAIN(TestConfigFile)
#include "test_config_file.moc"
