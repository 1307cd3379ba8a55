// The operator's commands shared by the main window and the command line: their log-pane
// lines and colours, communication-log lines, record updates and results, on the in-process
// simulator and on scripted instruments for the failures the simulator does not give.
#include "app/MessageTable.h"
#include "model/SettingRecord.h"
#include "ops/InstrumentFlows.h"
#include "ops/ReadSequences.h"
#include "sim/SimLoggerMemory.h"
#include "state/AppState.h"
#include "state/RecordFiles.h"
#include "support/LinkTestAccess.h"
#include "support/SequenceTestSupport.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using seqtest::Watchdog;

namespace {

struct Line {
    QString text;
    quint32 rgb;
};

// Collects what a flow shows.
struct Pane {
    QList<Line> lines;
    QStringList labels;
    FlowOutput output() {
        return FlowOutput{[this](const QString& t, quint32 rgb) {
                              lines.append({t, rgb});
                          },
                          [this](const QString& t) { labels << t; }};
    }
    QStringList texts() const {
        QStringList out;
        for (const Line& l : lines)
            out << l.text;
        return out;
    }
    bool has(int message, quint32 rgb, const QStringList& params = {}) const {
        const QString text = LoadMessage(message, params);
        for (const Line& l : lines)
            if (l.text == text && l.rgb == rgb)
                return true;
        return false;
    }
};

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Answers the identity and clock reads; the clock with a month that does not exist.
QByteArray identityWithBadClock(const QByteArray& written) {
    const QString p = linksupport::Payload(written);
    const QByteArray key = p.left(4).toLatin1();
    if (p == "VP,R,")
        return linktest::reply(key, "4426");
    if (p == "XS,R,****")
        return linktest::reply(key, "****,Station");
    if (p == "HC,R,")
        return linktest::reply(key, "261307120000");
    return linktest::reply(key, "TEXT");
}

} // namespace

