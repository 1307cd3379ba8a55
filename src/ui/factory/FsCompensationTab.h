#pragma once

#include <QWidget>

class FlexGrid;
class clsInstrument;
class uclHbif;

// The "Thermal Compensation" tab: a console on the main record, not on the dialog's working
// copy. A press on a command cell sends that row's command at once; a read brings the group
// into the main record and the row is drawn again from it. One command at a time.
class FsCompensationTab : public QWidget {
    Q_OBJECT
public:
    static inline const QColor Sending{0, 255, 0};

    explicit FsCompensationTab(QWidget* parent = nullptr);

    FlexGrid* vfgCompensation() const { return m_vfgCompensation; }
    bool isSending() const { return m_sending; }

    // The link to send through and the main record its replies fill.
    void Fill(uclHbif* link, clsInstrument* main);

public slots:
    void vfgCompensation_MouseDown(int row, int col);

private:
    void redrawSection(int row);
    void redrawRow(int row);

    FlexGrid* m_vfgCompensation = nullptr;
    uclHbif* m_link = nullptr;
    clsInstrument* m_main = nullptr;
    bool m_sending = false;
};
