// Setting record file: name and suffix check, header, record lines for the three modes,
// append-only growth, and CSV columns as a real CSV reader sees them.
#include "app/MessageTable.h"
#include "model/CalibrationCertificate.h"
#include "model/CalibrationLog.h"
#include "model/SettingRecord.h"
#include "model/clsInstrument.h"
#include "state/AppState.h"
#include "state/RecordFiles.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// An RFC 4180 reader written apart from the writer: records of fields, quoted fields may hold
// commas, doubled quotes and line breaks.
QList<QStringList> parseCsv(const QString& text) {
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    bool any = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
            continue;
        }
        any = true;
        if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            row << field;
            field.clear();
        } else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            row << field;
            rows << row;
            row.clear();
            field.clear();
            any = false;
            ++i;
        } else {
            field += c;
        }
    }
    if (any)
        rows << (row << field);
    return rows;
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

AppDate at(int y, int mo, int d, int h, int mi, int s) {
    return AppDate::fromDateTime(QDateTime(QDate(y, mo, d), QTime(h, mi, s)));
}

clsInstrument sample() {
    clsInstrument r;
    r.setSerialNo(QStringLiteral("SN0001"));
    r.setDummySerial(QStringLiteral("M-77"));
    r.setRomNumber(42);
    r.setSUM(QStringLiteral("AB12"));
    r.setStationID(QStringLiteral("PLANT 1"));
    r.setUserID(QStringLiteral("OPERATOR"));
    r.setAlarmMode(1);
    r.setCalLimit(90);
    r.setDispCalLimit(1);
    r.setCalCheck(1);
    r.setIntervals(300);
    r.setLogOverWrite(0);
    r.setSpecType(QStringLiteral("2"));
    r.setAlarmO2(2);
    r.setLcdBackLight(30);
    r.setAutoZero(1);
    r.setDemandZero(0);
    r.setautoBackLight(1);
    r.setFlowLevel(128);
    r.setpressOffset(-3);
    r.setAlarmOnOff(0);
    r.setGasEnabled(0, true);
    r.setGasName(0, QStringLiteral("CH4"));
    r.setGasPoint(0, 0);
    r.setWarning(0, 10);
    r.setAlarm(0, 50);
    r.setCalibDate(0, at(2024, 1, 2, 3, 4, 5));
    r.setCalibBefore(0, 48.5f);
    r.setCalibAfter(0, 50);
    r.setGasEnabled(2, true);
    r.setGasName(2, QStringLiteral("H2S"));
    r.setGasPoint(2, 1);
    r.setWarning(2, 10);
    r.setAlarm(2, -101);
    r.setStationList(0, QStringLiteral("Gate, north"));
    r.setStationList(5, QStringLiteral("Tank \"B\""));
    r.setConfirmation(0);
    r.setSpecNo(QStringLiteral("S,1"));
    r.setLS_No(0, 26);
    r.setLS_Name(0, QStringLiteral("USER1"));
    r.setLS_FullScale(0, 100);
    r.setLS_Digit(0, 0.1f);
    r.setLS_Point(0, 1);
    r.setLS_Unit(0, QStringLiteral("ppm"));
    r.setLS_elem_vol(0, 300);
    r.setLS_Ratio(0, 1.25f);
    r.setCN_ir(QStringLiteral("1.5"));
    r.setCN_o2(QStringLiteral("2"));
    r.setC5_vol_zeroh(QStringLiteral("9"));
    r.setCE_span(QStringLiteral("0.99"));
    return r;
}

} // namespace

class TestSettingRecord : public QObject {
    Q_OBJECT
private slots:
    void init() {
        resetAppState();
        SetMessageLanguage(QStringLiteral("en"));
    }

