#pragma once

#include "link/CalibrationFlows.h"
#include "model/CalibrationRules.h"

#include <QColor>
#include <QDateTime>
#include <QDialog>
#include <array>
#include <functional>

class CalibrationTrend;
class FlexGrid;
class QGroupBox;
class QLineEdit;
class QPushButton;
class uclHbif;

// The calibration window: the five channels with their span-gas concentrations and live
// readings, zero and span adjustment through the calibration progress window, the nitrogen
// calibration of the vol% range, the live trend, and the certificate of a successful span.
class frmCalibration : public QDialog {
    Q_OBJECT
public:
    // What the window needs of the main window.
    struct Host {
        uclHbif* link = nullptr;
        std::function<void(const QString& text, const QColor& color)> addInfo;
    };
    enum Column { ColGas = 0, ColSelect, ColAutoCal, ColReading };

    frmCalibration(Host host, QWidget* parent = nullptr);
    ~frmCalibration() override;

    // Called when the adjustment of the progress window ends.
    void SetCalibResult(bool result, const Calibration::Flags& status, bool asZero);
    // Rewrites the live readings (column 3) and feeds the trend.
    void Refresh_InstMoment();
    // The first activation's work: the gases of the instrument into the calibration record.
    void FirstActivate();
    // Labels, selection boxes, concentrations and readings from the records.
    void FillGrid();

    bool SensorEnabled(int i) const { return m_sensorEnabled.at(i); }
    bool CalibrationOK() const { return m_calibrationOK; }
    QString ResultText() const { return m_resultText; }
    qint16 SavedHcMode() const { return m_n2.SavedHcMode(); }
    bool GasInfoPending() const { return m_gasInfoPending; }

    FlexGrid* vfgCal() const { return m_vfgCal; }
    QPushButton* cmdCal(int i) const { return m_cmdCal.at(i); }
    QPushButton* cmdCertificate() const { return m_cmdCertificate; }
    QLineEdit* txtOperator() const { return m_txtOperator; }
    QLineEdit* txtCylinderLot() const { return m_txtLot; }
    CalibrationTrend* trend() const { return m_trend; }
    // Where the last certificate went ("" before one was saved).
    QString lastCertificatePath() const { return m_lastCertificate; }

public slots:
    void cmdCal_Click(int index);
    void cmdCertificate_Click();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void reject() override;

private:
    bool labelsFromDefaults() const;
    void fitColumns(); // 30 %, 10 %, 30 % and the rest of the grid's width
    void vfgCal_BeforeEdit(int row, int col, bool* cancel);
    void vfgCal_AfterEdit(int row, int col);
    void vfgCal_ValidateEdit(int row, int col, bool* cancel);
    void runAdjustment(int task);
    void zeroAdjustment();
    void spanAdjustment();
    void nitrogenStep();
    void exitOrEndNitrogen();
    void showNitrogenState();
    bool leaveWindow();
    FlowOutput output();
    void info(const QString& text, const QColor& color);

    // The window is busy while a nitrogen step talks to the instrument: no second step, no
    // closing it under the step.
    class StepGuard {
    public:
        explicit StepGuard(frmCalibration* window);
        ~StepGuard();
        Q_DISABLE_COPY_MOVE(StepGuard)

    private:
        frmCalibration* m_window;
    };

    Host m_host;
    bool m_busy = false;
    QGroupBox* m_fraCalibration;
    FlexGrid* m_vfgCal;
    std::array<QPushButton*, 4> m_cmdCal{};
    QPushButton* m_cmdCertificate;
    QLineEdit* m_txtOperator;
    QLineEdit* m_txtLot;
    CalibrationTrend* m_trend;

    Calibration::Flags m_sensorEnabled{};
    NitrogenCalibration m_n2;
    bool m_calibrationOK = false;
    QString m_resultText;
    bool m_gasInfoPending = true;
    bool m_closed = false;

    // The last successful span, for its certificate.
    struct SpanRecord {
        bool valid = false;
        QDateTime when;
        Calibration::Flags selection{};
        Calibration::Flags status{};
        Calibration::Readings before{};
    } m_lastSpan;
    QString m_lastCertificate;
};
