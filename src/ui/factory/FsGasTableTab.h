#pragma once

#include <QWidget>

class FlexGrid;
class clsInstrument;

// The "HC Gas Table" tab: the 30 built-in gases of the working record read-only, two to a row,
// and the user gas pair in the last row, edited by the rules of UserGasTable.
class FsGasTableTab : public QWidget {
    Q_OBJECT
public:
    static constexpr int Rows = 17;
    static constexpr int Cols = 29;
    static constexpr int UserRow = 16;
    static inline const QColor Invalid{255, 0, 0};

    explicit FsGasTableTab(QWidget* parent = nullptr);

    FlexGrid* vfgGasTbl() const { return m_vfgGasTbl; }

    void Fill(const clsInstrument& work);
    // False when a cell of the user row is marked invalid.
    bool Check() const;
    // Writes the user row into user entries 0 (left half) and 1 (right half).
    void Store(clsInstrument& work) const;

private:
    void vfgGasTbl_BeforeEdit(int row, int col, bool* cancel);
    void vfgGasTbl_KeyPressEdit(int row, int col, int* key);
    void vfgGasTbl_ValidateEdit(int row, int col, bool* cancel);
    void vfgGasTbl_AfterEdit(int row, int col);

    FlexGrid* m_vfgGasTbl = nullptr;
};
