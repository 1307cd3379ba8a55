// The windows with the keyboard alone, as a hand on the keys meets them: every grid takes every
// key with and without an open editor, Tab walks each window in the order it reads and never
// sticks in a grid, the commands have their Alt keys, Escape leaves a dialog without writing,
// and a screen reader finds a name for every control it can reach.
#include "app/MessageTable.h"
#include "link/SimPortControl.h"
#include "link/uclHbif.h"
#include "model/clsInstrument.h"
#include "sim/SimInstrument.h"
#include "state/AppState.h"
#include "support/MainWindowBench.h"
#include "ui/calibration/frmCalibration.h"
#include "ui/common/FlexGrid.h"
#include "ui/common/ScriptedUiServices.h"
#include "ui/common/StatusLamp.h"
#include "ui/factory/FsCompensationTab.h"
#include "ui/factory/FsGasTableTab.h"
#include "ui/factory/FsStationTab.h"
#include "ui/factory/frmFsDialog.h"
#include "ui/main/SettingsGrid.h"
#include "ui/main/frmMain.h"

#include <QAccessible>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

namespace {

using windowtest::ConnectLimitMs;
constexpr int ReadLimitMs = 20000;

QString accessibleName(QObject* o) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(o);
    return a ? a->text(QAccessible::Name) : QString();
}

// The controls of `window` that Tab can reach and a screen reader cannot name, and the grid
// cells it would announce without a row or column to place them.
QStringList unnamed(QWidget* window) {
    QStringList out;
    const auto widgets = window->findChildren<QWidget*>();
    for (QWidget* w : widgets) {
        if (!w->isVisibleTo(window) || !(w->focusPolicy() & Qt::TabFocus) ||
            w->focusProxy() != nullptr || qobject_cast<QTabBar*>(w))
            continue;
        if (accessibleName(w).trimmed().isEmpty())
            out << QStringLiteral("%1 %2").arg(w->metaObject()->className(), w->objectName());
    }
    for (FlexGrid* g : window->findChildren<FlexGrid*>()) {
        if (!g->isVisibleTo(window))
            continue;
        QAccessibleTableInterface* t = QAccessible::queryAccessibleInterface(g)->tableInterface();
        for (int c = g->FixedCols(); c < g->Cols(); ++c) {
            if (g->isColumnHidden(c))
                continue;
            QStringList fixedTexts;
            for (int r = 0; r < g->FixedRows(); ++r)
                fixedTexts << g->TextMatrix(r, c).trimmed();
            fixedTexts.removeAll(QString());
            // What a screen reader announces as the column's header (the table's own
            // description of it; the header cells Qt makes for it are never freed).
            const QString head = t->columnDescription(c);
            // The header is what the fixed cells show, or a name of its own where they are empty.
            if (g->FixedRows() > 0 &&
                (head.isEmpty() || (!fixedTexts.isEmpty() && !fixedTexts.contains(head))))
                out << QStringLiteral("%1 column %2 header").arg(g->objectName()).arg(c);
            for (int r = g->FixedRows(); r < g->Rows(); ++r)
                if (g->CellChecked(r, c) != FlexGrid::NoCheckBox &&
                    t->cellAt(r, c)->text(QAccessible::Name).trimmed().isEmpty())
                    out << QStringLiteral("%1 check cell %2,%3").arg(g->objectName()).arg(r).arg(c);
        }
    }
    return out;
}

