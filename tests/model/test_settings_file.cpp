// Settings files: the writer's exact lines, export then import, the reader's kept habits,
// stops at fields that cannot be converted, and hostile input.
#include "app/FilePaths.h"
#include "model/SettingsFile.h"
#include "model/clsInstrument.h"
#include "state/AppState.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {

clsInstrument sample() {
    clsInstrument r;
    r.setSpecNo(QStringLiteral("SPEC1"));
    const struct {
        const char* name;
        const char* unit;
        float fs, step;
        qint16 point;
        float warning, alarm;
    } g[] = {{"CH4", "%LEL", 100, 1, 0, 10, 50},
             {"O2", "vol%", 25, 0.1f, 1, 19.5f, 18},
             {"H2S", "ppm", 100, 0.5f, 1, 10, 30},
             {"CO", "ppm", 500, 1, 0, 25, 50}};
    for (int i = 0; i < 4; ++i) {
        r.setGasEnabled(i, true);
        r.setGasName(i, QString::fromLatin1(g[i].name));
        r.setGasUnit(i, QString::fromLatin1(g[i].unit));
        r.setGasFullScale(i, g[i].fs);
        r.setGasDesit(i, g[i].step);
        r.setGasPoint(i, g[i].point);
        r.setWarning(i, g[i].warning);
        r.setAlarm(i, g[i].alarm);
    }
    r.setAlarmMode(1);
    r.setDispCalLimit(-1);
    r.setCalCheck(2);
    r.setConfirmation(1);
    r.setLogOverWrite(1);
    r.setLcdBackLight(30);
    r.setautoBackLight(1);
    r.setAlarmOnOff(1);
    r.setFlowLevel(128);
    r.setpressOffset(-5);
    r.setAlarmO2(1);
    r.setCalLimit(90);
    r.setIntervals(300);
    r.setSpecType(QStringLiteral("1"));
    r.setAutoZero(0);
    r.setDemandZero(1);
    r.setLS_No(0, 26);
    r.setLS_Name(0, QStringLiteral("USER1"));
    r.setLS_FullScale(0, 100);
    r.setLS_Digit(0, 0.1f);
    r.setLS_Point(0, 1);
    r.setLS_Unit(0, QStringLiteral("ppm"));
    r.setLS_elem_vol(0, 300);
    r.setLS_Ratio(0, 1.5f);
    r.setLS_Name(1, QStringLiteral("USER2"));
    r.setLS_FullScale(1, 50);
    r.setLS_Digit(1, 1);
    r.setLS_Unit(1, QStringLiteral("vol%"));
    r.setLS_elem_vol(1, 4095);
    r.setLS_Ratio(1, 0.3f);
    r.ClearChangeFlags();
    return r;
}

