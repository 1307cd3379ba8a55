#include "ui/calibration/frmCalibration.h"

#include "app/MessageTable.h"
#include "app/ReadingFormat.h"
#include "link/uclHbif.h"
#include "model/CalibrationLog.h"
#include "ops/InstrumentSession.h"
#include "report/CertificatePdf.h"
#include "state/AppState.h"
#include "ui/calibration/CalibrationTrend.h"
#include "ui/calibration/frmUploadCalib.h"
#include "ui/common/FlexGrid.h"
#include "ui/common/FontHelpers.h"
#include "ui/common/UiServices.h"
#include "ui/common/WindowHelpers.h"

#include <QCloseEvent>
#include <QDir>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace {

const QColor kGrey(192, 192, 192);
const QColor kConcentration(192, 255, 255);
const QColor kFailure(255, 0, 0);
const QColor kProgress(0, 192, 0);

} // namespace

frmCalibration::frmCalibration(Host host, QWidget* parent)
    : QDialog(parent), m_host(std::move(host)) {
    setObjectName(QStringLiteral("frmCalibration"));
    setModal(true);
    setWindowTitle(LoadMessage(9201));

    m_fraCalibration = new QGroupBox(LoadMessage(5216), this);
    m_vfgCal = new FlexGrid(m_fraCalibration);
    m_vfgCal->setObjectName(QStringLiteral("vfgCal"));
    m_vfgCal->setAccessibleName(LoadMessage(5216));
    // The buttons keep the control names they always had (cmdCal0..3): an automation tool may
    // know them by these.
    const auto calButton = [this](QPushButton*& button, const char* name,
                                  void (frmCalibration::*click)()) {
        button = new QPushButton(m_fraCalibration);
        button->setObjectName(QLatin1String(name));
        connect(button, &QPushButton::clicked, this, click);
    };
    calButton(m_cmdZero, "cmdCal0", &frmCalibration::cmdZero_Click);
    calButton(m_cmdSpan, "cmdCal1", &frmCalibration::cmdSpan_Click);
    calButton(m_cmdNitrogen, "cmdCal2", &frmCalibration::cmdNitrogen_Click);
    calButton(m_cmdExit, "cmdCal3", &frmCalibration::cmdExit_Click);
    // Beside Zero and Span; it never becomes the default button, as nothing typed may start it.
    m_cmdBumpTest = new QPushButton(WithMnemonic(LoadMessage(5800), u'B'), m_fraCalibration);
    m_cmdBumpTest->setObjectName(QStringLiteral("cmdBumpTest"));
    m_cmdBumpTest->setAutoDefault(false);
    connect(m_cmdBumpTest, &QPushButton::clicked, this, &frmCalibration::cmdBumpTest_Click);
    m_trend = new CalibrationTrend(m_fraCalibration);
    m_txtOperator = new QLineEdit(m_fraCalibration);
    m_txtOperator->setAccessibleName(LoadMessage(5703));
    m_txtLot = new QLineEdit(m_fraCalibration);
    m_txtLot->setAccessibleName(LoadMessage(5704));
    m_cmdCertificate = new QPushButton(WithMnemonic(LoadMessage(5702), u'C'), m_fraCalibration);
    m_cmdCertificate->setEnabled(false);
    connect(m_cmdCertificate, &QPushButton::clicked, this, &frmCalibration::cmdCertificate_Click);
    m_cmdBumpReport = new QPushButton(WithMnemonic(LoadMessage(5811), u'P'), m_fraCalibration);
    m_cmdBumpReport->setObjectName(QStringLiteral("cmdBumpReport"));
    m_cmdBumpReport->setAutoDefault(false);
    m_cmdBumpReport->setEnabled(false);
    connect(m_cmdBumpReport, &QPushButton::clicked, this, &frmCalibration::cmdBumpReport_Click);

    // The grid above its buttons; the trend and the record fields beside them.
    auto* left = new QVBoxLayout;
    left->addWidget(m_vfgCal, 1);
    // The adjustments in two rows (Zero, Span, Bump test; the nitrogen step and the way out), so
    // that the window is no wider than the main window at its least.
    auto* buttons = new QGridLayout;
    const QList<QPushButton*> order{m_cmdZero, m_cmdSpan, m_cmdBumpTest, m_cmdNitrogen, m_cmdExit};
    for (int k = 0; k < order.size(); ++k)
        buttons->addWidget(order[k], k / 3, k % 3);
    left->addLayout(buttons);
    auto* right = new QVBoxLayout;
    right->addWidget(m_trend, 1);
    auto* form = new QFormLayout;
    form->addRow(LoadMessage(5703), m_txtOperator);
    form->addRow(LoadMessage(5704), m_txtLot);
    right->addLayout(form);
    // One above the other, so that the window is no wider than the main window at its least.
    right->addWidget(m_cmdBumpReport, 0, Qt::AlignRight);
    right->addWidget(m_cmdCertificate, 0, Qt::AlignRight);
    auto* inner = new QHBoxLayout(m_fraCalibration);
    inner->addLayout(left, 3);
    inner->addLayout(right, 2);
    // Tab goes as the window reads: the grid and its buttons, then the record fields.
    QList<QWidget*> chain{m_vfgCal};
    for (QPushButton* b : order)
        chain << b;
    chain << m_txtOperator << m_txtLot << m_cmdBumpReport << m_cmdCertificate;
    for (int i = 1; i < chain.size(); ++i)
        setTabOrder(chain[i - 1], chain[i]);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(8, 8, 8, 8);
    outer->addWidget(m_fraCalibration);
    ResizeWithinScreen(this, QSize(TwipsToPixels(MainWindowLeastWidthTwips, Qt::Horizontal), 420));

    connect(m_vfgCal, &FlexGrid::BeforeEdit, this, &frmCalibration::vfgCal_BeforeEdit);
    connect(m_vfgCal, &FlexGrid::AfterEdit, this, &frmCalibration::vfgCal_AfterEdit);
    connect(m_vfgCal, &FlexGrid::ValidateEdit, this, &frmCalibration::vfgCal_ValidateEdit);
    // The main window stores each live reading first (it connected before this window).
    if (m_host.link) {
        connect(m_host.link, &uclHbif::Densty, this, [this] {
            if (appState().CalibrationWindowActive)
                Refresh_InstMoment();
            // The instrument answers again: the gas information is read once more.
            if (m_gasInfoMissing && !m_busy)
                QTimer::singleShot(0, this, [this] {
                    if (m_gasInfoMissing && !m_busy && !m_closed)
                        readGasInfo();
                });
        });
    }

    ApplyAppFont(this);
    // Return in the operator or lot field must not start an adjustment: no button here is a
    // default button.
    ClearDefaultButtons(this);
    showNitrogenState();
    FillGrid();
    appState().CalibrationWindowActive = true;
    if (m_host.link) {
        m_host.link->setCancel(false);
        m_host.link->setRunDensty(true);
    }
    m_gasInfoPending = true;
}

