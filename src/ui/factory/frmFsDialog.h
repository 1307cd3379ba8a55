#pragma once

#include "model/clsInstrument.h"

#include <QDialog>

class FlexGrid;
class FsCompensationTab;
class FsGasTableTab;
class FsStationTab;
class QFrame;
class QPushButton;
class QTabWidget;
class uclHbif;

// The factory setting dialog. It edits a private working copy of the main record (the
// parameter, station and gas-table tabs) and copies back only the changed groups on OK;
// Cancel leaves the main record untouched. The compensation tab talks to the instrument
// directly through the link and works on the main record.
class frmFsDialog : public QDialog {
    Q_OBJECT
public:
    explicit frmFsDialog(uclHbif* link, QWidget* parent = nullptr);

    clsInstrument* Instrument() const { return m_instrument; }
    void setInstrument(clsInstrument* record) { m_instrument = record; }
    const clsInstrument& WorkRecord() const { return m_work; }

    QTabWidget* SSTab1() const { return m_SSTab1; }
    FlexGrid* vfgDatas() const { return m_vfgDatas; }
    FsStationTab* stationTab() const { return m_station; }
    FsGasTableTab* gasTableTab() const { return m_gasTable; }
    FsCompensationTab* compensationTab() const { return m_compensation; }
    QPushButton* cmdOK() const { return m_cmdOK; }
    QPushButton* cmdCancel() const { return m_cmdCancel; }

    // Runs the first-activation steps now (the dialog runs them when first shown); later
    // calls do nothing.
    void FirstActivate();

public slots:
    void cmdOK_Click();
    void cmdCancel_Click();
    // Escape and the window's close button end the dialog like Cancel, but never while a
    // compensation command is on the wire.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildParameterGrid();
    void vfgDatas_BeforeEdit(int row, int col, bool* cancel);
    void vfgDatas_KeyPressEdit(int row, int col, int* key);
    void vfgDatas_ValidateEdit(int row, int col, bool* cancel);
    void sizeParameterColumns();
    bool commitOpenEdits();

    uclHbif* m_link = nullptr;
    clsInstrument* m_instrument = nullptr;
    clsInstrument m_work;
    bool m_activated = false;
    bool m_validating = false;

    QTabWidget* m_SSTab1 = nullptr;
    FsStationTab* m_station = nullptr;
    FlexGrid* m_vfgDatas = nullptr;
    FsGasTableTab* m_gasTable = nullptr;
    FsCompensationTab* m_compensation = nullptr;
    QFrame* m_frmBt = nullptr;
    QPushButton* m_cmdOK = nullptr;
    QPushButton* m_cmdCancel = nullptr;
};
