#pragma once

#include "model/BumpTest.h"
#include "model/CalibrationCertificate.h"
#include "model/CalibrationRules.h"
#include "ops/CalibrationFlows.h"

#include <QColor>
#include <QDialog>
#include <array>
#include <functional>
#include <optional>

enum class ProgressTask;
class CalibrationTrend;
class FlexGrid;
class frmUploadCalib;
class QGroupBox;
class QLineEdit;
class QPushButton;
class uclHbif;

// The calibration window: the five channels with their span-gas concentrations and live
// readings, zero and span adjustment and the bump test through the calibration progress
// window, the nitrogen calibration of the vol% range, the live trend, and the records: each
// span and bump test leaves its record (made once, when it ends, from what it sent and
// received) in the calibration log, and the last of each can be saved as a PDF.
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
    // The gas information could not be read: the adjustments are off until it is.
    bool GasInfoMissing() const { return m_gasInfoMissing; }

    FlexGrid* vfgCal() const { return m_vfgCal; }
    QPushButton* cmdZero() const { return m_cmdZero; }
    QPushButton* cmdSpan() const { return m_cmdSpan; }
    // "Set range", then "N2 Cal" while the range is set.
    QPushButton* cmdNitrogen() const { return m_cmdNitrogen; }
    // "Exit Calibration", or "N2 Cal END" while the range is set.
    QPushButton* cmdExit() const { return m_cmdExit; }
    QPushButton* cmdBumpTest() const { return m_cmdBumpTest; }
    QPushButton* cmdCertificate() const { return m_cmdCertificate; }
    QPushButton* cmdBumpReport() const { return m_cmdBumpReport; }
    QLineEdit* txtOperator() const { return m_txtOperator; }
    QLineEdit* txtCylinderLot() const { return m_txtLot; }
    CalibrationTrend* trend() const { return m_trend; }
    // Where the last certificate went ("" before one was saved).
    QString lastCertificatePath() const { return m_lastCertificate; }
    // The records of the last span and the last bump test that ran to their end.
    const std::optional<CalibrationCertificate>& lastSpan() const { return m_lastSpan; }
    const std::optional<BumpTestRecord>& lastBumpTest() const { return m_lastBump; }
    // The bump test's time; by default the PC clock (tests move the simulator's).
    void setBumpClock(BumpClock clock) { m_bumpClock = std::move(clock); }

public slots:
    void cmdZero_Click();
    void cmdSpan_Click();
    void cmdNitrogen_Click();
    void cmdExit_Click();
    void cmdBumpTest_Click();
    void cmdCertificate_Click();
    void cmdBumpReport_Click();

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
    // Commits a concentration still being typed, so a command works on what the grid shows.
    bool commitOpenEdit();
    // False, with a box titled `title`, when the calibration log cannot be written.
    bool recordCanBeKept(int title);
    void runAdjustment(ProgressTask task);
    void zeroAdjustment();
    void spanAdjustment();
    void bumpTest(frmUploadCalib* progress);
    void readGasInfo();
    void enableAdjustments();
    RecordAuthor author() const;
    Calibration::Flags selection() const;
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
    QPushButton* m_cmdZero;
    QPushButton* m_cmdSpan;
    QPushButton* m_cmdNitrogen;
    QPushButton* m_cmdExit;
    QPushButton* m_cmdBumpTest;
    QPushButton* m_cmdCertificate;
    QPushButton* m_cmdBumpReport;
    QLineEdit* m_txtOperator;
    QLineEdit* m_txtLot;
    CalibrationTrend* m_trend;

    Calibration::Flags m_sensorEnabled{};
    NitrogenCalibration m_n2;
    bool m_calibrationOK = false;
    QString m_resultText;
    bool m_gasInfoPending = true;
    bool m_gasInfoMissing = false;
    bool m_closed = false;

    std::optional<CalibrationCertificate> m_lastSpan;
    std::optional<BumpTestRecord> m_lastBump;
    BumpClock m_bumpClock;
    QString m_lastCertificate;
};
