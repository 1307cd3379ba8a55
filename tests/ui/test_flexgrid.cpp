// FlexGrid: the edit event chain driven by real key events, read-only cells, check boxes.
#include "ui/common/FlexGrid.h"
#include "ui/common/WindowHelpers.h"

#include <QLineEdit>
#include <QVBoxLayout>
#include <QtTest>

class TestFlexGrid : public QObject {
    Q_OBJECT

    struct Log {
        QStringList events;
    };

    static void wire(FlexGrid& g, Log& log) {
        QObject::connect(&g, &FlexGrid::BeforeEdit, &g, [&log](int r, int c, bool*) {
            log.events << QStringLiteral("before %1,%2").arg(r).arg(c);
        });
        QObject::connect(&g, &FlexGrid::ValidateEdit, &g, [&log](int r, int c, bool*) {
            log.events << QStringLiteral("validate %1,%2").arg(r).arg(c);
        });
        QObject::connect(&g, &FlexGrid::AfterEdit, &g, [&log](int r, int c) {
            log.events << QStringLiteral("after %1,%2").arg(r).arg(c);
        });
    }

private slots:
    void typingGoesThroughTheEvents() {
        FlexGrid g;
        g.setRows(3);
        g.setCols(3);
        g.setFixedRows(1);
        g.setFixedCols(1);
        g.show();
        Log log;
        wire(g, log);
        // Upper-case every letter, drop digits.
        connect(&g, &FlexGrid::KeyPressEdit, &g, [](int, int, int* key) {
            if (*key >= 'a' && *key <= 'z')
                *key -= 32;
            else if (*key >= '0' && *key <= '9')
                *key = 0;
        });
        g.setCurrentCell(1, 1);
        QTest::keyClicks(&g, QStringLiteral("ab1c"));
        QVERIFY(g.isEditing());
        QCOMPARE(g.EditText(), QStringLiteral("ABC"));
        QTest::keyClick(g.editor(), Qt::Key_Return);
        QVERIFY(!g.isEditing());
        QCOMPARE(g.TextMatrix(1, 1), QStringLiteral("ABC"));
        QCOMPARE(log.events, (QStringList{"before 1,1", "validate 1,1", "after 1,1"}));
    }

    void validateCanRefuseAndReplace() {
        FlexGrid g;
        g.setRows(2);
        g.setCols(2);
        g.show();
        int refusals = 0;
        connect(&g, &FlexGrid::ValidateEdit, &g, [&](int, int, bool* cancel) {
            bool ok = false;
            const int v = g.EditText().toInt(&ok);
            if (!ok || v > 10) {
                ++refusals;
                *cancel = true;
                return;
            }
            g.setEditText(QString::number(v * 2));
        });
        QVERIFY(g.startEdit(1, 1));
        auto* line = qobject_cast<QLineEdit*>(g.editor());
        QVERIFY(line);
        QTest::keyClicks(line, QStringLiteral("99"));
        QVERIFY(!g.commitEdit());
        QVERIFY(g.isEditing());
        QCOMPARE(g.EditText(), QStringLiteral("99")); // the typed text stays
        QCOMPARE(refusals, 1);
        line->setText(QStringLiteral("4"));
        QVERIFY(g.commitEdit());
        QCOMPARE(g.TextMatrix(1, 1), QStringLiteral("8"));
    }

