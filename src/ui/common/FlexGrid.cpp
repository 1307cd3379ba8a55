#include "ui/common/FlexGrid.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <utility>

namespace {

// A cell that a screen reader can name when it shows no text (a check box): by its row's label
// and its column's header.
class FlexItem : public QTableWidgetItem {
public:
    QVariant data(int role) const override {
        if (role == Qt::AccessibleTextRole && text().isEmpty() && tableWidget()) {
            const QTableWidget* t = tableWidget();
            const QTableWidgetItem* rowHead = t->verticalHeaderItem(row());
            const QTableWidgetItem* colHead = t->horizontalHeaderItem(column());
            QStringList parts;
            if (rowHead && !rowHead->text().isEmpty())
                parts << rowHead->text();
            if (colHead && !colHead->text().isEmpty())
                parts << colHead->text();
            if (!parts.isEmpty())
                return parts.join(QStringLiteral(": "));
        }
        return QTableWidgetItem::data(role);
    }
    QTableWidgetItem* clone() const override { return new FlexItem(*this); }
};

} // namespace

FlexGrid::FlexGrid(QWidget* parent) : QTableWidget(parent) {
    m_fixedColor = palette().color(QPalette::Button);
    horizontalHeader()->hide();
    verticalHeader()->hide();
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    // Tab leaves the grid for the next control; the arrows move between cells.
    setTabKeyNavigation(false);
    viewport()->installEventFilter(this);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    connect(this, &QTableWidget::currentCellChanged, this,
            [this](int, int, int, int) { emit RowColChange(); });
}

void FlexGrid::setRows(int n) {
    setRowCount(qMax(0, n));
    paintFixed();
}

void FlexGrid::setCols(int n) {
    setColumnCount(qMax(0, n));
    paintFixed();
}

void FlexGrid::setFixedRows(int n) {
    m_fixedRows = qMax(0, n);
    paintFixed();
}

void FlexGrid::setFixedCols(int n) {
    m_fixedCols = qMax(0, n);
    paintFixed();
}

void FlexGrid::setBackColorFixed(const QColor& c) {
    m_fixedColor = c;
    paintFixed();
}

void FlexGrid::paintFixed() {
    for (int r = 0; r < rowCount(); ++r)
        for (int c = 0; c < columnCount(); ++c)
            if (r < m_fixedRows || c < m_fixedCols)
                cell(r, c)->setBackground(m_fixedColor);
}

void FlexGrid::Clear() {
    if (isEditing())
        closeEditor();
    clearSpans();
    for (int r = 0; r < rowCount(); ++r)
        for (int c = 0; c < columnCount(); ++c)
            delete takeItem(r, c);
    for (int c = 0; c < columnCount(); ++c)
        delete takeHorizontalHeaderItem(c);
    for (int r = 0; r < rowCount(); ++r)
        delete takeVerticalHeaderItem(r);
    paintFixed();
}

QTableWidgetItem* FlexGrid::cell(int row, int col) {
    QTableWidgetItem* it = item(row, col);
    if (!it && row >= 0 && col >= 0 && row < rowCount() && col < columnCount()) {
        it = new FlexItem;
        it->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        setItem(row, col, it);
    }
    return it;
}

const QTableWidgetItem* FlexGrid::cellOrNull(int row, int col) const {
    return item(row, col);
}

QString FlexGrid::TextMatrix(int row, int col) const {
    const QTableWidgetItem* it = cellOrNull(row, col);
    return it ? it->text() : QString();
}

void FlexGrid::setTextMatrix(int row, int col, const QString& text) {
    QTableWidgetItem* it = cell(row, col);
    if (!it)
        return;
    it->setText(text);
    // The headers stay hidden (the fixed cells are the grid's headers), but they are what a
    // screen reader announces for a cell: the fixed cell nearest the data gives them.
    if (row < m_fixedRows) {
        QString head;
        for (int r = m_fixedRows - 1; r >= 0 && head.isEmpty(); --r)
            head = TextMatrix(r, col).trimmed();
        setHeaderText(Qt::Horizontal, col, head);
    } else if (col < m_fixedCols) {
        QString head;
        for (int c = m_fixedCols - 1; c >= 0 && head.isEmpty(); --c)
            head = TextMatrix(row, c).trimmed();
        setHeaderText(Qt::Vertical, row, head);
    }
}

