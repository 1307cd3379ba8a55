#include "ui/factory/FsCompensationTab.h"

#include "app/MessageTable.h"
#include "link/uclHbif.h"
#include "model/CompensationConsole.h"
#include "model/clsInstrument.h"
#include "ops/InstrumentSession.h"
#include "ops/WriteSequences.h"
#include "ui/common/FlexGrid.h"
#include "ui/common/UiServices.h"

#include <QScopeGuard>
#include <QVBoxLayout>

namespace CC = CompensationConsole;

FsCompensationTab::FsCompensationTab(QWidget* parent) : QWidget(parent) {
    m_vfgCompensation = new FlexGrid(this);
    m_vfgCompensation->setObjectName(QStringLiteral("vfgCompensation"));
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(m_vfgCompensation);
    connect(m_vfgCompensation, &FlexGrid::MouseDown, this,
            &FsCompensationTab::vfgCompensation_MouseDown);
    // Return or Space on a command cell sends it, as a click does.
    connect(m_vfgCompensation, &FlexGrid::ActivateCell, this,
            &FsCompensationTab::vfgCompensation_MouseDown);
}

void FsCompensationTab::Fill(uclHbif* link, clsInstrument* main) {
    m_link = link;
    m_main = main;
    FlexGrid* g = m_vfgCompensation;
    g->hide();
    g->Clear();
    g->setCols(CC::Cols);
    g->setRows(CC::Rows);
    const QColor fixed = g->BackColorFixed();
    for (int r = 0; r < CC::Rows; ++r) {
        const CC::RowInfo row = CC::Row(r);
        g->setTextMatrix(r, 0, row.label);
        g->setTextMatrix(r, 1, row.command);
        g->setCellAlignment(r, 0, Qt::AlignLeft);
        for (qsizetype k = 0; k < row.cells.size() && k < CC::ValueCols; ++k)
            g->setTextMatrix(r, CC::FirstValueCol + int(k), row.cells.at(k));
        const bool wholeRow = row.kind == CC::RowKind::Header || row.kind == CC::RowKind::Read;
        for (int c = 0; c < (wholeRow ? CC::Cols : CC::FirstValueCol); ++c)
            g->setCellBackColor(r, c, fixed);
    }
    for (int r = 1; r < CC::Rows; ++r)
        redrawRow(r);
    // The console has no header row; a screen reader still hears what each column holds.
    g->setHeaderText(Qt::Horizontal, 0, LoadMessage(5859));
    g->setHeaderText(Qt::Horizontal, 1, LoadMessage(5861));
    for (int k = 0; k < CC::ValueCols; ++k)
        g->setHeaderText(Qt::Horizontal, CC::FirstValueCol + k,
                         LoadMessage(5862, {QString::number(k + 1)}));
    g->resizeColumnsToContents();
    g->show();
}

void FsCompensationTab::redrawRow(int row) {
    if (!m_main)
        return;
    const QStringList values = CC::Values(row, *m_main);
    for (qsizetype k = 0; k < values.size() && k < CC::ValueCols; ++k)
        m_vfgCompensation->setTextMatrix(row, CC::FirstValueCol + int(k), values.at(k));
}

// A section's data rows show the same group: after a read or a write both are drawn again
// (an execute changes nothing in the record, so its header row draws nothing).
void FsCompensationTab::redrawSection(int row) {
    int first = row;
    while (first > 0 && CC::Row(first).kind != CC::RowKind::Header)
        --first;
    for (int r = first + 1; r < CC::Rows && CC::Row(r).kind != CC::RowKind::Header; ++r)
        redrawRow(r);
}

void FsCompensationTab::vfgCompensation_MouseDown(int row, int col) {
    FlexGrid* g = m_vfgCompensation;
    if (col != 1 || m_sending || !m_link || !m_main || !m_link->Connected())
        return;
    const QString command = g->TextMatrix(row, 1);
    if (command.isEmpty())
        return;
    if (g->isEditing() && !g->commitEdit())
        return;
    QStringList values;
    for (int c = CC::FirstValueCol; c < CC::Cols; ++c)
        values << g->TextMatrix(row, c);
    const CC::Command built = CC::BuildCommand(command, values);
    if (!built.ok) {
        ui().inform(this, LoadMessage(8108, {built.badValue}), LoadMessage(5001),
                    UiServices::Critical);
        return;
    }

    m_sending = true;
    const QColor before = g->CellBackColor(row, 1);
    g->setCellBackColor(row, 1, Sending);
    bool ok = false;
    {
        const auto restore = qScopeGuard([&] {
            g->setCellBackColor(row, 1, before);
            m_sending = false;
        });
        BusyPointer busy;
        m_link->setInstrument(m_main);
        ok = RunOperation(*m_link, Operation::Compensation, [&] {
            // Which compensation was sent, for the fleet history.
            AttachOperationDetail(*m_link, QStringLiteral("command"), built.payload);
            return WriteSequences(*m_link).sendCompensation(built.payload);
        });
    }
    if (!ok) {
        ui().inform(this, QStringLiteral("Fail"), LoadMessage(5001), UiServices::Critical);
        return;
    }
    // An execute row (a section's header) changes nothing the grid shows.
    if (CC::Row(row).kind != CC::RowKind::Header)
        redrawSection(row);
}