    void fileNameAndSuffix() {
        QCOMPARE(SettingRecordFileName(QStringLiteral("_01")),
                 QStringLiteral("TQ5800_Setting_01.csv"));
        QCOMPARE(SettingRecordFileName(QString()), QStringLiteral("TQ5800_Setting.csv"));
        QCOMPARE(SettingRecordPath(QStringLiteral("/data/"), QStringLiteral("_A")),
                 QStringLiteral("/data/TQ5800_Setting_A.csv"));
        appState().StartFolder = QStringLiteral("/work");
        appState().FactoryRecordSuffix = QStringLiteral("_01");
        QCOMPARE(SettingRecordPath(), QStringLiteral("/work/TQ5800_Setting_01.csv"));

        for (QChar c : QStringLiteral("\\/:|<>*?\""))
            QVERIFY2(!IsValidRecordSuffix(QStringLiteral("_a") + c + QStringLiteral("b")),
                     qPrintable(QString(c)));
        QVERIFY(IsValidRecordSuffix(QStringLiteral("_01")));
        QVERIFY(IsValidRecordSuffix(QString()));
        QVERIFY(IsValidRecordSuffix(QStringLiteral(" line-2 (b);x")));
        QCOMPARE(
            LoadMessage(InvalidSuffixMessage),
            QStringLiteral("The character that cannot be used for the file name is included."));
    }

    void headerComesFromTheMessageTable() {
        const QStringList h = SettingRecordHeaderFields();
        QCOMPARE(h.size(), 216);
        QCOMPARE(h.mid(0, 9),
                 (QStringList{"Action", "PC Date/Time", "TQ-5800 Date/Time", "Serial No.",
                              "Manufacture number", "ROM", "SUM", "Station ID", "User ID"}));
        QCOMPARE(h[23], QStringLiteral("Alarm Function"));
        QCOMPARE(h.mid(24, 6), (QStringList{"Gas", "Warning", "Alarm", "Last Calibration Date",
                                            "Before Last Calibration", "After Last Calibration"}));
        QCOMPARE(h[54], QStringLiteral("Station1"));
        QCOMPARE(h[181], QStringLiteral("Station128"));
        QCOMPARE(h.mid(182, 3), (QStringList{"Confermation Beep", LoadMessage(8042), "No"}));
        QCOMPARE(h[201], QStringLiteral("IR Square,Temperature,Concentration"));
        QCOMPARE(h.last(), QStringLiteral("Thermal Compensation Coeffcient"));
        QCOMPARE(CsvLine(h).count(u','), 215 + 2);
        QVERIFY(CsvLine(h).contains(QStringLiteral(",\"IR Square,Temperature,Concentration\",")));

        SetMessageLanguage(QStringLiteral("ja"));
        const QStringList j = SettingRecordHeaderFields();
        QCOMPARE(j.size(), 216);
        QCOMPARE(j[0], LoadMessage(9004));
        QCOMPARE(j[5], QStringLiteral("ROM"));
    }

    void recordLineFields() {
        const AppDate now = at(2024, 5, 6, 7, 8, 9);
        clsInstrument r = sample();
        r.setSysDateOffset(AppDate(1.5));
        const QStringList f = SettingRecordFields(r, SettingRecordMode::Read, now);
        QCOMPARE(f.size(), 216);
        QCOMPARE(f.mid(0, 24), (QStringList{"Read",
                                            "2024/05/06 07:08:09",
                                            "2024/05/07 19:08:09",
                                            "SN0001",
                                            "M-77",
                                            "00042",
                                            "AB12",
                                            "PLANT 1",
                                            "OPERATOR",
                                            "Latch",
                                            "90",
                                            "ON",
                                            "Can't use",
                                            "300",
                                            "OFF",
                                            "Germany",
                                            "H-HH",
                                            "30",
                                            "ON",
                                            "OFF",
                                            "ON",
                                            "128",
                                            "-3",
                                            "OFF"}));
        QCOMPARE(f.mid(24, 6),
                 (QStringList{"CH4", "   10", "   50", "2024/01/02 03:04:05", "   49", "   50"}));
        QCOMPARE(f.mid(30, 6), QStringList(6, QStringLiteral("-----")));
        QCOMPARE(f.mid(36, 3), (QStringList{"H2S", " 10.0", "*****"}));
        QCOMPARE(f[54], QStringLiteral("Gate, north"));
        QCOMPARE(f[55], QString(16, u'-'));
        QCOMPARE(f[59], QStringLiteral("Tank \"B\""));
        QCOMPARE(f.mid(182, 9),
                 (QStringList{"OFF", "S,1", "26", "USER1", "100.0", "0.1", "ppm", "300", "1.25"}));
        QCOMPARE(f[198], QStringLiteral("1.5/2"));
        QCOMPARE(f[199], QStringLiteral("/"));
        QCOMPARE(f[201], QStringLiteral("/////"));
        QCOMPARE(f[202], QStringLiteral("///////"));
        QCOMPARE(f[205], QStringLiteral("0.99"));
        QCOMPARE(f[207], QStringLiteral("///"));
        QCOMPARE(f[215], QStringLiteral("///////9"));

        QCOMPARE(SettingRecordFields(r, SettingRecordMode::Write, now)[0], QStringLiteral("Write"));
        QCOMPARE(SettingRecordFields(r, SettingRecordMode::WriteID, now)[0],
                 QStringLiteral("WriteID"));

        r.setAlarmMode(0);
        r.setCalCheck(0);
        r.setSpecType(QStringLiteral("0"));
        r.setAlarmO2(0);
        QStringList g = SettingRecordFields(r, SettingRecordMode::Read, now);
        QCOMPARE(g[9], QStringLiteral("Reset"));
        QCOMPARE(g[12], QStringLiteral("Confirm to use"));
        QCOMPARE(g[15], QStringLiteral("Domestic"));
        QCOMPARE(g[16], QStringLiteral("H-L"));
        r.setCalCheck(2);
        r.setSpecType(QStringLiteral("1"));
        r.setAlarmO2(1);
        g = SettingRecordFields(r, SettingRecordMode::Read, now);
        QCOMPARE(g[12], QStringLiteral("None"));
        QCOMPARE(g[15], QStringLiteral("Foreign"));
        QCOMPARE(g[16], QStringLiteral("L-LL"));
    }

