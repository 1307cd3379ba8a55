// The factory dialog against the in-process simulated instrument: the working copy and what OK
// brings back (checked on the frames the next update sends), Cancel, the parameter rows'
// refusals, the station tab with its file, the gas table's rules and the compensation console.
#include "app/MessageTable.h"
#include "model/clsInstrument.h"
#include "ops/WriteSequences.h"
#include "support/LinkTestAccess.h"
#include "support/SequenceTestSupport.h"
#include "ui/common/FlexGrid.h"
#include "ui/common/ScriptedUiServices.h"
#include "ui/factory/FsCompensationTab.h"
#include "ui/factory/FsGasTableTab.h"
#include "ui/factory/FsStationTab.h"
#include "ui/factory/frmFsDialog.h"
#include "ui/main/SettingsGrid.h"
#include "ui/main/frmMain.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

namespace {

const QColor Red(255, 0, 0);

// Types into a cell through the editor, as a user would, and presses Enter. False when the
// editor could not open or is still open afterwards (the edit was refused).
bool typeInto(FlexGrid* g, int row, int col, const QString& text) {
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

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

bool choose(FlexGrid* g, int row, const QString& text) {
    if (!g->startEdit(row, 1))
        return false;
    g->setEditText(text);
    return g->commitEdit();
}

} // namespace

class TestFactoryDialog : public QObject {
    Q_OBJECT

    std::unique_ptr<seqtest::SimLink> m_sim;
    std::unique_ptr<ScopedScriptedUi> m_ui;

    ScriptedUiServices& services() { return m_ui->services; }
    clsInstrument& main() { return m_sim->record; }

    std::unique_ptr<frmFsDialog> open() {
        auto d = std::make_unique<frmFsDialog>(&m_sim->link);
        d->setInstrument(&main());
        d->show();
        d->FirstActivate();
        return d;
    }
    // What the next update writes, after the dialog closed.
    QStringList update() {
        m_sim->sim().clearCounters();
        WriteSequences(m_sim->link).SetInstrument(&main());
        return m_sim->commands();
    }

private slots:
    void init() {
        m_sim = std::make_unique<seqtest::SimLink>();
        SetMessageLanguage(QStringLiteral("en"));
        QVERIFY(m_sim->connect());
        main().setRomNumber(4425);
        main().setLS_Name(0, QStringLiteral("USER1"));
        main().setStationList(5, QStringLiteral("OLD-5"));
        main().setLI_Name(1, QStringLiteral("i-C4H10"));
        main().setLI_Name(16, QStringLiteral("H2"));
        main().ClearChangeFlags();
        m_ui = std::make_unique<ScopedScriptedUi>();
    }
    void cleanup() {
        m_ui.reset();
        m_sim.reset();
    }

    void okWithoutEditsLeavesNothingToWrite() {
        auto d = open();
        QCOMPARE(d->WorkRecord().StationList(5), QStringLiteral("OLD-5"));
        d->cmdOK_Click();
        QCOMPARE(d->result(), int(QDialog::Accepted));
        QCOMPARE(update(), QStringList());
    }

    void anEditedStationIsWrittenAloneThenSaved() {
        auto d = open();
        QVERIFY(typeInto(d->stationTab()->vfgStation(), 5, 1, QStringLiteral(" NEW 5")));
        QVERIFY(main().StationList(5) == QStringLiteral("OLD-5")); // only the copy so far
        d->cmdOK_Click();
        QCOMPARE(update(), (QStringList{"XS,W,0005, NEW 5          ", "DW,W,"}));
    }

    void cancelLeavesTheMainRecordUntouched() {
        auto d = open();
        QVERIFY(typeInto(d->stationTab()->vfgStation(), 0, 1, QStringLiteral("X")));
        QVERIFY(choose(d->vfgDatas(), 3, QStringLiteral("Latch")));
        QVERIFY(typeInto(d->gasTableTab()->vfgGasTbl(), 16, 1, QStringLiteral("NEWGAS")));
        QTest::keyClick(d.get(), Qt::Key_Escape);
        QCOMPARE(d->result(), int(QDialog::Rejected));
        QCOMPARE(main().StationList(0), QString(16, u'-'));
        QCOMPARE(main().AlarmMode(), qint16(0));
        QCOMPARE(main().LS_Name(0), QStringLiteral("USER1"));
        QCOMPARE(update(), QStringList());
    }

