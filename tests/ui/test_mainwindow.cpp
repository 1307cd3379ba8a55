// The main window against the in-process simulated instrument: captions, lamps and enabled
// states across connect and disconnect, a read filling grid and identity fields, and the grid
// rules driven through FlexGrid edits.
#include "app/Conversions.h"
#include "app/MessageTable.h"
#include "link/ConverterLookup.h"
#include "link/SimPortControl.h"
#include "link/uclHbif.h"
#include "state/AppState.h"
#include "support/MainWindowBench.h"
#include "ui/common/FlexGrid.h"
#include "ui/common/ScriptedUiServices.h"
#include "ui/common/StatusLamp.h"
#include "ui/main/SettingsGrid.h"
#include "ui/main/frmMain.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>
#include <memory>

namespace {
using windowtest::ConnectLimitMs;
constexpr int ReadLimitMs = 20000;
const QColor Red(255, 0, 0);
} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<windowtest::MainWindowBench> m_bench;

    static std::unique_ptr<frmMain> makeWindow(bool debug = false, bool factory = false) {
        return windowtest::MainWindowBench::make(debug, factory);
    }
    static bool connectWindow(frmMain& w) { return windowtest::MainWindowBench::connected(w); }

    // Types into a grid cell through the editor, as a user would, and presses Enter.
    static bool typeInto(FlexGrid* g, int row, int col, const QString& text) {
        g->setCurrentCell(row, col);
        if (!g->startEdit(row, col))
            return false;
        auto* line = qobject_cast<QLineEdit*>(g->editor());
        if (!line)
            return false;
        line->clear();
        QTest::keyClicks(line, text);
        QTest::keyClick(line, Qt::Key_Return);
        return !g->isEditing();
    }