frmCalibration::~frmCalibration() {
    appState().CalibrationWindowActive = false;
}

void frmCalibration::info(const QString& text, const QColor& color) {
    if (m_host.addInfo)
        m_host.addInfo(text, color);
}

FlowOutput frmCalibration::output() {
    FlowOutput out;
    out.addInfo = [this](const QString& text, quint32 rgb) { info(text, QColor::fromRgb(rgb)); };
    return out;
}

void frmCalibration::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_gasInfoPending)
        QTimer::singleShot(0, this, [this] {
            if (m_gasInfoPending)
                FirstActivate();
        });
}

void frmCalibration::FirstActivate() {
    m_gasInfoPending = false;
    readGasInfo();
    if (m_gasInfoMissing) {
        info(LoadMessage(5815), kFailure);
        ui().message(this, LoadMessage(5815), LoadMessage(5216), UiServices::Critical,
                     UiServices::Ok);
    }
}

void frmCalibration::readGasInfo() {
    AppState& s = appState();
    bool read = false;
    if (m_host.link) {
        StepGuard step(this);
        m_sensorEnabled = LoadCalibrationGases(*m_host.link, s.CalibrationRecord, &read);
    }
    m_gasInfoMissing = !read;
    for (int i = 0; i < Calibration::Channels; ++i)
        s.CalibrationSelection[i] = m_sensorEnabled[i];
    FillGrid();
    enableAdjustments();
}

