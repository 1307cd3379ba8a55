#pragma once

#include <QStringList>
#include <QWidget>

class FlexGrid;
class QLabel;
class QPushButton;
class clsInstrument;
class uclHbif;

// The "Station ID" tab of the factory dialog: the 128 station identifiers of the working
// record, the left-space count of the identifier under the cursor, and the station file's
// export and import. Invalid identifiers are painted red; the red cells are what the check
// before OK and export reads.
class FsStationTab : public QWidget {
    Q_OBJECT
public:
    static inline const QColor Invalid{255, 0, 0};
    static inline const QColor Valid{255, 255, 255};

    explicit FsStationTab(QWidget* parent = nullptr);

    FlexGrid* vfgStation() const { return m_vfgStation; }
    QLabel* lblSpaceCount() const { return m_lblSpaceCount; }
    QPushButton* cmdStationExport() const { return m_cmdStationExport; }
    QPushButton* cmdStationImport() const { return m_cmdStationImport; }

    void setCaptions();
    // Fill from the working record; the record is also where an import marks its entries.
    void Fill(clsInstrument& work);
    // The link whose session records an import (none: not recorded).
    void setLink(uclHbif* link) { m_link = link; }
    // True when no identifier is marked invalid.
    bool Check() const;
    // Writes each identifier that differs into the working record.
    void Store(clsInstrument& work) const;
    QStringList Entries() const;

public slots:
    void cmdStationExport_Click();
    void cmdStationImport_Click();

private:
    void vfgStation_KeyPressEdit(int row, int col, int* key);
    void vfgStation_AfterEdit(int row, int col);
    void showSpaceCount(int col, const QString& text);
    void markRow(int row);

    FlexGrid* m_vfgStation = nullptr;
    QLabel* m_Label3_1 = nullptr;
    QLabel* m_lblSpaceCount = nullptr;
    QPushButton* m_cmdStationExport = nullptr;
    QPushButton* m_cmdStationImport = nullptr;
    clsInstrument* m_work = nullptr;
    uclHbif* m_link = nullptr;
};
