#include "ui/factory/FsStationTab.h"

#include "app/MessageTable.h"
#include "model/StationFile.h"
#include "model/clsInstrument.h"
#include "ops/InstrumentSession.h"
#include "ui/common/FlexGrid.h"
#include "ui/common/UiServices.h"
#include "ui/common/WindowHelpers.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QString FileFilters = QStringLiteral("All files (*.*)|*.*|Comma separated (*.csv)|*.csv|");
constexpr int CsvFilter = 1;
constexpr int NumberColTwips = 400;
} // namespace

FsStationTab::FsStationTab(QWidget* parent) : QWidget(parent) {
    m_Label3_1 = new QLabel(this);
    m_vfgStation = new FlexGrid(this);
    m_vfgStation->setObjectName(QStringLiteral("vfgStation"));
    m_lblSpaceCount = new QLabel(this);
    m_lblSpaceCount->setObjectName(QStringLiteral("lblSpaceCount"));
    m_cmdStationExport = new QPushButton(this);
    m_cmdStationExport->setObjectName(QStringLiteral("cmdStationExport"));
    m_cmdStationImport = new QPushButton(this);
    m_cmdStationImport->setObjectName(QStringLiteral("cmdStationImport"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_lblSpaceCount, 1);
    buttons->addWidget(m_cmdStationExport);
    buttons->addWidget(m_cmdStationImport);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(m_Label3_1);
    lay->addWidget(m_vfgStation, 1);
    lay->addLayout(buttons);

    connect(m_cmdStationExport, &QPushButton::clicked, this, &FsStationTab::cmdStationExport_Click);
    connect(m_cmdStationImport, &QPushButton::clicked, this, &FsStationTab::cmdStationImport_Click);
    connect(m_vfgStation, &FlexGrid::KeyPressEdit, this, &FsStationTab::vfgStation_KeyPressEdit);
    connect(m_vfgStation, &FlexGrid::AfterEdit, this, &FsStationTab::vfgStation_AfterEdit);
    connect(m_vfgStation, &FlexGrid::ChangeEdit, this,
            [this] { showSpaceCount(m_vfgStation->editCol(), m_vfgStation->EditText()); });
    // The cell being edited, or else the one under the cursor.
    const auto underCursor = [this] {
        FlexGrid* g = m_vfgStation;
        if (g->isEditing())
            showSpaceCount(g->editCol(), g->EditText());
        else
            showSpaceCount(g->currentColumn(), g->TextMatrix(g->currentRow(), g->currentColumn()));
    };
    connect(m_vfgStation, &FlexGrid::RowColChange, this, underCursor);
    connect(m_vfgStation, &FlexGrid::GridGotFocus, this, underCursor);
    connect(m_vfgStation, &FlexGrid::GridLostFocus, this, [this] { m_lblSpaceCount->clear(); });
    setCaptions();
}

void FsStationTab::setCaptions() {
    m_Label3_1->setText(LoadMessage(8038));
    m_cmdStationExport->setText(LoadMessage(8039));
    m_cmdStationImport->setText(LoadMessage(8040));
}

void FsStationTab::Fill(clsInstrument& work) {
    m_work = &work;
    FlexGrid* g = m_vfgStation;
    g->hide();
    g->Clear();
    g->setCols(2);
    g->setRows(StationFile::Entries);
    g->setFixedCols(1);
    for (int r = 0; r < StationFile::Entries; ++r) {
        g->setTextMatrix(r, 0, QString::number(r + 1));
        g->setTextMatrix(r, 1, work.StationList(r));
        g->setCellAlignment(r, 1, Qt::AlignLeft);
        markRow(r);
    }
    g->setColWidth(0, TwipsToPixels(NumberColTwips, Qt::Horizontal));
    // No header row is shown; a screen reader still hears what each column holds.
    g->setHeaderText(Qt::Horizontal, 0, LoadMessage(5863));
    g->setHeaderText(Qt::Horizontal, 1, LoadMessage(5609));
    // The identifier column takes the rest of the grid's width, whatever the window's size.
    g->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    g->show();
}

bool FsStationTab::Check() const {
    for (int r = 0; r < m_vfgStation->Rows(); ++r)
        if (m_vfgStation->CellBackColor(r, 1) == Invalid ||
            m_vfgStation->CellForeColor(r, 0) == Invalid)
            return false;
    return true;
}

void FsStationTab::Store(clsInstrument& work) const {
    for (int r = 0; r < m_vfgStation->Rows(); ++r) {
        const QString text = m_vfgStation->TextMatrix(r, 1);
        if (work.StationList(r) != text)
            work.setStationList(r, text);
    }
}

QStringList FsStationTab::Entries() const {
    QStringList out;
    for (int r = 0; r < m_vfgStation->Rows(); ++r)
        out << m_vfgStation->TextMatrix(r, 1);
    return out;
}

void FsStationTab::vfgStation_KeyPressEdit(int, int, int* key) {
    if (*key == 8)
        return;
    // The length counts what the key leaves: typed over a selection (a whole default entry of
    // sixteen "-", say) the key replaces it rather than being refused.
    auto* line = qobject_cast<QLineEdit*>(m_vfgStation->editor());
    const qsizetype selected = line ? line->selectedText().size() : 0;
    if (!StationFile::IsStationKey(*key) ||
        m_vfgStation->EditText().size() - selected >= StationFile::IdLength) {
        *key = 0;
        ui().beep();
    }
}

void FsStationTab::vfgStation_AfterEdit(int row, int) {
    markRow(row);
}

// The whole text is checked, not only what typing allows: pasted text bypasses the key rule.
void FsStationTab::markRow(int row) {
    const bool ok = StationFile::IsStationId(m_vfgStation->TextMatrix(row, 1));
    m_vfgStation->setCellBackColor(row, 1, ok ? Valid : Invalid);
}

void FsStationTab::showSpaceCount(int col, const QString& text) {
    if (col != 1) {
        m_lblSpaceCount->clear();
        return;
    }
    m_lblSpaceCount->setText(
        QStringLiteral("(Left space %1)").arg(StationFile::LeftSpaceCount(text)));
}

void FsStationTab::cmdStationExport_Click() {
    const QString title = LoadMessage(5001);
    if (!Check()) {
        ui().inform(this, LoadMessage(8056, {QStringLiteral("Station List")}), title,
                    UiServices::Critical);
        return;
    }
    const QString path = ui().saveFileName(this, QString(), StationFile::DefaultName,
                                           FiltersFromPipeList(FileFilters), CsvFilter);
    if (path.isEmpty())
        return;
    QString error;
    if (!StationFile::Write(path, Entries(), &error)) {
        ui().inform(this, LoadMessage(8107, {QFileInfo(path).fileName(), error}), title,
                    UiServices::Critical);
        return;
    }
    ui().inform(this, QStringLiteral("Export Complete"), title);
}

void FsStationTab::cmdStationImport_Click() {
    const QString path =
        ui().openFileName(this, QString(), FiltersFromPipeList(FileFilters), CsvFilter);
    if (path.isEmpty())
        return;
    StationFile::ReadResult read;
    const auto importFile = [&] {
        read = StationFile::Read(path);
        AttachFile(*m_link, path);
        return read.ok;
    };
    if (m_link)
        RunOperation(*m_link, Operation::StationsImport, importFile);
    else
        importFile();
    if (!read.ok) {
        // A refused file changes nothing.
        ui().inform(this, StationFile::RefusalText(read, QFileInfo(path).fileName()),
                    LoadMessage(5001), UiServices::Critical);
        return;
    }
    if (m_vfgStation->isEditing())
        m_vfgStation->cancelEdit();
    for (int k = 0; k < read.entries.size(); ++k) {
        m_vfgStation->setTextMatrix(k, 1, read.entries.at(k));
        if (m_work)
            m_work->setChange_StationList(k, true);
    }
    for (int r = 0; r < m_vfgStation->Rows(); ++r)
        markRow(r);
}