// The widgets Tab visits from `first` until it comes back, or 100 steps.
QList<QWidget*> tabWalk(QWidget* first, Qt::Key key = Qt::Key_Tab) {
    QList<QWidget*> seen;
    first->setFocus(Qt::TabFocusReason);
    if (QApplication::focusWidget() != first)
        return seen;
    for (int i = 0; i < 100; ++i) {
        QWidget* now = QApplication::focusWidget();
        if (!now || seen.contains(now))
            break;
        seen << now;
        QTest::keyClick(now, key, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
    }
    return seen;
}

QGroupBox* frameOf(QWidget* w) {
    for (QWidget* p = w->parentWidget(); p; p = p->parentWidget())
        if (auto* box = qobject_cast<QGroupBox*>(p))
            return box;
    return nullptr;
}

// Inside each frame, Tab goes as the frame reads: row by row, left to right.
QString outOfReadingOrder(const QList<QWidget*>& walk, QWidget* window) {
    for (int i = 1; i < walk.size(); ++i) {
        QWidget *a = walk[i - 1], *b = walk[i];
        if (!frameOf(a) || frameOf(a) != frameOf(b))
            continue;
        const QPoint pa = a->mapTo(window, QPoint()), pb = b->mapTo(window, QPoint());
        const bool sameRow = qAbs(pa.y() - pb.y()) < a->height() / 2;
        if (sameRow ? pb.x() <= pa.x() : pb.y() < pa.y())
            return a->objectName() + QStringLiteral(" before ") + b->objectName();
    }
    return QString();
}

} // namespace

class TestKeyboard : public QObject {
    Q_OBJECT

    std::unique_ptr<windowtest::MainWindowBench> m_bench;
    frmMain* m_main = nullptr;

    ScriptedUiServices& ui() { return m_bench->asked(); }
    SimInstrument& sim() { return windowtest::MainWindowBench::sim(*m_main); }
    // A key on `w`, or on whatever holds the focus.
    static void press(QWidget* w, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        w = w ? w : QApplication::focusWidget();
        QVERIFY(w);
        QTest::keyClick(w, key, mods);
    }
    // The window that a closing progress dialog gave the activation back to (the offscreen
    // platform does not do it by itself).
    static void activate(QWidget* window) {
        QApplication::setActiveWindow(window);
        QVERIFY(QTest::qWaitForWindowActive(window));
    }

    // A dialog opened by a key runs modally: `inside` acts in it once it shows. A timer looks
    // for it, since the dialog's own event loop runs until it closes.
    template <typename Dialog> void whenOpen(const std::function<void(Dialog*)>& inside) {
        auto* poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [poll, inside] {
            auto* d = qobject_cast<Dialog*>(QApplication::activeModalWidget());
            if (!d || !d->isVisible())
                return;
            poll->stop();
            poll->deleteLater();
            inside(d);
        });
        poll->start(10);
    }
    static bool noDialogOpen() { return QApplication::activeModalWidget() == nullptr; }

    std::unique_ptr<frmFsDialog> openFactory() {
        auto fs = std::make_unique<frmFsDialog>(m_main->link());
        fs->setInstrument(&appState().Instrument);
        fs->show();
        fs->FirstActivate();
        activate(fs.get());
        return fs;
    }
    std::unique_ptr<frmCalibration> openCalibration() {
        auto cal =
            std::make_unique<frmCalibration>(frmCalibration::Host{m_main->link(), {}}, m_main);
        cal->show();
        cal->FirstActivate();
        activate(cal.get());
        return cal;
    }

    struct GridCell {
        FlexGrid* grid;
        int row, col;
    };
    static GridCell firstEditable(FlexGrid* g) {
        for (int r = g->FixedRows(); r < g->Rows(); ++r)
            for (int c = g->FixedCols(); c < g->Cols(); ++c)
                if (!g->isReadOnlyCell(r, c) && g->CellChecked(r, c) == FlexGrid::NoCheckBox)
                    return {g, r, c};
        return {g, -1, -1};
    }
    // The editable cell of each grid of the program, a text one and a list one where it has both.
    QList<std::pair<QString, GridCell>> editableCells(frmFsDialog& fs, frmCalibration& cal) {
        FlexGrid* gas = fs.gasTableTab()->vfgGasTbl();
        return {
            {"main grid warning", {m_main->vfgOption(), 2, SettingsGrid::ColWarning}},
            {"factory parameter list", {fs.vfgDatas(), 1, 1}},
            {"station", {fs.stationTab()->vfgStation(), 1, 1}},
            {"user gas name", {gas, FsGasTableTab::UserRow, 1}},
            {"user gas unit list", {gas, FsGasTableTab::UserRow, 4}},
            {"compensation value", firstEditable(fs.compensationTab()->vfgCompensation())},
            {"span gas concentration", {cal.vfgCal(), 1, frmCalibration::ColAutoCal}},
        };
    }