void frmCalibration::enableAdjustments() {
    for (QPushButton* b : {m_cmdZero, m_cmdSpan, m_cmdNitrogen, m_cmdBumpTest})
        b->setEnabled(!m_gasInfoMissing);
    m_cmdCertificate->setEnabled(m_lastSpan.has_value());
    m_cmdBumpReport->setEnabled(m_lastBump.has_value());
}

Calibration::Flags frmCalibration::selection() const {
    const AppState& s = appState();
    Calibration::Flags selected{};
    std::copy(s.CalibrationSelection.begin(), s.CalibrationSelection.end(), selected.begin());
    return selected;
}

RecordAuthor frmCalibration::author() const {
    return RecordAuthor{m_txtOperator->text(), m_txtLot->text()};
}

bool frmCalibration::recordCanBeKept(int title) {
    // Checked before the instrument is touched: an adjustment whose record cannot be kept
    // should not happen.
    QString error;
    if (CanWriteRecordFile(CalibrationLogPath(appState().StartFolder), &error))
        return true;
    ui().message(this, LoadMessage(5724, {error}), LoadMessage(title), UiServices::Critical,
                 UiServices::Ok);
    return false;
}

bool frmCalibration::commitOpenEdit() {
    return !m_vfgCal->isEditing() || m_vfgCal->commitEdit();
}

bool frmCalibration::labelsFromDefaults() const {
    const clsInstrument& main = appState().Instrument;
    return !m_host.link || !IsTalking(m_host.link->Status()) ||
           (main.CommFlags() == 0 && main.ImportFlag() == 0);
}

void frmCalibration::FillGrid() {
    const AppState& s = appState();
    const clsInstrument& cal = s.CalibrationRecord;
    FlexGrid* g = m_vfgCal;
    g->Clear();
    g->setCols(4);
    g->setRows(6);
    g->setFixedRows(1);
    g->setFixedCols(1);
    const bool defaults = labelsFromDefaults();
    const clsInstrument& labels = defaults ? s.DefaultRecord : cal;
    std::array<QString, Calibration::Channels> names;
    for (int i = 0; i < Calibration::Channels; ++i) {
        const int row = i + 1;
        g->setTextMatrix(row, ColGas, Calibration::GasLabel(labels, i));
        if (m_sensorEnabled[i]) {
            g->setCellChecked(row, ColSelect, FlexGrid::Checked);
            if (defaults)
                g->setCellBackColor(row, ColSelect, g->palette().color(QPalette::Base));
            names[i] = labels.GasName(i).trimmed();
        } else {
            g->setCellChecked(row, ColSelect, FlexGrid::Unchecked);
            g->setCellBackColor(row, ColSelect, kGrey);
        }
        g->setCellAlignment(row, ColSelect, Qt::AlignCenter);
        g->setTextMatrix(row, ColAutoCal,
                         m_sensorEnabled[i] ? FormatReading(cal.AutoCalib(i), cal.GasPoint(i))
                                            : QStringLiteral("-----"));
        g->setCellBackColor(row, ColAutoCal, kConcentration);
    }
    g->setCellAlignment(0, ColSelect, Qt::AlignCenter);
    const QStringList header = LoadMessage(5666).split(u'|');
    for (int c = 0; c < 4 && c < header.size(); ++c)
        g->setTextMatrix(0, c, header[c]);
    fitColumns();
    // Two channels of one gas (the combustible gas in %LEL and in vol%) are told apart in the
    // trend's legend by their units.
    const auto sameName = names;
    for (int i = 0; i < Calibration::Channels; ++i)
        if (!names[i].isEmpty() && std::count(sameName.begin(), sameName.end(), names[i]) > 1)
            names[i] += u' ' + labels.GasUnit(i).trimmed();
    m_trend->setChannelNames(names);
    Refresh_InstMoment();
}