    void instrumentClock() {
        const AppDate now = at(2024, 5, 6, 12, 0, 0);
        QCOMPARE(InstrumentClock(now, AppDate(0)).general(), now.general());
        QCOMPARE(InstrumentClock(now, AppDate(-0.25)).general(),
                 QStringLiteral("2024/05/06 06:00:00"));
        QCOMPARE(InstrumentClock(now, AppDate(1.25)).general(),
                 QStringLiteral("2024/05/07 18:00:00"));
        // An offset that leaves the valid dates shows the PC time.
        QCOMPARE(InstrumentClock(now, AppDate(1e9)).general(), now.general());
        clsInstrument r;
        r.setSysDateOffset(AppDate(1e9));
        QCOMPARE(SettingRecordFields(r, SettingRecordMode::Read, now)[2],
                 QStringLiteral("2024/05/06 12:00:00"));
    }

    void appendsOneLineAfterOneHeader() {
        QTemporaryDir dir;
        appState().StartFolder = dir.path();
        appState().FactoryRecordSuffix = QStringLiteral("_01");
        const QString path = dir.filePath(QStringLiteral("TQ5800_Setting_01.csv"));
        const clsInstrument r = sample();
        QString error;
        QVERIFY(AppendSettingRecord(r, SettingRecordMode::Read, &error));
        const QByteArray first = fileBytes(path);
        QCOMPARE(first.count("\r\n"), 2);
        QVERIFY(AppendSettingRecord(path, r, SettingRecordMode::Write, AppDate::now(), &error));
        const QByteArray second = fileBytes(path);
        QVERIFY(second.startsWith(first));
        QCOMPARE(second.count("\r\n"), 3);
        QCOMPARE(second.count("Action,"), 1);

        const QList<QStringList> rows = parseCsv(QString::fromLocal8Bit(second));
        QCOMPARE(rows.size(), 3);
        for (const QStringList& row : rows)
            QCOMPARE(row.size(), rows[0].size());
        QCOMPARE(rows[0].size(), 216);
        QCOMPARE(rows[0][201], QStringLiteral("IR Square,Temperature,Concentration"));
        QCOMPARE(rows[1][0], QStringLiteral("Read"));
        QCOMPARE(rows[2][0], QStringLiteral("Write"));
        QCOMPARE(rows[2][54], QStringLiteral("Gate, north"));
        QCOMPARE(rows[2][59], QStringLiteral("Tank \"B\""));
        QCOMPARE(rows[2][183], QStringLiteral("S,1"));

        // Cross-check with an established CSV reader where one is installed.
        const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
        if (!python.isEmpty()) {
            QProcess p;
            p.start(python, {QStringLiteral("-c"),
                             QStringLiteral("import csv,sys\n"
                                            "rows=list(csv.reader(open(sys.argv[1],newline='')))\n"
                                            "print(len(rows), *sorted({len(r) for r in rows}))"),
                             path});
            QVERIFY(p.waitForFinished(30000));
            if (p.exitCode() == 0)
                QCOMPARE(p.readAllStandardOutput().trimmed(), QByteArray("3 216"));
        }
    }