class TestFlows : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SetMessageLanguage("en"); }

    void readNeedsAConnection() {
        seqtest::ScriptedLink s;
        LinkTestAccess::setLinkMode(s.link, ConnectMode::NotConnected);
        Pane pane;
        QVERIFY(!ReadInstrumentFlow(s.link, s.record, pane.output(), {}));
        QCOMPARE(pane.texts(), QStringList{LoadMessage(5417)});
        QCOMPARE(pane.lines[0].rgb, FlowColor::Failure);
        QCOMPARE(s.log.count("----Instrument Download Failed--- TQ-5800 No response."), 1);
        QVERIFY(s.payloads().isEmpty());
    }

    void aReadShowsItsLinesAndMarksTheRecord() {
        seqtest::SimLink s;
        QVERIFY(s.connect());
        s.sim().state().analog[1] = 1234;
        s.sim().state().analog[7] = 0;
        int hookCalls = 0;
        Pane pane;
        Watchdog dog(s.link);
        QVERIFY(ReadInstrumentFlow(s.link, s.record, pane.output(), [&] { ++hookCalls; }));
        QVERIFY(!dog.fired());
        QCOMPARE(hookCalls, 1);
        QCOMPARE(s.record.CommFlags(), qint16(-1));
        QCOMPARE(s.record.ImportFlag(), qint16(0));
        QCOMPARE(s.commands().size(), 191);
        QCOMPARE(s.commands().last(), QString("SO,R,"));
        const QStringList t = pane.texts();
        QCOMPARE(t.size(), 11);
        QCOMPARE(t.first(), LoadMessage(5414));
        QCOMPARE(t[1], QString("TQ-5800 Analog to Digital Converter Values List"));
        QCOMPARE(t[2], QString("ch0 -         "));
        QCOMPARE(t[3], QString("ch1 PRES.     \t: 1.234V"));
        QCOMPARE(t[9], QString("ch7 RI VOL    \t: 0.000V"));
        QCOMPARE(pane.lines[3].rgb, FlowColor::Analog);
        QVERIFY(pane.has(5415, FlowColor::Progress));
        QCOMPARE(s.log.count("---Instrument Download Start Sequence---. Date = "), 1);
        QCOMPARE(s.log.count("---Instrument Download Finished---. Date = "), 1);
    }

    void aCancelledReadSaysSo() {
        seqtest::SimLink s;
        QVERIFY(s.connect());
        int replies = 0;
        QObject::connect(&s.sim(), &SimInstrument::transmit, [&] {
            if (++replies == 20)
                s.link.setCancel(true);
        });
        Pane pane;
        Watchdog dog(s.link);
        QVERIFY(!ReadInstrumentFlow(s.link, s.record, pane.output(), {}));
        QVERIFY(!dog.fired());
        QVERIFY(pane.has(5462, FlowColor::Failure));
        QCOMPARE(s.log.count("---Process to Canceled---. Date = "), 1);
        QVERIFY(s.commands().size() < 190);
    }

    void aFailedReadIsReportedAsFailed() {
        // Replies keep coming but the clock is refused: still a failure, never "Complete",
        // with the clock hint.
        seqtest::ScriptedLink s;
        s.port->setResponder(identityWithBadClock);
        Pane pane;
        Watchdog dog(s.link);
        QVERIFY(!ReadInstrumentFlow(s.link, s.record, pane.output(), {}));
        QVERIFY(!dog.fired());
        QCOMPARE(s.record.FailLine(), QString("HC,R"));
        QVERIFY(!pane.has(5415, FlowColor::Progress));
        QVERIFY(pane.has(5416, FlowColor::Failure));
        QVERIFY(pane.has(5590, FlowColor::Failure));
        QCOMPARE(s.log.count("---Instrument Download Fail Line---"), 1);
        QCOMPARE(s.log.count("---Instrument Download Failed---. Date = "), 1);
        QCOMPARE(s.payloads().count("HC,R,"), 4);
        // A silent instrument: the failure without the clock hint.
        seqtest::ScriptedLink silent;
        Pane quiet;
        QVERIFY(!ReadInstrumentFlow(silent.link, silent.record, quiet.output(), {}));
        QVERIFY(quiet.has(5416, FlowColor::Failure));
        QVERIFY(!quiet.has(5590, FlowColor::Failure));
    }

    void lockedGasesAreSwitchedOn() {
        resetAppState();
        appState().GasLocked = {false, true, false, true, true, false};
        clsInstrument r;
        for (int gas = 0; gas < 5; ++gas)
            r.setGasEnabled(gas, gas == 0);
        ApplyLockedGases(r);
        QVERIFY(r.GasEnabled(0));
        QVERIFY(r.GasEnabled(1));
        QVERIFY(!r.GasEnabled(2));
        QVERIFY(r.GasEnabled(3));
        QVERIFY(!r.GasEnabled(4)); // only slots 0 to 3 follow the lock
    }

    // A slot without a full scale gets the detector's usual sensor for it, from the built-in
    // table whatever the configuration file put into the program's copy.
    void emptyGasSlotsTakeTheUsualSensors_data() {
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("nameUnit");
        QTest::addColumn<int>("point");
        QTest::addColumn<QList<float>>("values"); // warning alarm stel twa digit full autoCal
        const float n = -101.0f;
        QTest::newRow("0") << 0 << "CH4 %LEL" << 0 << QList<float>{10, 50, n, n, 1, 100, 50};
        QTest::newRow("1") << 1 << "O2 vol%" << 1 << QList<float>{19.5f, 18, n, n, 0.1f, 40, 12};
        QTest::newRow("2") << 2 << "H2S ppm" << 1 << QList<float>{10, 30, 15, 10, 0.5f, 100, 10};
        QTest::newRow("3") << 3 << "CO ppm" << 0 << QList<float>{25, 50, 200, 25, 1, 500, 100};
        QTest::newRow("4") << 4 << "CH4 vol%" << 0 << QList<float>{n, n, n, n, 1, 100, 50};
    }
    void emptyGasSlotsTakeTheUsualSensors() {
        QFETCH(int, slot);
        QFETCH(QString, nameUnit);
        QFETCH(int, point);
        QFETCH(QList<float>, values);
        resetAppState();
        appState().GasDefaults.FillDefaults();
        appState().GasDefaults.at(0, slot).Name = QStringLiteral("configured");
        appState().GasLocked.fill(true);
        clsInstrument r;
        for (int gas = 0; gas < clsInstrument::GasCount; ++gas) {
            r.setGasFullScale(gas, gas == slot ? 0.0f : 7.0f);
            r.setGasName(gas, QStringLiteral("kept"));
        }
        FillEmptyGasSlots(r);
        QCOMPARE(r.GasName(slot) + u' ' + r.GasUnit(slot), nameUnit);
        QCOMPARE(int(r.GasPoint(slot)), point);
        const QList<float> got{r.Warning(slot),  r.Alarm(slot),    r.Stel(slot),
                               r.Twa(slot),      r.GasDesit(slot), r.GasFullScale(slot),
                               r.AutoCalib(slot)};
        QCOMPARE(got, values);
        QVERIFY(r.GasEnabled(slot));
        QVERIFY(!appState().GasLocked[std::size_t(slot)]);
        for (int gas = 0; gas < clsInstrument::GasCount; ++gas)
            if (gas != slot)
                QCOMPARE(r.GasName(gas), QStringLiteral("kept"));
    }

    void aDownloadSurvivesOneWithheldBlockWithOneRetry() {
        QTemporaryDir dir;
        seqtest::SimLink s(SimOptions{0, "withhold=7", 1});
        QVERIFY(s.connect());
        Pane pane;
        Watchdog dog(s.link);
        const QString image = dir.path() + "/TQ5800.DAT";
        QVERIFY(DownloadLoggerDataFlow(s.link, s.record, image, pane.output()));
        QVERIFY(!dog.fired());
        QCOMPARE(readFile(image), s.sim().state().memory.bytes());
        QCOMPARE(pane.labels, QStringList{"One more time !"});
        QCOMPARE(s.sim().commandCount("VP,R"), 2);
        QCOMPARE(s.sim().commandCount("EP,R"), 8 + 1024);
        QCOMPARE(s.log.count("= timeout ="), 1);
        QCOMPARE(pane.texts(), (QStringList{LoadMessage(5465),
                                            LoadMessage(5787, {QDir::toNativeSeparators(image)})}));
        QCOMPARE(s.log.count("---Interval Trend Download Start Sequence---. Date = "), 1);
    }

    void aDownloadThatFailsTwiceGivesUp() {
        QTemporaryDir dir;
        seqtest::ScriptedLink s;
        // Identity answers; every memory block comes short.
        s.port->setResponder([](const QByteArray& written) -> QByteArray {
            const QString p = linksupport::Payload(written);
            if (p.startsWith("EP,R"))
                return QByteArray(100, 'x');
            if (p == "VP,R,")
                return linktest::reply("VP,R", "4426");
            if (p == "XS,R,****")
                return linktest::reply("XS,R", "****,Station");
            return linktest::reply(p.left(4).toLatin1(), "TEXT");
        });
        Pane pane;
        Watchdog dog(s.link);
        QVERIFY(!DownloadLoggerDataFlow(s.link, s.record, dir.path() + "/x.dat", pane.output()));
        QVERIFY(!dog.fired());
        QCOMPARE(pane.labels, QStringList{"One more time !"});
        QCOMPARE(s.payloads().count("VP,R,"), 2);
        QCOMPARE(s.payloads().count("EP,R,0000"), 2);
        QVERIFY(pane.has(5469, FlowColor::Failure));
    }

    void aCancelledDownloadStopsQuietly() {
        QTemporaryDir dir;
        seqtest::SimLink s;
        QVERIFY(s.connect());
        QObject::connect(&s.link, &uclHbif::DumpMessage, [&s](const QString& text) {
            if (text == "Get FLASH Image 0005")
                s.link.setCancel(true);
        });
        Pane pane;
        QVERIFY(!DownloadLoggerDataFlow(s.link, s.record, dir.path() + "/c.dat", pane.output()));
        QVERIFY(!s.link.BinaryRetry());
        QVERIFY(pane.labels.isEmpty());
        QVERIFY(!pane.has(5469, FlowColor::Failure));
        QCOMPARE(s.sim().commandCount("VP,R"), 1);
        QCOMPARE(s.sim().commandCount("EP,R"), 6);
    }

    void aDownloadNeedsAConnectionAndTheIdentity() {
        seqtest::ScriptedLink s;
        LinkTestAccess::setLinkMode(s.link, ConnectMode::NotConnected);
        Pane pane;
        QVERIFY(!DownloadLoggerDataFlow(s.link, s.record, "unused.dat", pane.output()));
        QVERIFY(pane.has(5422, FlowColor::Failure));
        QCOMPARE(s.log.count("---Interval Trend Download Failed. TQ-5800 No response---."), 1);

        seqtest::ScriptedLink silent;
        Pane second;
        QVERIFY(!DownloadLoggerDataFlow(silent.link, silent.record, "unused.dat", second.output()));
        QVERIFY(second.has(5469, FlowColor::Failure));
        QCOMPARE(silent.payloads(), QStringList(4, "VP,R,"));
    }

    void updateWritesTheUserGasesOnlyWhenChangedAndInUse_data() {
        QTest::addColumn<bool>("changed");
        QTest::addColumn<QString>("gas0");
        QTest::addColumn<bool>("written");
        QTest::newRow("changed and in use") << true << "USERGAS" << true;
        QTest::newRow("changed, not in use") << true << "CH4" << false;
        QTest::newRow("in use, not changed") << false << "USERGAS" << false;
    }
    void updateWritesTheUserGasesOnlyWhenChangedAndInUse() {
        QFETCH(bool, changed);
        QFETCH(QString, gas0);
        QFETCH(bool, written);
        seqtest::SimLink s;
        QVERIFY(s.connect());
        appState().StartFolder = QFileInfo(s.log.path()).path();
        QVERIFY(ReadSequences(s.link).GetInstrument(&s.record));
        s.sim().clearCounters();
        s.record.setLS_Name(0, "USERGAS");
        s.record.setLS_Name(1, "OTHERGAS");
        s.record.setGasName(0, gas0);
        s.record.setGasName(4, gas0);
        s.record.setChange_LSData(0, changed);
        s.record.setChange_LSData(1, false);
        Pane pane;
        const UpdateResult r = UpdateFlow(s.link, s.record, UpdateKind::Settings, pane.output());
        QVERIFY(r.written);
        QCOMPARE(s.sim().commandCount("LS,W"), written ? 1 : 0);
        QCOMPARE(s.sim().commandCount("AP,W"), 1);
        QCOMPARE(s.sim().commandCount("XZ,W"), 0);
        QCOMPARE(s.sim().commandCount("DW,W"), 1);
        // A changed user gas that is not written is said so, and its edit is kept for later.
        const bool heldBack = changed && !written;
        QStringList lines{LoadMessage(5428), LoadMessage(5429)};
        if (heldBack)
            lines.prepend(LoadMessage(5858, {"USERGAS"}));
        QCOMPARE(pane.texts(), lines);
        QCOMPARE(s.record.Change_LSData(0), heldBack);
        QCOMPARE(s.log.count("---Instrument Upload Start Sequence---. Date = "), 1);
        // The setting record file got its header and one "Write" line.
        QVERIFY(r.recordSaved);
        const QList<QByteArray> csv = readFile(SettingRecordPath()).split('\n');
        QCOMPARE(csv.size(), 3);
        QVERIFY(csv[1].startsWith("Write,"));
    }

    void updateIdWritesTheIdentityAndStationsOnly() {
        seqtest::SimLink s;
        QVERIFY(s.connect());
        appState().StartFolder = QFileInfo(s.log.path()).path();
        Pane pane;
        const UpdateResult r = UpdateFlow(s.link, s.record, UpdateKind::Identity, pane.output());
        QVERIFY(r.written);
        QStringList keys;
        for (const QString& p : s.commands())
            if (!keys.contains(p.left(4)))
                keys << p.left(4);
        QCOMPARE(keys, (QStringList{"XZ,W", "XS,W", "IN,W", "HN,W", "DW,W"}));
        QCOMPARE(s.sim().commandCount("XS,W"), 129);
        QVERIFY(readFile(SettingRecordPath()).split('\n').at(1).startsWith("WriteID,"));
    }

    void aFailedUpdateSavesNoRecord() {
        seqtest::SimLink s(SimOptions{0, "silent=1", 1});
        QVERIFY(s.connect());
        appState().StartFolder = QFileInfo(s.log.path()).path();
        Pane pane;
        Watchdog dog(s.link);
        const UpdateResult r = UpdateFlow(s.link, s.record, UpdateKind::Settings, pane.output());
        QVERIFY(!r.written);
        QVERIFY(!r.recordSaved);
        QVERIFY(!QFile::exists(SettingRecordPath()));
        // A failed write is never reported as complete.
        QVERIFY(!pane.has(5429, FlowColor::Progress));
        QVERIFY(pane.has(5771, FlowColor::Failure));
        QVERIFY(pane.texts().filter("Written before the failure").isEmpty());

        // One that broke off after its first group says what the instrument holds now.
        QVERIFY(s.sim().setFaults("silent=1"));
        Pane second;
        QVERIFY(!UpdateFlow(s.link, s.record, UpdateKind::Settings, second.output()).written);
        QVERIFY(second.has(9417, FlowColor::Failure, {"BS"}));
        QCOMPARE(s.log.count("Written before the failure, and so in the instrument now: BS"), 1);
    }

    void clockAndCheckData() {
        seqtest::SimLink s;
        QVERIFY(s.connect());
        s.record.setSysDateOffset(AppDate(3.5));
        const QDateTime when(QDate(2027, 1, 2), QTime(3, 4, 5));
        Pane pane;
        QVERIFY(DateTimeSetFlow(s.link, s.record, pane.output(), AppDate::fromDateTime(when)));
        QCOMPARE(s.record.SysDateOffset().days(), 0.0);
        QCOMPARE(s.commands(), QStringList{"HC,W,270102030405"});
        QCOMPARE(pane.texts(), (QStringList{LoadMessage(5428), LoadMessage(5429)}));
        QVERIFY(WriteCheckDataFlow(s.link, pane.output()));
        QCOMPARE(s.sim().state().memory.bytes(), SimLoggerMemory::checkImage());
        QCOMPARE(s.log.count("---Instrument Upload Start Sequence---. Date = "), 2);
    }

    void maintenanceCommands_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("sent");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("success");
        QTest::newRow("defaults") << int(MaintenanceCommand::Defaults) << "UX,W," << 5466 << 5467;
        QTest::newRow("power log")
            << int(MaintenanceCommand::ClearPowerLog) << "XY,W," << 5470 << 5471;
        QTest::newRow("logger") << int(MaintenanceCommand::ClearLoggerData) << "XC,W," << 5433
                                << 5434;
    }
    void maintenanceCommands() {
        QFETCH(int, command);
        QFETCH(QString, sent);
        QFETCH(int, start);
        QFETCH(int, success);
        seqtest::SimLink s;
        QVERIFY(s.connect());
        s.link.Timings().ClearPollTicks = 2;
        Pane pane;
        QVERIFY(MaintenanceFlow(s.link, MaintenanceCommand(command), pane.output()));
        QCOMPARE(pane.texts(), (QStringList{LoadMessage(start), LoadMessage(success)}));
        QCOMPARE(pane.lines[1].rgb, FlowColor::Progress);
        QCOMPARE(s.commands().first(), sent);

        seqtest::ScriptedLink off;
        LinkTestAccess::setLinkMode(off.link, ConnectMode::NotConnected);
        Pane none;
        QVERIFY(!MaintenanceFlow(off.link, MaintenanceCommand(command), none.output()));
        QCOMPARE(none.texts(), QStringList{LoadMessage(5436)});
        QCOMPARE(none.lines[0].rgb, FlowColor::Failure);
        QCOMPARE(off.log.count("--- Data Remove Failed--- TQ-5800 No response."), 1);
        QVERIFY(off.payloads().isEmpty());
    }

    void aMaintenanceFailureIsShownAsFailure() {
        seqtest::SimLink s(SimOptions{0, "silent=1", 1});
        QVERIFY(s.connect());
        Pane pane;
        QVERIFY(!MaintenanceFlow(s.link, MaintenanceCommand::ClearLoggerData, pane.output()));
        QVERIFY(pane.has(5435, FlowColor::Failure));
    }

    void powerOff() {
        seqtest::SimLink s;
        QVERIFY(s.connect());
        s.link.Timings().PowerOffTicks = 5;
        s.record.setCommFlags(-1);
        s.record.setSerialNo("SN-1");
        Pane pane;
        QCOMPARE(PowerOffFlow(s.link, s.record, pane.output()), PowerOffResult::Done);
        QCOMPARE(pane.texts(), (QStringList{LoadMessage(5406), LoadMessage(5407)}));
        QCOMPARE(s.record.CommFlags(), qint16(0));
        QVERIFY(!s.port->isOpen());
        QVERIFY(!s.link.Connected());
        QVERIFY(s.sim().responder().poweredOff());

        Pane again;
        QCOMPARE(PowerOffFlow(s.link, s.record, again.output()), PowerOffResult::NotConnected);
        QVERIFY(again.has(5409, FlowColor::Failure));
    }

    void framDump() {
        QTemporaryDir dir;
        seqtest::SimLink s;
        QVERIFY(s.connect());
        Pane pane;
        const QString list = dir.path() + "/DumpEF.dat";
        QVERIFY(FramDumpFlow(s.link, list, pane.output()));
        QCOMPARE(pane.texts(),
                 (QStringList{"Dump List Download () Start.", "Dump List Download () Finished."}));
        QCOMPARE(pane.lines[0].rgb, FlowColor::Dump);
        QCOMPARE(s.log.count("--- Dump List Download Started. ---("), 2);
        QCOMPARE(s.log.count("[Time = 00:00:0"), 1);
        QVERIFY(readFile(list).startsWith(";\tTQ-5800 Data Logger Program\r\n"));
    }
};

QTEST_MAIN(TestFlows)
#include "test_flows.moc"
