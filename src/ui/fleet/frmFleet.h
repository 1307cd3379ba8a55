#pragma once

#include "fleet/FleetStore.h"

#include <QDate>
#include <QWidget>
#include <memory>

class FlexGrid;
class FleetFilterProxy;
class FleetListModel;
class FleetSpanChart;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableView;

// The "Fleet" window: every instrument the fleet history knows, with when each is next due,
// and the chosen one's history, two of its snapshots side by side, its span readings over
// time and the certificates of its spans printed again. It needs no instrument and opens no
// port. The list comes from one query; an instrument's history is read when it is chosen.
class frmFleet : public QWidget {
    Q_OBJECT
public:
    // `fleetUrl` as ChooseFleetUrl gives it; `today` decides what is due.
    explicit frmFleet(const QString& fleetUrl, QWidget* parent = nullptr,
                      const QDate& today = QDate::currentDate());
    ~frmFleet() override;

    // False when the database could not be opened or read; the window says why.
    bool isLoaded() const { return m_loaded; }
    QLabel* lblMessage() const { return m_lblMessage; }
    QComboBox* cmbStation() const { return m_cmbStation; }
    QComboBox* cmbStatus() const { return m_cmbStatus; }
    QLineEdit* txtSearch() const { return m_txtSearch; }
    QTableView* lstFleet() const { return m_lstFleet; }
    FleetListModel* fleetModel() const { return m_model; }
    FleetFilterProxy* fleetProxy() const { return m_proxy; }
    FlexGrid* vfgDue() const { return m_vfgDue; }
    FlexGrid* vfgHistory() const { return m_vfgHistory; }
    QComboBox* cmbFirst() const { return m_cmbFirst; }
    QComboBox* cmbSecond() const { return m_cmbSecond; }
    QCheckBox* chkChangedOnly() const { return m_chkChangedOnly; }
    FlexGrid* vfgCompare() const { return m_vfgCompare; }
    FleetSpanChart* spanChart() const { return m_chart; }
    QPushButton* cmdReprint() const { return m_cmdReprint; }
    QTabWidget* tabs() const { return m_tabs; }
    // The history shown, newest first.
    const QList<FleetEvent>& history() const { return m_history; }

    // Selects the instrument with this serial number in the list; false when it is not shown.
    bool selectInstrument(const QString& serialNo);
    void cmdReprint_Click();

protected:
    // Escape closes the window, as it leaves the program's dialogs.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildControls();
    void buildLayout();
    void load(const QString& fleetUrl);
    void showMessage(const QString& text);
    void applyFilters();
    void showCount();
    void instrumentChosen();
    void fillDue(const FleetInstrument& instrument);
    void fillHistory();
    void historyRowChosen();
    void fillSnapshotChoices();
    void fillCompare();

    std::unique_ptr<FleetStore> m_store;
    QDate m_today;
    bool m_loaded = false;
    QString m_serial; // the instrument whose history is shown
    QList<FleetEvent> m_history;
    QList<int> m_snapshotEvents; // the history's events with a snapshot, by choice index

    QLabel* m_lblMessage = nullptr;
    QLabel* m_lblStation = nullptr;
    QLabel* m_lblStatus = nullptr;
    QLabel* m_lblSearch = nullptr;
    QLabel* m_lblCount = nullptr;
    QComboBox* m_cmbStation = nullptr;
    QComboBox* m_cmbStatus = nullptr;
    QLineEdit* m_txtSearch = nullptr;
    QTableView* m_lstFleet = nullptr;
    FleetListModel* m_model = nullptr;
    FleetFilterProxy* m_proxy = nullptr;
    QLabel* m_lblDue = nullptr;
    FlexGrid* m_vfgDue = nullptr;
    QTabWidget* m_tabs = nullptr;
    FlexGrid* m_vfgHistory = nullptr;
    QPushButton* m_cmdReprint = nullptr;
    QLabel* m_lblFirst = nullptr;
    QLabel* m_lblSecond = nullptr;
    QComboBox* m_cmbFirst = nullptr;
    QComboBox* m_cmbSecond = nullptr;
    QCheckBox* m_chkChangedOnly = nullptr;
    QLabel* m_lblDifferences = nullptr;
    FlexGrid* m_vfgCompare = nullptr;
    FleetSpanChart* m_chart = nullptr;
    QPushButton* m_cmdClose = nullptr;
};
