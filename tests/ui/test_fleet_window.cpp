// The Fleet window on an SQLite fleet history in a temporary folder, filled as the program
// fills it: the list's status texts and colours, its sorting and filters, an instrument's
// history, two snapshots compared, the span chart, a certificate printed again, the keyboard,
// and a database that cannot be opened.
#include "app/MessageTable.h"
#include "fleet/FleetStore.h"
#include "ops/InstrumentSession.h"
#include "state/AppState.h"
#include "support/FleetSupport.h"
#include "support/MainWindowBench.h"
#include "support/PdfText.h"
#include "ui/common/FlexGrid.h"
#include "ui/common/ScriptedUiServices.h"
#include "ui/common/WindowHelpers.h"
#include "ui/fleet/FleetHistoryData.h"
#include "ui/fleet/FleetListModel.h"
#include "ui/fleet/FleetSpanChart.h"
#include "ui/fleet/frmFleet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QScopeGuard>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

using namespace fleettest;

const QDate kToday(2026, 6, 15);

QDateTime At(int daysAgo, int hour = 10) {
    return QDateTime(kToday.addDays(-daysAgo), QTime(hour, 0), Qt::UTC);
}

QStringList ShownSerials(const frmFleet& w) {
    QStringList out;
    const QAbstractItemModel* m = w.lstFleet()->model();
    for (int row = 0; row < m->rowCount(); ++row)
        out << m->index(row, FleetListModel::Serial).data().toString();
    return out;
}

QStringList GridColumn(const FlexGrid* g, int col) {
    QStringList out;
    for (int row = g->FixedRows(); row < g->Rows(); ++row)
        out << g->TextMatrix(row, col);
    return out;
}

} // namespace

class TestFleetWindow : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_db;
    std::unique_ptr<ScopedScriptedUi> m_ui;

    std::unique_ptr<frmFleet> open() {
        auto w = std::make_unique<frmFleet>(m_db, nullptr, kToday);
        w->show();
        return w;
    }