void frmCalibration::fitColumns() {
    FlexGrid* g = m_vfgCal;
    const int width = qMax(g->viewport()->width(), 400);
    g->setColWidth(ColGas, width * 30 / 100);
    g->setColWidth(ColSelect, width * 10 / 100);
    g->setColWidth(ColAutoCal, width * 30 / 100);
    g->setColWidth(ColReading,
                   width - g->ColWidth(ColGas) - g->ColWidth(ColSelect) - g->ColWidth(ColAutoCal));
}

void frmCalibration::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    fitColumns();
}

void frmCalibration::Refresh_InstMoment() {
    const AppState& s = appState();
    const clsInstrument& cal = s.CalibrationRecord;
    std::array<float, Calibration::Channels> readings{};
    std::array<float, Calibration::Channels> scales{};
    for (int i = 0; i < Calibration::Channels; ++i) {
        readings[i] = m_sensorEnabled[i] ? s.LiveReadings[i] : -101.0f;
        scales[i] = cal.GasFullScale(i);
        m_vfgCal->setTextMatrix(i + 1, ColReading, FormatReading(readings[i], cal.GasPoint(i)));
    }
    if (s.LiveReadingsNew)
        m_trend->addReadings(readings, scales);
}

void frmCalibration::vfgCal_BeforeEdit(int row, int col, bool* cancel) {
    if (col == ColReading || row < 1 || row > Calibration::Channels || !m_sensorEnabled[row - 1])
        *cancel = true;
}

void frmCalibration::vfgCal_AfterEdit(int row, int col) {
    if (col != ColSelect || row < 1 || row > Calibration::Channels)
        return;
    AppState& s = appState();
    const int channel = row - 1;
    if (m_sensorEnabled[channel]) {
        for (int i = 0; i < Calibration::Channels; ++i)
            s.CalibrationSelection[i] =
                m_vfgCal->CellChecked(i + 1, ColSelect) == FlexGrid::Checked;
    } else {
        s.CalibrationSelection[channel] = false;
        m_vfgCal->setCellChecked(row, ColSelect, FlexGrid::Unchecked);
        m_vfgCal->setCellBackColor(row, ColSelect, kGrey);
    }
}

void frmCalibration::vfgCal_ValidateEdit(int row, int col, bool* cancel) {
    AppState& s = appState();
    if (col != ColAutoCal || row < 1 || row > Calibration::Channels || s.GridEditBusy)
        return;
    s.GridEditBusy = true;
    const int channel = row - 1;
    clsInstrument& cal = s.CalibrationRecord;
    const Calibration::ConcentrationEdit e =
        Calibration::EditConcentration(m_vfgCal->EditText(), channel, cal, s.Instrument);
    switch (e.outcome) {
    case Calibration::ConcentrationEdit::Accepted:
        cal.setAutoCalib(channel, e.value);
        if (e.cleared)
            m_vfgCal->setCellBackColor(row, ColAutoCal, kGrey);
        else
            m_vfgCal->setEditText(e.text);
        break;
    case Calibration::ConcentrationEdit::TooLong:
        ui().message(this, LoadMessage(5700, {Calibration::GasLabel(cal, channel)}),
                     LoadMessage(5216), UiServices::Critical, UiServices::Ok);
        [[fallthrough]];
    case Calibration::ConcentrationEdit::Refused:
        *cancel = true;
        m_vfgCal->setEditText(e.text);
        break;
    }
    s.GridEditBusy = false;
}