void FlexGrid::setHeaderText(Qt::Orientation o, int section, const QString& text) {
    const bool across = o == Qt::Horizontal;
    QTableWidgetItem* h = across ? horizontalHeaderItem(section) : verticalHeaderItem(section);
    if (!h) {
        h = new QTableWidgetItem;
        if (across)
            setHorizontalHeaderItem(section, h);
        else
            setVerticalHeaderItem(section, h);
    }
    h->setText(text);
}

QColor FlexGrid::CellBackColor(int row, int col) const {
    const QTableWidgetItem* it = cellOrNull(row, col);
    if (it && it->background().style() != Qt::NoBrush)
        return it->background().color();
    return palette().color(QPalette::Base);
}

void FlexGrid::setCellBackColor(int row, int col, const QColor& c) {
    if (QTableWidgetItem* it = cell(row, col))
        it->setBackground(c);
}

QColor FlexGrid::CellForeColor(int row, int col) const {
    const QTableWidgetItem* it = cellOrNull(row, col);
    if (it && it->foreground().style() != Qt::NoBrush)
        return it->foreground().color();
    return palette().color(QPalette::Text);
}

void FlexGrid::setCellForeColor(int row, int col, const QColor& c) {
    if (QTableWidgetItem* it = cell(row, col))
        it->setForeground(c);
}

void FlexGrid::setCellAlignment(int row, int col, Qt::Alignment a) {
    if (QTableWidgetItem* it = cell(row, col))
        it->setTextAlignment(a | Qt::AlignVCenter);
}

void FlexGrid::setColAlignment(int col, Qt::Alignment a) {
    for (int r = 0; r < rowCount(); ++r)
        setCellAlignment(r, col, a);
}

void FlexGrid::setCellFont(int row, int col, const QFont& f) {
    if (QTableWidgetItem* it = cell(row, col))
        it->setFont(f);
}

void FlexGrid::setMergeCells(int row, int col, int rowSpan, int colSpan) {
    if (rowSpan > 1 || colSpan > 1)
        setSpan(row, col, rowSpan, colSpan);
}

FlexGrid::CheckMark FlexGrid::CellChecked(int row, int col) const {
    const QTableWidgetItem* it = cellOrNull(row, col);
    if (!it || !it->data(Qt::CheckStateRole).isValid())
        return NoCheckBox;
    return it->checkState() == Qt::Checked ? Checked : Unchecked;
}

void FlexGrid::setCellChecked(int row, int col, CheckMark m) {
    QTableWidgetItem* it = cell(row, col);
    if (!it)
        return;
    if (m == NoCheckBox)
        it->setData(Qt::CheckStateRole, QVariant());
    else
        it->setCheckState(m == Checked ? Qt::Checked : Qt::Unchecked);
}

bool FlexGrid::isReadOnlyCell(int row, int col) const {
    if (row < m_fixedRows || col < m_fixedCols)
        return true;
    return CellBackColor(row, col) == m_fixedColor;
}

QString FlexGrid::EditText() const {
    if (m_line)
        return m_line->text();
    if (m_combo)
        return m_combo->currentText();
    return QString();
}

void FlexGrid::setEditText(const QString& text) {
    if (m_line) {
        m_line->setText(text);
    } else if (m_combo) {
        const int i = m_combo->findText(text);
        if (i >= 0)
            m_combo->setCurrentIndex(i);
        else
            m_combo->setEditText(text);
    }
}

bool FlexGrid::startEdit(int row, int col) {
    if (isEditing() && !commitEdit())
        return false;
    if (row < 0 || col < 0 || row >= rowCount() || col >= columnCount())
        return false;
    if (isReadOnlyCell(row, col))
        return false;
    bool cancel = false;
    emit BeforeEdit(row, col, &cancel);
    if (cancel)
        return false;
    setCurrentCell(row, col);
    m_editRow = row;
    m_editCol = col;
    const QString current = TextMatrix(row, col);
    if (!m_comboList.isEmpty()) {
        m_combo = new QComboBox;
        m_combo->addItems(m_comboList.split(u'|'));
        const int i = m_combo->findText(current);
        m_combo->setCurrentIndex(i >= 0 ? i : 0);
        connect(m_combo, &QComboBox::currentTextChanged, this, [this] { emit ChangeEdit(); });
        m_editor = m_combo;
    } else {
        m_line = new QLineEdit(current);
        m_line->selectAll();
        connect(m_line, &QLineEdit::textEdited, this, [this] { emit ChangeEdit(); });
        m_editor = m_line;
    }
    m_editor->setFont(font());
    m_editor->installEventFilter(this);
    setCellWidget(row, col, m_editor);
    m_editor->setFocus();
    return true;
}