    void parameterRowsRefuseAndStore() {
        auto d = open();
        FlexGrid* g = d->vfgDatas();
        QCOMPARE(g->TextMatrix(9, 2), QStringLiteral("H-L|L-LL")); // program 4425
        QVERIFY(!g->startEdit(3, 0));                              // labels are read-only
        QVERIFY(typeInto(g, 2, 1, QStringLiteral("abc#")));
        QCOMPARE(g->TextMatrix(2, 1), QStringLiteral("ABC"));
        QCOMPARE(services().beeps, 1);
        QVERIFY(typeInto(g, 2, 1, QStringLiteral("ABCDEFGHIJK")));
        QCOMPARE(g->TextMatrix(2, 1), QStringLiteral("ABCDEFGHIJ"));
        for (const char* refused : {"0", "366"}) {
            QVERIFY2(!typeInto(g, 5, 1, QString::fromLatin1(refused)), refused);
            g->cancelEdit();
        }
        QVERIFY(!typeInto(g, 11, 1, QStringLiteral("256")));
        g->cancelEdit();
        QVERIFY(typeInto(g, 5, 1, QStringLiteral("1"))); // its own value: still written
        QVERIFY(choose(g, 3, QStringLiteral("Latch")));
        d->cmdOK_Click();
        QCOMPARE(main().SpecNo(), QStringLiteral("ABCDEFGHIJ"));
        QCOMPARE(update(), (QStringList{"BS,W,ABCDEFGHIJ", "AP,W,1", "SC,W,001", "DW,W,"}));
    }

    void stationTabMarksRefusesAndExports() {
        auto d = open();
        FsStationTab* tab = d->stationTab();
        FlexGrid* g = tab->vfgStation();
        QVERIFY(typeInto(g, 1, 1, QString(17, u'A')));
        QCOMPARE(g->TextMatrix(1, 1), QString(16, u'A'));
        QCOMPARE(services().beeps, 1);
        g->setCurrentCell(2, 1);
        g->startEdit(2, 1);
        QTest::keyClicks(g->editor(), QStringLiteral("   "));
        QCOMPARE(tab->lblSpaceCount()->text(), QStringLiteral("(Left space 3)"));
        g->cancelEdit();

        QTemporaryDir dir;
        const QString bad = dir.filePath("bad.csv");
        QVERIFY(writeFile(bad, "1,A\r\n2,\x01\x02\r\n"));
        services().fileNames.enqueue(bad);
        tab->cmdStationImport_Click();
        QVERIFY(services().texts().last().contains("not a text file"));
        QCOMPARE(g->TextMatrix(0, 1), QString(16, u'-')); // refused whole

        const QString five = dir.filePath("five.csv");
        QVERIFY(writeFile(five, "1,A\r\n2\tB\r\n3,C,D\r\n4,\r\n5, E\r\n"));
        services().fileNames.enqueue(five);
        tab->cmdStationImport_Click();
        QCOMPARE(g->TextMatrix(1, 1), QStringLiteral("B"));
        QCOMPARE(g->CellBackColor(2, 1), Red);
        QVERIFY(g->CellBackColor(1, 1) != Red);
        d->cmdOK_Click();
        QCOMPARE(services().texts().last(),
                 QStringLiteral("Improper data found  ( Station List )"));
        QVERIFY(d->isVisible());
        tab->cmdStationExport_Click();
        QCOMPARE(services().texts().last(),
                 QStringLiteral("Improper data found  ( Station List )"));

        QVERIFY(typeInto(g, 2, 1, QStringLiteral("C")));
        const QString out = dir.filePath("out.csv");
        services().fileNames.enqueue(out);
        tab->cmdStationExport_Click();
        QCOMPARE(services().texts().last(), QStringLiteral("Export Complete"));
        QFile written(out);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = written.readAll().split('\n');
        QCOMPARE(lines.size(), 129); // 128 lines ended by CR LF
        QCOMPARE(lines.at(4), QByteArray("5, E\r"));
        QCOMPARE(lines.at(5), QByteArray("6,OLD-5\r"));

        // Imported entries are written even where unchanged, as the file was meant to be.
        d->cmdOK_Click();
        QStringList expected;
        for (const char* e : {"0000,A", "0001,B", "0002,C", "0003,", "0004, E"})
            expected << (QStringLiteral("XS,W,") + QString::fromLatin1(e)).leftJustified(26);
        expected << "DW,W,";
        QCOMPARE(update(), expected);
    }

    void gasTableKeepsBuiltInRowsAndStoresTheUserPair() {
        auto d = open();
        FlexGrid* g = d->gasTableTab()->vfgGasTbl();
        QVERIFY(!g->startEdit(3, 1));
        QVERIFY(!g->startEdit(0, 5));
        const QString builtIn = g->TextMatrix(1, 1);
        QVERIFY(!builtIn.isEmpty());
        QVERIFY(!typeInto(g, 16, 1, builtIn));
        g->cancelEdit();
        QVERIFY(typeInto(g, 16, 15, QStringLiteral("MY GAS")));
        QCOMPARE(g->TextMatrix(16, 1), QStringLiteral("MY GAS"));
        QVERIFY(typeInto(g, 16, 19, QStringLiteral("500")));
        QVERIFY(!typeInto(g, 16, 5, QStringLiteral("65536")));
        g->cancelEdit();
        d->cmdOK_Click();
        QCOMPARE(main().LS_Name(0), QStringLiteral("MY GAS"));
        QCOMPARE(main().LS_elem_vol(1), 500);
        const QStringList sent = update();
        QCOMPARE(sent.size(), 2);
        QVERIFY(sent.at(0).startsWith(QStringLiteral("LS,W,00,MY GAS    ,")));
        QCOMPARE(sent.at(1), QStringLiteral("DW,W,"));
    }

