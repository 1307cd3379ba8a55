#include "ui/factory/frmFsDialog.h"

#include "app/MessageTable.h"
#include "model/FactoryParameters.h"
#include "model/WorkRecordCopy.h"
#include "ui/common/FlexGrid.h"
#include "ui/common/FontHelpers.h"
#include "ui/common/UiServices.h"
#include "ui/common/WindowHelpers.h"
#include "ui/factory/FsCompensationTab.h"
#include "ui/factory/FsGasTableTab.h"
#include "ui/factory/FsStationTab.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace FP = FactoryParameters;

namespace {
constexpr int ListCol = 2;
// The order the rows are built in (it has no visible effect).
constexpr int BuildOrder[] = {2, 1, 3, 5, 4, 6, 7, 8, 9, 15, 11, 10, 12, 13, 14};
} // namespace

frmFsDialog::frmFsDialog(uclHbif* link, QWidget* parent) : QDialog(parent), m_link(link) {
    setObjectName(QStringLiteral("frmFsDialog"));
    m_SSTab1 = new QTabWidget(this);
    m_station = new FsStationTab(m_SSTab1);
    auto* parameters = new QWidget(m_SSTab1);
    m_vfgDatas = new FlexGrid(parameters);
    m_vfgDatas->setObjectName(QStringLiteral("vfgDatas"));
    auto* parameterLayout = new QVBoxLayout(parameters);
    parameterLayout->addWidget(m_vfgDatas);
    m_gasTable = new FsGasTableTab(m_SSTab1);
    m_compensation = new FsCompensationTab(m_SSTab1);
    m_SSTab1->addTab(m_station, QStringLiteral("Station ID"));
    m_SSTab1->addTab(parameters, QStringLiteral("Parameter"));
    m_SSTab1->addTab(m_gasTable, QStringLiteral("HC Gas Table"));
    m_SSTab1->addTab(m_compensation, QStringLiteral("Thermal Compensation"));
    // Each grid is named by its page.
    m_SSTab1->setAccessibleName(LoadMessage(8025));
    for (int i = 0; i < m_SSTab1->count(); ++i)
        if (FlexGrid* g = m_SSTab1->widget(i)->findChild<FlexGrid*>())
            g->setAccessibleName(m_SSTab1->tabText(i));

    m_frmBt = new QFrame(this);
    m_cmdOK = new QPushButton(m_frmBt);
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    m_cmdCancel = new QPushButton(m_frmBt);
    m_cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    auto* buttons = new QHBoxLayout(m_frmBt);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->addStretch();
    buttons->addWidget(m_cmdOK);
    buttons->addWidget(m_cmdCancel);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(m_SSTab1, 1);
    lay->addWidget(m_frmBt);

    connect(m_cmdOK, &QPushButton::clicked, this, &frmFsDialog::cmdOK_Click);
    connect(m_cmdCancel, &QPushButton::clicked, this, &frmFsDialog::cmdCancel_Click);
    connect(m_vfgDatas, &FlexGrid::BeforeEdit, this, &frmFsDialog::vfgDatas_BeforeEdit);
    connect(m_vfgDatas, &FlexGrid::KeyPressEdit, this, &frmFsDialog::vfgDatas_KeyPressEdit);
    connect(m_vfgDatas, &FlexGrid::ValidateEdit, this, &frmFsDialog::vfgDatas_ValidateEdit);
    m_vfgDatas->viewport()->installEventFilter(this);

    setWindowTitle(LoadMessage(8025));
    m_cmdOK->setText(LoadMessage(7010));
    m_cmdCancel->setText(LoadMessage(7011));
    ApplyAppFont(this);
    // Enter commits a grid edit; it must not press a button as well.
    ClearDefaultButtons(this);
    setMinimumSize(640, 420);
    ResizeWithinScreen(this, QSize(900, 600));
}

void frmFsDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FirstActivate();
}

void frmFsDialog::FirstActivate() {
    if (m_activated || !m_instrument)
        return;
    m_activated = true;
    StartWorkRecord(*m_instrument, m_work);
    buildParameterGrid();
    m_station->Fill(m_work);
    m_station->setLink(m_link);
    m_gasTable->Fill(m_work);
    m_compensation->Fill(m_link, m_instrument);
}