private slots:
    // Three instruments: one overdue with a history (a read, a write, a failed read, two
    // spans), one due within 14 days, one calibrated yesterday.
    void initTestCase() {
        resetAppState();
        SetMessageLanguage(QStringLiteral("en"));
        QVERIFY(m_dir.isValid());
        m_db = m_dir.filePath(QStringLiteral("fleet.sqlite"));
        FleetStore store(*ParseFleetLocation(m_db));
        QString error;
        QVERIFY2(store.open(&error), qPrintable(error));
        const QString over = QStringLiteral("SN-OVER");
        FleetEvent read = Event(over, "North", "Ann", "read", At(90));
        read.snapshot = Snapshot(At(90), 30, "A");
        FleetEvent span1 = Event(over, "North", "Ann", "calibrate span", At(80));
        AttachSpan(span1, 48.0f, 50.0f);
        FleetEvent write = Event(over, "North", "Ann", "write", At(60));
        write.snapshot = Snapshot(At(90), 30, "B", 30.0f);
        write.changes =
            QJsonArray{QJsonObject{{"setting", "UserID"}, {"before", "A"}, {"after", "B"}}};
        FleetEvent failed = Event(over, "North", "Ann", "read", At(50));
        failed.outcome = FleetOutcome::Failed;
        FleetEvent span2 = Event(over, "North", "Ann", "calibrate span", At(40));
        AttachSpan(span2, 41.5f, 50.5f);
        FleetEvent last = Event(over, "North", "Ann", "read", At(40, 11));
        last.snapshot = Snapshot(At(40), 30, "B", 30.0f);
        FleetEvent soon = Event("SN-SOON", "South", "bob", "read", At(3));
        soon.snapshot = Snapshot(At(20), 30, "bob");
        FleetEvent ok = Event("SN-OK", "North", "Carl", "read", At(1));
        ok.snapshot = Snapshot(At(1), 180, "Carl");
        for (const FleetEvent& e : {read, span1, write, failed, span2, last, soon, ok})
            QVERIFY2(store.record(e, &error), qPrintable(error));
    }
    void init() { m_ui = std::make_unique<ScopedScriptedUi>(); }
    void cleanup() { m_ui.reset(); }

    // Overdue rows red, due soon amber, and each says so in words.
    void listStatus_data() {
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("nextDue");
        QTest::addColumn<QColor>("background");
        QTest::newRow("overdue") << "SN-OVER"
                                 << "Overdue"
                                 << "2026/06/05" << QColor(255, 0, 0);
        QTest::newRow("due soon") << "SN-SOON"
                                  << "Due within 14 days"
                                  << "2026/06/25" << QColor(255, 191, 0);
        QTest::newRow("ok") << "SN-OK"
                            << "OK"
                            << "2026/12/11" << QColor();
    }
    void listStatus() {
        QFETCH(QString, serial);
        QFETCH(QString, status);
        QFETCH(QString, nextDue);
        QFETCH(QColor, background);
        auto w = open();
        QVERIFY2(w->isLoaded(), qPrintable(w->lblMessage()->text()));
        const int row = int(ShownSerials(*w).indexOf(serial));
        QVERIFY(row >= 0);
        const QAbstractItemModel* m = w->lstFleet()->model();
        QCOMPARE(m->index(row, FleetListModel::Status).data().toString(), status);
        QCOMPARE(m->index(row, FleetListModel::NextDue).data().toString(), nextDue);
        QCOMPARE(m->index(row, FleetListModel::Serial).data(Qt::BackgroundRole).value<QColor>(),
                 background);
    }

    // Sorting by a column and the three filters, set as the operator sets them.
    void sortAndFilter_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("station");
        QTest::addColumn<int>("status"); // the status choice; 0 any
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("by serial") << int(FleetListModel::Serial) << "" << 0 << ""
                                   << QStringList{"SN-OK", "SN-OVER", "SN-SOON"};
        QTest::newRow("by next due") << int(FleetListModel::NextDue) << "" << 0 << ""
                                     << QStringList{"SN-OVER", "SN-SOON", "SN-OK"};
        QTest::newRow("by last seen") << int(FleetListModel::LastSeen) << "" << 0 << ""
                                      << QStringList{"SN-OVER", "SN-SOON", "SN-OK"};
        QTest::newRow("station") << int(FleetListModel::Serial) << "North" << 0 << ""
                                 << QStringList{"SN-OK", "SN-OVER"};
        QTest::newRow("status") << int(FleetListModel::Serial) << "" << 2 << ""
                                << QStringList{"SN-SOON"};
        QTest::newRow("text, any case")
            << int(FleetListModel::Serial) << "" << 0 << "BOB" << QStringList{"SN-SOON"};
        QTest::newRow("all three")
            << int(FleetListModel::Serial) << "North" << 1 << "ov" << QStringList{"SN-OVER"};
    }
    void sortAndFilter() {
        QFETCH(int, column);
        QFETCH(QString, station);
        QFETCH(int, status);
        QFETCH(QString, typed);
        QFETCH(QStringList, shown);
        auto w = open();
        w->lstFleet()->sortByColumn(column, Qt::AscendingOrder);
        if (!station.isEmpty())
            w->cmbStation()->setCurrentText(station);
        w->cmbStatus()->setCurrentIndex(status);
        QTest::keyClicks(w->txtSearch(), typed);
        QCOMPARE(ShownSerials(*w), shown);
    }

    // Choosing an instrument reads its history, newest first, in local time.
    void historyOnSelect() {
        auto w = open();
        QVERIFY(w->selectInstrument(QStringLiteral("SN-OVER")));
        const FlexGrid* g = w->vfgHistory();
        QCOMPARE(GridColumn(g, 1), (QStringList{"read", "calibrate span", "read", "write",
                                                "calibrate span", "read"}));
        QCOMPARE(GridColumn(g, 2), (QStringList{"done", "done", "failed", "done", "done", "done"}));
        QCOMPARE(g->TextMatrix(1, 0),
                 At(40, 11).toLocalTime().toString(QStringLiteral("yyyy/MM/dd hh:mm:ss")));
        QCOMPARE(g->TextMatrix(4, 5), QStringLiteral("UserID: A -> B"));
        QCOMPARE(g->CellForeColor(3, 0), QColor(255, 0, 0));
        QCOMPARE(GridColumn(w->vfgDue(), 3), QStringList(5, QStringLiteral("Overdue")));
        // Another instrument replaces it.
        QVERIFY(w->selectInstrument(QStringLiteral("SN-OK")));
        QCOMPARE(GridColumn(g, 1), QStringList{"read"});
        // Operations are named in the window's language; one this program does not know, as
        // it was stored.
        SetMessageLanguage(QStringLiteral("ja"));
        const auto back = qScopeGuard([] { SetMessageLanguage(QStringLiteral("en")); });
        auto ja = open();
        QVERIFY(ja->selectInstrument(QStringLiteral("SN-OVER")));
        QCOMPARE(GridColumn(ja->vfgHistory(), 1).mid(0, 2),
                 (QStringList{"読み出し", "スパン校正"}));
        QCOMPARE(KindText(QStringLiteral("re-zero")), QStringLiteral("re-zero"));
    }

    // The first and the latest snapshot: exactly the settings the write changed are marked.
    void compareMarksChangedSettings() {
        auto w = open();
        QVERIFY(w->selectInstrument(QStringLiteral("SN-OVER")));
        QCOMPARE(w->cmbFirst()->count(), 3);
        w->cmbFirst()->setCurrentIndex(2);  // the oldest
        w->cmbSecond()->setCurrentIndex(1); // the write
        const FlexGrid* g = w->vfgCompare();
        w->chkChangedOnly()->setChecked(false); // every setting, the changed ones marked
        QStringList marked;
        for (int row = 1; row < g->Rows(); ++row)
            if (g->TextMatrix(row, 3) == QStringLiteral("changed")) {
                marked << g->TextMatrix(row, 0);
                QCOMPARE(g->CellBackColor(row, 0), QColor(255, 255, 160));
            }
        QCOMPARE(marked, (QStringList{"UserID", "Warning[2]"}));
        QVERIFY(g->Rows() > 100);
        w->chkChangedOnly()->setChecked(true);
        QCOMPARE(GridColumn(g, 0), marked);
    }

    // Channel 0's span readings, oldest first, before and after.
    void spanChartPoints() {
        auto w = open();
        QVERIFY(w->selectInstrument(QStringLiteral("SN-OVER")));
        const FleetSpanChart* chart = w->spanChart();
        QCOMPARE(chart->cmbChannel()->currentIndex(), 0);
        const auto x = [](int daysAgo) { return double(At(daysAgo).toMSecsSinceEpoch()); };
        QCOMPARE(chart->beforeSeries()->points(), (QList<QPointF>{{x(80), 48.0}, {x(40), 41.5}}));
        QCOMPARE(chart->afterSeries()->points(), (QList<QPointF>{{x(80), 50.0}, {x(40), 50.5}}));
        chart->cmbChannel()->setCurrentIndex(1); // never spanned
        QVERIFY(chart->beforeSeries()->points().isEmpty());
    }

    // A stored span's certificate printed again where the operator chose; a read has none.
    void reprintCertificate() {
        auto w = open();
        QVERIFY(w->selectInstrument(QStringLiteral("SN-OVER")));
        FlexGrid* g = w->vfgHistory();
        g->setCurrentCell(1, 0); // the latest read
        QVERIFY(!w->cmdReprint()->isEnabled());
        g->setCurrentCell(2, 0); // the second span
        QVERIFY(w->cmdReprint()->isEnabled());
        const QString pdf = m_dir.filePath(QStringLiteral("again.pdf"));
        m_ui->services.fileNames.enqueue(pdf);
        w->cmdReprint()->click();
        QCOMPARE(m_ui->services.texts().last(), LoadMessage(9740, {pdf}));
        const QString text = pdftext::extract(pdf);
        for (const char* expected : {"SN-OVER", "K. Tanaka", "LOT 4471-B", "41.5", "50.5"})
            QVERIFY2(text.contains(QLatin1String(expected)), expected);
        // A folder that is not there: said in a box, never reported as written.
        m_ui->services.fileNames.enqueue(m_dir.filePath(QStringLiteral("gone/again.pdf")));
        w->cmdReprint()->click();
        QCOMPARE(m_ui->services.asked.last().icon, UiServices::Critical);
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("gone/again.pdf"))));
    }

    // Typed with real keys: capitals and Shift in the search field, Tab out of every grid.
    void keyboard() {
        auto w = open();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        w->txtSearch()->setFocus();
        // Shift pressed on its own first, then held for capitals, as a hand types them.
        QTest::keyClick(w->txtSearch(), Qt::Key_Shift, Qt::ShiftModifier);
        QTest::keyClick(w->txtSearch(), 'S', Qt::ShiftModifier);
        QTest::keyClicks(w->txtSearch(), QStringLiteral("N-O"));
        QTest::keyClick(w->txtSearch(), 'K', Qt::ShiftModifier);
        QCOMPARE(w->txtSearch()->text(), QStringLiteral("SN-OK"));
        QCOMPARE(ShownSerials(*w), QStringList{"SN-OK"});
        w->txtSearch()->clear();
        QVERIFY(w->selectInstrument(QStringLiteral("SN-OVER")));
        w->vfgHistory()->setCurrentCell(2, 0); // a span: its certificate may be printed
        const QList<std::pair<QWidget*, QWidget*>> tabs{{w->lstFleet(), w->vfgDue()},
                                                        {w->vfgDue(), w->tabs()},
                                                        {w->vfgHistory(), w->cmdReprint()}};
        for (const auto& [grid, next] : tabs) {
            grid->setFocus();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QVERIFY2(next == QApplication::focusWidget() ||
                         next->isAncestorOf(QApplication::focusWidget()),
                     qPrintable(grid->objectName()));
        }
        // Typing on a grid edits nothing; Escape closes the window.
        w->vfgHistory()->setFocus();
        QTest::keyClick(w->vfgHistory(), Qt::Key_X);
        QVERIFY(!w->vfgHistory()->isEditing());
        QTest::keyClick(w->vfgHistory(), Qt::Key_Escape);
        QVERIFY(!w->isVisible());
    }

    // The main window's Fleet History opens the window on the database configured, without an
    // instrument; pressed again, the same window comes forward.
    void openedFromTheMainWindow() {
        m_ui.reset(); // the bench brings its own
        windowtest::MainWindowBench bench;
        frmMain& main = bench.open();
        appState().FleetDb = m_db;
        QVERIFY(main.button(MainButton::Fleet)->isEnabled());
        main.button(MainButton::Fleet)->click();
        auto* fleet = qobject_cast<frmFleet*>(FindForm(QStringLiteral("frmFleet")));
        QVERIFY(fleet);
        QVERIFY(fleet->isLoaded());
        QCOMPARE(fleet->lstFleet()->model()->rowCount(), 3);
        // No instrument read yet: the window opens on the first row, its history shown.
        QCOMPARE(fleet->lstFleet()->currentIndex().row(), 0);
        QVERIFY(fleet->vfgHistory()->Rows() > 1);
        fleet->close();
        // An instrument read that the history knows: the window opens on it.
        QVERIFY(bench.connected(main));
        windowtest::MainWindowBench::sim(main).state().serialNo = "SN-SOON             ";
        main.command_Click(MainButton::Read);
        QCOMPARE(main.session()->record()->SerialNo().trimmed(), QStringLiteral("SN-SOON"));
        main.button(MainButton::Fleet)->click();
        fleet = qobject_cast<frmFleet*>(FindForm(QStringLiteral("frmFleet")));
        QVERIFY(fleet);
        QCOMPARE(fleet->lstFleet()->currentIndex().data().toString(), QStringLiteral("SN-SOON"));
        main.button(MainButton::Fleet)->click();
        const QWidgetList windows = QApplication::topLevelWidgets();
        QCOMPARE(std::count_if(windows.cbegin(), windows.cend(),
                               [](QWidget* w) { return qobject_cast<frmFleet*>(w) != nullptr; }),
                 1);
        fleet->close();
    }

    // A file that is no database is said in the window; nothing is listed.
    void unreadableDatabase() {
        const QString bad = m_dir.filePath(QStringLiteral("not-a-database.sqlite"));
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
        f.close();
        frmFleet w(bad, nullptr, kToday);
        QVERIFY(!w.isLoaded());
        QVERIFY(!w.lblMessage()->isHidden());
        QVERIFY(w.lblMessage()->text().contains(bad));
        QCOMPARE(w.lstFleet()->model()->rowCount(), 0);
    }
};

QTEST_MAIN(TestFleetWindow)
#include "test_fleet_window.moc"