void frmCalibration::SetCalibResult(bool result, const Calibration::Flags& status, bool asZero) {
    const AppState& s = appState();
    m_calibrationOK = result;
    Calibration::Readings live{};
    std::copy(s.LiveReadings.begin(), s.LiveReadings.end(), live.begin());
    m_resultText = Calibration::ResultText(s.CalibrationRecord, m_sensorEnabled, selection(),
                                           status, live, asZero);
}

void frmCalibration::runAdjustment(ProgressTask task) {
    AppState& s = appState();
    m_calibrationOK = false;
    s.ProgressTask = task;
    {
        frmUploadCalib* dlg = nullptr;
        frmUploadCalib progress(
            [this, task, &dlg] {
                if (task == ProgressTask::ZeroAdjustment)
                    zeroAdjustment();
                else if (task == ProgressTask::SpanAdjustment)
                    spanAdjustment();
                else
                    bumpTest(dlg);
            },
            this);
        dlg = &progress;
        if (m_host.link)
            connect(&progress, &frmUploadCalib::cancelRequested, m_host.link,
                    [link = m_host.link] { link->setCancel(true); });
        progress.exec();
    }
    s.ProgressTask = ProgressTask::Idle;
    // Polling was paused while the step talked to the instrument.
    m_trend->markGap();
    enableAdjustments();
    if (m_calibrationOK)
        ui().inform(this, m_resultText, LoadMessage(task == ProgressTask::BumpTest ? 5800 : 5355));
}

void frmCalibration::zeroAdjustment() {
    AdjustmentOutcome r;
    if (m_host.link)
        RunOperation(*m_host.link, Operation::CalibrateZero, [&] {
            AttachAuthor(*m_host.link, author());
            return (r = ZeroAdjustmentFlow(*m_host.link, output())).ok;
        });
    m_calibrationOK = r.ok;
    m_resultText = Calibration::ResultText(appState().CalibrationRecord, m_sensorEnabled, {},
                                           r.status, r.before, true);
    appState().LiveReadingsNew = false;
}

void frmCalibration::spanAdjustment() {
    AppState& s = appState();
    const Calibration::Flags selected = selection();
    if (!m_host.link)
        return;
    SpanOutcome r;
    RunOperation(*m_host.link, Operation::CalibrateSpan, [&] {
        r = SpanAdjustmentFlow(*m_host.link, s.Instrument, s.CalibrationRecord, selected, author(),
                               CalibrationLogPath(s.StartFolder), output());
        return r.ok;
    });
    m_calibrationOK = r.ok;
    m_resultText = Calibration::ResultText(s.CalibrationRecord, m_sensorEnabled, selected, r.status,
                                           r.before, false);
    s.LiveReadingsNew = false;
    if (r.sent)
        m_lastSpan = r.record;
}

void frmCalibration::bumpTest(frmUploadCalib* progress) {
    AppState& s = appState();
    if (!m_host.link)
        return;
    Calibration::Readings applied;
    applied.fill(-101.0f);
    const Calibration::Flags selected = selection();
    for (int i = 0; i < Calibration::Channels; ++i)
        if (selected[i] && m_sensorEnabled[i])
            applied[i] = s.CalibrationRecord.AutoCalib(i);
    FlowOutput out = output();
    if (progress)
        out.setProgressLabel = [progress](const QString& text) {
            progress->lblUpload()->setText(text);
        };
    BumpOutcome r;
    RunOperation(*m_host.link, Operation::CalibrateBump, [&] {
        r = BumpTestFlow(*m_host.link, s.Instrument, s.CalibrationRecord, applied, Bump::Criteria{},
                         author(), CalibrationLogPath(s.StartFolder), out, m_bumpClock);
        return r.ok;
    });
    m_calibrationOK = r.ok;
    m_resultText = r.record.resultLines();
    s.LiveReadingsNew = false;
    if (r.started)
        m_lastBump = r.record;
}

