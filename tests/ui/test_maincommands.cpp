// Every command of the main window against the in-process simulated instrument, driven through
// the buttons' handlers and answered through ScriptedUiServices: what the instrument received,
// what the log pane, the boxes and the files show, and the refusals before anything is sent.
#include "app/MessageTable.h"
#include "app/ReadingFormat.h"
#include "fleet/FleetRecorder.h"
#include "fleet/FleetStore.h"
#include "link/SimPortControl.h"
#include "link/uclHbif.h"
#include "ops/InstrumentSession.h"
#include "sim/SimInstrument.h"
#include "state/AppState.h"
#include "support/LinkTestAccess.h"
#include "support/MainWindowBench.h"
#include "ui/common/FlexGrid.h"
#include "ui/common/ScriptedUiServices.h"
#include "ui/common/StatusLamp.h"
#include "ui/common/frmUpload.h"
#include "ui/main/MainCommands.h"
#include "ui/main/SettingsGrid.h"
#include "ui/main/frmMain.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QtTest>
#include <memory>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace {
using windowtest::ConnectLimitMs;
const QColor Red(255, 0, 0);
const QColor Green(0, 192, 0);

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}
} // namespace

class TestMainCommands : public QObject {
    Q_OBJECT

    std::unique_ptr<windowtest::MainWindowBench> m_bench;
    QList<OperationReport> m_reports; // since the window was ready

    ScriptedUiServices& asked() { return m_bench->asked(); }
    SimInstrument& sim() { return windowtest::MainWindowBench::sim(*m_bench->window); }
    clsInstrument& record() { return appState().Instrument; }

    // A connected window in diagnostic and factory mode, with a fast link.
    frmMain& window(bool read = true) {
        m_bench->open(true, true);
        uclHbif* link = m_bench->window->link();
        link->setLinkTickInterval(5);
        link->setTimeoutTicks(4);
        link->Timings().ClearPollTicks = 2;
        link->Timings().PowerOffTicks = 5;
        if (!QTest::qWaitFor([&] { return link->Connected(); }, ConnectLimitMs))
            qWarning("no connection");
        if (read)
            m_bench->window->command_Click(MainButton::Read);
        m_reports.clear();
        connect(m_bench->window->session(), &InstrumentSession::operationFinished, this,
                [this](const OperationReport& r) { m_reports << r; });
        sim().clearCounters();
        asked().asked.clear();
        markLog();
        return *m_bench->window;
    }

    QTextDocument* log() const {
        return m_bench->window->findChild<QTextEdit*>(QStringLiteral("rtbLog"))->document();
    }
    // Lines of the log pane from here on.
    void markLog() { m_logMark = log()->blockCount() - 1; }
    int m_logMark = 0;

    // The lines of the log pane since the mark in the colour given.
    QStringList lines(const QColor& colour) const {
        QStringList out;
        for (QTextBlock b = log()->findBlockByNumber(m_logMark); b.isValid(); b = b.next())
            if (!b.text().isEmpty() &&
                b.begin().fragment().charFormat().foreground().color() == colour)
                out << b.text();
        return out;
    }
    static QString shown(int message, const QStringList& params = {}) {
        return LoadMessage(message, params).remove(QStringLiteral("\r\n"));
    }

    static bool typeInto(FlexGrid* g, int row, int col, const QString& text) {
        if (!g->startEdit(row, col))
            return false;
        auto* line = qobject_cast<QLineEdit*>(g->editor());
        line->setText(text);
        return g->commitEdit();
    }

    // Runs a command by its button; the answers are queued first.
    void run(const QString& command) {
        frmMain& w = *m_bench->window;
        static const QHash<QString, std::function<void(frmMain&)>> commands = {
            {"Update", [](frmMain& w) { w.command_Click(MainButton::Update); }},
            {"DateTime", [](frmMain& w) { w.command_Click(MainButton::DateTimeSet); }},
            {"Default", [](frmMain& w) { w.command_Click(MainButton::Defaults); }},
            {"ClearPower", [](frmMain& w) { w.command_Click(MainButton::ClearPowerLog); }},
            {"ClearLogger", [](frmMain& w) { w.command_Click(MainButton::ClearLoggerData); }},
            {"CheckData", [](frmMain& w) { w.command_Click(MainButton::WriteCheckData); }},
            {"UpdateID", [](frmMain& w) { w.command_Click(MainButton::UpdateId); }},
            {"Flash", [](frmMain& w) { w.command_Click(MainButton::FlashCheck); }},
            {"Read", [](frmMain& w) { w.command_Click(MainButton::Read); }},
            {"Download", [](frmMain& w) { w.command_Click(MainButton::Download); }},
            {"PowerOff", [](frmMain& w) { w.command_Click(MainButton::PowerOff); }},
            {"FramDump", [](frmMain& w) { w.button(MainButton::FramDump)->click(); }},
        };
        commands.value(command)(w);
    }

private slots:
    void init() { m_bench = std::make_unique<windowtest::MainWindowBench>(); }
    void cleanup() { m_bench.reset(); }

