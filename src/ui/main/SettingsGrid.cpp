#include "ui/main/SettingsGrid.h"

#include "app/Conversions.h"
#include "app/MessageTable.h"
#include "app/NumberFormat.h"
#include "app/ReadingFormat.h"
#include "model/GasChoices.h"
#include "model/GasDefaults.h"
#include "model/GasInfo.h"
#include "model/GasLevels.h"
#include "model/SettingsChecks.h"
#include "state/AppState.h"
#include "ui/calibration/frmGasSel.h"
#include "ui/common/FlexGrid.h"
#include "ui/common/UiServices.h"

#include <QComboBox>
#include <QEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <cmath>

namespace {

const QColor kRed(255, 0, 0);
const QColor kBlack(0, 0, 0);
const int kIntervals[] = {10, 20, 30, 60, 180, 300, 600};

class BusyGuard {
public:
    BusyGuard() : m_was(appState().GridEditBusy) { appState().GridEditBusy = true; }
    ~BusyGuard() { appState().GridEditBusy = m_was; }

private:
    bool m_was;
};

LevelKind kindOfColumn(int col) {
    return LevelKind(col - SettingsGrid::ColWarning + 1);
}

LevelColumn levelColumn(int col) {
    return LevelColumn(col - SettingsGrid::ColWarning);
}

} // namespace

SettingsGrid::SettingsGrid(QWidget* parent, Host host) : QObject(parent), m_host(std::move(host)) {
    m_grid = new FlexGrid(parent);
    m_grid->setObjectName(QStringLiteral("vfgOption"));
    for (int i = 0; i < 3; ++i) {
        m_txtOption[i] = new QLineEdit(parent);
        m_txtOption[i]->setObjectName(QStringLiteral("txtOption%1").arg(i));
        m_txtOption[i]->installEventFilter(this);
        connect(m_txtOption[i], &QLineEdit::editingFinished, this,
                [this, i] { txtOption_Validate(i); });
    }
    m_txtOption[0]->setMaxLength(20);
    m_txtOption[1]->setMaxLength(16);
    m_txtOption[2]->setMaxLength(16);
    m_cmbInterval = new QComboBox(parent);
    m_cmbInterval->setObjectName(QStringLiteral("cmbInterval"));
    for (int s : kIntervals)
        m_cmbInterval->addItem(QString::number(s));
    m_cmbInterval->setCurrentIndex(5);
    m_cmbStation = new QComboBox(parent);
    m_cmbStation->setObjectName(QStringLiteral("cmbStation"));
    connect(m_cmbInterval, &QComboBox::activated, this, [this] { cmbInterval_Click(); });
    connect(m_cmbStation, &QComboBox::activated, this, [this] { cmbStation_Click(); });
    connect(m_grid, &FlexGrid::BeforeEdit, this, &SettingsGrid::vfgOption_BeforeEdit);
    connect(m_grid, &FlexGrid::ValidateEdit, this, &SettingsGrid::vfgOption_ValidateEdit);
    connect(m_grid, &FlexGrid::AfterEdit, this, &SettingsGrid::vfgOption_AfterEdit);

    m_grid->installEventFilter(this);
    m_grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    chooseGas = [this, parent](int slot, int* choice) {
        frmGasSel dlg(parent);
        dlg.setConnected(m_gasListConnected);
        dlg.setGasNo(slot);
        dlg.exec();
        *choice = dlg.SelNum();
        return dlg.Flags();
    };
    fillEmpty();
}

clsInstrument& SettingsGrid::record() const {
    return appState().Instrument;
}

bool SettingsGrid::somethingToShow() const {
    const clsInstrument& r = record();
    return m_host.talking && m_host.talking() && (r.ImportFlag() != 0 || r.CommFlags() != 0);
}