void frmCalibration::cmdBumpTest_Click() {
    if (!commitOpenEdit())
        return;
    const AppState& s = appState();
    bool any = false;
    for (int i = 0; i < Calibration::Channels; ++i)
        any = any || (s.CalibrationSelection[i] && m_sensorEnabled[i] &&
                      s.CalibrationRecord.AutoCalib(i) >= 0);
    if (!any) {
        ui().message(this, LoadMessage(5818), LoadMessage(5819), UiServices::Critical,
                     UiServices::Ok);
        return;
    }
    if (recordCanBeKept(5819))
        runAdjustment(ProgressTask::BumpTest);
}

void frmCalibration::cmdCertificate_Click() {
    if (!m_lastSpan)
        return;
    const CalibrationCertificate& c = *m_lastSpan;
    const QString path = ui().saveFileName(
        this, LoadMessage(5705), QDir(appState().StartFolder).filePath(CertificateFileName(c)),
        {LoadMessage(5728)}, 0);
    if (path.isEmpty())
        return;
    QString error;
    if (!WriteCertificatePdf(c, path, &error)) {
        ui().message(this, LoadMessage(5723, {error}), LoadMessage(5705), UiServices::Critical,
                     UiServices::Ok);
        return;
    }
    m_lastCertificate = path;
    info(LoadMessage(5722, {QDir::toNativeSeparators(path)}), kProgress);
}

void frmCalibration::cmdBumpReport_Click() {
    if (!m_lastBump)
        return;
    const BumpTestRecord& r = *m_lastBump;
    const QString name = QStringLiteral("TQ5800_BumpTest_%1.pdf")
                             .arg(r.when.toString(QStringLiteral("yyyyMMdd_hhmmss")));
    const QString path =
        ui().saveFileName(this, LoadMessage(5810), QDir(appState().StartFolder).filePath(name),
                          {LoadMessage(5728)}, 0);
    if (path.isEmpty())
        return;
    QString error;
    if (!WriteBumpTestReportPdf(r, path, &error)) {
        ui().message(this, LoadMessage(5813, {error}), LoadMessage(5810), UiServices::Critical,
                     UiServices::Ok);
        return;
    }
    info(LoadMessage(5812, {QDir::toNativeSeparators(path)}), kProgress);
}

void frmCalibration::cmdZero_Click() {
    if (commitOpenEdit())
        runAdjustment(ProgressTask::ZeroAdjustment);
}

void frmCalibration::cmdSpan_Click() {
    if (!commitOpenEdit())
        return;
    const AppState& s = appState();
    m_vfgCal->setCurrentCell(4, ColSelect);
    const Calibration::SpanRequest request =
        Calibration::BuildSpanRequest(s.CalibrationRecord, selection());
    if (request.noSelection) {
        ui().message(this, LoadMessage(5345), LoadMessage(5346), UiServices::Critical,
                     UiServices::Ok);
        return;
    }
    if (request.tooLong >= 0) {
        ui().message(
            this, LoadMessage(5700, {Calibration::GasLabel(s.CalibrationRecord, request.tooLong)}),
            LoadMessage(5346), UiServices::Critical, UiServices::Ok);
        return;
    }
    if (recordCanBeKept(5346))
        runAdjustment(ProgressTask::SpanAdjustment);
}

void frmCalibration::cmdNitrogen_Click() {
    if (commitOpenEdit())
        nitrogenStep();
}

void frmCalibration::cmdExit_Click() {
    exitOrEndNitrogen();
}

frmCalibration::StepGuard::StepGuard(frmCalibration* w) : m_window(w) {
    m_window->m_busy = true;
    m_window->m_fraCalibration->setEnabled(false);
    ui().setBusy(true);
}