void frmFsDialog::buildParameterGrid() {
    FlexGrid* g = m_vfgDatas;
    g->Clear();
    g->setCols(3);
    g->setRows(FP::LastRow + 1);
    g->setFixedRows(1);
    g->setFixedCols(1);
    for (const int row : BuildOrder) {
        g->setTextMatrix(row, 0, FP::Label(row));
        g->setComboList(QString());
        g->setTextMatrix(row, ListCol, FP::ChoiceList(row, m_work));
        g->setTextMatrix(row, 1, FP::DisplayText(row, m_work));
    }
    g->setColumnHidden(ListCol, true);
    // The header row stays empty; a screen reader still hears what each column holds.
    g->setHeaderText(Qt::Horizontal, 0, LoadMessage(5859));
    g->setHeaderText(Qt::Horizontal, 1, LoadMessage(5860));
    g->setHeaderText(Qt::Horizontal, ListCol, LoadMessage(5864)); // hidden
    g->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    sizeParameterColumns();
}

void frmFsDialog::sizeParameterColumns() {
    m_vfgDatas->setColWidth(0, m_vfgDatas->viewport()->width() * 6 / 10);
}

bool frmFsDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_vfgDatas->viewport() && event->type() == QEvent::Resize)
        sizeParameterColumns();
    return QDialog::eventFilter(watched, event);
}

void frmFsDialog::vfgDatas_BeforeEdit(int row, int col, bool* cancel) {
    if (m_vfgDatas->isReadOnlyCell(row, col)) {
        *cancel = true;
        return;
    }
    m_vfgDatas->setComboList(m_vfgDatas->TextMatrix(row, ListCol));
}

void frmFsDialog::vfgDatas_KeyPressEdit(int row, int col, int* key) {
    auto* line = qobject_cast<QLineEdit*>(m_vfgDatas->editor());
    if (col != 1 || !line || *key == 8)
        return;
    // The text the cell would hold after the key: before the caret, the key, after the
    // selection.
    const QString text = line->text();
    const int from = line->hasSelectedText() ? line->selectionStart() : line->cursorPosition();
    const int to = line->hasSelectedText() ? from + int(line->selectedText().size()) : from;
    const QString after = text.left(from) + QChar(*key) + text.mid(to);
    const int accepted = FP::FilterKey(row, after, *key);
    if (accepted == 0)
        ui().beep();
    *key = accepted;
}

void frmFsDialog::vfgDatas_ValidateEdit(int row, int col, bool* cancel) {
    if (m_validating || col != 1)
        return;
    m_validating = true;
    const bool ok = FP::IsValid(row, m_vfgDatas->EditText());
    m_validating = false;
    if (!ok) {
        *cancel = true;
        return;
    }
    // An accepted time limit is written again even when unchanged.
    if (row == 5)
        m_work.setChange_CalLimit(true);
}

bool frmFsDialog::commitOpenEdits() {
    for (FlexGrid* g : {m_vfgDatas, m_station->vfgStation(), m_gasTable->vfgGasTbl(),
                        m_compensation->vfgCompensation()}) {
        if (g->isEditing() && !g->commitEdit())
            return false;
    }
    return true;
}

void frmFsDialog::cmdOK_Click() {
    if (!m_activated || !m_instrument || m_compensation->isSending())
        return;
    if (!commitOpenEdits())
        return;
    const QString title = LoadMessage(5001);
    if (!m_station->Check()) {
        ui().inform(this, LoadMessage(8056, {QStringLiteral("Station List")}), title,
                    UiServices::Critical);
        return;
    }
    if (!m_gasTable->Check()) {
        ui().inform(this, LoadMessage(8056, {QStringLiteral("HC Gas Table")}), title,
                    UiServices::Critical);
        return;
    }
    for (int row = FP::FirstRow; row <= FP::LastRow; ++row)
        FP::Store(row, m_vfgDatas->TextMatrix(row, 1), m_work);
    m_station->Store(m_work);
    m_gasTable->Store(m_work);
    CopyChangedGroups(m_work, *m_instrument);
    accept();
}

void frmFsDialog::cmdCancel_Click() {
    reject();
}

void frmFsDialog::reject() {
    if (!m_compensation->isSending())
        QDialog::reject();
}