    void compensationCommandsAreSentAnsweredAndRedrawn() {
        auto d = open();
        FsCompensationTab* tab = d->compensationTab();
        FlexGrid* g = tab->vfgCompensation();
        m_sim->sim().clearCounters();
        QVERIFY(typeInto(g, 19, 2, QStringLiteral("1234")));
        tab->vfgCompensation_MouseDown(19, 1);
        QCOMPARE(m_sim->commands(), QStringList{"CF,W,1234"});
        QCOMPARE(main().CF_span(), QStringLiteral("1234"));
        QCOMPARE(g->TextMatrix(18, 2), QStringLiteral("1234"));

        // A second press while the first is on the wire is not sent.
        m_sim->sim().clearCounters();
        QTimer::singleShot(0, tab, [tab] { tab->vfgCompensation_MouseDown(1, 1); });
        tab->vfgCompensation_MouseDown(24, 1);
        QCOMPARE(m_sim->commands(), QStringList{"CA,R,"});
        QCOMPARE(g->TextMatrix(24, 2), main().CA_lel_sq());

        // Not a number: refused before anything is sent.
        m_sim->sim().clearCounters();
        QVERIFY(typeInto(g, 16, 3, QStringLiteral("12,5")));
        tab->vfgCompensation_MouseDown(16, 1);
        QCOMPARE(m_sim->commands(), QStringList());
        QVERIFY(services().texts().last().contains("12,5"));

        // An empty write is answered with a refusal: "Fail", and the record keeps its value.
        g->setTextMatrix(19, 2, QString());
        tab->vfgCompensation_MouseDown(19, 1);
        QCOMPARE(services().texts().last(), QStringLiteral("Fail"));
        QCOMPARE(main().CF_span(), QStringLiteral("1234"));
        QVERIFY(g->CellBackColor(19, 1) != FsCompensationTab::Sending);

        // An execute row the instrument acknowledges is no failure; Return on its command cell
        // sends it as a click does.
        int execute = 0;
        while (!g->TextMatrix(execute, 1).startsWith(QStringLiteral("C1,E")))
            ++execute;
        m_sim->sim().clearCounters();
        const int boxes = int(services().asked.size());
        g->setFocus();
        g->setCurrentCell(execute, 1);
        QTest::keyClick(g, Qt::Key_Return);
        QCOMPARE(m_sim->commands().size(), 1);
        QVERIFY(m_sim->commands().first().startsWith(QStringLiteral("C1,E")));
        QCOMPARE(services().asked.size(), boxes);

        // Rows without a command and a link without an instrument send nothing.
        m_sim->sim().clearCounters();
        tab->vfgCompensation_MouseDown(49, 1);
        tab->vfgCompensation_MouseDown(14, 1);
        LinkTestAccess::setLinkMode(m_sim->link, ConnectMode::NotConnected);
        tab->vfgCompensation_MouseDown(18, 1);
        QCOMPARE(m_sim->commands(), QStringList());
    }

    void detailSettingsOpensTheDialogOnTheSharedRecord() {
        StartupOptions o;
        o.simulate = true;
        frmMain w(o);
        w.show();
        bool opened = false;
        QTimer::singleShot(0, &w, [&] {
            auto* d = qobject_cast<frmFsDialog*>(QApplication::activeModalWidget());
            opened = d && d->Instrument() == &appState().Instrument;
            if (d) {
                typeInto(d->stationTab()->vfgStation(), 3, 1, QStringLiteral("FROM-DIALOG"));
                d->cmdOK_Click();
            }
        });
        w.button(MainButton::DetailSettings)->click();
        QVERIFY(opened);
        QCOMPARE(appState().Instrument.StationList(3), QStringLiteral("FROM-DIALOG"));
        QVERIFY(appState().Instrument.Change_StationList(3));
        QCOMPARE(w.settings()->cmbStation()->itemText(3), QStringLiteral("FROM-DIALOG")); // redrawn
        services().answers.enqueue(UiServices::AnswerYes);
        w.close();
    }
};

QTEST_MAIN(TestFactoryDialog)
#include "test_factory_dialog.moc"