private slots:
    void initTestCase() {
        m_bench = std::make_unique<windowtest::MainWindowBench>();
        m_main = &m_bench->open();
        QApplication::setActiveWindow(m_main);
        QVERIFY(QTest::qWaitForWindowActive(m_main));
        QVERIFY(QTest::qWaitFor([&] { return m_main->button(MainButton::Read)->isEnabled(); },
                                ConnectLimitMs));
        // Once connected, the keyboard starts at the read.
        QCOMPARE(QApplication::focusWidget(), m_main->button(MainButton::Read));
    }
    void cleanupTestCase() {
        m_main = nullptr;
        m_bench.reset();
    }

    // Read, edit a threshold and write it with the keys alone.
    void readEditAndWriteWithoutTheMouse() {
        ui().answers.enqueue(UiServices::AnswerYes);
        press(nullptr, Qt::Key_I, Qt::AltModifier);
        QVERIFY(
            QTest::qWaitFor([] { return appState().Instrument.CommFlags() != 0; }, ReadLimitMs));
        FlexGrid* g = m_main->vfgOption();
        activate(m_main);
        // From the first identity field, Tab reaches the grid after the four other fields.
        m_main->settings()->txtOption(0)->setFocus(Qt::TabFocusReason);
        for (int i = 0; i < 5; ++i)
            press(nullptr, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), g);
        g->setCurrentCell(2, SettingsGrid::ColEnable);
        press(g, Qt::Key_Right);
        QTest::keyClicks(g, QStringLiteral("12"));
        press(nullptr, Qt::Key_Return);
        QCOMPARE(appState().Instrument.Warning(0), 12.0f);
        // One Tab leaves the grid for the first command.
        press(g, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), m_main->button(MainButton::Read));
        sim().clearCounters();
        press(nullptr, Qt::Key_U, Qt::AltModifier);

        QTRY_COMPARE_WITH_TIMEOUT(sim().state().levels[SimDeviceState::Warning][0], 12.0f,
                                  ReadLimitMs);
    }

    // Every command of the main window answers its Alt key, and no two share one.
    void everyCommandHasItsOwnAltKey() {
        QSet<QChar> keys;
        for (QPushButton* b : m_main->findChildren<QPushButton*>()) {
            const int amp = b->text().indexOf(QRegularExpression(QStringLiteral("&[^&]")));
            QVERIFY2(amp >= 0, qPrintable(b->text()));
            const QChar key = b->text().at(amp + 1).toUpper();
            QVERIFY2(!keys.contains(key), qPrintable(b->text()));
            keys.insert(key);
        }
        QCOMPARE(keys.size(), 19);
    }

    // Escape leaves the factory dialog and changes nothing; the calibration window likewise,
    // and Return in its text fields starts nothing on the instrument.
    void dialogsOpenAndCloseByKeys() {
        const clsInstrument before = appState().Instrument;
        sim().clearCounters();
        activate(m_main);
        bool factoryShown = false;
        whenOpen<frmFsDialog>([&](frmFsDialog* d) {
            factoryShown = true;
            QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("x"));
            press(nullptr, Qt::Key_Escape); // leaves a cell editor, if one opened
            press(d, Qt::Key_Escape);
        });
        press(m_main, Qt::Key_E, Qt::AltModifier);
        QTRY_VERIFY(factoryShown);
        QTRY_VERIFY(noDialogOpen());
        QCOMPARE(appState().Instrument.StationList(0), before.StationList(0));

        activate(m_main);
        bool calibrationShown = false;
        whenOpen<frmCalibration>([&](frmCalibration* d) {
            calibrationShown = true;
            d->FirstActivate(); // what the window runs as it shows: it reads the gases
            auto* operatorField = d->findChildren<QLineEdit*>().first();
            operatorField->setFocus();
            QTest::keyClicks(operatorField, QStringLiteral("Ann O"));
            press(operatorField, Qt::Key_Return);
            press(operatorField, Qt::Key_Enter);
            QCOMPARE(QApplication::activeModalWidget(), d);
            press(d, Qt::Key_Escape);
        });
        press(m_main, Qt::Key_C, Qt::AltModifier);
        QTRY_VERIFY(calibrationShown);
        QTRY_VERIFY(noDialogOpen());
        QCOMPARE(sim().commandCount(QStringLiteral("SZ")), 0);
        QCOMPARE(sim().commandCount(QStringLiteral("S2")), 0);
    }

    // A crash lived here: a key the editor ignored went back and forth between grid and editor.
    void everyGridTakesEveryKey_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        const int shift = Qt::ShiftModifier, none = 0;
        // clang-format off
        const std::pair<const char*, std::pair<int, int>> keys[] = {
            {"Shift",     {Qt::Key_Shift,    shift}},
            {"Ctrl",      {Qt::Key_Control,  int(Qt::ControlModifier)}},
            {"Caps Lock", {Qt::Key_CapsLock, none}},
            {"Up",        {Qt::Key_Up,       none}},
            {"Down",      {Qt::Key_Down,     none}},
            {"Home",      {Qt::Key_Home,     none}},
            {"End",       {Qt::Key_End,      none}},
            {"F7",        {Qt::Key_F7,       none}},
            {"Tab",       {Qt::Key_Tab,      none}},
            {"Shift+Tab", {Qt::Key_Backtab,  shift}},
            {"Escape",    {Qt::Key_Escape,   none}},
            {"Return",    {Qt::Key_Return,   none}},
        };
        // clang-format on
        for (const auto& [name, key] : keys)
            QTest::newRow(name) << key.first << key.second;
    }
    void everyGridTakesEveryKey() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        const auto fs = openFactory();
        const auto cal = openCalibration();
        for (const auto& [name, at] : editableCells(*fs, *cal)) {
            QWidget* window = at.grid->window();
            window->show(); // Escape on a cell closes its dialog
            activate(window);
            if (auto* tabs = window->findChild<QTabWidget*>())
                for (int i = 0; i < tabs->count(); ++i)
                    if (tabs->widget(i)->isAncestorOf(at.grid))
                        tabs->setCurrentIndex(i);
            at.grid->setFocus();
            at.grid->setCurrentCell(at.row, at.col);
            press(at.grid, Qt::Key_F2);
            QVERIFY2(at.grid->isEditing(), qPrintable(name));
            press(nullptr, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
            // And on the cell without an editor.
            at.grid->cancelEdit();
            at.grid->setFocus();
            press(at.grid, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
            at.grid->cancelEdit();
        }
    }

    // Capitals and the identifier signs reach the cell: upper-case station identifiers can be
    // typed by hand.
    void capitalsAndSignsAreTyped() {
        const auto fs = openFactory();
        FlexGrid* g = fs->stationTab()->vfgStation();
        fs->findChild<QTabWidget*>()->setCurrentWidget(fs->stationTab());
        g->setFocus();
        g->setCurrentCell(3, 1);
        QTest::keyClicks(g, QStringLiteral("AB_<>/x-1"));
        press(nullptr, Qt::Key_Return);
        QCOMPARE(g->TextMatrix(3, 1), QStringLiteral("AB_<>/x-1"));
    }

    void tabWalksEachWindowInReadingOrder() {
        // The main window: identity, grid, commands, then the log pane.
        activate(m_main);
        const QList<QWidget*> walk = tabWalk(m_main->settings()->txtOption(0));
        QCOMPARE(walk.at(5), m_main->vfgOption());
        QCOMPARE(walk.last()->objectName(), QStringLiteral("rtbLog"));
        QCOMPARE(outOfReadingOrder(walk, m_main), QString());
        for (QPushButton* b : m_main->findChildren<QPushButton*>())
            QVERIFY2(!b->isVisible() || !b->isEnabled() || walk.contains(b), qPrintable(b->text()));
        // Shift+Tab goes back the same way.
        QList<QWidget*> back = tabWalk(walk.last(), Qt::Key_Backtab);
        std::reverse(back.begin(), back.end());
        QCOMPARE(back, walk);

        const auto fs = openFactory();
        const QList<QWidget*> fsWalk = tabWalk(fs->findChild<QTabWidget*>()->tabBar());
        QVERIFY(fsWalk.contains(fs->stationTab()->vfgStation()));
        QVERIFY(fsWalk.contains(fs->findChild<QPushButton*>(QStringLiteral("cmdCancel"))));
    }

    void aScreenReaderNamesEveryControl() {
        QCOMPARE(unnamed(m_main).join(u'|'), QString());
        const auto fs = openFactory();
        auto* tabs = fs->findChild<QTabWidget*>();
        for (int i = 0; i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            QCOMPARE(unnamed(fs.get()).join(u'|'), QString());
        }
        QCOMPARE(unnamed(openCalibration().get()).join(u'|'), QString());
        // The lamps say their state in words as well as in colour.
        StatusLamp* port = m_main->shpStatus(0);
        QCOMPARE(QAccessible::queryAccessibleInterface(port)->text(QAccessible::Description),
                 LoadMessage(5852));
        QCOMPARE(port->toolTip(), LoadMessage(5851, {LoadMessage(5022), LoadMessage(5852)}));
    }

    // The dialogs open no larger than the screen leaves room for (the factory dialog once put
    // its Cancel button off a 1280-pixel screen at 150 %), and no wider than the main window.
    void dialogsFitTheScreen_data() {
        QTest::addColumn<QString>("language");
        QTest::newRow("en") << "en";
        QTest::newRow("ja") << "ja";
    }
    void dialogsFitTheScreen() {
        QFETCH(QString, language);
        SetMessageLanguage(language);
        const auto back = qScopeGuard([] { SetMessageLanguage(QStringLiteral("en")); });
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        const auto fs = openFactory();
        const auto cal = openCalibration();
        for (QWidget* w : {static_cast<QWidget*>(fs.get()), static_cast<QWidget*>(cal.get())})
            QVERIFY2(w->width() <= screen.width() && w->height() <= screen.height(),
                     qPrintable(w->objectName()));
        QVERIFY(cal->width() <= m_main->minimumWidth());
    }

    // A screen reader's "Toggle" on a check cell goes the way of Space and a click: switching
    // a gas off asks first.
    void toggleActionOfACheckCell() {
        FlexGrid* g = m_main->vfgOption();
        const int row = 6;
        QCOMPARE(g->CellChecked(row, SettingsGrid::ColEnable), FlexGrid::Checked);
        QAccessibleInterface* cell =
            QAccessible::queryAccessibleInterface(g)->tableInterface()->cellAt(
                row, SettingsGrid::ColEnable);
        QVERIFY(cell->actionInterface());
        ui().asked.clear();
        ui().answers.enqueue(UiServices::AnswerYes);
        cell->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        QTRY_COMPARE(g->CellChecked(row, SettingsGrid::ColEnable), FlexGrid::Unchecked);
        QCOMPARE(ui().asked.size(), 1);
        QVERIFY(!appState().Instrument.GasEnabled(row - 2));
    }
};

QTEST_MAIN(TestKeyboard)
#include "test_keyboard.moc"
