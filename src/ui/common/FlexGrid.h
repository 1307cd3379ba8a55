#pragma once

#include <QColor>
#include <QPointer>
#include <QTableWidget>

class QLineEdit;
class QComboBox;

// The data grid of the windows: text by row and column, fixed rows and columns painted in the
// fixed-cell colour, merged cells, per-cell check boxes, colours, alignment, column widths, a
// drop-down list for the editor, and the edit events that the windows' rules hang on:
//   BeforeEdit (may cancel) -> KeyPressEdit per typed key (drop or change it) -> ChangeEdit
//   -> ValidateEdit on commit (cancel keeps the editor open; EditText may be replaced)
//   -> the text is stored -> AfterEdit.
// A cell painted in the fixed-cell colour is read-only. Typing, double click, F2 and clicks on
// check boxes all go through these events, and so do tests.
class FlexGrid : public QTableWidget {
    Q_OBJECT
public:
    enum CheckMark { NoCheckBox, Checked, Unchecked };

    explicit FlexGrid(QWidget* parent = nullptr);

    int Rows() const { return rowCount(); }
    int Cols() const { return columnCount(); }
    void setRows(int n);
    void setCols(int n);
    int FixedRows() const { return m_fixedRows; }
    int FixedCols() const { return m_fixedCols; }
    void setFixedRows(int n);
    void setFixedCols(int n);
    // Removes every text, colour, check box and span; keeps the size and fixed counts.
    void Clear();

    QString TextMatrix(int row, int col) const;
    void setTextMatrix(int row, int col, const QString& text);

    QColor BackColorFixed() const { return m_fixedColor; }
    void setBackColorFixed(const QColor& c);
    // The cell's back colour (the grid's background when none is set).
    QColor CellBackColor(int row, int col) const;
    void setCellBackColor(int row, int col, const QColor& c);
    QColor CellForeColor(int row, int col) const;
    void setCellForeColor(int row, int col, const QColor& c);
    void setCellAlignment(int row, int col, Qt::Alignment a);
    void setColAlignment(int col, Qt::Alignment a);
    void setCellFont(int row, int col, const QFont& f);
    void setMergeCells(int row, int col, int rowSpan, int colSpan);

    CheckMark CellChecked(int row, int col) const;
    void setCellChecked(int row, int col, CheckMark m);

    int ColWidth(int col) const { return columnWidth(col); }
    void setColWidth(int col, int px) { setColumnWidth(col, px); }

    // Drop-down list offered by the next editor ("a|b|c"); empty for a text editor.
    QString ComboList() const { return m_comboList; }
    void setComboList(const QString& list) { m_comboList = list; }

    bool isEditing() const { return m_editor != nullptr; }
    QWidget* editor() const { return m_editor; }
    int editRow() const { return m_editRow; }
    int editCol() const { return m_editCol; }
    QString EditText() const;
    void setEditText(const QString& text);

    // The header a screen reader announces for a column or row whose fixed cells stay empty.
    // The fixed cells give it otherwise (the nearest non-empty one); nothing is shown.
    void setHeaderText(Qt::Orientation o, int section, const QString& text);

    // A cell in the fixed rows or columns, or painted in the fixed-cell colour.
    bool isReadOnlyCell(int row, int col) const;

    // Opens the editor on a cell (BeforeEdit may refuse). True when an editor is open.
    bool startEdit(int row, int col);
    // Validates and stores the edit. False when ValidateEdit refused (the editor stays open).
    bool commitEdit();
    void cancelEdit();
    // The path of a click on a check box: BeforeEdit, toggle, AfterEdit.
    void toggleCheck(int row, int col);

signals:
    void BeforeEdit(int row, int col, bool* cancel);
    void KeyPressEdit(int row, int col, int* key);
    void ChangeEdit();
    void ValidateEdit(int row, int col, bool* cancel);
    void AfterEdit(int row, int col);
    void RowColChange();
    void GridGotFocus();
    void GridLostFocus();
    void MouseDown(int row, int col);
    // Return, Enter or Space on a cell that is neither editable nor a check box.
    void ActivateCell(int row, int col);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    QTableWidgetItem* cell(int row, int col);
    const QTableWidgetItem* cellOrNull(int row, int col) const;
    void paintFixed();
    void closeEditor();
    bool handleEditorKey(QKeyEvent* event);

    int m_fixedRows = 0;
    int m_fixedCols = 0;
    QColor m_fixedColor;
    QString m_comboList;
    QPointer<QWidget> m_editor;
    QLineEdit* m_line = nullptr;
    QComboBox* m_combo = nullptr;
    int m_editRow = -1;
    int m_editCol = -1;
    bool m_committing = false;
    bool m_forwarding = false;
    const QEvent* m_returning = nullptr; // a key on its way back from the editor
    // Check cells whose selection changed without the current cell moving: a screen reader's
    // "Toggle" on a cell selects or unselects it, and that is taken as a click on the box.
    QList<QPersistentModelIndex> m_toggled;
    int m_inputDepth = 0; // inside the grid's own mouse and key handling
};