private slots:
    void init() { m_bench = std::make_unique<windowtest::MainWindowBench>(); }
    void cleanup() { m_bench.reset(); }

    void captionsAndSwitches() {
        auto w = makeWindow();
        QCOMPARE(w->windowTitle(), QStringLiteral("TQ-5800 - CH4 Setup Program [P.No.04765]"));
        // Each command with its Alt key.
        QCOMPARE(w->button(MainButton::ReadAndSave)->text(),
                 QStringLiteral("Information &Get && Save"));
        QCOMPARE(w->button(MainButton::Update)->text(), QStringLiteral("&Update"));
        QCOMPARE(w->lblStatus(1)->text(), QStringLiteral("Connect"));
        QCOMPARE(w->txtSuffix()->accessibleName(), QStringLiteral("Filename Suffix at Save"));
        QVERIFY(w->button(MainButton::Download)->isHidden());
        QVERIFY(w->button(MainButton::FramDump)->isHidden());
        for (MainButton b : {MainButton::Defaults, MainButton::ClearPowerLog,
                             MainButton::ClearLoggerData, MainButton::WriteCheckData})
            QVERIFY(w->button(b)->isHidden());
        QVERIFY(w->button(MainButton::FlashCheck)->isHidden());
        QVERIFY(!w->button(MainButton::UpdateId)->isHidden());
        QVERIFY(w->minimumWidth() >= 700 && w->minimumHeight() >= 550);

        auto d = makeWindow(true, true);
        QVERIFY(!d->button(MainButton::Download)->isHidden());
        QVERIFY(!d->button(MainButton::Defaults)->isHidden());
        QVERIFY(!d->button(MainButton::FlashCheck)->isHidden());
    }

    // Every command by its control name: its caption with the Alt key, its frame and its place
    // there (row, column; Exit sits below the frames).
    void commandCaptionsAndPlaces_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("frame");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        const QString read = "Read Commands", write = "Write Commands", set = "Setting Commands";
        QTest::newRow("cmdDown1") << "cmdDown1"
                                  << "&Instrument Information" << read << 0 << 0;
        QTest::newRow("cmdDown5") << "cmdDown5"
                                  << "Information &Get && Save" << read << 0 << 1;
        QTest::newRow("cmdDown2") << "cmdDown2"
                                  << "Down&load Logger Data" << read << 1 << 0;
        QTest::newRow("cmdDown4") << "cmdDown4"
                                  << "&Power Off" << read << 1 << 1;
        QTest::newRow("cmdOption0") << "cmdOption0"
                                    << "&Update" << write << 0 << 0;
        QTest::newRow("cmdOption7") << "cmdOption7"
                                    << "Up&date ID" << write << 0 << 1;
        QTest::newRow("cmdOption1") << "cmdOption1"
                                    << "Da&te/Time Set" << write << 1 << 0;
        QTest::newRow("cmdOption2") << "cmdOption2"
                                    << "&Calibration" << write << 1 << 1;
        QTest::newRow("cmdOption3") << "cmdOption3"
                                    << "DE&FAULT" << write << 2 << 0;
        QTest::newRow("cmdOption4") << "cmdOption4"
                                    << "Clear Po&wer Log" << write << 2 << 1;
        QTest::newRow("cmdOption5") << "cmdOption5"
                                    << "Clea&r Logger Data" << write << 3 << 0;
        QTest::newRow("cmdOption6") << "cmdOption6"
                                    << "Write Chec&k Data" << write << 3 << 1;
        QTest::newRow("cmdOption8") << "cmdOption8"
                                    << "FLAS&H Check" << write << 4 << 0;
        QTest::newRow("cmdFactorySetting") << "cmdFactorySetting"
                                           << "D&etail Settings" << set << 0 << 0;
        QTest::newRow("cmdFRAMDump") << "cmdFRAMDump"
                                     << "FRA&M Dump" << set << 0 << 1;
        QTest::newRow("cmdImportSetting") << "cmdImportSetting"
                                          << "L&oad local file" << set << 1 << 0;
        QTest::newRow("cmdExportSetting") << "cmdExportSetting"
                                          << "&Store local file" << set << 1 << 1;
        QTest::newRow("cmdFleet") << "cmdFleet"
                                  << "Fleet Histor&y" << set << 2 << 0;
        QTest::newRow("cmdExit") << "cmdExit"
                                 << "E&xit" << QString() << -1 << -1;
    }
    void commandCaptionsAndPlaces() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, frame);
        QFETCH(int, row);
        QFETCH(int, column);
        auto w = makeWindow(true, true);
        auto* b = w->findChild<QPushButton*>(name);
        QVERIFY(b);
        QCOMPARE(b->text(), caption);
        auto* box = qobject_cast<QGroupBox*>(b->parentWidget());
        QCOMPARE(box ? box->title() : QString(), frame);
        int r = -1, c = -1, rows = 0, columns = 0;
        if (auto* grid = box ? qobject_cast<QGridLayout*>(box->layout()) : nullptr)
            grid->getItemPosition(grid->indexOf(b), &r, &c, &rows, &columns);
        QCOMPARE(r, row);
        QCOMPARE(c, column);
    }

    // Which commands may be pressed, by the link and by what the record holds.
    void commandsFollowLinkAndRecord_data() {
        QTest::addColumn<bool>("connected");
        QTest::addColumn<QString>("record");
        QTest::addColumn<QStringList>("enabled");
        const QStringList always{"cmdFactorySetting", "cmdImportSetting", "cmdExportSetting",
                                 "cmdFleet", "cmdExit"};
        const QStringList online =
            always + QStringList{"cmdDown1",    "cmdDown2",   "cmdDown4",   "cmdDown5",
                                 "cmdFRAMDump", "cmdOption1", "cmdOption3", "cmdOption4",
                                 "cmdOption5",  "cmdOption6", "cmdOption8"};
        QTest::newRow("offline") << false << "defaults" << always;
        QTest::newRow("no data") << true << "empty" << online;
        QTest::newRow("defaults") << true << "defaults"
                                  << online + QStringList{"cmdOption0", "cmdOption2"};
        QTest::newRow("read") << true << "read"
                              << online + QStringList{"cmdOption0", "cmdOption2", "cmdOption7"};
    }
    void commandsFollowLinkAndRecord() {
        QFETCH(bool, connected);
        QFETCH(QString, record);
        QFETCH(QStringList, enabled);
        auto w = makeWindow(true, true);
        auto* read = w->findChild<QPushButton*>(QStringLiteral("cmdDown1"));
        if (connected) {
            QVERIFY(connectWindow(*w));
            QTRY_VERIFY(read->isEnabled()); // the connect event arrives queued
        }
        if (record == "read") {
            read->click();
            QVERIFY(appState().Instrument.CommFlags() != 0);
        } else if (record == "empty") {
            appState().Instrument.setImportFlag(0);
            w->RefreshCommands();
        }
        int seen = 0;
        for (const QPushButton* b : w->findChildren<QPushButton*>()) {
            if (b->window() != w.get())
                continue; // a progress dialog on its way out
            ++seen;
            QVERIFY2(b->isEnabled() == enabled.contains(b->objectName()),
                     qPrintable(b->objectName()));
        }
        QCOMPARE(seen, 19);
    }

    // At the smallest size the window allows, no button is squashed below what its caption
    // needs, in either language (every command shown).
    void buttonsFitAtSmallestSize_data() {
        QTest::addColumn<QString>("language");
        QTest::newRow("en") << "en";
        QTest::newRow("ja") << "ja";
    }
    void buttonsFitAtSmallestSize() {
        QFETCH(QString, language);
        SetMessageLanguage(language);
        auto w = makeWindow(true, true);
        w->resize(w->minimumSize());
        w->layout()->activate();
        const auto buttons = w->findChildren<QPushButton*>();
        QVERIFY(buttons.size() >= 18);
        for (const QPushButton* b : buttons) {
            const QSize need = b->minimumSizeHint();
            QVERIFY2(b->height() >= need.height() && b->width() >= need.width(),
                     qPrintable(b->text()));
        }
        // The log pane keeps five lines in sight.
        auto* log = w->findChild<QTextEdit*>(QStringLiteral("rtbLog"));
        QVERIFY(log->viewport()->height() >= 5 * log->fontMetrics().lineSpacing());
    }

    void noAdapterIsReported() {
        // Nothing simulated, no port named, and no USB converter on a test machine.
        StartupOptions o;
        frmMain w(o);
        QVERIFY(!w.findChild<QAction*>(QStringLiteral("actSimCable")));
        if (FindConverterPort().matches != 0)
            QSKIP("a USB serial converter is connected to this machine");
        QVERIFY(w.logText().contains(QStringLiteral("No USB Serial Converter found")));
        QVERIFY(!w.link()->SerialComm());
    }

    void lampsAndCommandsAcrossConnect() {
        auto w = makeWindow();
        // Before the instrument answers: defaults count as data, nothing to send to.
        QCOMPARE(w->shpStatus(1)->fillColor(), QColor(160, 160, 160));
        QVERIFY(!w->button(MainButton::Read)->isEnabled());
        QVERIFY(!w->button(MainButton::Update)->isEnabled());
        QVERIFY(w->button(MainButton::LoadSettings)->isEnabled());
        QVERIFY(w->vfgOption()->isEnabled());
        QVERIFY(w->txtSuffix()->isReadOnly());
        QVERIFY(w->shpStatus(2)->isHidden());

        QVERIFY(connectWindow(*w));
        QTRY_COMPARE(w->shpStatus(1)->fillColor(), QColor(0, 255, 0));
        QCOMPARE(w->shpStatus(0)->fillColor(), QColor(0, 255, 0));
        QVERIFY(w->button(MainButton::Read)->isEnabled());
        QVERIFY(w->button(MainButton::Update)->isEnabled());
        QVERIFY(w->button(MainButton::DateTimeSet)->isEnabled());
        QVERIFY(!w->txtSuffix()->isReadOnly());
        QVERIFY(w->logText().contains(QStringLiteral("...Connection Successful.")));

        // The line goes down: lamp off, instrument commands disabled, record kept.
        auto* port = qobject_cast<SimPortControl*>(w->link()->SerialControl());
        QVERIFY(port);
        port->setCableConnected(false);
        QTRY_VERIFY_WITH_TIMEOUT(!w->link()->Connected(), ConnectLimitMs);
        QTRY_COMPARE(w->shpStatus(1)->fillColor(), QColor(160, 160, 160));
        QVERIFY(!w->button(MainButton::Read)->isEnabled());
        QVERIFY(w->vfgOption()->isEnabled());
    }

    // The simulator's context-menu entries pull the cable or the adapter and plug it back in.
    void simulatorMenuPullsAndPlugs_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("caption");
        QTest::newRow("cable") << "actSimCable"
                               << "Simulated cable connected";
        QTest::newRow("adapter") << "actSimAdapter"
                                 << "Simulated adapter plugged in";
    }
    void simulatorMenuPullsAndPlugs() {
        QFETCH(QString, action);
        QFETCH(QString, caption);
        auto w = makeWindow();
        auto* entry = w->findChild<QAction*>(action);
        QVERIFY(entry && w->actions().contains(entry));
        QCOMPARE(entry->text(), caption);
        QVERIFY(entry->isCheckable() && entry->isChecked());
        QVERIFY(connectWindow(*w));

        entry->trigger();
        QVERIFY(!entry->isChecked());
        QTRY_VERIFY_WITH_TIMEOUT(!w->link()->Connected(), ConnectLimitMs);
        QTRY_COMPARE(w->shpStatus(1)->fillColor(), QColor(160, 160, 160));
        QVERIFY(!w->button(MainButton::Read)->isEnabled());

        entry->trigger();
        QVERIFY(connectWindow(*w));
        QTRY_COMPARE(w->shpStatus(1)->fillColor(), QColor(0, 255, 0));
        QVERIFY(w->button(MainButton::Read)->isEnabled());
    }

    void readFillsGridAndIdentity() {
        auto w = makeWindow();
        QVERIFY(connectWindow(*w));
        auto* port = qobject_cast<SimPortControl*>(w->link()->SerialControl());
        const SimDeviceState& sim = port->instrument().state();
        w->command_Click(MainButton::Read);
        const clsInstrument& r = appState().Instrument;
        QCOMPARE(r.CommFlags(), -1);
        QCOMPARE(r.ImportFlag(), 0);
        QCOMPARE(w->settings()->txtOption(0)->text(), QString::fromLatin1(sim.serialNo).trimmed());
        QCOMPARE(w->settings()->txtOption(2)->text(), QString::fromLatin1(sim.userId).trimmed());
        QCOMPARE(w->settings()->romLabel()->text(), QStringLiteral("04426"));
        FlexGrid* g = w->vfgOption();
        QCOMPARE(g->TextMatrix(2, 0), QStringLiteral("CH4(100%LEL)"));
        QCOMPARE(g->TextMatrix(3, 0), QStringLiteral("O2(40.0vol%)"));
        QCOMPARE(g->TextMatrix(3, 2), QStringLiteral("19.5"));
        QCOMPARE(g->TextMatrix(4, 4), QStringLiteral("15.0"));
        QCOMPARE(g->CellChecked(2, 1), FlexGrid::Checked);
        QVERIFY(w->logText().contains(
            QStringLiteral("TQ-5800 Analog to Digital Converter Values List")));
        QVERIFY(w->logText().contains(QStringLiteral("Download Complete.")));
        // The instrument clock is shown once data came from a read.
        QTRY_VERIFY(!w->lblOption(6)->text().isEmpty());
        QVERIFY(!w->logText().contains(LoadMessage(5591)));

        // An instrument clock two days ahead: shown as such, and the read warns.
        port->instrument().state().setClock(QDateTime::currentDateTime().addDays(2));
        w->command_Click(MainButton::Read);
        QVERIFY(w->logText().contains(LoadMessage(5591)));
        QTRY_VERIFY(w->lblOption(6)->text().startsWith(
            QDateTime::currentDateTime().addDays(2).toString(QStringLiteral("MM/dd/yyyy"))));
    }

    void informationGetAndSave() {
        auto w = makeWindow();
        QVERIFY(connectWindow(*w));
        auto* port = qobject_cast<SimPortControl*>(w->link()->SerialControl());
        port->instrument().clearCounters();
        w->txtSuffix()->setText(QStringLiteral("a/b"));
        w->command_Click(MainButton::ReadAndSave);
        QCOMPARE(m_bench->asked().asked.last().text, LoadMessage(5382));
        QCOMPARE(port->instrument().commandCount("VP,R"), 0);
        w->txtSuffix()->setText(QStringLiteral("_01"));
        w->command_Click(MainButton::ReadAndSave);
        w->command_Click(MainButton::ReadAndSave);
        QFile csv(m_bench->dir.filePath(QStringLiteral("TQ5800_Setting_01.csv")));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = csv.readAll().split('\n');
        QCOMPARE(lines.size(), 4); // header, two records, the empty rest after the last CR LF
        QVERIFY(lines[0].startsWith("Action,"));
        QVERIFY(lines[1].startsWith("Read,"));
        QVERIFY(lines[2].startsWith("Read,"));
    }

    void gridRules() {
        auto w = makeWindow();
        FlexGrid* g = w->vfgOption();
        clsInstrument& r = appState().Instrument;
        // Read-only cells: headers, STEL/TWA of slots 0 and 1, levels of slot 4.
        QVERIFY(!g->startEdit(1, 2));
        QVERIFY(!g->startEdit(2, 4));
        QVERIFY(!g->startEdit(3, 5));
        QVERIFY(!g->startEdit(6, 2));
        // The level rules (GasLevels) decide; a refused entry keeps the editor open.
        QVERIFY(typeInto(g, 2, 3, QStringLiteral("60")));
        QCOMPARE(r.Alarm(0), 60.0f);
        QVERIFY(!typeInto(g, 2, 3, QStringLiteral("61")));
        g->cancelEdit();
        QCOMPARE(r.Alarm(0), 60.0f);
        // Clearing the auto-calibration cell stores "not used".
        QVERIFY(typeInto(g, 4, 6, QString()));
        QCOMPARE(r.AutoCalib(2), -101.0f);
        QCOMPARE(g->TextMatrix(4, 6), QStringLiteral("-----"));
        // Wrong order is painted red: H2S warning above its alarm.
        QVERIFY(typeInto(g, 4, 2, QStringLiteral("25")));
        QVERIFY(typeInto(g, 4, 3, QStringLiteral("20")));
        QCOMPARE(g->CellForeColor(4, 2), Red);
        QCOMPARE(g->CellForeColor(4, 3), Red);
        QVERIFY(typeInto(g, 4, 3, QStringLiteral("30")));
        QVERIFY(g->CellForeColor(4, 2) != Red);
    }

    void enableAndLockedGases() {
        auto w = makeWindow();
        // Default gases come unlocked; the configuration locks one.
        QVERIFY(!appState().GasLocked[2]);
        appState().GasLocked[2] = true;
        w->ShowInstrument();
        FlexGrid* g = w->vfgOption();
        clsInstrument& r = appState().Instrument;
        // A locked slot's box is read-only and cannot be unchecked.
        QVERIFY(g->isReadOnlyCell(4, 1));
        g->toggleCheck(4, 1);
        QCOMPARE(g->CellChecked(4, 1), FlexGrid::Checked);
        // Unchecking asks; No keeps the gas.
        auto& asked = m_bench->asked();
        asked.answers.enqueue(UiServices::AnswerNo);
        g->toggleCheck(5, 1);
        QCOMPARE(g->CellChecked(5, 1), FlexGrid::Checked);
        QVERIFY(r.GasEnabled(3));
        QCOMPARE(asked.asked.last().title, LoadMessage(5336));
        asked.answers.enqueue(UiServices::AnswerYes);
        g->toggleCheck(5, 1);
        QVERIFY(!r.GasEnabled(3));
        QCOMPARE(r.Warning(3), -101.0f);
        QCOMPARE(g->TextMatrix(5, 2), QStringLiteral("-----"));
        // Checking again opens the gas selection; a cancelled choice unchecks the box.
        w->settings()->chooseGas = [](int, int* choice) {
            *choice = 0;
            return false;
        };
        g->toggleCheck(5, 1);
        QCOMPARE(g->CellChecked(5, 1), FlexGrid::Unchecked);
        QVERIFY(!r.GasEnabled(3));
        w->settings()->chooseGas = [](int slot, int* choice) {
            *choice = slot == 3 ? 0 : -1;
            return true;
        };
        g->toggleCheck(5, 1);
        QVERIFY(r.GasEnabled(3));
        QCOMPARE(r.GasName(3), QStringLiteral("CO"));
        QCOMPARE(g->TextMatrix(5, 3), QStringLiteral("50"));
    }

    void identityFields() {
        auto w = makeWindow();
        QLineEdit* user = w->settings()->txtOption(2);
        user->setFocus();
        user->clear();
        QTest::keyClicks(user, QStringLiteral("abc"));
        QCOMPARE(user->text(), QStringLiteral("ABC"));
        QTest::keyClicks(user, QStringLiteral("_,"));
        QCOMPARE(user->text(), QStringLiteral("ABC"));
        QCOMPARE(m_bench->asked().beeps, 2);
        emit user->editingFinished();
        QCOMPARE(appState().Instrument.UserID(), QStringLiteral("ABC"));
        QLineEdit* station = w->settings()->txtOption(1);
        station->clear();
        QTest::keyClicks(station, QString(17, u'A'));
        QCOMPARE(station->text().size(), 16);
        QLineEdit* serial = w->settings()->txtOption(0);
        serial->clear();
        QTest::keyClicks(serial, QString(21, u'9'));
        QCOMPARE(serial->text().size(), 20);
        // An interval the list does not hold shows 300.
        appState().Instrument.setIntervals(120);
        w->ShowInstrument();
        QCOMPARE(w->settings()->cmbInterval()->currentText(), QStringLiteral("300"));
    }

    void closingAsks() {
        auto w = makeWindow();
        m_bench->asked().answers.enqueue(UiServices::AnswerNo);
        QVERIFY(!w->close());
        QVERIFY(w->isVisible());
        QCOMPARE(m_bench->asked().asked.last().text, QStringLiteral("End ?"));
        // While an operation runs (exit disabled) the close is refused without a question.
        const int before = m_bench->asked().asked.size();
        w->SetCommandFramesEnabled(false);
        QVERIFY(!w->close());
        QCOMPARE(m_bench->asked().asked.size(), before);
        w->SetCommandFramesEnabled(true);
        m_bench->asked().answers.enqueue(UiServices::AnswerYes);
        QVERIFY(w->close());
        // Closing writes the configuration file.
        QVERIFY(QFile::exists(m_bench->dir.filePath(QStringLiteral("TQ5800Config.ini"))));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
