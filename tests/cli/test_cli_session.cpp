// The instrument session as the command line runs it: which port a request leads to, and one
// "finished" report for every command run on the simulated instrument.
#include "app/MessageTable.h"
#include "cli/CliSession.h"
#include "link/ConverterLookup.h"
#include "link/SimPortControl.h"
#include "ops/InstrumentSession.h"
#include "state/AppState.h"

#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(PortRequest)
Q_DECLARE_METATYPE(PortChoice::Kind)
Q_DECLARE_METATYPE(CliCommand)
Q_DECLARE_METATYPE(OperationOutcome)

namespace {

PortDescriptor converter(const QString& name) {
    return PortDescriptor{name, true, ConverterVendorId, ConverterProductId};
}

} // namespace

class TestCliSession : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SetMessageLanguage("en"); }
    void init() {
        resetAppState();
        QVERIFY(m_folder.isValid());
        QDir::setCurrent(m_folder.path());
    }

    void thePortIsChosenByOptionOrByTheConverter_data() {
        QTest::addColumn<PortRequest>("request");
        QTest::addColumn<QList<PortDescriptor>>("ports");
        QTest::addColumn<PortChoice::Kind>("kind");
        QTest::addColumn<QString>("name");
        const PortDescriptor other{"ttyUSB1", true, 0x0403, 0x6001};
        QTest::newRow("named port before a converter")
            << PortRequest{false, "/dev/ttyS3", {}} << QList{converter("ttyUSB0")}
            << PortChoice::Serial << "/dev/ttyS3";
        QTest::newRow("infrared") << PortRequest{false, {}, "ttyIR0"} << QList<PortDescriptor>{}
                                  << PortChoice::IrDA << "ttyIR0";
        QTest::newRow("simulated") << PortRequest{true, {}, {}} << QList<PortDescriptor>{}
                                   << PortChoice::Simulated << QString();
        QTest::newRow("the one converter") << PortRequest{} << QList{other, converter("ttyUSB0")}
                                           << PortChoice::Serial << "ttyUSB0";
        QTest::newRow("two converters")
            << PortRequest{} << QList{converter("ttyUSB0"), converter("ttyUSB1")}
            << PortChoice::SeveralAdapters << QString();
        QTest::newRow("none") << PortRequest{} << QList{other} << PortChoice::NoAdapter
                              << QString();
    }
    void thePortIsChosenByOptionOrByTheConverter() {
        QFETCH(PortRequest, request);
        QFETCH(QList<PortDescriptor>, ports);
        QFETCH(PortChoice::Kind, kind);
        QFETCH(QString, name);
        const PortChoice c = ChoosePort(request, ports);
        QCOMPARE(c.kind, kind);
        QCOMPARE(c.name, name);
    }

    void everyCommandReportsOnceFinished_data() {
        QTest::addColumn<CliCommand>("command");
        QTest::addColumn<QString>("words");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("faults");
        QTest::addColumn<OperationOutcome>("outcome");
        QTest::addColumn<QString>("detail"); // what the report states besides, or empty
        const auto row = [](const char* words, CliCommand command, const char* file = "",
                            const char* faults = "",
                            OperationOutcome outcome = OperationOutcome::Done,
                            const char* detail = "") {
            const QString tag = *faults ? QStringLiteral("%1, silent").arg(words) : words;
            QTest::newRow(qPrintable(tag)) << command << QString(words) << QString(file)
                                           << QString(faults) << outcome << QString(detail);
        };
        const auto Done = OperationOutcome::Done;
        row("read", CliCommand::Read);
        row("write", CliCommand::Write, "a.seq", "", Done, "settingsBefore");
        row("set-clock", CliCommand::SetClock);
        row("download", CliCommand::Download, "TQ5800.DAT", "", Done, "sha256");
        row("fram-dump", CliCommand::FramDump, "DumpEF.dat", "", Done, "sha256");
        row("live", CliCommand::Live);
        // The three maintenance commands are one flow: one of them (each waits 15 s).
        row("clear-logger", CliCommand::ClearLogger);
        row("check-data", CliCommand::CheckData);
        row("stations export", CliCommand::StationsExport, "Station.csv");
        row("calibrate zero", CliCommand::CalibrateZero, "", "", Done, "channels");
        row("power-off", CliCommand::PowerOff);
        // The instrument answers the connect sequence and then falls silent.
        row("read", CliCommand::Read, "", "silent=3", OperationOutcome::Failed);
        row("calibrate zero", CliCommand::CalibrateZero, "", "silent=3", OperationOutcome::Failed);
        // Silent within the memory image: the dump's time-out is no cancel.
        row("download", CliCommand::Download, "TQ5800.DAT", "silent=20", OperationOutcome::Failed);
    }
    void everyCommandReportsOnceFinished() {
        QFETCH(CliCommand, command);
        QFETCH(QString, words);
        QFETCH(QString, file);
        QFETCH(QString, faults);
        QFETCH(OperationOutcome, outcome);
        QFETCH(QString, detail);
        CliOptions options;
        options.simulate = true;
        options.command = command;
        options.commandName = words;
        options.file = file.isEmpty() ? QString() : m_folder.filePath(file);
        options.count = 1;
        const auto simulator = [faults](QObject* parent) -> PortControl* {
            SimOptions sim;
            sim.faults = faults;
            return new SimPortControl(sim, parent);
        };
        if (command == CliCommand::Write) { // the file: the simulator's settings, read
            CliOptions read = options;
            read.command = CliCommand::Read;
            read.seqFile = options.file;
            CliSession reading(read);
            reading.setSimulatedPortFactory(simulator);
            QCOMPARE(reading.run(), int(CliExit::Done));
        }
        if (!faults.isEmpty()) { // a silent instrument is given up on sooner
            options.timeoutTicks = 5;
            options.retry = 1;
        }
        CliSession session(options);
        session.setSimulatedPortFactory(simulator);
        QList<OperationReport> reports;
        connect(&session, &CliSession::operationFinished, this,
                [&](const OperationReport& r) { reports << r; });
        const int rc = session.run();
        QCOMPARE(rc == CliExit::Done, outcome == OperationOutcome::Done);
        QCOMPARE(reports.size(), 1);
        QCOMPARE(reports[0].operation, words);
        QCOMPARE(reports[0].outcome, outcome);
        // The simulated instrument's serial number, even after a power off cleared the record.
        if (outcome == OperationOutcome::Done)
            QVERIFY2(!reports[0].serialNo.isEmpty(), qPrintable(words));
        QCOMPARE(reports[0].identity.serialNo, reports[0].serialNo);
        QCOMPARE(reports[0].port, QStringLiteral("simulator"));
        if (!detail.isEmpty())
            QVERIFY2(reports[0].details.contains(detail),
                     qPrintable(QJsonDocument(reports[0].details).toJson()));
    }

private:
    QTemporaryDir m_folder;
};

QTEST_MAIN(TestCliSession)
#include "test_cli_session.moc"