frmCalibration::StepGuard::~StepGuard() {
    ui().setBusy(false);
    m_window->m_fraCalibration->setEnabled(true);
    m_window->m_busy = false;
}

void frmCalibration::showNitrogenState() {
    const bool rangeSet = m_n2.state() == NitrogenCalibration::State::RangeSet;
    // Zero, Span, the nitrogen step and the way out, each with its Alt key.
    SetCaptionWithMnemonic(m_cmdZero, LoadMessage(5218), u'Z');
    SetCaptionWithMnemonic(m_cmdSpan, LoadMessage(5219), u'S');
    SetCaptionWithMnemonic(m_cmdNitrogen, LoadMessage(rangeSet ? 5235 : 5234), u'R');
    SetCaptionWithMnemonic(m_cmdExit, LoadMessage(rangeSet ? 5236 : 5220), rangeSet ? u'E' : u'X');
}

void frmCalibration::nitrogenStep() {
    if (!m_sensorEnabled[Calibration::RangeChannel]) {
        ui().message(this, LoadMessage(5383), LoadMessage(5232), UiServices::Critical,
                     UiServices::Ok);
        return;
    }
    if (!m_host.link)
        return;
    StepGuard step(this);
    AppState& s = appState();
    uclHbif& link = *m_host.link;
    if (m_n2.state() == NitrogenCalibration::State::Normal) {
        const NitrogenCalibration::RangeResult r = m_n2.SetRange(link, s.Instrument);
        // One box, whichever of the two steps failed.
        if (!r.rangeRead || !r.rangeSet)
            ui().inform(this, LoadMessage(5233), LoadMessage(5232));
        showNitrogenState();
        m_trend->markGap();
        return;
    }
    const clsInstrument& cal = s.CalibrationRecord;
    const QString oxygen = Calibration::NitrogenReadingText(
        s.LiveReadings[Calibration::OxygenChannel], cal.GasPoint(Calibration::OxygenChannel));
    const bool ok = RunOperation(link, Operation::Nitrogen, [&] {
        AttachAuthor(link, author());
        return m_n2.Calibrate(link, oxygen);
    });
    m_trend->markGap();
    const QString line =
        Calibration::NitrogenResultLine(cal, ok, m_sensorEnabled[Calibration::RangeChannel],
                                        s.LiveReadings[Calibration::RangeChannel]);
    ui().inform(this, line, LoadMessage(5232));
}

void frmCalibration::exitOrEndNitrogen() {
    if (m_n2.state() == NitrogenCalibration::State::RangeSet) {
        StepGuard step(this);
        if (m_host.link && !m_n2.End(*m_host.link, appState().Instrument))
            ui().inform(this, LoadMessage(5233), LoadMessage(5232));
        showNitrogenState();
        return;
    }
    if (leaveWindow())
        accept();
}

// Every way out: the range the nitrogen calibration set is given back, polling stops.
bool frmCalibration::leaveWindow() {
    if (m_closed)
        return true;
    AppState& s = appState();
    if (m_host.link) {
        if (m_n2.state() == NitrogenCalibration::State::RangeSet &&
            !m_n2.Abandon(*m_host.link, s.Instrument))
            info(LoadMessage(5727, {QString::number(s.Instrument.HcMode())}), kFailure);
        m_host.link->setRunDensty(false);
    }
    showNitrogenState();
    s.CalibrationWindowActive = false;
    m_closed = true;
    return true;
}

void frmCalibration::closeEvent(QCloseEvent* event) {
    if (m_busy) { // a step is talking to the instrument; it ends by itself
        event->ignore();
        return;
    }
    leaveWindow();
    QDialog::closeEvent(event);
}

void frmCalibration::reject() {
    if (m_busy)
        return;
    leaveWindow();
    QDialog::reject();
}