bool FlexGrid::commitEdit() {
    if (!isEditing() || m_committing)
        return !isEditing();
    m_committing = true;
    const int row = m_editRow, col = m_editCol;
    bool cancel = false;
    emit ValidateEdit(row, col, &cancel);
    if (cancel || !isEditing()) {
        m_committing = false;
        if (m_editor)
            m_editor->setFocus();
        return false;
    }
    setTextMatrix(row, col, EditText());
    closeEditor();
    m_committing = false;
    emit AfterEdit(row, col);
    return true;
}

void FlexGrid::cancelEdit() {
    if (isEditing())
        closeEditor();
}

void FlexGrid::closeEditor() {
    const int row = m_editRow, col = m_editCol;
    QWidget* ed = m_editor;
    // The focus comes back to the grid only from its own editor: an edit committed because the
    // operator clicked a button elsewhere must leave the button its focus, or the press that
    // took it would be lost and the button not clicked.
    const bool editorHadFocus = ed && (ed->hasFocus() || !QApplication::focusWidget());
    m_editor = nullptr;
    m_line = nullptr;
    m_combo = nullptr;
    m_editRow = m_editCol = -1;
    if (ed) {
        ed->removeEventFilter(this);
        removeCellWidget(row, col); // deletes the editor later
    }
    if (editorHadFocus || !ed)
        setFocus();
}

void FlexGrid::toggleCheck(int row, int col) {
    if (CellChecked(row, col) == NoCheckBox || isReadOnlyCell(row, col))
        return;
    bool cancel = false;
    emit BeforeEdit(row, col, &cancel);
    if (cancel)
        return;
    setCellChecked(row, col, CellChecked(row, col) == Checked ? Unchecked : Checked);
    emit AfterEdit(row, col);
}

