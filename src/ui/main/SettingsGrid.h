#pragma once

#include <QObject>
#include <array>
#include <functional>

class FlexGrid;
class QComboBox;
class QLabel;
class QLineEdit;
class QWidget;
class clsInstrument;

// The operator's settings: identity fields, interval, station and the gas settings grid
// (vfgOption). Every accepted edit goes straight into the shared record through its setters,
// which raise the change flags; nothing is sent here.
class SettingsGrid : public QObject {
    Q_OBJECT
public:
    // What the grid needs to know of the window around it.
    struct Host {
        // Whether the link has been talking to an instrument (IsTalking).
        std::function<bool()> talking;
        std::function<bool()> connected;
        std::function<void()> refreshCommands;
    };

    enum Column { ColGas = 0, ColEnable, ColWarning, ColAlarm, ColStel, ColTwa, ColAutoCal };

    SettingsGrid(QWidget* parent, Host host);

    FlexGrid* vfgOption() const { return m_grid; }
    QLineEdit* txtOption(int i) const { return m_txtOption.at(i); }
    QComboBox* cmbInterval() const { return m_cmbInterval; }
    QComboBox* cmbStation() const { return m_cmbStation; }
    QLabel* romLabel() const { return m_lblRom; }
    QLabel* sumLabel() const { return m_lblSum; }
    void setRomLabels(QLabel* rom, QLabel* sum) {
        m_lblRom = rom;
        m_lblSum = sum;
    }

    // Fills the identity fields and the grid from the record.
    void ShowInstrument();
    // Paints out-of-order and out-of-range values red.
    void MarkValues();
    // Whether a data cell is painted red (a value "Update" must not write).
    bool HasRedCell() const;
    // Whether an identity text may stand: length and identifier characters.
    static bool CheckIdentityText(int index, const QString& text);
    // Locks or unlocks the identity fields and the interval.
    void setIdentityEditable(bool editable);

    // Applies the gas selection dialog's choice; the test seam replaces the dialog.
    std::function<bool(int slot, int* choice)> chooseGas;

public slots:
    void vfgOption_BeforeEdit(int row, int col, bool* cancel);
    void vfgOption_ValidateEdit(int row, int col, bool* cancel);
    void vfgOption_AfterEdit(int row, int col);
    void txtOption_Validate(int index);
    void cmbInterval_Click();
    void cmbStation_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool somethingToShow() const;
    void fitColumns();
    void fillEmpty();
    void enableChanged(int slot);
    clsInstrument& record() const;

    Host m_host;
    FlexGrid* m_grid;
    std::array<QLineEdit*, 3> m_txtOption{};
    QComboBox* m_cmbInterval;
    QComboBox* m_cmbStation;
    QLabel* m_lblRom = nullptr;
    QLabel* m_lblSum = nullptr;
    bool m_filling = false;
    bool m_gasListConnected = false; // the link state the gas list was built for
};