void SettingsGrid::fillEmpty() {
    FlexGrid* g = m_grid;
    g->Clear();
    g->clearSpans();
    g->setRows(7);
    g->setCols(7);
    g->setFixedRows(2);
    g->setFixedCols(1);
    g->setTextMatrix(0, ColWarning, LoadMessage(5672));
    g->setMergeCells(0, ColWarning, 1, 4);
    g->setCellAlignment(0, ColWarning, Qt::AlignHCenter);
    const int headers[] = {5648, 5649, 5650, 5651, 5652, 5653, 5654};
    for (int c = 0; c < 7; ++c) {
        g->setTextMatrix(1, c, LoadMessage(headers[c]));
        g->setCellAlignment(1, c, Qt::AlignHCenter);
    }
    for (int s = 0; s < 5; ++s)
        for (int c = ColWarning; c <= ColAutoCal; ++c) {
            g->setTextMatrix(s + 2, c, QStringLiteral("-----"));
            g->setCellAlignment(s + 2, c, Qt::AlignRight);
        }
}

void SettingsGrid::setIdentityEditable(bool editable) {
    for (QLineEdit* t : m_txtOption)
        t->setReadOnly(!editable);
    m_cmbInterval->setEnabled(editable);
}

void SettingsGrid::ShowInstrument() {
    BusyGuard busy;
    m_filling = true;
    if (m_host.refreshCommands)
        m_host.refreshCommands();
    const AppState& s = appState();
    const clsInstrument& r = record();

    m_cmbStation->clear();
    int selected = 0;
    for (int i = 0; i < clsInstrument::StationCount; ++i) {
        m_cmbStation->addItem(r.StationList(i));
        if (r.StationList(i).trimmed() == r.StationID().trimmed())
            selected = i;
    }
    m_cmbStation->setCurrentIndex(selected);

    if (!somethingToShow()) {
        for (QLineEdit* t : m_txtOption)
            t->clear();
        m_cmbInterval->setCurrentIndex(5);
        if (m_lblRom)
            m_lblRom->clear();
        if (m_lblSum)
            m_lblSum->clear();
        fillEmpty();
        m_filling = false;
        return;
    }

    m_txtOption[0]->setText(r.SerialNo());
    m_txtOption[1]->setText(r.StationID());
    m_txtOption[2]->setText(r.UserID());
    m_cmbInterval->setCurrentIndex(IntervalIndex(r.Intervals()));
    if (m_lblRom)
        m_lblRom->setText(r.CommFlags()
                              ? FormatNumber(double(r.RomNumber()), QStringLiteral("00000"))
                              : QString());
    if (m_lblSum)
        m_lblSum->setText(r.CommFlags() ? r.SUM() : QString());

    fillEmpty();
    FlexGrid* g = m_grid;
    for (int slot = 0; slot < 5; ++slot) {
        const int row = slot + 2;
        const int d = r.GasPoint(slot);
        g->setTextMatrix(row, ColGas,
                         GasTitleText(r.GasName(slot), r.GasUnit(slot), r.GasFullScale(slot), d));
        g->setCellChecked(row, ColEnable,
                          r.GasEnabled(slot) ? FlexGrid::Checked : FlexGrid::Unchecked);
        g->setCellAlignment(row, ColEnable, Qt::AlignHCenter);
        for (int c = ColWarning; c <= ColAutoCal; ++c)
            g->setTextMatrix(row, c, FormatReading(LevelOf(r, slot, levelColumn(c)), d));
    }
    const QColor ro = g->BackColorFixed();
    for (int slot = 0; slot < 2; ++slot) {
        g->setCellBackColor(slot + 2, ColStel, ro);
        g->setCellBackColor(slot + 2, ColTwa, ro);
    }
    for (int c = ColWarning; c <= ColTwa; ++c)
        g->setCellBackColor(6, c, ro);
    for (int slot = 0; slot < 5; ++slot)
        if (s.GasLocked[slot])
            g->setCellBackColor(slot + 2, ColEnable, ro);
    MarkValues();
    fitColumns();
    m_filling = false;
}

