// The factory dialog's core pieces: the working copy in and the changed groups out, the
// parameter rows, the station file with hostile input, the user gas rows and the compensation
// console's commands.
#include "app/MessageTable.h"
#include "model/CompensationConsole.h"
#include "model/FactoryParameters.h"
#include "model/StationFile.h"
#include "model/UserGasTable.h"
#include "model/WorkRecordCopy.h"
#include "model/clsInstrument.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QtTest>

namespace {

StationFile::ReadResult readBytes(const QByteArray& bytes) {
    QBuffer b;
    b.setData(bytes);
    b.open(QIODevice::ReadOnly);
    return StationFile::Read(b);
}

QStringList userHalf(const clsInstrument& r, int entry) {
    QStringList cells;
    for (int f = 0; f < UserGasTable::FieldCount; ++f)
        cells << UserGasTable::UserCellText(r, entry, UserGasTable::Field(f));
    return cells;
}

} // namespace

class TestFactoryCore : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SetMessageLanguage(QStringLiteral("en")); }

    // ---- working copy -------------------------------------------------------------------

    void anUneditedCopyWritesNothingBack() {
        clsInstrument main;
        main.setBumpTime(3); // raises a flag that ClearChangeFlags leaves set
        main.setStel(1, 5.0f);
        main.setHcMode(1);
        main.setStationList(4, QStringLiteral("KEEP"));
        main.setLI_Name(3, QStringLiteral("C3H8"));
        main.ClearChangeFlags();
        const clsInstrument before = main;

        clsInstrument work;
        StartWorkRecord(main, work);
        QCOMPARE(work.StationList(4), QStringLiteral("KEEP"));
        QVERIFY(!work.Change_BumpTime() && !work.Change_Stel(1) && !work.Change_HCMode());

        main.setBumpTime(2); // a value the copy must not bring back
        main.setChange_BumpTime(false);
        CopyChangedGroups(work, main);
        QCOMPARE(main.BumpTime(), qint16(2));
        QVERIFY(!main.Change_BumpTime());
        QVERIFY(main.Change_Stel(1) && main.Change_HCMode()); // pending before: still pending
        QVERIFY(!main.Change_StationList(4) && !main.Change_LSData(0) && !main.Change_SerialNo());
        QCOMPARE(main.LI_Name(3), before.LI_Name(3));
    }

    void onlyTheEditedGroupsComeBackFlagged() {
        clsInstrument main;
        main.setAlarmMode(0);
        main.setLS_Name(1, QStringLiteral("OLD"));
        main.ClearChangeFlags();
        clsInstrument work;
        StartWorkRecord(main, work);

        work.setAlarmMode(1);
        work.setStationList(7, QStringLiteral("NEW-7"));
        work.setLS_Name(1, QStringLiteral("USERGAS"));
        work.setChange_LSData(1, true);
        work.setLI_Name(2, QStringLiteral("LIBNEW")); // no flag: the library is always copied
        work.setCalLimit(99);
        work.setChange_CalLimit(false); // changed without its flag: must stay behind
        CopyChangedGroups(work, main);

        QCOMPARE(main.AlarmMode(), qint16(1));
        QVERIFY(main.Change_AlarmMode());
        QCOMPARE(main.StationList(7), QStringLiteral("NEW-7"));
        QVERIFY(main.Change_StationList(7));
        QVERIFY(!main.Change_StationList(6));
        QCOMPARE(main.LS_Name(1), QStringLiteral("USERGAS"));
        QVERIFY(main.Change_LSData(1));
        QVERIFY(!main.Change_LSData(0));
        QCOMPARE(main.LI_Name(2), QStringLiteral("LIBNEW"));
        QCOMPARE(main.CalLimit(), qint16(1));
        QVERIFY(!main.Change_CalLimit());
    }

    // ---- parameter rows -----------------------------------------------------------------

    void parameterValues_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("serial 20") << 1 << QString(20, u'A') << true;
        QTest::newRow("serial 21") << 1 << QString(21, u'A') << false;
        QTest::newRow("serial star dash blank") << 1 << "A* -1" << true;
        QTest::newRow("serial hash") << 1 << "AB#" << false;
        QTest::newRow("BS number 10") << 2 << "ABCDEFGHIJ" << true;
        QTest::newRow("BS number 11") << 2 << "ABCDEFGHIJK" << false;
        QTest::newRow("blank") << 2 << "   " << false;
        QTest::newRow("limit 0") << 5 << "0" << false;
        QTest::newRow("limit 1") << 5 << "1" << true;
        QTest::newRow("limit 365") << 5 << "365" << true;
        QTest::newRow("limit 366") << 5 << "366" << false;
        QTest::newRow("limit 12a") << 5 << "12a" << false;
        QTest::newRow("limit huge") << 5 << "99999999999" << false;
        QTest::newRow("backlight 255") << 11 << "255" << true;
        QTest::newRow("backlight 256") << 11 << "256" << false;
        QTest::newRow("backlight empty") << 11 << "" << false;
        QTest::newRow("list") << 3 << "Latch" << true;
    }
    void parameterValues() {
        QFETCH(int, row);
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QCOMPARE(FactoryParameters::IsValid(row, text), valid);
    }

    void parameterKeysAndLists() {
        using namespace FactoryParameters;
        QCOMPARE(FilterKey(2, "a", 'a'), int('A'));
        QCOMPARE(FilterKey(2, "AB#", '#'), 0);
        QCOMPARE(FilterKey(2, "ABCDEFGHIJK", 'K'), 0);
        QCOMPARE(FilterKey(5, "1x", 'x'), 0);
        QCOMPARE(FilterKey(5, "", 8), 8);
        clsInstrument r;
        r.setRomNumber(4425);
        QCOMPARE(ChoiceList(9, r), QStringLiteral("H-L|L-LL"));
        r.setRomNumber(4426);
        QCOMPARE(ChoiceList(9, r), QStringLiteral("H-L|L-LL|H-HH"));
        QCOMPARE(ChoiceList(7, r), QStringLiteral("Confirm to use|Can't use|None"));
        r.setSpecType(QStringLiteral("2"));
        QCOMPARE(DisplayText(8, r), QStringLiteral("Germany"));
        r.setCalCheck(7); // outside the list
        QCOMPARE(DisplayText(7, r), QString());
    }

    void storingWritesOnlyRealChanges() {
        using namespace FactoryParameters;
        clsInstrument r;
        r.setSpecType(QStringLiteral("1"));
        r.setAlarmMode(1);
        r.setLcdBackLight(30);
        r.ClearChangeFlags();
        Store(8, QStringLiteral("foreign"), r); // same position, other case
        Store(3, QStringLiteral("Latch"), r);
        Store(11, QStringLiteral("30"), r);
        Store(3, QStringLiteral("no such entry"), r);
        QVERIFY(!r.Change_SpecType() && !r.Change_AlarmMode() && !r.Change_LcdBackLight());
        Store(8, QStringLiteral("Germany"), r);
        Store(11, QStringLiteral("45"), r);
        QCOMPARE(r.SpecType(), QStringLiteral("2"));
        QCOMPARE(r.LcdBackLight(), qint16(45));
        QVERIFY(r.Change_SpecType() && r.Change_LcdBackLight());
    }

    // ---- station file -------------------------------------------------------------------

    void stationFileRoundTrip() {
        QStringList ids;
        for (int i = 0; i < StationFile::Entries; ++i)
            ids << QStringLiteral(" ST-%1").arg(i);
        ids[3] = QStringLiteral("  ");
        QTemporaryDir dir;
        const QString path = dir.filePath(StationFile::DefaultName);
        QVERIFY(StationFile::Write(path, ids, nullptr));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().startsWith("1, ST-0\r\n2, ST-1\r\n3, ST-2\r\n4,  \r\n"));
        const auto r = StationFile::Read(path);
        QVERIFY(r.ok);
        QCOMPARE(r.entries, ids);
        QVERIFY(!StationFile::Write(dir.filePath("missing/Station.csv"), ids, nullptr));
    }

    void stationFileLines_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QList<int>>("invalid");
        QTest::newRow("tab") << QByteArray("7\tAB\r\n") << QStringList{"AB"} << QList<int>{};
        QTest::newRow("commas") << QByteArray("3,A,B") << QStringList{"A,B"} << QList<int>{1};
        QTest::newRow("empty line")
            << QByteArray("1,A\r\n\r\n3,C\n") << QStringList{"A", "", "C"} << QList<int>{};
        QTest::newRow("quotes") << QByteArray("1,\"AB\"\r\n") << QStringList{"\"AB\""}
                                << QList<int>{1};
        QTest::newRow("17 chars") << QByteArray("1,ABCDEFGHIJKLMNOPQ")
                                  << QStringList{"ABCDEFGHIJKLMNOPQ"} << QList<int>{1};
        QTest::newRow("utf-8 bom") << QByteArray("\xEF\xBB\xBF"
                                                 "1,A")
                                   << QStringList{"A"} << QList<int>{};
        QTest::newRow("utf-8 letter")
            << QByteArray("1,\xC3\xA9") << QStringList{"\u00E9"} << QList<int>{1};
        QByteArray many;
        for (int i = 0; i < 128; ++i)
            many += "5,S" + QByteArray::number(i) + "\r\n";
        QTest::newRow("128 lines, trailing blanks") << many + "\r\n\r\n"
                                                    << QStringList() << QList<int>{};
    }
    void stationFileLines() {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, entries);
        QFETCH(QList<int>, invalid);
        const auto r = readBytes(bytes);
        QVERIFY(r.ok);
        if (!entries.isEmpty())
            QCOMPARE(r.entries, entries);
        else
            QCOMPARE(r.entries.size(), 128);
        QCOMPARE(StationFile::InvalidEntries(r.entries), invalid);
    }

    void stationFileRefusals_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("refusal");
        QTest::addColumn<int>("line");
        QByteArray many;
        for (int i = 0; i < 129; ++i)
            many += "1,S\r\n";
        QTest::newRow("129 lines") << many << int(StationFile::TooManyLines) << 129;
        QTest::newRow("long line")
            << "1,A\r\n2," + QByteArray(2000, 'A') << int(StationFile::LineTooLong) << 2;
        QTest::newRow("many fields")
            << "1," + QByteArray("A,").repeated(300) << int(StationFile::LineTooLong) << 1;
        QTest::newRow("no number")
            << QByteArray("1,A\r\nAB\r\n") << int(StationFile::NoNumber) << 2;
        QTest::newRow("huge") << QByteArray(200000, 'A') << int(StationFile::TooLarge) << 0;
        QTest::newRow("nul") << QByteArray("1,A\0B", 5) << int(StationFile::NotText) << 0;
        QTest::newRow("binary") << QByteArray("\x89PNG\r\n\x1a\n") << int(StationFile::NotText)
                                << 0;
        QTest::newRow("utf-16") << QByteArray("\xFF\xFE"
                                              "1\0,\0A\0",
                                              8)
                                << int(StationFile::WrongEncoding) << 0;
        QTest::newRow("latin-1") << QByteArray("1,Caf\xE9\r\n") << int(StationFile::WrongEncoding)
                                 << 0;
    }
    void stationFileRefusals() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, refusal);
        QFETCH(int, line);
        const auto r = readBytes(bytes);
        QVERIFY(!r.ok);
        QVERIFY(r.entries.isEmpty());
        QCOMPARE(int(r.refusal), refusal);
        QCOMPARE(r.line, line);
        const QString text = StationFile::RefusalText(r, QStringLiteral("S.csv"));
        QVERIFY2(text.contains("S.csv") && !text.contains(u'~'), qPrintable(text));
    }

    void leftSpaces() {
        QCOMPARE(StationFile::LeftSpaceCount(" AB"), 1);
        QCOMPARE(StationFile::LeftSpaceCount("   "), 3);
        QCOMPARE(StationFile::LeftSpaceCount(""), 0);
        QVERIFY(StationFile::IsStationId("a-_/<> 09Z"));
        QVERIFY(!StationFile::IsStationId("A.B"));
    }

    // ---- user gas rows ------------------------------------------------------------------

    void gasCells_data() {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("digit");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("told"); // the message of a refusal the operator is told of
        using G = UserGasTable::Field;
        QTest::newRow("built-in name") << int(G::Name) << " CH4 "
                                       << "" << false << "" << 0;
        QTest::newRow("new name") << int(G::Name) << "MYGAS"
                                  << "" << true << "MYGAS" << 0;
        QTest::newRow("name of the wire's 10") << int(G::Name) << "ABCDEFGHIJ"
                                               << "" << true << "ABCDEFGHIJ" << 0;
        QTest::newRow("name of 11") << int(G::Name) << "ABCDEFGHIJK"
                                    << "" << false << "" << 0;
        QTest::newRow("pasted long name") << int(G::Name) << "ABCDEFGHIJKL"
                                          << "" << false << "" << 0;
        QTest::newRow("pasted dot") << int(G::Name) << "A.B"
                                    << "" << false << "" << 0;
        QTest::newRow("fs by digit 0.05") << int(G::FullScale) << "100"
                                          << "0.05" << true << "100.00" << 0;
        QTest::newRow("fs by digit 1") << int(G::FullScale) << "5"
                                       << "    1" << true << "    5" << 0;
        QTest::newRow("fs negative") << int(G::FullScale) << "-3"
                                     << "1" << true << "*****" << 0;
        QTest::newRow("fs text") << int(G::FullScale) << "abc"
                                 << "1" << false << "" << 0;
        QTest::newRow("digit 0") << int(G::Digit) << "0"
                                 << "" << false << "" << 0;
        QTest::newRow("digit 0.5") << int(G::Digit) << "0.5"
                                   << "" << true << "  0.5" << 0;
        QTest::newRow("digit shown as 0") << int(G::Digit) << "0.0001"
                                          << "" << false << "" << 5857;
        QTest::newRow("unit Vol%") << int(G::Unit) << "Vol%"
                                   << "" << false << "" << 0;
        QTest::newRow("unit VOL%") << int(G::Unit) << "VOL%"
                                   << "" << true << "VOL%" << 0;
        QTest::newRow("unit vol%") << int(G::Unit) << "vol%"
                                   << "" << true << "vol%" << 0;
        QTest::newRow("volt 4095") << int(G::Volt) << "4095"
                                   << "" << true << "4095" << 0;
        // The instrument's field has three hex digits: more would be cut on the wire.
        QTest::newRow("volt 4096") << int(G::Volt) << "4096"
                                   << "" << false << "" << 5856;
        QTest::newRow("volt 65535") << int(G::Volt) << "65535"
                                    << "" << false << "" << 5856;
        QTest::newRow("volt 0") << int(G::Volt) << "0"
                                << "" << false << "" << 5856;
        QTest::newRow("ratio") << int(G::Ratio) << "3.4"
                               << "" << true << "3" << 0;
        QTest::newRow("coefficient") << int(G::Linear2_c) << "1.5"
                                     << "" << true << "1.50000000" << 0;
        QTest::newRow("coefficient text") << int(G::Linear1_a) << "1,5"
                                          << "" << false << "" << 0;
    }
    void gasCells() {
        QFETCH(int, field);
        QFETCH(QString, text);
        QFETCH(QString, digit);
        QFETCH(bool, ok);
        QFETCH(QString, shown);
        const auto c =
            UserGasTable::Validate(UserGasTable::Field(field), text, digit, {"CH4", "i-C4H10"});
        QCOMPARE(c.ok, ok);
        if (ok)
            QCOMPARE(c.text, shown);
        QTEST(c.message, "told");
    }

    void gasNameKeys() {
        // The instrument's record carries ten characters of the name.
        QVERIFY(UserGasTable::NameKeyAllowed('A', QString(9, u'A')));
        QVERIFY(!UserGasTable::NameKeyAllowed('A', QString(10, u'A')));
        QVERIFY(UserGasTable::NameKeyAllowed(8, QString(10, u'A')));
        QVERIFY(!UserGasTable::NameKeyAllowed('.', QString()));
    }

    void storingTheUserRowFlagsOnlyARealChange() {
        clsInstrument r;
        r.setLS_Name(0, QStringLiteral("USER"));
        r.setLS_Digit(0, 0.1f);
        r.setLS_Point(0, 1);
        r.setLS_FullScale(0, 50.0f);
        r.setLS_Ratio(0, 1.25f);
        r.setLS_Linear1_b(0, 0.125);
        r.ClearChangeFlags();
        QStringList cells = userHalf(r, 0);
        UserGasTable::Store(r, 0, cells);
        QVERIFY(!r.Change_LSData(0));

        cells[UserGasTable::Digit] = QStringLiteral(" 0.05");
        cells[UserGasTable::Linear1_b] = QStringLiteral("0.25000000");
        UserGasTable::Store(r, 0, cells);
        QVERIFY(r.Change_LSData(0));
        QVERIFY(!r.Change_LSData(1));
        QCOMPARE(r.LS_Point(0), qint16(2));
        QCOMPARE(r.LS_Digit(0), 0.05f);
        QCOMPARE(r.LS_Linear1_b(0), 0.25);
        QCOMPARE(r.LS_Ratio(0), 1.25f);
    }

    // ---- compensation console -----------------------------------------------------------

    void consoleLayout() {
        using namespace CompensationConsole;
        QCOMPARE(Row(8).command, QStringLiteral("C2,E,"));
        QCOMPARE(Row(8).cells.size(), 8);
        QCOMPARE(Row(10).kind, RowKind::Write);
        QCOMPARE(Row(10).label, QStringLiteral("Cold Thermal Compensation Coeffcient"));
        QCOMPARE(Row(19).command, QStringLiteral("CF,W,"));
        QCOMPARE(Row(48).command, QStringLiteral("C5,R,"));
        QCOMPARE(Row(49).kind, RowKind::Free);
        QVERIFY(Row(49).command.isEmpty());
        QVERIFY(Row(14).command.isEmpty());
        QCOMPARE(Row(47).cells.at(7), QStringLiteral("高温vol ZERO"));
        // The three groups the instrument runs on request, and their header rows' commands.
        QStringList executes;
        for (int row = 0; row < Rows; ++row)
            if (Row(row).kind == RowKind::Header && !Row(row).command.isEmpty())
                executes << Row(row).command;
        QCOMPARE(executes, (QStringList{"C2,E,", "C1,E,", "C5,E,"}));
        clsInstrument r;
        r.setCF_span(QStringLiteral("987"));
        QCOMPARE(Values(18, r), QStringList{"987"});
        QCOMPARE(Values(19, r), QStringList{"987"});
        QVERIFY(Values(17, r).isEmpty());
    }

    void consoleCommands_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QString>("payload");
        QTest::newRow("execute") << "C1,E," << QStringList{} << "C1,E,";
        QTest::newRow("read ignores values") << "CC,R," << QStringList{"x"} << "CC,R,";
        QTest::newRow("write") << "CC,W," << QStringList{"1", "", "-2.5", "3"} << "CC,W,1,-2.5,3";
        QTest::newRow("empty write") << "CF,W," << QStringList{"", ""} << "CF,W";
        QTest::newRow("not a number") << "CF,W," << QStringList{"12a"} << "";
        QTest::newRow("a comma") << "CA,W," << QStringList{"1,2"} << "";
    }
    void consoleCommands() {
        QFETCH(QString, command);
        QFETCH(QStringList, values);
        QFETCH(QString, payload);
        const auto c = CompensationConsole::BuildCommand(command, values);
        QCOMPARE(c.ok, !payload.isEmpty());
        QCOMPARE(c.payload, payload);
        if (!c.ok)
            QVERIFY(!c.badValue.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestFactoryCore)
#include "test_factory_core.moc"