bool FlexGrid::handleEditorKey(QKeyEvent* ke) {
    const Qt::KeyboardModifiers mods = ke->modifiers() & ~Qt::KeypadModifier;
    switch (ke->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        commitEdit();
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        if (mods & (Qt::ControlModifier | Qt::AltModifier))
            return false;
        // Tab commits and moves on to the next control; a refused edit keeps the focus.
        if (commitEdit())
            focusNextPrevChild(ke->key() == Qt::Key_Tab && !(mods & Qt::ShiftModifier));
        return true;
    case Qt::Key_Escape:
        cancelEdit();
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
        // In a text editor the arrows commit and move to the cell above or below; a drop-down
        // list keeps them for choosing.
        if (m_line && mods == Qt::NoModifier) {
            const int row = m_editRow + (ke->key() == Qt::Key_Up ? -1 : 1);
            const int col = m_editCol;
            if (commitEdit() && row >= m_fixedRows && row < rowCount())
                setCurrentCell(row, col);
            return true;
        }
        return false;
    default:
        break;
    }
    if (!m_line || (mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return false;
    int key = 0;
    if (ke->key() == Qt::Key_Backspace)
        key = 8;
    else if (!ke->text().isEmpty() && ke->text().at(0).isPrint())
        key = ke->text().at(0).unicode();
    else
        return false;
    const int original = key;
    emit KeyPressEdit(m_editRow, m_editCol, &key);
    if (key == 0)
        return true;
    if (key == original)
        return false;
    // The handler changed the key (upper case, for instance): type the new one instead.
    if (key == 8)
        m_line->backspace();
    else
        m_line->insert(QString(QChar(key)));
    emit ChangeEdit();
    return true;
}

bool FlexGrid::eventFilter(QObject* watched, QEvent* event) {
    // Keys reach the viewport only on their way up from the editor.
    if (watched == viewport() && event->type() == QEvent::KeyPress)
        m_returning = event;
    if (watched == m_editor) {
        if (event->type() == QEvent::KeyPress)
            return handleEditorKey(static_cast<QKeyEvent*>(event));
        if (event->type() == QEvent::FocusOut && !m_committing) {
            // Leaving the editor commits; a refused edit takes the focus back.
            QTimer::singleShot(0, this, [this] {
                if (isEditing() && m_editor && !m_editor->hasFocus() &&
                    QApplication::activePopupWidget() == nullptr)
                    commitEdit();
            });
        }
    }
    return QTableWidget::eventFilter(watched, event);
}

void FlexGrid::keyPressEvent(QKeyEvent* event) {
    const bool returned = event == m_returning;
    m_returning = nullptr;
    if (isEditing()) {
        // A key the editor did not want comes back here through the viewport, its parent: it
        // must not go back to the editor, or the two would pass it between them for ever. It
        // goes on to the window (Escape, Alt keys). A key sent to the grid itself while it
        // edits belongs to the editor.
        if (returned || m_forwarding || !m_editor) {
            event->ignore();
            return;
        }
        m_forwarding = true;
        QKeyEvent copy(event->type(), event->key(), event->modifiers(), event->text());
        QCoreApplication::sendEvent(m_editor, &copy);
        m_forwarding = false;
        event->setAccepted(copy.isAccepted());
        return;
    }
    const int row = currentRow(), col = currentColumn();
    const bool plain =
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (row >= 0 && col >= 0 && plain) {
        const bool check = CellChecked(row, col) != NoCheckBox;
        const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        if (!check && isReadOnlyCell(row, col) && (enter || event->key() == Qt::Key_Space)) {
            emit ActivateCell(row, col);
            return;
        }
        if (event->key() == Qt::Key_F2 || enter) {
            if (!check)
                startEdit(row, col);
            return;
        }
        if (event->key() == Qt::Key_Space && check) {
            toggleCheck(row, col);
            return;
        }
        if (!event->text().isEmpty() && event->text().at(0).isPrint() &&
            CellChecked(row, col) == NoCheckBox) {
            if (startEdit(row, col) && m_line) {
                m_line->clear();
                QKeyEvent copy(event->type(), event->key(), event->modifiers(), event->text());
                if (!handleEditorKey(&copy))
                    m_line->insert(event->text());
            }
            return;
        }
    }
    ++m_inputDepth;
    QTableWidget::keyPressEvent(event);
    --m_inputDepth;
}

void FlexGrid::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    QTableWidget::selectionChanged(selected, deselected);
    if (m_inputDepth > 0)
        return;
    // Selecting one cell unselects the other: only the newly selected one was asked for.
    const QModelIndexList asked = selected.isEmpty() ? deselected.indexes() : selected.indexes();
    bool any = false;
    for (const QModelIndex& i : asked)
        if (CellChecked(i.row(), i.column()) != NoCheckBox) {
            m_toggled << QPersistentModelIndex(i);
            any = true;
        }
    if (any)
        QTimer::singleShot(0, this, [this] {
            const auto toggled = std::exchange(m_toggled, {});
            for (const QPersistentModelIndex& i : toggled)
                if (i.isValid())
                    toggleCheck(i.row(), i.column());
        });
}

void FlexGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableWidget::currentChanged(current, previous);
    m_toggled.clear(); // the selection moved with the current cell: not a toggle
}

void FlexGrid::mousePressEvent(QMouseEvent* event) {
    const QModelIndex idx = indexAt(event->position().toPoint());
    ++m_inputDepth;
    QTableWidget::mousePressEvent(event);
    --m_inputDepth;
    if (!idx.isValid())
        return;
    emit MouseDown(idx.row(), idx.column());
    if (CellChecked(idx.row(), idx.column()) != NoCheckBox)
        toggleCheck(idx.row(), idx.column());
}

void FlexGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    const QModelIndex idx = indexAt(event->position().toPoint());
    if (idx.isValid() && CellChecked(idx.row(), idx.column()) == NoCheckBox)
        startEdit(idx.row(), idx.column());
    else
        QTableWidget::mouseDoubleClickEvent(event);
}

void FlexGrid::focusInEvent(QFocusEvent* event) {
    QTableWidget::focusInEvent(event);
    emit GridGotFocus();
}

void FlexGrid::focusOutEvent(QFocusEvent* event) {
    QTableWidget::focusOutEvent(event);
    if (!isEditing())
        emit GridLostFocus();
}