    void olderFilesAreAppendedToAsTheyAre() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("TQ5800_Setting.csv"));
        // A file from before quoting: its header splits the one column into three; a broken
        // last line without its line end.
        const QByteArray old = "Action,IR Square,Temperature,Concentration\r\nRead,1,2,3";
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(old);
        }
        QVERIFY(AppendSettingRecord(path, sample(), SettingRecordMode::WriteID, AppDate::now()));
        const QByteArray bytes = fileBytes(path);
        QVERIFY(bytes.startsWith(old + "\r\nWriteID,"));
        QVERIFY(bytes.endsWith("\r\n"));
        QCOMPARE(bytes.count("Action"), 1);

        // An existing empty file gets its header.
        const QString empty = dir.filePath(QStringLiteral("TQ5800_Setting_E.csv"));
        {
            QFile f(empty);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QVERIFY(AppendSettingRecord(empty, sample(), SettingRecordMode::Read, AppDate::now()));
        QVERIFY(fileBytes(empty).startsWith("Action,"));

        QString error;
        QVERIFY(!AppendSettingRecord(dir.filePath(QStringLiteral("no/x.csv")), sample(),
                                     SettingRecordMode::Read, AppDate::now(), &error));
        QVERIFY(!error.isEmpty());
    }

    void csvQuoting() {
        QCOMPARE(CsvField(QStringLiteral("plain")), QStringLiteral("plain"));
        QCOMPARE(CsvField(QStringLiteral("a,b")), QStringLiteral("\"a,b\""));
        QCOMPARE(CsvField(QStringLiteral("say \"hi\"")), QStringLiteral("\"say \"\"hi\"\"\""));
        QCOMPARE(CsvField(QStringLiteral("two\r\nlines")), QStringLiteral("\"two\r\nlines\""));
        QCOMPARE(CsvField(QString()), QString());
        QCOMPARE(CsvLine({"a", "b,c", "", "\""}), QStringLiteral("a,\"b,c\",,\"\"\"\""));
        QCOMPARE(parseCsv(CsvLine({"a", "b,c", "", "\"", "x\r\ny"}) + "\r\n"),
                 (QList<QStringList>{{"a", "b,c", "", "\"", "x\r\ny"}}));
    }

    // What a user typed reaches the calibration log as text a spreadsheet shows, not runs.
    void typedTextsStayTextInTheCalibrationLog_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("written");
        QTest::newRow("formula") << "=HYPERLINK(\"x\")"
                                 << "'=HYPERLINK(\"x\")";
        QTest::newRow("plus") << "+A1"
                              << "'+A1";
        QTest::newRow("minus") << "-2+3"
                               << "'-2+3";
        QTest::newRow("at") << "@SUM(A1)"
                            << "'@SUM(A1)";
        QTest::newRow("unset identity") << "----------------"
                                        << "'----------------";
        QTest::newRow("a number stays") << "-12.5"
                                        << "-12.5";
        QTest::newRow("plain") << "A. Sato"
                               << "A. Sato";
        QTest::newRow("inside") << "LOT=7"
                                << "LOT=7";
    }
    void typedTextsStayTextInTheCalibrationLog() {
        QFETCH(QString, typed);
        QFETCH(QString, written);
        CalibrationCertificate span;
        span.operatorName = typed;
        span.cylinderLot = typed;
        span.identity.stationId = typed;
        span.identity.serialNo = typed;
        const QStringList fields = CalibrationLogFields(span);
        for (const int column : {1, 3, 5, 6}) // serial, station, operator, lot
            QCOMPARE(fields.at(column), written);
        // A CSV reader gets the text back with its mark.
        QCOMPARE(parseCsv(CsvLine(fields) + "\r\n").value(0).value(5), written);
    }

    // The setting record keeps its fixed layout: its texts are written as they are.
    void theSettingRecordKeepsItsTexts() {
        clsInstrument r = sample();
        r.setUserID(QStringLiteral("=CMD"));
        const QStringList fields = SettingRecordFields(r, SettingRecordMode::Read, AppDate::now());
        QVERIFY(fields.contains(QStringLiteral("=CMD")));
        QVERIFY(!fields.contains(QStringLiteral("'=CMD")));
    }
};

QTEST_GUILESS_MAIN(TestSettingRecord)
#include "test_setting_record.moc"