    // Every key a hand may press, with and without an open editor: nothing loops, Tab leaves
    // the grid, Escape gives the old text back, the arrows commit and move.
    void keysWithAndWithoutAnEditor_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("typed"); // the key's text
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("editor"); // "", "line" or "combo"
        QTest::addColumn<bool>("editing");
        QTest::addColumn<QString>("focus"); // "grid", "editor", "before" or "after"
        QTest::addColumn<QString>("text");  // cell 1,1 afterwards (edit text while editing)
        QTest::addColumn<int>("row");       // the current row afterwards
        const int shift = Qt::ShiftModifier, ctrl = Qt::ControlModifier, none = 0;
        struct Row {
            const char* name;
            int key, mods;
            const char* editor;
            bool editing;
            const char* focus;
            const char* text;
            int row;
        };
        // clang-format off
        const Row rows[] = {
            // name               key               mods   editor   editing focus     text  row
            {"shift in text",     Qt::Key_Shift,    shift, "line",  true,  "editor", "ab", 1},
            {"ctrl in text",      Qt::Key_Control,  ctrl,  "line",  true,  "editor", "ab", 1},
            {"caps lock in text", Qt::Key_CapsLock, none,  "line",  true,  "editor", "ab", 1},
            {"F5 in text",        Qt::Key_F5,       none,  "line",  true,  "editor", "ab", 1},
            {"capital in text",   Qt::Key_A,        shift, "line",  true,  "editor", "A",  1},
            {"home in text",      Qt::Key_Home,     none,  "line",  true,  "editor", "ab", 1},
            {"down in text",      Qt::Key_Down,     none,  "line",  false, "grid",   "ab", 2},
            {"up at the top",     Qt::Key_Up,       none,  "line",  false, "grid",   "ab", 1},
            {"escape in text",    Qt::Key_Escape,   none,  "line",  false, "grid",   "ab", 1},
            {"return in text",    Qt::Key_Return,   none,  "line",  false, "grid",   "ab", 1},
            {"tab in text",       Qt::Key_Tab,      none,  "line",  false, "after",  "ab", 1},
            {"backtab in text",   Qt::Key_Backtab,  shift, "line",  false, "before", "ab", 1},
            {"shift in list",     Qt::Key_Shift,    shift, "combo", true,  "editor", "ab", 1},
            {"down in list",      Qt::Key_Down,     none,  "combo", true,  "editor", "cd", 1},
            {"escape in list",    Qt::Key_Escape,   none,  "combo", false, "grid",   "ab", 1},
            {"tab in list",       Qt::Key_Tab,      none,  "combo", false, "after",  "ab", 1},
            {"shift on a cell",   Qt::Key_Shift,    shift, "",      false, "grid",   "ab", 1},
            {"capital on a cell", Qt::Key_A,        shift, "",      true,  "editor", "A",  1},
            {"F2 on a cell",      Qt::Key_F2,       none,  "",      true,  "editor", "ab", 1},
            {"ctrl+a on a cell",  Qt::Key_A,        ctrl,  "",      false, "grid",   "ab", 1},
            {"down on a cell",    Qt::Key_Down,     none,  "",      false, "grid",   "ab", 2},
            {"tab on a cell",     Qt::Key_Tab,      none,  "",      false, "after",  "ab", 1},
            {"backtab on a cell", Qt::Key_Backtab,  shift, "",      false, "before", "ab", 1},
            {"ctrl+tab on a cell",Qt::Key_Tab,      ctrl,  "",      false, "grid",   "ab", 1},
        };
        // clang-format on
        for (const Row& r : rows)
            QTest::newRow(r.name) << r.key
                                  << (r.key == Qt::Key_A && r.mods == shift ? QStringLiteral("A")
                                                                            : QString())
                                  << r.mods << QString::fromLatin1(r.editor) << r.editing
                                  << QString::fromLatin1(r.focus) << QString::fromLatin1(r.text)
                                  << r.row;
    }
    void keysWithAndWithoutAnEditor() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, editor);
        QWidget w;
        auto* before = new QLineEdit(&w);
        auto* g = new FlexGrid(&w);
        auto* after = new QLineEdit(&w);
        auto* lay = new QVBoxLayout(&w);
        lay->addWidget(before);
        lay->addWidget(g);
        lay->addWidget(after);
        g->setRows(4);
        g->setCols(3);
        g->setFixedRows(1);
        g->setFixedCols(1);
        g->setTextMatrix(1, 1, QStringLiteral("ab"));
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        g->setFocus();
        g->setCurrentCell(1, 1);
        g->setComboList(editor == QLatin1String("combo") ? QStringLiteral("ab|cd") : QString());
        if (!editor.isEmpty())
            QVERIFY(g->startEdit(1, 1));
        QFETCH(QString, typed);
        QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key(key), typed,
                            Qt::KeyboardModifiers(modifiers));
        QApplication::processEvents(); // a leaving editor commits on the next turn
        QTEST(g->isEditing(), "editing");
        const QMap<QString, QWidget*> owners{
            {"grid", g}, {"editor", g->editor()}, {"before", before}, {"after", after}};
        QFETCH(QString, focus);
        QCOMPARE(QApplication::focusWidget(), owners.value(focus));
        QTEST(g->isEditing() ? g->EditText() : g->TextMatrix(1, 1), "text");
        QTEST(g->currentRow(), "row");
    }

    void readOnlyCellsRefuseEditing() {
        FlexGrid g;
        g.setRows(3);
        g.setCols(3);
        g.setFixedRows(1);
        g.setFixedCols(1);
        Log log;
        wire(g, log);
        QVERIFY(!g.startEdit(0, 1)); // fixed row
        QVERIFY(!g.startEdit(1, 0)); // fixed column
        g.setCellBackColor(2, 2, g.BackColorFixed());
        QVERIFY(g.isReadOnlyCell(2, 2));
        QVERIFY(!g.startEdit(2, 2));
        QVERIFY(log.events.isEmpty());
        connect(&g, &FlexGrid::BeforeEdit, &g, [](int r, int, bool* cancel) { *cancel = r == 1; });
        QVERIFY(!g.startEdit(1, 1));
        QVERIFY(g.startEdit(2, 1));
        g.cancelEdit();
        QVERIFY(!g.isEditing());
        QCOMPARE(g.TextMatrix(2, 1), QString());
    }

    void checkBoxesToggleThroughEvents() {
        FlexGrid g;
        g.setRows(2);
        g.setCols(2);
        g.resize(300, 200);
        g.show();
        QVERIFY(QTest::qWaitForWindowExposed(&g));
        Log log;
        wire(g, log);
        g.setCellChecked(1, 1, FlexGrid::Unchecked);
        const QRect r = g.visualItemRect(g.item(1, 1));
        QTest::mouseClick(g.viewport(), Qt::LeftButton, {}, r.center());
        QCOMPARE(g.CellChecked(1, 1), FlexGrid::Checked);
        QCOMPARE(log.events, (QStringList{"before 1,1", "after 1,1"}));
        g.setCellBackColor(1, 1, g.BackColorFixed());
        g.toggleCheck(1, 1);
        QCOMPARE(g.CellChecked(1, 1), FlexGrid::Checked);
        QCOMPARE(g.CellChecked(0, 0), FlexGrid::NoCheckBox);
    }

    void comboEditorOffersTheList() {
        FlexGrid g;
        g.setRows(2);
        g.setCols(2);
        g.setTextMatrix(1, 1, QStringLiteral("Latch"));
        g.setComboList(QStringLiteral("Reset|Latch"));
        QVERIFY(g.startEdit(1, 1));
        QCOMPARE(g.EditText(), QStringLiteral("Latch"));
        g.setEditText(QStringLiteral("Reset"));
        QVERIFY(g.commitEdit());
        QCOMPARE(g.TextMatrix(1, 1), QStringLiteral("Reset"));
    }

    void windowHelpers() {
        QWidget w;
        w.setObjectName(QStringLiteral("frmSample"));
        w.resize(200, 100);
        w.show();
        QCOMPARE(FindForm(QStringLiteral("frmSample")), &w);
        QCOMPARE(FindForm(QStringLiteral("frmSampl")), nullptr);
        const QSize t = ClientSizeTwips(&w);
        QCOMPARE(t.width(), int(200 * 1440.0 / w.logicalDpiX() + 0.5));
        QLineEdit edit(&w);
        SetControlEnabled(&edit, false);
        QVERIFY(!edit.isEnabled());
        QCOMPARE(edit.palette().color(QPalette::Base),
                 QApplication::palette(&edit).color(QPalette::Button));
        SetControlEnabled(&edit, true);
        QVERIFY(edit.isEnabled());
        QCOMPARE(edit.palette().color(QPalette::Base),
                 QApplication::palette(&edit).color(QPalette::Base));
    }

    void clearKeepsSizeAndFixedColour() {
        FlexGrid g;
        g.setRows(3);
        g.setCols(2);
        g.setFixedRows(1);
        g.setTextMatrix(2, 1, QStringLiteral("x"));
        g.setCellForeColor(2, 1, Qt::red);
        g.setMergeCells(0, 0, 1, 2);
        g.Clear();
        QCOMPARE(g.Rows(), 3);
        QCOMPARE(g.TextMatrix(2, 1), QString());
        QVERIFY(g.CellForeColor(2, 1) != QColor(Qt::red));
        QCOMPARE(g.CellBackColor(0, 1), g.BackColorFixed());
        QCOMPARE(g.columnSpan(0, 0), 1);
    }
};

QTEST_MAIN(TestFlexGrid)
#include "test_flexgrid.moc"