void SettingsGrid::MarkValues() {
    const clsInstrument& r = record();
    FlexGrid* g = m_grid;
    for (int slot = 0; slot < 4; ++slot) {
        const QColor c = CheckLevelOrder(r, slot) ? kBlack : kRed;
        g->setCellForeColor(slot + 2, ColWarning, c);
        g->setCellForeColor(slot + 2, ColAlarm, c);
    }
    for (int slot = 0; slot < 5; ++slot)
        g->setCellForeColor(slot + 2, ColAutoCal,
                            CheckCalibValue(r, slot, r.AutoCalib(slot)) ? kBlack : kRed);
    const auto markRange = [&](int slot, int col) {
        double v = 0;
        if (ParseNumber(g->TextMatrix(slot + 2, col), &v) &&
            !CheckLevelRange(r, slot, kindOfColumn(col), float(v)))
            g->setCellForeColor(slot + 2, col, kRed);
    };
    for (int slot = 0; slot < 4; ++slot) {
        markRange(slot, ColWarning);
        markRange(slot, ColAlarm);
    }
    for (int slot = 2; slot < 4; ++slot) {
        markRange(slot, ColStel);
        markRange(slot, ColTwa);
    }
}

bool SettingsGrid::HasRedCell() const {
    for (int row = 2; row < m_grid->Rows(); ++row)
        for (int col = ColWarning; col <= ColAutoCal; ++col)
            if (m_grid->CellForeColor(row, col) == kRed)
                return true;
    return false;
}

void SettingsGrid::vfgOption_BeforeEdit(int row, int col, bool* cancel) {
    // Nothing is shown (no link, or no data): there is nothing to edit either.
    if (appState().GridEditBusy || row < 2 || m_grid->isReadOnlyCell(row, col) ||
        !somethingToShow())
        *cancel = true;
}

void SettingsGrid::vfgOption_ValidateEdit(int row, int col, bool* cancel) {
    if (appState().GridEditBusy || col < ColWarning)
        return;
    clsInstrument& r = record();
    const int slot = row - 2;
    BusyGuard busy;
    const LevelColumn column = levelColumn(col);
    if (!EnterLevel(r, slot, column, m_grid->EditText())) {
        *cancel = true;
        return;
    }
    // A cleared cell means "not used".
    m_grid->setEditText(m_grid->EditText().trimmed().isEmpty()
                            ? QStringLiteral("-----")
                            : FormatReading(LevelOf(r, slot, column), r.GasPoint(slot)));
    // The marking reads the cell texts; it runs in AfterEdit once the text is stored.
}

void SettingsGrid::vfgOption_AfterEdit(int row, int col) {
    if (appState().GridEditBusy)
        return;
    if (col == ColEnable && row >= 2)
        enableChanged(row - 2);
    else
        MarkValues();
}

void SettingsGrid::enableChanged(int slot) {
    AppState& s = appState();
    clsInstrument& r = record();
    const int row = slot + 2;
    if (s.GasLocked[slot]) {
        ui().inform(m_grid, LoadMessage(5331), LoadMessage(5332));
        m_grid->setCellChecked(row, ColEnable, FlexGrid::Checked);
        return;
    }
    if (m_grid->CellChecked(row, ColEnable) == FlexGrid::Unchecked) {
        if (ui().ask(m_grid, LoadMessage(5335), LoadMessage(5336)) != UiServices::AnswerYes) {
            m_grid->setCellChecked(row, ColEnable, FlexGrid::Checked);
            return;
        }
        for (int i = 0; i < 5; ++i)
            r.setGasEnabled(i, m_grid->CellChecked(i + 2, ColEnable) == FlexGrid::Checked);
        ClearLevels(r, slot);
        for (int c = ColWarning; c <= ColAutoCal; ++c)
            m_grid->setTextMatrix(row, c, QStringLiteral("-----"));
        ShowInstrument();
        return;
    }
    int choice = -1;
    // The list and the gas applied come from one source, even if the link changes meanwhile.
    m_gasListConnected = m_host.connected && m_host.connected();
    if (!chooseGas || !chooseGas(slot, &choice) ||
        !ApplyGasChoice(r, s.GasDefaults, slot, choice, GasSourceFor(slot, m_gasListConnected))) {
        m_grid->setCellChecked(row, ColEnable, FlexGrid::Unchecked);
        return;
    }
    ApplyChosenGas(r, slot, s.DefaultRecord);
    ShowInstrument();
}

