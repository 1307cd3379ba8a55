#include "ui/factory/FsGasTableTab.h"

#include "app/MessageTable.h"
#include "model/UserGasTable.h"
#include "model/clsInstrument.h"
#include "ui/common/FlexGrid.h"
#include "ui/common/UiServices.h"
#include "ui/common/WindowHelpers.h"

#include <QVBoxLayout>

namespace {

constexpr int HalfWidth = UserGasTable::FieldCount; // 14 columns per half
constexpr int NoColTwips = 400;

UserGasTable::Field fieldOf(int col) {
    return UserGasTable::Field((col - 1) % HalfWidth);
}
int halfOf(int col) {
    return (col - 1) / HalfWidth;
}
int colOf(int half, UserGasTable::Field f) {
    return 1 + half * HalfWidth + int(f);
}

} // namespace

FsGasTableTab::FsGasTableTab(QWidget* parent) : QWidget(parent) {
    m_vfgGasTbl = new FlexGrid(this);
    m_vfgGasTbl->setObjectName(QStringLiteral("vfgGasTbl"));
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(m_vfgGasTbl);
    connect(m_vfgGasTbl, &FlexGrid::BeforeEdit, this, &FsGasTableTab::vfgGasTbl_BeforeEdit);
    connect(m_vfgGasTbl, &FlexGrid::KeyPressEdit, this, &FsGasTableTab::vfgGasTbl_KeyPressEdit);
    connect(m_vfgGasTbl, &FlexGrid::ValidateEdit, this, &FsGasTableTab::vfgGasTbl_ValidateEdit);
    connect(m_vfgGasTbl, &FlexGrid::AfterEdit, this, &FsGasTableTab::vfgGasTbl_AfterEdit);
}

void FsGasTableTab::Fill(const clsInstrument& work) {
    FlexGrid* g = m_vfgGasTbl;
    g->Clear();
    g->setCols(Cols);
    g->setRows(Rows);
    g->setFixedRows(1);
    g->setFixedCols(1);
    g->setTextMatrix(0, 0, QStringLiteral("No"));
    g->setColWidth(0, TwipsToPixels(NoColTwips, Qt::Horizontal));
    for (int half = 0; half < 2; ++half) {
        for (int f = 0; f < HalfWidth; ++f) {
            const auto field = UserGasTable::Field(f);
            const int col = colOf(half, field);
            g->setTextMatrix(0, col, UserGasTable::Header(field));
            g->setColWidth(col,
                           TwipsToPixels(UserGasTable::HeaderWidthTwips(field), Qt::Horizontal));
        }
    }
    for (int r = 1; r <= UserGasTable::BuiltInRows; ++r) {
        g->setTextMatrix(r, 0, QString::number(r));
        for (int half = 0; half < 2; ++half)
            for (int f = 0; f < HalfWidth; ++f)
                g->setTextMatrix(r, colOf(half, UserGasTable::Field(f)),
                                 UserGasTable::LibraryCellText(work,
                                                               r + half * UserGasTable::BuiltInRows,
                                                               UserGasTable::Field(f)));
        for (int c = 1; c < Cols; ++c)
            g->setCellBackColor(r, c, g->BackColorFixed());
    }
    g->setTextMatrix(UserRow, 0, UserGasTable::UserRowLabel);
    for (int half = 0; half < 2; ++half)
        for (int f = 0; f < HalfWidth; ++f)
            g->setTextMatrix(UserRow, colOf(half, UserGasTable::Field(f)),
                             UserGasTable::UserCellText(work, half, UserGasTable::Field(f)));
    // The widths are the least a column gets; a wider text widens its column.
    for (int c = 0; c < Cols; ++c) {
        const int least = g->ColWidth(c);
        g->resizeColumnToContents(c);
        g->setColWidth(c, qMax(least, g->ColWidth(c)));
    }
    for (int c = 0; c < Cols; ++c)
        g->setCellAlignment(0, c, Qt::AlignHCenter);
    for (int c = 2; c < Cols; ++c)
        if (fieldOf(c) != UserGasTable::Name)
            g->setColAlignment(c, Qt::AlignHCenter);
}

bool FsGasTableTab::Check() const {
    for (int c = 7; c <= 27; ++c)
        if (m_vfgGasTbl->CellBackColor(UserRow, c) == Invalid)
            return false;
    return true;
}

void FsGasTableTab::Store(clsInstrument& work) const {
    for (int half = 0; half < 2; ++half) {
        QStringList cells;
        for (int f = 0; f < HalfWidth; ++f)
            cells << m_vfgGasTbl->TextMatrix(UserRow, colOf(half, UserGasTable::Field(f)));
        UserGasTable::Store(work, half, cells);
    }
}

void FsGasTableTab::vfgGasTbl_BeforeEdit(int row, int col, bool* cancel) {
    if (row == 0 || m_vfgGasTbl->isReadOnlyCell(row, col)) {
        *cancel = true;
        return;
    }
    m_vfgGasTbl->setComboList(fieldOf(col) == UserGasTable::Unit ? UserGasTable::UnitChoices
                                                                 : QString());
}

void FsGasTableTab::vfgGasTbl_KeyPressEdit(int, int col, int* key) {
    if (fieldOf(col) != UserGasTable::Name)
        return;
    if (!UserGasTable::NameKeyAllowed(*key, m_vfgGasTbl->EditText())) {
        *key = 0;
        ui().beep();
    }
}

void FsGasTableTab::vfgGasTbl_ValidateEdit(int, int col, bool* cancel) {
    const UserGasTable::Field field = fieldOf(col);
    const int half = halfOf(col);
    QStringList builtIn;
    if (field == UserGasTable::Name)
        for (int r = 1; r <= UserGasTable::BuiltInRows; ++r)
            builtIn << m_vfgGasTbl->TextMatrix(r, col);
    const UserGasTable::Checked c = UserGasTable::Validate(
        field, m_vfgGasTbl->EditText(),
        m_vfgGasTbl->TextMatrix(UserRow, colOf(half, UserGasTable::Digit)), builtIn);
    if (!c.ok) {
        *cancel = true;
        if (c.message)
            ui().message(this, LoadMessage(c.message, c.params), LoadMessage(8025),
                         UiServices::Critical, UiServices::Ok);
        return;
    }
    m_vfgGasTbl->setEditText(c.text);
}

void FsGasTableTab::vfgGasTbl_AfterEdit(int row, int col) {
    // Both halves describe one gas: their names always agree.
    if (row == UserRow && fieldOf(col) == UserGasTable::Name)
        m_vfgGasTbl->setTextMatrix(UserRow, colOf(1 - halfOf(col), UserGasTable::Name),
                                   m_vfgGasTbl->TextMatrix(row, col));
}
