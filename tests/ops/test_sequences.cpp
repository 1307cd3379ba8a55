// The read and write sequences on the in-process simulator (and a scripted port where the
// simulator would always answer well): the read table and its order, stopping at a failed
// slot, the single reads and their failure actions, SetInstrument's steps and flags, the levels
// echo passes, and the one-shot writes.
#include "app/MessageTable.h"
#include "link/Frame.h"
#include "ops/ReadSequences.h"
#include "ops/WriteSequences.h"
#include "support/SequenceTestSupport.h"

#include <QSignalSpy>
#include <QtTest>

using linksupport::ExpectedFullRead;
using linksupport::Key;
using seqtest::Watchdog;

namespace {

QStringList keys(const QStringList& payloads) {
    QStringList out;
    for (const QString& p : payloads)
        out << Key(p);
    return out;
}

} // namespace

class TestSequences : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SetMessageLanguage("en"); }

    void readTableHasItsLayout() {
        const auto& t = ReadSequences::ReadTable();
        QCOMPARE(int(t.size()), 323);
        QStringList sent;
        for (int slot = 0; slot <= ReadSequences::FullReadLastSlot; ++slot) {
            QVERIFY(t[slot].enabled);
            if (!t[slot].payload.isEmpty())
                sent << t[slot].payload;
        }
        QCOMPARE(sent, ExpectedFullRead());
        QCOMPARE(t[2].payload, QString("XS,R,****"));
        QVERIFY(t[6].payload.isEmpty());
        QCOMPARE(t[51].payload, QString("LI,R,01"));
        QCOMPARE(t[65].payload, QString("LI,R,0F"));
        QCOMPARE(t[66].payload, QString("XS,R,0000"));
        QCOMPARE(t[193].payload, QString("XS,R,007F"));
        QCOMPARE(t[212].payload, QString("C1,R,"));
        for (int slot = 213; slot < 323; ++slot)
            QVERIFY(t[slot].payload.isEmpty());
    }

    void fullReadSendsTheTableInOrderAndFillsTheRecord() {
        seqtest::SimLink s;
        QVERIFY(s.connect());
        s.sim().state().serialNo = "SN-20260001";
        s.sim().state().stationList[31] = "Tank 31";
        Watchdog dog(s.link);
        QVERIFY(ReadSequences(s.link).GetInstrument(&s.record));
        QVERIFY(!dog.fired());
        QCOMPARE(s.commands(), ExpectedFullRead());
        QCOMPARE(s.link.Status(), LinkStatus::Done);
        QCOMPARE(s.link.Instrument(), &s.record);
        QCOMPARE(s.record.SerialNo(), QString("SN-20260001"));
        QCOMPARE(s.record.StationList(31).trimmed(), QString("Tank 31"));
        QCOMPARE(s.record.RomNumber(), s.sim().state().romNumber);
        QVERIFY(s.record.GasEnabled(0));
    }

    void fullReadStopsAtTheFirstUnansweredSlot() {
        // The connect reply and the 15 replies before "GJ,R," come; then silence.
        seqtest::SimLink s(SimOptions{0, "silent=16", 1});
        QVERIFY(s.connect());
        s.record.setWarning(0, 77.0f);
        Watchdog dog(s.link);
        QVERIFY(!ReadSequences(s.link).GetInstrument(&s.record));
        QVERIFY(!dog.fired());
        QCOMPARE(s.link.Status(), LinkStatus::Failed);
        const QStringList sent = s.commands();
        QCOMPARE(sent.mid(0, 15), ExpectedFullRead().mid(0, 15));
        // The unanswered read is sent four times (first send and three resends), then nothing.
        QCOMPARE(sent.mid(15), QStringList(4, "GJ,R,"));
        QCOMPARE(s.record.Warning(0), 77.0f);
    }

    void romNumberReadsTheIdentityOnly() {
        seqtest::SimLink s;
        QVERIFY(s.connect());
        s.record.setFailLine("HC,R");
        QVERIFY(ReadSequences(s.link).GetRomNo(&s.record));
        QCOMPARE(s.commands(), ExpectedFullRead().mid(0, 5));
        QVERIFY(!s.commands().contains("HC,R,"));
        QVERIFY(s.record.FailLine().isEmpty());
    }

    void historyReleasesTheLinkOnFailure() {
        seqtest::SimLink s;
        QVERIFY(s.connect());
        QVERIFY(ReadSequences(s.link).GetLatestHistory(&s.record));
        QCOMPARE(s.commands(), QStringList{"SO,R,"});
        QVERIFY(s.record.CalibDate(0).days() > 0);

        s.sim().setFaults("silent=0");
        Watchdog dog(s.link);
        QVERIFY(!ReadSequences(s.link).GetLatestHistory(&s.record));
        QCOMPARE(s.link.Status(), LinkStatus::Released);
    }

    void singleReadsLendTheLinkAndApplyTheirFailureActions() {
        seqtest::SimLink s;
        QVERIFY(s.connect());
        clsInstrument other;
        ReadSequences reads(s.link);
        QVERIFY(reads.GetGasInfo(&other));
        QCOMPARE(s.link.Instrument(), &s.record); // lent, then given back
        QVERIFY(other.GasEnabled(0));
        QVERIFY(other.GasFullScale(0) > 0);
        other.setFailLine("HC,R");
        QVERIFY(reads.GetAutoCalDensty(&other));
        QVERIFY(other.FailLine().isEmpty());
        QCOMPARE(s.commands(), (QStringList{"GJ,R,", "SA,R,"}));

        s.sim().setFaults("silent=0");
        Watchdog dog(s.link);
        QVERIFY(!reads.GetGasInfo(&other));
        QCOMPARE(s.link.Status(), LinkStatus::Released);
        for (int gas = 0; gas < 5; ++gas) {
            QVERIFY(!other.GasEnabled(gas));
            QCOMPARE(other.GasFullScale(gas), -101.0f);
            QCOMPARE(other.GasPoint(gas), qint16(-101));
            QVERIFY(other.GasName(gas).isEmpty());
        }
        other.setAutoCalib(2, 40.0f);
        QVERIFY(!reads.GetAutoCalDensty(&other));
        for (int gas = 0; gas < 5; ++gas)
            QCOMPARE(other.AutoCalib(gas), -101.0f);
        QCOMPARE(s.link.Instrument(), &s.record);
        QVERIFY(!dog.fired());
    }

    void missingRecordSendsNothing() {
        seqtest::SimLink s;
        QVERIFY(s.connect());
        ReadSequences reads(s.link);
        QVERIFY(!reads.GetInstrument(nullptr));
        QVERIFY(!reads.GetRomNo(nullptr));
        QVERIFY(!reads.GetLatestHistory(nullptr));
        QVERIFY(!reads.ReadSingle("GJ,R,", nullptr));
        QVERIFY(!WriteSequences(s.link).SetInstrument(nullptr));
        QVERIFY(s.commands().isEmpty());
    }

    // --- SetInstrument ---------------------------------------------------------------------

    void stepTableIsInOrder() {
        const auto steps = WriteSequences::Steps();
        QCOMPARE(int(steps.size()), 24);
        for (int i = 0; i < 24; ++i)
            QCOMPARE(steps[i].order, i + 1);
        QCOMPARE(steps[16].kind, WriteSequences::StepKind::Levels);
        QCOMPARE(steps[22].kind, WriteSequences::StepKind::StationList);
        QCOMPARE(steps[23].kind, WriteSequences::StepKind::Save);
    }

    void identityOnlySendsItsTwoStepsAndSaves() {
        seqtest::SimLink s;
        QVERIFY(s.connect());
        s.record.ClearChangeFlags();
        s.record.setUserID("Line-7");
        s.record.setSpecNo("STD-1");
        s.record.ClearChangeFlags();
        s.record.setChange_UserID(true);
        s.record.setChange_SpecNo(true);
        QVERIFY(WriteSequences(s.link).SetInstrument(&s.record));
        QCOMPARE(s.commands(), (QStringList{"BS,W,STD-1     ", "XZ,W,Line-7          ", "DW,W,"}));
        QVERIFY(!s.record.Change_UserID());
        QVERIFY(!s.record.Change_SpecNo());
        QCOMPARE(s.log.count("---Instrument Upload Started---. Date = "), 1);
        QCOMPARE(s.log.count("---Instrument Upload Finished---"), 1);
        QCOMPARE(s.log.count("[Time = 00:00:0"), 1);
        QCOMPARE(QString::fromLatin1(s.sim().state().userId).trimmed(), QString("Line-7"));
    }

    void nothingChangedSendsNothing() {
        seqtest::SimLink s;
        QVERIFY(s.connect());
        s.record.ClearChangeFlags();
        QVERIFY(!WriteSequences(s.link).SetInstrument(&s.record));
        QVERIFY(s.commands().isEmpty());
        QCOMPARE(s.log.count("---Instrument Upload Finished---"), 1);
    }

    void everyGroupIsWrittenInStepOrder() {
        seqtest::SimLink s;
        QVERIFY(s.connect());
        QVERIFY(ReadSequences(s.link).GetInstrument(&s.record));
        s.sim().clearCounters();
        s.record.SetChangeFlags(true, true);
        QVERIFY(WriteSequences(s.link).SetInstrument(&s.record));
        QStringList expected = {"BS,W", "XZ,W", "XS,W", "IN,W", "HN,W", "GJ,W", "LS,W", "AP,W",
                                "SD,W", "SM,W", "XB,W", "XW,W", "XT,W", "UQ,W", "AF,W", "AT,W",
                                "A1,W", "A2,W", "SC,W", "XP,W", "UJ,W", "SJ,W", "SG,W"};
        expected += QStringList(128, "XS,W");
        expected << "DW,W";
        const QStringList sent = s.commands();
        QCOMPARE(keys(sent), expected);
        QVERIFY(sent[2].startsWith("XS,W,****,"));
        QCOMPARE(sent[23 + 10].left(10), QString("XS,W,000A,"));
        // Every flag that a step clears is clear; the echo check cleared the levels.
        for (int gas = 0; gas < 5; ++gas) {
            QVERIFY(!s.record.Change_Warn(gas));
            QVERIFY(!s.record.Change_Alarm(gas));
            QVERIFY(!s.record.Change_GasEnable(gas));
        }
        QVERIFY(!s.record.Change_StationList(127));
        QVERIFY(!s.record.Change_LSData(1));
        QVERIFY(!s.record.Change_DemandZero());
    }

    void aFailedStepStopsEveryLaterOne() {
        // Connect reply and the "BS,W," reply come; "AP,W," is never answered.
        seqtest::SimLink s(SimOptions{0, "silent=2", 1});
        QVERIFY(s.connect());
        s.record.ClearChangeFlags();
        s.record.setSpecNo("STD-2");
        s.record.setAlarmMode(1);
        s.record.setIntervals(s.record.Intervals() + 5);
        QVERIFY(s.record.Change_Interval());
        Watchdog dog(s.link);
        QVERIFY(!WriteSequences(s.link).SetInstrument(&s.record));
        QVERIFY(!dog.fired());
        QCOMPARE(keys(s.commands()), (QStringList{"BS,W", "AP,W", "AP,W", "AP,W", "AP,W"}));
        QVERIFY(!s.record.Change_SpecNo());
        QVERIFY(s.record.Change_AlarmMode());
        QVERIFY(s.record.Change_Interval());
        QCOMPARE(s.log.count("---Instrument Upload Failed---"), 1);
        QCOMPARE(s.log.count("---Instrument Upload Finished---"), 0);
    }

    void levelsWithoutAFaithfulEchoAreWrittenThreeTimes() {
        seqtest::ScriptedLink s;
        // Accepted level replies that differ from the frame sent.
        s.port->setResponder([](const QByteArray& written) -> QByteArray {
            const QString p = linksupport::Payload(written);
            if (p.startsWith("A1,W") || p.startsWith("A2,W"))
                return linktest::reply(p.left(4).toLatin1(), "    1,    2,    3,    4,    5");
            return linktest::reply(p.left(4).toLatin1(), "\x06");
        });
        s.record.ClearChangeFlags();
        s.record.setWarning(0, 10.0f);
        s.record.setAlarm(1, 18.0f);
        QVERIFY(WriteSequences(s.link).SetInstrument(&s.record));
        QCOMPARE(keys(s.payloads()),
                 (QStringList{"A1,W", "A2,W", "A1,W", "A2,W", "A1,W", "A2,W", "DW,W"}));
        QVERIFY(s.record.Change_Warn(0));
        QVERIFY(s.record.Change_Alarm(1));
    }

    void levelsEchoClearsOnlyItsGroup() {
        seqtest::ScriptedLink s;
        // "A1,W," is echoed faithfully, "A2,W," never.
        s.port->setResponder([](const QByteArray& written) -> QByteArray {
            const QString p = linksupport::Payload(written);
            if (p.startsWith("A1,W"))
                return written;
            if (p.startsWith("A2,W"))
                return linktest::reply("A2,W", "    1,    2,    3,    4,    5");
            return linktest::reply(p.left(4).toLatin1(), "\x06");
        });
        s.record.ClearChangeFlags();
        s.record.setWarning(2, 5.0f);
        s.record.setAlarm(2, 30.0f);
        QVERIFY(WriteSequences(s.link).SetInstrument(&s.record));
        QCOMPARE(keys(s.payloads()), (QStringList{"A1,W", "A2,W", "A2,W", "A2,W", "DW,W"}));
        QVERIFY(!s.record.Change_Warn(2));
        QVERIFY(s.record.Change_Alarm(2));
    }

    // --- one-shot writes -----------------------------------------------------------------

    void oneShotWritesSendTheirPayloads() {
        seqtest::SimLink s;
        QVERIFY(s.connect());
        WriteSequences writes(s.link);
        const AppDate when = AppDate::fromDateTime(QDateTime(QDate(2026, 12, 7), QTime(14, 30, 5)));
        QVERIFY(writes.SetDateTime(when));
        QCOMPARE(s.sim().state().clock().date(), QDate(2026, 12, 7));
        QVERIFY(writes.SetCheckData());
        QCOMPARE(s.sim().state().memory.bytes().left(3), QByteArray("CHK"));
        QVERIFY(writes.Dw());
        s.record.setHcMode(1);
        QVERIFY(writes.Lp(s.record));
        clsInstrument other;
        QVERIFY(writes.LpR(&other));
        QCOMPARE(other.HcMode(), qint16(1));
        QCOMPARE(s.link.Instrument(), &other);
        QCOMPARE(s.commands(),
                 (QStringList{"HC,W,261207143005", "XH,E,", "DW,W,", "LP,W,1", "LP,R,"}));
    }

    void compensationReadsWaitAsReads() {
        seqtest::ScriptedLink s;
        QList<LinkStatus> statusAtSend;
        s.port->setResponder([&](const QByteArray& written) -> QByteArray {
            statusAtSend << s.link.Status();
            const QString p = linksupport::Payload(written);
            if (p.startsWith("C3,R"))
                return linktest::reply("C3,R", "1.0,2.0,3.0,4.0");
            return linktest::reply(p.left(4).toLatin1(), "\x06");
        });
        WriteSequences writes(s.link);
        QVERIFY(writes.sendCompensation("C3,R,"));
        QVERIFY(writes.sendCompensation("C1,E,"));
        QCOMPARE(statusAtSend, (QList<LinkStatus>{LinkStatus::WaitRead, LinkStatus::WaitWrite}));
        QCOMPARE(s.record.C3_vol_th(), QString("4.0"));
    }
};

QTEST_MAIN(TestSequences)
#include "test_sequences.moc"