bool SettingsGrid::CheckIdentityText(int index, const QString& text) {
    const int limit = index == 0 ? 20 : 16;
    if (text.size() > limit)
        return false;
    for (QChar c : text)
        if (!IsIdKey(c.unicode()) || c.unicode() == 8)
            return false;
    return true;
}

void SettingsGrid::fitColumns() {
    // Each column gets what its widest text needs; room left over is shared out evenly, and a
    // grid too narrow for all of it shrinks every column alike.
    const int w = m_grid->viewport()->width();
    const int cols = m_grid->Cols();
    if (w <= 0 || cols <= 0)
        return;
    const QFontMetrics fm(m_grid->font());
    QList<int> need(cols, 0);
    int total = 0;
    for (int col = 0; col < cols; ++col) {
        for (int row = 1; row < m_grid->Rows(); ++row)
            need[col] = qMax(need[col], fm.horizontalAdvance(m_grid->TextMatrix(row, col)));
        need[col] += col == ColEnable ? 28 : 12;
        total += need[col];
    }
    int used = 0;
    for (int col = 0; col < cols; ++col) {
        int width = total <= w ? need[col] + (w - total) / cols : need[col] * w / total;
        if (col == cols - 1)
            width = w - used;
        m_grid->setColWidth(col, width);
        used += width;
    }
}

bool SettingsGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_grid && (event->type() == QEvent::Resize || event->type() == QEvent::Show))
        fitColumns();
    for (int i = 0; i < 3; ++i) {
        if (watched != m_txtOption[i] || event->type() != QEvent::KeyPress)
            continue;
        auto* ke = static_cast<QKeyEvent*>(event);
        QLineEdit* t = m_txtOption[i];
        if (ke->key() == Qt::Key_Backspace || ke->text().isEmpty() || !ke->text().at(0).isPrint())
            return false;
        QString typed = ke->text().left(1);
        const QString sel = t->selectedText();
        const int start = t->hasSelectedText() ? t->selectionStart() : t->cursorPosition();
        const QString before = t->text().left(start);
        const QString after = t->text().mid(start + sel.size());
        if (!CheckIdentityText(i, before + typed + after)) {
            ui().beep();
            return true;
        }
        if (typed.at(0) >= u'a' && typed.at(0) <= u'z') {
            t->insert(typed.toUpper());
            return true;
        }
        return false;
    }
    return QObject::eventFilter(watched, event);
}

void SettingsGrid::txtOption_Validate(int index) {
    if (m_filling)
        return;
    clsInstrument& r = record();
    QLineEdit* t = m_txtOption[index];
    if (t->isReadOnly())
        return;
    const QString text = t->text();
    if (CheckIdentityText(index, text)) {
        if (index == 0)
            r.setSerialNo(text);
        else if (index == 1)
            r.setStationID(text);
        else
            r.setUserID(text);
    } else {
        t->setText(index == 0 ? r.SerialNo() : index == 1 ? r.StationID() : r.UserID());
    }
}

void SettingsGrid::cmbInterval_Click() {
    record().setIntervals(qint16(m_cmbInterval->currentText().toInt()));
}

void SettingsGrid::cmbStation_Click() {
    const int i = m_cmbStation->currentIndex();
    if (i < 0)
        return;
    record().setStationID(record().StationList(i));
    m_txtOption[1]->setText(record().StationID());
}