    void answeringNoSendsNothing_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("title");
        QTest::newRow("Update") << "Update" << 5310;
        QTest::newRow("Update ID") << "UpdateID" << 5310;
        QTest::newRow("Date/Time Set") << "DateTime" << 5310;
        QTest::newRow("Write Check Data") << "CheckData" << 5310;
        QTest::newRow("DEFAULT") << "Default" << 5377;
        QTest::newRow("Clear Logger Data") << "ClearLogger" << 5344;
        QTest::newRow("FLASH Check") << "Flash" << 5387;
        QTest::newRow("Power Off") << "PowerOff" << 5348;
        QTest::newRow("FRAM Dump") << "FramDump" << 5378;
    }
    void answeringNoSendsNothing() {
        QFETCH(QString, command);
        QFETCH(int, title);
        window();
        asked().answers.enqueue(UiServices::AnswerNo);
        run(command);
        QCOMPARE(asked().asked.size(), 1);
        QCOMPARE(asked().asked[0].title, LoadMessage(title));
        QCOMPARE(asked().asked[0].icon, UiServices::Question);
        QCOMPARE(sim().receivedPayloads(), QStringList());
        QVERIFY(m_bench->window->button(MainButton::Exit)->isEnabled());
    }

    void commandsSendAndReport_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("sent");    // payload prefixes, in order
        QTest::addColumn<QStringList>("notSent"); // payload prefixes
        QTest::addColumn<int>("line");            // green closing line of the log pane
        QTest::addColumn<int>("box");             // final message box, 0 for none
        QTest::addColumn<QString>("operation");   // as the session reports it
        QTest::newRow("Update") << "Update" << QStringList{"BS,W,", "GJ,W,", "A1,W,", "DW,W,"}
                                << QStringList{"XZ,W,", "IN,W,"} << 5429 << 5311 << "write";
        QTest::newRow("Update ID") << "UpdateID" << QStringList{"XZ,W,", "XS,W,****,", "DW,W,"}
                                   << QStringList{"GJ,W,", "A1,W,"} << 5429 << 5311 << "write-id";
        QTest::newRow("Date/Time Set")
            << "DateTime" << QStringList{"HC,W,"} << QStringList{} << 5429 << 5311 << "set-clock";
        QTest::newRow("Write Check Data")
            << "CheckData" << QStringList{"XH,E,"} << QStringList{} << 5429 << 5311 << "check-data";
        QTest::newRow("DEFAULT") << "Default" << QStringList{"UX,W,", "UX,C,"} << QStringList{}
                                 << 5467 << 0 << "defaults";
        QTest::newRow("Clear Power Log") << "ClearPower" << QStringList{"XY,W,", "XY,C,"}
                                         << QStringList{} << 5471 << 0 << "clear-power";
        QTest::newRow("Clear Logger Data") << "ClearLogger" << QStringList{"XC,W,", "XC,C,"}
                                           << QStringList{} << 5434 << 0 << "clear-logger";
    }
    void commandsSendAndReport() {
        QFETCH(QString, command);
        QFETCH(QStringList, sent);
        QFETCH(QStringList, notSent);
        QFETCH(int, line);
        QFETCH(int, box);
        QFETCH(QString, operation);
        window();
        asked().answers.enqueue(UiServices::AnswerYes);
        run(command);
        QCOMPARE(m_reports.size(), 1);
        QCOMPARE(m_reports[0].operation, operation);
        QCOMPARE(m_reports[0].outcome, OperationOutcome::Done);
        QVERIFY(!m_reports[0].serialNo.isEmpty());
        const QStringList got = sim().receivedPayloads();
        qsizetype at = 0;
        for (const QString& prefix : sent) {
            while (at < got.size() && !got[at].startsWith(prefix))
                ++at;
            QVERIFY2(at < got.size(), qPrintable(prefix + " in " + got.join(' ')));
        }
        for (const QString& prefix : notSent)
            for (const QString& p : got)
                QVERIFY2(!p.startsWith(prefix), qPrintable(p));
        QVERIFY(lines(Green).contains(shown(line)));
        QVERIFY(lines(Red).isEmpty());
        if (box)
            QCOMPARE(asked().asked.last().text, LoadMessage(box));
        QVERIFY(!m_bench->window->progressDialog());
        QVERIFY(m_bench->window->button(MainButton::Exit)->isEnabled());
        QVERIFY(m_bench->window->vfgOption()->isEnabled());
        QCOMPARE(asked().busyDepth, 0);
    }

    void updateShowsWhatItWritesAndRecordsIt() {
        window();
        QVERIFY(typeInto(m_bench->window->vfgOption(), 5, 3, QStringLiteral("60")));
        asked().answers.enqueue(UiServices::AnswerYes);
        run("Update");
        const QString detail = asked().asked[0].detail;
        QVERIFY2(detail.contains(QStringLiteral("Gas 4 Alarm: 50 -> 60")), qPrintable(detail));
        QCOMPARE(detail.count(QStringLiteral(" -> ")), 1);
        QCOMPARE(sim().state().levels[SimDeviceState::Alarm][3], 60.0f);
        QVERIFY(readAll(m_bench->dir.filePath("TQ5800_Setting.csv")).contains("\r\nWrite,"));
        // Written values are the new baseline: a second update changes nothing.
        asked().answers.enqueue(UiServices::AnswerNo);
        run("Update");
        QVERIFY(asked().asked.last().detail.contains(LoadMessage(5775)));
    }

    void failuresAreReportedAsFailures_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("fault"); // silent, or the cable or adapter pulled
        QTest::addColumn<int>("line");      // red line
        QTest::addColumn<int>("notLine");   // the success line that must not show
        QTest::addColumn<int>("box");       // final box, 0 for none
        // The instrument falls silent, or the line goes, once the command has started.
        for (const char* fault : {"silent", "cable", "adapter"}) {
            const auto row = [&](const char* name) {
                return &QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(name, fault)));
            };
            *row("Update") << "Update" << fault << 5771 << 5429 << 0;
            *row("Update ID") << "UpdateID" << fault << 5771 << 5429 << 0;
            *row("Date/Time Set") << "DateTime" << fault << 5771 << 5429 << 5772;
            *row("Write Check Data") << "CheckData" << fault << 5771 << 5429 << 5772;
            *row("Read") << "Read" << fault << 5416 << 5415 << 0;
            *row("Clear Logger Data") << "ClearLogger" << fault << 5435 << 5434 << 0;
            *row("FRAM Dump") << "FramDump" << fault << 9435 << 5464 << 0;
            *row("Download Logger Data") << "Download" << fault << 5469 << 0 << 0;
        }
    }
    void failuresAreReportedAsFailures() {
        QFETCH(QString, command);
        QFETCH(QString, fault);
        QFETCH(int, line);
        QFETCH(int, notLine);
        QFETCH(int, box);
        window();
        const QByteArray csvBefore = readAll(m_bench->dir.filePath("TQ5800_Setting.csv"));
        auto* port = qobject_cast<SimPortControl*>(m_bench->window->link()->SerialControl());
        if (fault == "silent") {
            QVERIFY(sim().setFaults(QStringLiteral("silent=0")));
        } else {
            // Gone right after the command's first request reached the instrument.
            port->setCommandHook([port, fault](int) {
                if (fault == "cable")
                    port->setCableConnected(false);
                else
                    port->setAdapterPresent(false);
            });
        }
        asked().answers.enqueue(UiServices::AnswerYes);
        run(command);
        QCOMPARE(m_reports.size(), 1);
        QCOMPARE(m_reports[0].outcome, OperationOutcome::Failed);
        QVERIFY2(lines(Red).contains(shown(line)), qPrintable(lines(Red).join('|')));
        if (notLine)
            QVERIFY(!lines(Green).contains(shown(notLine)));
        QVERIFY(!asked().texts().contains(LoadMessage(5311)));
        if (box) {
            QCOMPARE(asked().asked.last().text, LoadMessage(box));
            QCOMPARE(asked().asked.last().icon, UiServices::Critical);
        }
        QCOMPARE(readAll(m_bench->dir.filePath("TQ5800_Setting.csv")), csvBefore);
        QVERIFY(m_bench->window->button(MainButton::Exit)->isEnabled());
        QCOMPARE(asked().busyDepth, 0);
        if (fault == "silent")
            return;
        // A pulled adapter is a port error; a pulled cable leaves the port as it is.
        QTRY_COMPARE(m_bench->window->shpStatus(0)->fillColor(),
                     fault == "adapter" ? QColor(254, 0, 0) : QColor(0, 255, 0));
        QTRY_COMPARE(m_bench->window->shpStatus(1)->fillColor(), QColor(160, 160, 160));
        // Back in: the window reconnects by itself and the command then works.
        port->setCommandHook({});
        if (fault == "cable")
            port->setCableConnected(true);
        else
            port->setAdapterPresent(true);
        QVERIFY(
            QTest::qWaitFor([&] { return m_bench->window->link()->Connected(); }, ConnectLimitMs));
        markLog();
        run("Read");
        QVERIFY2(lines(Red).isEmpty(), qPrintable(lines(Red).join('|')));
        QVERIFY(lines(Green).contains(shown(5415)));
    }

    void aFailedReadRedrawsTheGrid() {
        window();
        FlexGrid* g = m_bench->window->vfgOption();
        QVERIFY(typeInto(g, 4, 2, QStringLiteral("5.0")));
        // The read fails part-way, after the levels came in again.
        QVERIFY(sim().setFaults(QStringLiteral("silent=60")));
        run("Read");
        QCOMPARE(g->TextMatrix(4, 2), FormatReading(record().Warning(2), record().GasPoint(2)));
        QVERIFY(lines(Red).contains(shown(5416)));
    }

    void updateChecksInOrder_data() {
        QTest::addColumn<QString>("plant");
        QTest::addColumn<int>("message");
        QTest::addColumn<QStringList>("params");
        QTest::newRow("red cell") << "redCell" << 5361 << QStringList();
        QTest::newRow("improper auto cal") << "autoCal" << 5380 << QStringList();
        QTest::newRow("no sensor") << "noSensor" << 5365 << QStringList();
        QTest::newRow("combination") << "combination" << 5369 << QStringList();
        QTest::newRow("comma") << "comma" << 5795 << QStringList{"LS 1", "A,B"};
    }
    void updateChecksInOrder() {
        QFETCH(QString, plant);
        QFETCH(int, message);
        QFETCH(QStringList, params);
        window();
        clsInstrument& r = record();
        if (plant == "redCell") {
            r.setWarning(2, 25.0f);
            r.setAlarm(2, 20.0f);
            r.setAutoCalib(0, 1.0f); // a later check, not reached
        } else if (plant == "autoCal") {
            r.setAutoCalib(3, 5.0f);
        } else if (plant == "noSensor") {
            for (int s = 0; s < 5; ++s)
                r.setGasEnabled(s, false);
        } else if (plant == "comma") {
            r.setLS_Name(0, QStringLiteral("A,B"));
        } else {
            r.setHcMode(0);
            r.setGasEnabled(4, false);
        }
        m_bench->window->ShowInstrument();
        asked().answers.enqueue(UiServices::AnswerYes);
        run("Update");
        QCOMPARE(asked().asked.size(), 1);
        QCOMPARE(asked().asked[0].text, LoadMessage(message, params));
        QCOMPARE(asked().asked[0].icon, UiServices::Critical);
        QCOMPARE(sim().receivedPayloads(), QStringList());
    }

    void outOfRangeValuesFromTheInstrumentAreRedAndRefused_data() {
        QTest::addColumn<int>("slot");
        QTest::addColumn<int>("level"); // SimDeviceState::Level
        QTest::addColumn<float>("value");
        QTest::newRow("LEL alarm") << 0 << int(SimDeviceState::Alarm) << 70.0f;
        QTest::newRow("O2 warning") << 1 << int(SimDeviceState::Warning) << 17.0f;
        QTest::newRow("O2 alarm") << 1 << int(SimDeviceState::Alarm) << 26.0f;
        QTest::newRow("H2S warning") << 2 << int(SimDeviceState::Warning) << 31.0f;
        QTest::newRow("H2S alarm") << 2 << int(SimDeviceState::Alarm) << 31.0f;
        QTest::newRow("H2S STEL") << 2 << int(SimDeviceState::Stel) << 31.0f;
        QTest::newRow("H2S TWA") << 2 << int(SimDeviceState::Twa) << 31.0f;
        QTest::newRow("CO warning") << 3 << int(SimDeviceState::Warning) << 201.0f;
        QTest::newRow("CO alarm") << 3 << int(SimDeviceState::Alarm) << 201.0f;
        QTest::newRow("CO STEL") << 3 << int(SimDeviceState::Stel) << 201.0f;
        QTest::newRow("CO TWA") << 3 << int(SimDeviceState::Twa) << 201.0f;
    }
    void outOfRangeValuesFromTheInstrumentAreRedAndRefused() {
        QFETCH(int, slot);
        QFETCH(int, level);
        QFETCH(float, value);
        window(false);
        auto& levels = sim().state().levels;
        const auto s = std::size_t(slot);
        if (level == SimDeviceState::Stel || level == SimDeviceState::Twa) {
            // The read does not fetch STEL and TWA: they come from the record's own values.
            run("Read");
            if (level == SimDeviceState::Stel)
                record().setStel(slot, value);
            else
                record().setTwa(slot, value);
            m_bench->window->ShowInstrument();
        } else {
            levels[std::size_t(level)][s] = value;
            // Keep warning and alarm in order, so that only the range can paint them.
            if (level == SimDeviceState::Warning && slot != 1)
                levels[SimDeviceState::Alarm][s] = value;
            if (level == SimDeviceState::Alarm && slot == 1)
                levels[SimDeviceState::Warning][1] = value;
            run("Read");
        }
        const int col = SettingsGrid::ColWarning + level;
        QCOMPARE(m_bench->window->vfgOption()->CellForeColor(slot + 2, col), Red);
        sim().clearCounters();
        asked().asked.clear();
        asked().answers.enqueue(UiServices::AnswerYes);
        run("Update");
        QCOMPARE(asked().asked[0].text, LoadMessage(5361));
        QCOMPARE(sim().receivedPayloads(), QStringList());
    }

    void updateIdWaitsForAKnownIdentity() {
        window(false);
        QTRY_VERIFY(m_bench->window->button(MainButton::Update)->isEnabled());
        QVERIFY(!m_bench->window->button(MainButton::UpdateId)->isEnabled());
        run("Read");
        QVERIFY(m_bench->window->button(MainButton::UpdateId)->isEnabled());
    }

    void aRunningCommandLocksTheWindow() {
        window();
        bool sampled = false;
        QList<bool> enabled;
        QTimer::singleShot(0, m_bench->window.get(), [&] {
            sampled = true;
            SettingsGrid* s = m_bench->window->settings();
            for (QWidget* w : std::initializer_list<QWidget*>{
                     m_bench->window->vfgOption(), s->txtOption(0), s->txtOption(2),
                     s->cmbInterval(), s->cmbStation(), m_bench->window->button(MainButton::Exit),
                     m_bench->window->button(MainButton::Update)})
                enabled << w->isEnabled();
            enabled << (m_bench->window->progressDialog() &&
                        m_bench->window->progressDialog()->isVisible());
        });
        run("Read");
        QVERIFY(sampled);
        QCOMPARE(enabled, (QList<bool>{false, false, false, false, false, false, false, true}));
        QVERIFY(m_bench->window->vfgOption()->isEnabled());
        QVERIFY(m_bench->window->settings()->cmbStation()->isEnabled());
        QVERIFY(!m_bench->window->settings()->txtOption(2)->isReadOnly());
    }

    void downloadWritesTheImageRetriesOnceAndCancels() {
        window();
        run("Download");
        QCOMPARE(QFileInfo(m_bench->dir.filePath("TQ5800.DAT")).size(), qint64(524288));
        QCOMPARE(sim().commandCount("EP,R"), 1024);
        QVERIFY(lines(Red).isEmpty());
        QCOMPARE(lines(Green).last(),
                 shown(5787, {QDir::toNativeSeparators(m_bench->dir.filePath("TQ5800.DAT"))}));
        QCOMPARE(appState().ProgressTask, ProgressTask::Idle);

        // A block that never completes: "One more time !" and one whole second try.
        QVERIFY(sim().setFaults(QStringLiteral("withhold=3")));
        sim().clearCounters();
        QStringList labels;
        QTimer sampler;
        connect(&sampler, &QTimer::timeout, this, [&] {
            if (m_bench->window->progressDialog() &&
                !labels.contains(m_bench->window->progressDialog()->label()))
                labels << m_bench->window->progressDialog()->label();
        });
        sampler.start(1);
        run("Download");
        sampler.stop();
        QCOMPARE(sim().commandCount("VP,R"), 2);
        QVERIFY(labels.contains(QStringLiteral("One more time !")));
        QVERIFY(lines(Red).isEmpty());

        // Cancel from the progress dialog after a few blocks.
        sim().clearCounters();
        int blocks = 0;
        connect(m_bench->window->link(), &uclHbif::DumpMessage, this, [&] {
            if (++blocks == 10 && m_bench->window->progressDialog())
                m_bench->window->progressDialog()->cmdUpload()->click();
        });
        m_reports.clear();
        run("Download");
        QCOMPARE(m_reports.size(), 1);
        QCOMPARE(m_reports[0].operation, QStringLiteral("download"));
        QCOMPARE(m_reports[0].outcome, OperationOutcome::Cancelled);
        QVERIFY(sim().commandCount("EP,R") < 20);
        QVERIFY(lines(Red).contains(shown(5462)));
        QVERIFY(readAll(m_bench->dir.filePath("SerialLog.log")).contains("= User Cancel ="));
    }

    void powerOffResetsAndReconnects() {
        window();
        QVERIFY(record().CommFlags() != 0);
        asked().answers.enqueue(UiServices::AnswerYes);
        run("PowerOff");
        QCOMPARE(sim().commandCount("RO,W"), 1);
        QCOMPARE(record().CommFlags(), qint16(0));
        QCOMPARE(record().ImportFlag(), qint16(-1)); // the first activation ran again
        QVERIFY(record().SerialNo().trimmed().isEmpty() || record().SerialNo().startsWith(u'-'));
        QVERIFY(QFile::exists(m_bench->dir.filePath("TQ5800Config.ini")));
        QVERIFY(!m_bench->window->button(MainButton::UpdateId)->isEnabled());
        // The same instrument answers the connect sequence again.
        QVERIFY(
            QTest::qWaitFor([&] { return m_bench->window->link()->Connected(); }, ConnectLimitMs));
        QTRY_COMPARE(m_bench->window->shpStatus(1)->fillColor(), QColor(0, 255, 0));
        QVERIFY(m_bench->window->button(MainButton::Read)->isEnabled());
    }

    void flashCheckComparesWithTheReference_data() {
        QTest::addColumn<bool>("flipOneByte");
        QTest::addColumn<bool>("downloads");
        QTest::newRow("same") << false << true;
        QTest::newRow("one byte differs") << true << true;
        QTest::newRow("no image") << false << false;
    }
    void flashCheckComparesWithTheReference() {
        QFETCH(bool, flipOneByte);
        QFETCH(bool, downloads);
        const QString shipped =
            QCoreApplication::applicationDirPath() + QStringLiteral("/TQ5800_Check.DAT");
        QByteArray reference = readAll(shipped);
        QCOMPARE(reference.size(), 524288);
        if (flipOneByte)
            reference[4097] = char(reference.at(4097) ^ 0x01);
        const QString copy = m_bench->dir.filePath(QStringLiteral("reference.dat"));
        QVERIFY(writeAll(copy, reference));
        window();
        m_bench->window->setCheckFilePath(copy);
        if (!downloads) {
            // An image that cannot be written: nothing to compare, and no verdict.
            QVERIFY(writeAll(m_bench->dir.filePath("TQ5800.DAT"), "x"));
            QFile::setPermissions(m_bench->dir.filePath("TQ5800.DAT"), QFile::ReadOwner);
        }
        asked().answers.enqueue(UiServices::AnswerYes);
        run("Flash");
        if (!downloads) {
            QVERIFY(lines(Red).contains(shown(9434)));
            QVERIFY(lines(Red).filter("FLASH Check NG").isEmpty());
            QCOMPARE(readAll(m_bench->dir.filePath("TQ5800.DAT")), QByteArray("x"));
            return;
        }
        const QStringList sent = sim().receivedPayloads();
        QCOMPARE(sent.first(), QStringLiteral("XC,W,"));
        QVERIFY(sent.contains(QStringLiteral("XH,E,")));
        QCOMPARE(sim().commandCount("EP,R"), 1024);
        QCOMPARE(sent.last(), QStringLiteral("XY,C,"));
        const QString verdict = LoadMessage(5388, {flipOneByte ? "NG" : "OK"});
        QVERIFY(lines(flipOneByte ? Red : Green).contains(verdict));
        QCOMPARE(appState().ProgressTask, ProgressTask::Idle);
        QVERIFY(m_bench->window->button(MainButton::Exit)->isEnabled());
        QCOMPARE(MainCommands::CompareDataFiles(copy, m_bench->dir.filePath("TQ5800.DAT")),
                 qint64(flipOneByte ? 1 : 0));
    }

    void whatIsStoredIsWhatHappened() {
        window(false);
        // The program's defaults are not stored as an instrument's settings: refused before
        // a file is even asked for.
        m_bench->window->button(MainButton::StoreSettings)->click();
        QCOMPARE(asked().asked.last().text, LoadMessage(9415));
        QVERIFY(asked().fileFilters.isEmpty());
        // Nor what a read that broke off left in the record.
        QVERIFY(sim().setFaults(QStringLiteral("silent=60")));
        run("Read");
        m_bench->window->button(MainButton::StoreSettings)->click();
        QCOMPARE(asked().asked.last().text, LoadMessage(9415));
        QVERIFY(asked().fileFilters.isEmpty());

        // A read whose calibration history did not come is a failed read: no row.
        QVERIFY(sim().setFaults(QString()));
        QTRY_VERIFY(m_bench->window->link()->Connected());
        m_bench->window->command_Click(MainButton::ReadAndSave);
        const QString csv = m_bench->dir.filePath("TQ5800_Setting.csv");
        const QByteArray oneRow = readAll(csv);
        QCOMPARE(oneRow.count("\r\nRead,"), 1);
        QVERIFY(record().CalibBefore(0) != -101.0f);
        markLog();
        QVERIFY(sim().setFaults(QStringLiteral("silent=190")));
        m_bench->window->command_Click(MainButton::ReadAndSave);
        QCOMPARE(readAll(csv), oneRow);
        QVERIFY(lines(Red).contains(shown(9414)));
        QCOMPARE(record().CalibBefore(0), -101.0f); // unknown, not the last read's

        // A row that cannot be saved says which file and why.
        QVERIFY(sim().setFaults(QString()));
        QTRY_VERIFY(m_bench->window->link()->Connected());
        QFile::setPermissions(csv, QFile::ReadOwner);
        m_bench->window->command_Click(MainButton::ReadAndSave);
        QCOMPARE(asked().asked.last().text,
                 LoadMessage(9413, {QDir::toNativeSeparators(csv), qt_error_string(EACCES)}));
        QCOMPARE(asked().asked.last().icon, UiServices::Critical);
        QCOMPARE(readAll(csv), oneRow);

        // A communication log that stops taking lines is said once, not with every line.
        markLog();
        QFile::setPermissions(m_bench->dir.filePath("SerialLog.log"), QFile::ReadOwner);
        run("Read");
        QCOMPARE(lines(Red).filter("The communication log").size(), 1);
    }

    void framDump() {
        window();
        m_bench->window->link()->setRunDensty(true);
        run("FramDump");
        QCOMPARE(asked().asked.last().text, LoadMessage(5367));
        m_bench->window->link()->setRunDensty(false);
        QTRY_COMPARE(m_bench->window->link()->Status(), LinkStatus::Done);
        sim().clearCounters();
        asked().answers.enqueue(UiServices::AnswerYes);
        run("FramDump");
        QCOMPARE(sim().commandCount("EF,R"), 1);
        QVERIFY(readAll(m_bench->dir.filePath("DumpEF.dat"))
                    .startsWith(";\tTQ-5800 Data Logger Program"));
        QCOMPARE(lines(QColor(128, 32, 0)).size(), 2);
    }

    void settingsFilesRoundTripAndRefuseWhatDoesNotFit() {
        window();
        const QString file = m_bench->dir.filePath("a.seq");
        asked().fileNames.enqueue(file);
        m_bench->window->button(MainButton::StoreSettings)->click();
        QCOMPARE(asked().fileFilters.last(),
                 (QStringList{"All files (*.*)", "Config Data (*.seq)"}));
        QCOMPARE(asked().selectedFilters.last(), 1);
        QByteArray text = readAll(file);
        QVERIFY(text.contains("\r\nSC,W,"));

        // A loaded file marks everything for writing and enables Update ID.
        text.replace("AP,W,0,", "AP,W,1,");
        QVERIFY(writeAll(file, text + "ZZ,W,1,\r\n"));
        asked().fileNames.enqueue(file);
        m_bench->window->button(MainButton::LoadSettings)->click();
        QCOMPARE(asked().texts().count(QStringLiteral("unknown")), 1);
        QCOMPARE(record().AlarmMode(), qint16(1));
        QCOMPARE(record().ImportFlag(), qint16(-1));
        QVERIFY(record().Change_AlarmMode());

        // Wider than the instrument's field: refused with its line, nothing taken.
        QByteArray wide = QByteArray(text).replace("AP,W,1,", "AP,W,0,");
        wide.replace(wide.indexOf("\r\nSC,W,") + 7, 4, "1000");
        QVERIFY(writeAll(file, wide));
        asked().fileNames.enqueue(file);
        m_bench->window->button(MainButton::LoadSettings)->click();
        QCOMPARE(asked().asked.last().text,
                 LoadMessage(5776, {"16", "value wider than its field of the instrument"}));
        QCOMPARE(asked().asked.last().icon, UiServices::Critical);
        QCOMPARE(record().AlarmMode(), qint16(1));

        // A BS number longer than its field is not stored cut.
        record().setSpecNo(QStringLiteral("12345678901"));
        QFile::remove(file);
        asked().fileNames.enqueue(file);
        m_bench->window->button(MainButton::StoreSettings)->click();
        QVERIFY(asked().asked.last().text.contains(QStringLiteral("12345678901")));
        QVERIFY(!QFile::exists(file));
        // A cancelled dialog does nothing.
        const int before = asked().asked.size();
        m_bench->window->button(MainButton::StoreSettings)->click();
        QCOMPARE(asked().asked.size(), before);
    }

    void gridAndFieldMends() {
        window();
        FlexGrid* g = m_bench->window->vfgOption();
        const float warning = record().Warning(2);
        QVERIFY(!typeInto(g, 4, 2, QStringLiteral("-5")));
        g->cancelEdit();
        QVERIFY(!typeInto(g, 4, 4, QStringLiteral("1e39")));
        g->cancelEdit();
        QCOMPARE(record().Warning(2), warning);
        // Choosing a station fills the station ID field.
        QComboBox* station = m_bench->window->settings()->cmbStation();
        station->setCurrentIndex(3);
        m_bench->window->settings()->cmbStation_Click();
        QCOMPARE(m_bench->window->settings()->txtOption(1)->text(),
                 record().StationList(3).trimmed());
        // Identity fields are named by their captions; the clock reads month first.
        QCOMPARE(m_bench->window->settings()->txtOption(2)->accessibleName(), LoadMessage(5211));
        QTRY_VERIFY(
            QRegularExpression(QStringLiteral("^\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d$"))
                .match(m_bench->window->lblOption(5)->text())
                .hasMatch());
        // No data shown (link released): the grid refuses edits.
        LinkTestAccess::setStatus(*m_bench->window->link(), LinkStatus::Idle);
        m_bench->window->ShowInstrument();
        QVERIFY(!g->startEdit(4, 2));
    }

    void aPortThatCannotOpenIsReported_data() {
        QTest::addColumn<bool>("infrared");
        QTest::newRow("USB serial") << false;
        QTest::newRow("IrCOMM") << true;
    }
    void aPortThatCannotOpenIsReported() {
        QFETCH(bool, infrared);
        StartupOptions o;
        (infrared ? o.irda : o.port) = m_bench->dir.filePath(QStringLiteral("no-such-port"));
        frmMain w(o);
        QCOMPARE(w.shpStatus(0)->fillColor(), QColor(254, 0, 0));
        // Reported once, though the infrared port is retried every few ticks.
        QTest::qWait(300);
        QCOMPARE(w.logText().count(m_bench->dir.filePath(QStringLiteral("no-such-port"))), 1);
    }

    void anInfraredPortThatGoesIsReported() {
        // A pseudo-terminal stands for the IrCOMM port; closing its other side takes it away.
        int master = ::posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
        StartupOptions o;
        o.irda = QString::fromLocal8Bit(::ptsname(master));
        frmMain w(o);
        w.show();
        QVERIFY(!w.logText().contains(o.irda));
        ::close(master);
        QVERIFY(QTest::qWaitFor([&] { return w.logText().contains(o.irda); }, ConnectLimitMs));
        QCOMPARE(w.shpStatus(0)->fillColor(), QColor(254, 0, 0));
        QVERIFY(w.logText().contains(shown(5786, {o.irda, QString()})));
    }

    // The window records what it does in the fleet history its --fleet-db names; a database
    // it cannot reach is a line of the log pane, and the operation goes on.
    void theWindowKeepsTheFleetHistory() {
        StartupOptions o;
        o.simulate = true;
        o.fleetDb = m_bench->dir.filePath(QStringLiteral("fleet.db"));
        {
            frmMain w(o);
            w.link()->setLinkTickInterval(5);
            QVERIFY(windowtest::MainWindowBench::connected(w));
            QVERIFY(w.commands()->Read());
            QVERIFY(w.fleetRecorder()->flush(ConnectLimitMs));
        }
        FleetStore store(*ParseFleetLocation(o.fleetDb));
        QVERIFY(store.open());
        const QList<FleetEvent> events = store.history(appState().Instrument.SerialNo().trimmed());
        QCOMPARE(events.size(), 1);
        QCOMPARE(events.at(0).kind, Operation::Read);

        // Where the database's folder should be is a file: it cannot be opened.
        QFile blocker(m_bench->dir.filePath(QStringLiteral("blocker")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        o.fleetDb = blocker.fileName() + QStringLiteral("/fleet.db");
        frmMain w(o);
        QVERIFY(QTest::qWaitFor([&] { return w.logText().contains("cannot be reached"); },
                                ConnectLimitMs));
    }
};

QTEST_MAIN(TestMainCommands)
#include "test_maincommands.moc"