SettingsReadResult readText(clsInstrument& r, const QByteArray& text,
                            QStringList* unknown = nullptr) {
    QBuffer b;
    b.setData(text);
    b.open(QIODevice::ReadOnly);
    const SettingsReadResult result = ReadSettings(r, b);
    if (unknown)
        *unknown = result.unknown;
    return result;
}

} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT
private slots:
    void init() { resetAppState(); }

    void writerLinesAreExact() {
        const QByteArray expected =
            "BS,W,SPEC1     ,\r\n"
            "GJ,W,CH4          100    1%LEL,O2          25.0  0.1vol%,H2S        100.0  0.5ppm ,"
            "CO           500    1ppm ,*************************,\r\n"
            "AP,W,1,\r\nSD,W,1,\r\nSM,W,2,\r\nXB,W,1,\r\nXW,W,1,\r\nXT,W,001E,\r\nUQ,W,1,\r\n"
            "AF,W,1,\r\nCP,W,0080,\r\nHF,W,FB,\r\nAT,W,1,\r\n"
            "A1,W,   10, 19.5, 10.0,   25,*****,\r\n"
            "A2,W,   50, 18.0, 30.0,   50,*****,\r\n"
            "SC,W,005A,\r\nXP,W,012C,\r\nUJ,W,1,\r\nSJ,W,0,\r\nSG,W,1,\r\n"
            "LS,W,00,USER1     ,100.0,  0.1,ppm ,012C,3FC00000,"
            "00,USER2     ,   50,    1,vol%,0FFF,3E99999A,\r\n";
        QCOMPARE(SettingsFileText(sample()), expected);
        clsInstrument r = sample();
        r.setDispCalLimit(0);
        QVERIFY(SettingsFileText(r).contains("\r\nSD,W,0,\r\n"));
    }

    void exportThenImportGivesTheSettingsBack() {
        QTemporaryDir dir;
        const QString path = PathInFolder(dir.path(), QStringLiteral("one.seq"));
        clsInstrument a = sample();
        a.setWarning(2, 12.34f); // shown with one decimal: 12.3
        a.setAlarm(3, -101);
        QVERIFY(WriteSettingsFile(a, path));
        clsInstrument b;
        const SettingsReadResult res = ReadSettingsFile(b, path);
        QVERIFY2(res.ok, qPrintable(res.message));
        QVERIFY(res.unknown.isEmpty());
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(b.GasEnabled(i), a.GasEnabled(i));
            QCOMPARE(b.GasName(i), a.GasName(i));
            QCOMPARE(b.GasUnit(i), a.GasUnit(i));
            QCOMPARE(b.GasFullScale(i), a.GasFullScale(i));
            QCOMPARE(b.GasDesit(i), a.GasDesit(i));
            if (a.GasEnabled(i))
                QCOMPARE(b.GasPoint(i), a.GasPoint(i));
        }
        QCOMPARE(b.Warning(0), 10.0f);
        QCOMPARE(b.Warning(1), 19.5f);
        QCOMPARE(b.Warning(2), 12.3f);
        QCOMPARE(b.Alarm(3), -101.0f);
        QCOMPARE(b.Warning(4), -101.0f);
        QCOMPARE(b.SpecNo(), QStringLiteral("SPEC1"));
        QCOMPARE(b.AlarmMode(), qint16(1));
        QCOMPARE(b.DispCalLimit(), qint16(1));
        QCOMPARE(b.CalCheck(), qint16(2));
        QCOMPARE(b.LogOverWrite(), qint16(1));
        QCOMPARE(b.LcdBackLight(), qint16(30));
        QCOMPARE(b.FlowLevel(), 128);
        QCOMPARE(b.AlarmO2(), qint16(1));
        QCOMPARE(b.CalLimit(), qint16(90));
        QCOMPARE(b.Intervals(), qint16(300));
        QCOMPARE(b.SpecType(), QStringLiteral("1"));
        QCOMPARE(b.DemandZero(), qint16(1));
        for (int e = 0; e < 2; ++e) {
            QCOMPARE(b.LS_Name(e).trimmed(), a.LS_Name(e));
            QCOMPARE(b.LS_Unit(e).trimmed(), a.LS_Unit(e));
            QCOMPARE(b.LS_FullScale(e), a.LS_FullScale(e));
            QCOMPARE(b.LS_Digit(e), a.LS_Digit(e));
            QCOMPARE(b.LS_Point(e), a.LS_Point(e));
            QCOMPARE(b.LS_elem_vol(e), a.LS_elem_vol(e));
            QCOMPARE(b.LS_Ratio(e), a.LS_Ratio(e));
        }
        QCOMPARE(b.Confirmation(), qint16(1));
        // pressOffset's two hex digits come back unsigned, as from the instrument.
        QCOMPARE(b.pressOffset(), qint16(0xFB));
        // Apart from that, written again the imported record gives the same file.
        b.setpressOffset(a.pressOffset());
        QCOMPARE(SettingsFileText(b), SettingsFileText(a));
    }

    void disabledSlotAndUnusedLevels() {
        clsInstrument r;
        readText(r, "GJ,W,CH4          100    1%LEL,*************************,"
                    "*************************,*************************,"
                    "*************************,\r\nA1,W,*****,   10,OVER,*****,*****,\r\n");
        QVERIFY(r.GasEnabled(0));
        QVERIFY(!r.GasEnabled(1));
        QCOMPARE(r.GasName(1), QString());
        QCOMPARE(r.GasFullScale(1), -101.0f);
        QCOMPARE(r.GasPoint(1), qint16(-101));
        QCOMPARE(r.Warning(0), -101.0f);
        QCOMPARE(r.Warning(1), 10.0f);
        QCOMPARE(r.Warning(2), -107.0f);
    }

    void commentAndBlankLinesKeepTheirHabits() {
        clsInstrument r;
        QStringList unknown;
        SettingsReadResult res =
            readText(r, "; exported settings\r\n\r\nAP,W,1,\r\n\r\nXW,W,1,\r\n", &unknown);
        QVERIFY(res.ok);
        // The comment's text lands in token 0 and is unknown; blank lines are passed over.
        QCOMPARE(unknown, QStringList{"; exported settings"});
        QCOMPARE(res.unknownLines, 1);

        // A comment whose text is a group code is applied, with the fields left over from
        // the line before it.
        r.setAlarmMode(0);
        unknown.clear();
        res = readText(r, "XW,W,0,\r\nAT,W,1,\r\n;AP\r\n", &unknown);
        QVERIFY(res.ok);
        QVERIFY(unknown.isEmpty());
        QCOMPARE(r.AlarmMode(), qint16(1));

        // A line short of fields takes them from the line before.
        readText(r, "AP,W,0,\r\nXW,W,\r\n");
        QCOMPARE(r.LogOverWrite(), qint16(0));
    }

    void unknownCodesAreReportedAndSkipped() {
        clsInstrument r;
        QStringList unknown;
        const SettingsReadResult res =
            readText(r, "ZZ,W,1,\r\nap,w,1,\r\n AT,W,2,\r\nXT,W,10,\r\n", &unknown);
        QVERIFY(res.ok);
        QCOMPARE(unknown, (QStringList{"ZZ,W,1,", " AT,W,2,"}));
        QCOMPARE(r.AlarmMode(), qint16(1));
        QCOMPARE(r.AlarmO2(), qint16(1));
        QCOMPARE(r.LcdBackLight(), qint16(16));
    }

    void numbersAndHex() {
        clsInstrument r;
        QVERIFY(readText(r, "AP,W,0.5,\r\nSM,W,1.5,\r\nXT,W,00FF,\r\nCP,W,9C40,\r\nSC,W,0001F,\r\n"
                            "XP,W,  3c ,\r\nHF,W,ff,\r\n")
                    .ok);
        QCOMPARE(r.AlarmMode(), qint16(0));
        QCOMPARE(r.CalCheck(), qint16(2));
        QCOMPARE(r.LcdBackLight(), qint16(255));
        QCOMPARE(r.FlowLevel(), 40000);
        QCOMPARE(r.CalLimit(), qint16(31));
        QCOMPARE(r.Intervals(), qint16(60));
        QCOMPARE(r.pressOffset(), qint16(255));
    }

    void fieldThatCannotBeConvertedEndsTheImport_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("decimal text") << QByteArray("AT,W,x,");
        QTest::newRow("decimal range") << QByteArray("AT,W,40000,");
        QTest::newRow("hex digits") << QByteArray("XT,W,1G,");
        QTest::newRow("hex sign") << QByteArray("XT,W,-1,");
        QTest::newRow("hex range") << QByteArray("XT,W,10000,");
        QTest::newRow("hex long range") << QByteArray("CP,W,123456789,");
        QTest::newRow("gas record") << QByteArray("GJ,W,CH4          1x0    1%LEL,");
        // A negative scale would be written as "*****", which no import takes back. The rest
        // of each line is valid, so only the negative number can stop it.
        const QByteArray noGas = QByteArray(25, '*') + ',';
        QTest::newRow("gas record negative scale")
            << "GJ,W,CH4          -10    1%LEL," + noGas.repeated(4);
        QTest::newRow("gas record negative step")
            << "GJ,W,CH4          100   -1%LEL," + noGas.repeated(4);
        QTest::newRow("user gas negative scale")
            << QByteArray("LS,W,00,N,-5,1,ppm,0,3F800000,00,M,1,1,ppm,0,3F800000,");
        QTest::newRow("level range") << QByteArray("A1,W,1e39,");
        QTest::newRow("user gas scale") << QByteArray("LS,W,00,N,*****,1,ppm,0,00000000,");
        QTest::newRow("user gas ratio") << QByteArray("LS,W,00,N,1,1,ppm,0,3F80000,");
        // Wider than the instrument's write field: it would arrive cut ("SC,W,000").
        QTest::newRow("calibration limit wider than 3 digits") << QByteArray("SC,W,1000,");
        QTest::newRow("pressure offset wider than 2 digits") << QByteArray("HF,W,1FF,");
        QTest::newRow("interval wider than 3 digits") << QByteArray("XP,W,1000,");
        QTest::newRow("switch other than 0 and 1") << QByteArray("SD,W,7,");
        QTest::newRow("257 fields") << QByteArray("AT,W") + QByteArray(255, ',').replace(",", ",1");
        // After a ";" the rest of the line is one field, commas and all: sent to the
        // instrument, such a text would shift every field after it.
        QTest::newRow("number with a comment") << QByteArray("BS,W,A1 ;x,y,");
        QTest::newRow("type with a comment") << QByteArray("UJ,W,K;x,y,");
    }
    void fieldThatCannotBeConvertedEndsTheImport() {
        QFETCH(QByteArray, line);
        clsInstrument r;
        r.setAlarmO2(1);
        const SettingsReadResult res = readText(r, "AP,W,1,\r\n" + line + "\r\nSM,W,2,\r\n");
        QVERIFY(!res.ok);
        QCOMPARE(res.line, 2);
        QVERIFY(!res.message.isEmpty());
        QCOMPARE(r.AlarmMode(), qint16(1));
        QCOMPARE(r.CalCheck(), qint16(0));
        QCOMPARE(r.AlarmO2(), qint16(1));
    }

    void userGasTextWithACommentEndsTheImport() {
        // The fields after the comment are those left over from the line before.
        clsInstrument r;
        const QByteArray full = "LS,W,00,N,1,1,ppm,0,3F800000,00,M,1,1,ppm,0,3F800000,\r\n";
        const SettingsReadResult res = readText(r, full + "LS,W,00,CH4 ;x,y\r\n");
        QVERIFY(!res.ok);
        QCOMPARE(res.line, 2);
        QCOMPARE(r.LS_Name(0), QStringLiteral("N"));
    }

    void partOfALineStaysWhenALaterFieldFails() {
        clsInstrument r;
        const SettingsReadResult res =
            readText(r, "A2,W,   50, 18.0,1e40,   50,   50,\r\n"
                        "GJ,W,CH4          100    1%LEL,O2          abcd  0.1vol%,\r\n");
        QVERIFY(!res.ok);
        QCOMPARE(res.line, 1);
        QCOMPARE(r.Alarm(0), 50.0f);
        QCOMPARE(r.Alarm(1), 18.0f);
        QCOMPARE(r.Alarm(2), -101.0f);

        const SettingsReadResult gj =
            readText(r, "GJ,W,CH4          100    1%LEL,O2          abcd  0.1vol%,\r\n");
        QCOMPARE(gj.line, 1);
        QCOMPARE(r.GasName(0), QStringLiteral("CH4"));
        QCOMPARE(r.GasName(1), QStringLiteral("O2"));
        QCOMPARE(r.GasFullScale(1), -101.0f);
    }

    void importMarksEverythingChangedOnlyWhenRead() {
        QTemporaryDir dir;
        const QString good = dir.filePath(QStringLiteral("good.seq"));
        QVERIFY(WriteSettingsFile(sample(), good));
        clsInstrument r;
        QVERIFY(ImportSettingsFile(r, good).ok);
        QCOMPARE(r.ImportFlag(), qint16(-1));
        QVERIFY(r.Change_CalLimit() && r.Change_Warn(0) && r.Change_LSData(1));
        QVERIFY(!r.Change_SerialNo());

        const QString bad = dir.filePath(QStringLiteral("bad.seq"));
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("AP,W,1,\r\nAT,W,?,\r\n");
        f.close();
        clsInstrument s;
        const SettingsReadResult res = ImportSettingsFile(s, bad);
        QVERIFY(!res.ok);
        // A file that stops part-way changes nothing.
        QCOMPARE(s.ImportFlag(), qint16(0));
        QCOMPARE(s.AlarmMode(), qint16(0));
        QVERIFY(!s.Change_AlarmMode());
        QVERIFY(!s.Change_CalLimit());

        const SettingsReadResult missing =
            ImportSettingsFile(s, dir.filePath(QStringLiteral("none.seq")));
        QVERIFY(!missing.ok);
        QCOMPARE(missing.line, 0);
        QVERIFY(!WriteSettingsFile(sample(), dir.filePath(QStringLiteral("no/dir.seq"))));
    }

    void valuesThatDoNotFitAreNotWritten_data() {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("text");
        QTest::newRow("BS number of 11") << "BS"
                                         << "12345678901";
        // The reader takes a ";" for the start of a comment.
        QTest::newRow("BS number with a semicolon") << "BS"
                                                    << "AB;C";
        QTest::newRow("alarm of 100000") << "A2 1"
                                         << "";
        QTest::newRow("switch of 7") << "SD"
                                     << "";
        QTest::newRow("pressure offset of 0x1FF") << "HF"
                                                  << "";
        QTest::newRow("user gas name with a comma") << "LS 2"
                                                    << "C,H4";
        QTest::newRow("user gas name with a semicolon") << "LS 2"
                                                        << "C;H4";
        QTest::newRow("type with a comma") << "UJ"
                                           << "0,1";
        QTest::newRow("type with a semicolon") << "UJ"
                                               << ";";
    }
    void valuesThatDoNotFitAreNotWritten() {
        QFETCH(QString, what);
        QFETCH(QString, text);
        clsInstrument r = sample();
        QVERIFY(SettingsFileProblems(r).isEmpty());
        if (what == "BS")
            r.setSpecNo(text);
        else if (what == "A2 1")
            r.setAlarm(0, 100000.0f);
        else if (what == "SD")
            r.setDispCalLimit(7);
        else if (what == "LS 2")
            r.setLS_Name(1, text);
        else if (what == "UJ")
            r.setSpecType(text);
        else
            r.setpressOffset(0x1FF);
        const QStringList problems = SettingsFileProblems(r);
        QCOMPARE(problems.size(), 1);
        QVERIFY2(problems[0].startsWith(what + ':'), qPrintable(problems[0]));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("x.seq"));
        QString error;
        QVERIFY(!WriteSettingsFile(r, path, &error));
        QCOMPARE(error, problems[0]);
        QVERIFY(!QFile::exists(path));
    }

    void hostileInputNeitherCrashesNorHangs() {
        // A 10 MB line is refused where it is, without reading the rest of the file.
        clsInstrument r;
        QByteArray text = "AP,W,1,\r\n";
        text += "XW,W," + QByteArray(10 * 1024 * 1024, '1') + ",\r\n";
        text += "AT,W,2,\n";
        QElapsedTimer timer;
        timer.start();
        const SettingsReadResult res = readText(r, text);
        QVERIFY2(timer.elapsed() < 20000, "a 10 MB line took too long");
        QVERIFY(!res.ok);
        QCOMPARE(res.line, 2);

        // Random lines of codes and fields: the reader always ends, and whatever it accepted
        // and the program would store exports to a file that imports to the same settings.
        const QList<QByteArray> codes = {"BS", "GJ", "AP", "SD", "SM", "XB", "XW", "XT",
                                         "UQ", "AF", "CP", "HF", "AT", "A1", "A2", "SC",
                                         "XP", "UJ", "SJ", "SG", "LS", ";",  "",   "??"};
        const QList<QByteArray> fields = {"1",
                                          "W",
                                          "FFFF",
                                          "*****",
                                          "OVER",
                                          "  0.5",
                                          "CH4          100    1%LEL",
                                          QByteArray(25, '*'),
                                          "3F800000",
                                          "-3",
                                          "1e9",
                                          "",
                                          " ",
                                          "00"};
        QRandomGenerator rng(4242);
        int stored = 0;
        for (int round = 0; round < 400; ++round) {
            QByteArray t;
            for (int l = rng.bounded(1, 30); l > 0; --l) {
                t += codes[rng.bounded(codes.size())];
                for (int k = rng.bounded(18); k > 0; --k)
                    t += ',' + fields[rng.bounded(fields.size())];
                if (rng.bounded(8) == 0)
                    for (int k = rng.bounded(40); k > 0; --k)
                        t += char(rng.bounded(256));
                t += "\r\n";
            }
            clsInstrument a = sample();
            if (!readText(a, t).ok || !SettingsFileProblems(a).isEmpty())
                continue;
            ++stored;
            const QByteArray exported = SettingsFileText(a);
            clsInstrument c;
            const SettingsReadResult back = readText(c, exported);
            QVERIFY2(back.ok, qPrintable(back.message + " in " + exported));
            // pressOffset's two hex digits come back unsigned, as from the instrument.
            c.setpressOffset(a.pressOffset());
            QCOMPARE(SettingsFileText(c), exported);
        }
        QVERIFY(stored > 0);
    }

    void aFileThatBreaksARuleIsRefusedWhole_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("why");
        const auto row = [](const char* name, const QByteArray& text, int line, const char* why) {
            QTest::newRow(name) << text << line << QString::fromUtf8(why);
        };
        const QByteArray ap = "AP,W,1,\r\n";
        const QString wide = QStringLiteral("\uFEFFAP,W,1,\r\n");
        row("empty", QByteArray(), 0, "no settings");
        row("UTF-16", QByteArray(reinterpret_cast<const char*>(wide.utf16()), wide.size() * 2), 0,
            "no settings");
        row("binary",
            QByteArray("\x7f"
                       "ELF\x02\x01\x01\0\0\0",
                       10),
            0, "no settings");
        row("line over 64 KiB", ap + "XW,W,1," + QByteArray(70000, ' ') + "\r\nSM,W,2,\r\n", 2,
            "longer");
        row("group given twice", ap + "SM,W,2,\r\nAP,W,0,\r\n", 3, "line 1");
        row("AP 7", "SM,W,2,\r\nAP,W,7,\r\n", 2, "AP: 7");
        row("XT 0", ap + "XT,W,0,\r\n", 2, "XT: 0");
        row("SC FFF", ap + "SC,W,FFF,\r\n", 2, "SC: 4095");
        row("AF -3", ap + "AF,W,-3,\r\n", 2, "AF: -3");
        row("UJ 7", ap + "UJ,W,7,\r\n", 2, "UJ: 7");
        row("XB 2", ap + "XB,W,2,\r\n", 2, "XB: 2");
        row("XP 0", ap + "XP,W,0,\r\n", 2, "XP: 0");
        row("H-HH before program 4426", ap + "AT,W,2,\r\n", 2, "AT: 2");
        row("spec number with #", ap + "BS,W,A#1,\r\n", 2, "BS: \"A#1\"");
        // The user gas as the instrument's write carries it: a name of 10, a volt of 3 digits.
        const QByteArray user = "00,USER1     ,  100,    1,%LEL,012C,3F800000,";
        row("user gas volt of 4 digits",
            ap + "LS,W," + user + "00,USER2     ,   50,    1,vol%,1000,3E99999A,\r\n", 2,
            "LS: 4096");
        row("user gas name of 11",
            ap + "LS,W," + user + "00,USER2NAMES1,   50,    1,vol%,0FFF,3E99999A,\r\n", 2,
            "LS: \"USER2NAMES1\"");
        QByteArray flood = ap;
        for (int i = 0; i < 10 * 1024; ++i)
            flood += "no setting here\r\n";
        row("flood of unknown lines", flood, 2, "no setting here");
    }
    void aFileThatBreaksARuleIsRefusedWhole() {
        QFETCH(QByteArray, text);
        QFETCH(int, line);
        QFETCH(QString, why);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("x.seq"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.close();
        clsInstrument r = sample();
        r.setRomNumber(4425);
        const QByteArray before = SettingsFileText(r);
        const SettingsReadResult res = ImportSettingsFile(r, path);
        QVERIFY(!res.ok);
        QCOMPARE(res.line, line);
        QVERIFY2(SettingsRefusalText(res).contains(why), qPrintable(SettingsRefusalText(res)));
        // All or nothing: the record is as it was.
        QCOMPARE(SettingsFileText(r), before);
        QCOMPARE(r.ImportFlag(), qint16(0));
        QVERIFY(!r.Change_AlarmMode());
    }

    void theThirdOxygenAlarmTypeNeedsItsProgram() {
        clsInstrument r;
        r.setRomNumber(4426);
        QVERIFY(readText(r, "AT,W,2,\r\n").ok);
        QCOMPARE(r.AlarmO2(), qint16(2));
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "test_settings_file.moc"
