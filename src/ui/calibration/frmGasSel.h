#pragma once

#include "model/GasChoices.h"

#include <QDialog>
#include <array>

class QGroupBox;
class QGridLayout;
class QPushButton;
class QRadioButton;

// Chooses the gas of one sensor slot: the instrument's gas table (and the user gas) for the
// combustible slots 0 and 4, the default gas table for the others.
class frmGasSel : public QDialog {
    Q_OBJECT
public:
    static constexpr int OptionCount = 16;

    explicit frmGasSel(QWidget* parent = nullptr);

    int GasNo() const { return m_gasNo; }
    void setGasNo(int slot);
    // Whether an instrument is connected: decides where the combustible slots' gases come from
    // (GasSourceFor). Writing it rebuilds the list.
    bool Connected() const { return m_connected; }
    void setConnected(bool connected);
    // The source of the list shown, which the chosen option must be applied from.
    GasSource Source() const { return m_source; }
    // The chosen option, -1 when none. OK is offered only once a gas is chosen. 0..14: gas table
    // entry base + k + 1 (combustible slots) or default table row k; 15: the user gas.
    int SelNum() const { return m_selNum; }
    bool Flags() const { return m_flags; }

    QRadioButton* optGasList(int i) const { return m_options.at(i); }
    QPushButton* cmdGasSel(int i) const { return i == 0 ? m_ok : m_cancel; }
    int layoutRows() const { return m_rows; }
    int layoutCols() const { return m_cols; }
    // Grid cell (row, column) an option sits in; (-1, -1) when hidden.
    QPair<int, int> optionCell(int i) const;

public slots:
    void cmdGasSel_Click(int index);

private:
    void buildList();
    void layoutOptions();

    QGroupBox* m_fraGasSel;
    QGridLayout* m_optionGrid;
    std::array<QRadioButton*, OptionCount> m_options{};
    QPushButton* m_ok;
    QPushButton* m_cancel;
    int m_gasNo = 0;
    int m_selNum = -1;
    bool m_flags = false;
    bool m_connected = false;
    GasSource m_source = GasSource::Defaults;
    int m_rows = 0;
    int m_cols = 0;
};
