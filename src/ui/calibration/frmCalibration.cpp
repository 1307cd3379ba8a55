#include "ui/calibration/frmCalibration.h"

#include "app/AppState.h"
#include "app/MessageTable.h"
#include "app/ReadingFormat.h"
#include "link/uclHbif.h"
#include "model/CalibrationCertificate.h"
#include "report/CertificatePdf.h"
#include "ui/calibration/CalibrationTrend.h"
#include "ui/calibration/frmUploadCalib.h"
#include "ui/common/FlexGrid.h"
#include "ui/common/FontHelpers.h"
#include "ui/common/UiServices.h"
#include "ui/common/WindowHelpers.h"

#include <QCloseEvent>
#include <QDir>
#include <QFormLayout>
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

QColor rgbColor(quint32 rgb) {
    return QColor(int((rgb >> 16) & 0xFF), int((rgb >> 8) & 0xFF), int(rgb & 0xFF));
}

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
    static const int captions[] = {5218, 5219, 5234, 5220};
    for (int i = 0; i < 4; ++i) {
        m_cmdCal[i] = new QPushButton(LoadMessage(captions[i]), m_fraCalibration);
        m_cmdCal[i]->setObjectName(QStringLiteral("cmdCal%1").arg(i));
        connect(m_cmdCal[i], &QPushButton::clicked, this, [this, i] { cmdCal_Click(i); });
    }
    m_trend = new CalibrationTrend(m_fraCalibration);
    m_txtOperator = new QLineEdit(m_fraCalibration);
    m_txtOperator->setAccessibleName(LoadMessage(5703));
    m_txtLot = new QLineEdit(m_fraCalibration);
    m_txtLot->setAccessibleName(LoadMessage(5704));
    m_cmdCertificate = new QPushButton(LoadMessage(5702), m_fraCalibration);
    m_cmdCertificate->setEnabled(false);
    connect(m_cmdCertificate, &QPushButton::clicked, this, &frmCalibration::cmdCertificate_Click);

    // The grid above its four buttons; the trend and the certificate fields beside them.
    auto* left = new QVBoxLayout;
    left->addWidget(m_vfgCal, 1);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : m_cmdCal)
        buttons->addWidget(b);
    left->addLayout(buttons);
    auto* right = new QVBoxLayout;
    right->addWidget(m_trend, 1);
    auto* form = new QFormLayout;
    form->addRow(LoadMessage(5703), m_txtOperator);
    form->addRow(LoadMessage(5704), m_txtLot);
    right->addLayout(form);
    right->addWidget(m_cmdCertificate, 0, Qt::AlignRight);
    auto* inner = new QHBoxLayout(m_fraCalibration);
    inner->addLayout(left, 3);
    inner->addLayout(right, 2);
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
        });
    }

    ApplyAppFont(this);
    // Return in the operator or lot field must not start an adjustment: no button here is a
    // default button.
    ClearDefaultButtons(this);
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
    out.addInfo = [this](const QString& text, quint32 rgb) { info(text, rgbColor(rgb)); };
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
    AppState& s = appState();
    if (m_host.link) {
        StepGuard step(this);
        m_sensorEnabled = LoadCalibrationGases(*m_host.link, s.CalibrationRecord);
    }
    for (int i = 0; i < Calibration::Channels; ++i)
        s.CalibrationSelection[i] = m_sensorEnabled[i];
    FillGrid();
}

bool frmCalibration::labelsFromDefaults() const {
    // Status 1 is not a state the link names, but counts as not talking to an instrument.
    const qint32 status = m_host.link ? qint32(m_host.link->Status()) : 0;
    const clsInstrument& main = appState().Instrument;
    return status == qint32(LinkStatus::Idle) || status == 1 ||
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
    Calibration::Flags selection{};
    std::copy(s.CalibrationSelection.begin(), s.CalibrationSelection.end(), selection.begin());
    m_resultText = Calibration::ResultText(s.CalibrationRecord, m_sensorEnabled, selection, status,
                                           live, asZero);
}

void frmCalibration::runAdjustment(int task) {
    AppState& s = appState();
    m_calibrationOK = false;
    s.ProgressTask = task;
    frmUploadCalib dlg([this, task] { task == 3 ? zeroAdjustment() : spanAdjustment(); }, this);
    if (m_host.link)
        connect(&dlg, &frmUploadCalib::cancelRequested, m_host.link,
                [link = m_host.link] { link->setCancel(true); });
    dlg.exec();
    s.ProgressTask = 0;
    if (m_calibrationOK)
        ui().inform(this, m_resultText, LoadMessage(5355));
}

void frmCalibration::zeroAdjustment() {
    const AdjustmentOutcome r =
        m_host.link ? ZeroAdjustmentFlow(*m_host.link, output()) : AdjustmentOutcome{};
    SetCalibResult(r.ok, r.status, true);
    appState().LiveReadingsNew = false;
}

void frmCalibration::spanAdjustment() {
    AppState& s = appState();
    Calibration::Flags selection{};
    std::copy(s.CalibrationSelection.begin(), s.CalibrationSelection.end(), selection.begin());
    Calibration::Readings before{};
    std::copy(s.LiveReadings.begin(), s.LiveReadings.end(), before.begin());
    const QDateTime when = QDateTime::currentDateTime();
    const SpanOutcome r = m_host.link ? SpanAdjustmentFlow(*m_host.link, s.Instrument,
                                                           s.CalibrationRecord, selection, output())
                                      : SpanOutcome{};
    SetCalibResult(r.ok, r.status, false);
    s.LiveReadingsNew = false;
    bool anyPassed = false;
    for (int i = 0; i < Calibration::Channels; ++i)
        anyPassed = anyPassed || (selection[i] && r.status[i]);
    if (r.ok && anyPassed) {
        m_lastSpan = SpanRecord{true, when, selection, r.status, before};
        const CalibrationCertificate c =
            MakeCertificate(s.Instrument, s.CalibrationRecord, selection, r.status, before, when,
                            m_txtOperator->text(), m_txtLot->text());
        QString error;
        if (!AppendCalibrationLog(CalibrationLogPath(s.StartFolder), c, &error))
            info(LoadMessage(5724, {error}), kFailure);
    }
    m_cmdCertificate->setEnabled(m_lastSpan.valid);
}

void frmCalibration::cmdCertificate_Click() {
    if (!m_lastSpan.valid)
        return;
    const AppState& s = appState();
    const CalibrationCertificate c = MakeCertificate(
        s.Instrument, s.CalibrationRecord, m_lastSpan.selection, m_lastSpan.status,
        m_lastSpan.before, m_lastSpan.when, m_txtOperator->text(), m_txtLot->text());
    const QString path = ui().saveFileName(this, LoadMessage(5705),
                                           QDir(s.StartFolder).filePath(CertificateFileName(c)),
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

void frmCalibration::cmdCal_Click(int index) {
    AppState& s = appState();
    switch (index) {
    case 0:
        runAdjustment(3);
        break;
    case 1: {
        m_vfgCal->setCurrentCell(4, ColSelect);
        Calibration::Flags selection{};
        std::copy(s.CalibrationSelection.begin(), s.CalibrationSelection.end(), selection.begin());
        const Calibration::SpanRequest request =
            Calibration::BuildSpanRequest(s.CalibrationRecord, selection);
        if (request.noSelection) {
            ui().message(this, LoadMessage(5345), LoadMessage(5346), UiServices::Critical,
                         UiServices::Ok);
            return;
        }
        if (request.tooLong >= 0) {
            ui().message(
                this,
                LoadMessage(5700, {Calibration::GasLabel(s.CalibrationRecord, request.tooLong)}),
                LoadMessage(5346), UiServices::Critical, UiServices::Ok);
            return;
        }
        runAdjustment(4);
        break;
    }
    case 2:
        nitrogenStep();
        break;
    case 3:
        exitOrEndNitrogen();
        break;
    default:
        break;
    }
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
    m_cmdCal[2]->setText(LoadMessage(rangeSet ? 5235 : 5234));
    m_cmdCal[3]->setText(LoadMessage(rangeSet ? 5236 : 5220));
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
        if (!r.rangeRead)
            ui().inform(this, LoadMessage(5233), LoadMessage(5232));
        if (!r.rangeSet)
            ui().inform(this, LoadMessage(5233), LoadMessage(5232));
        showNitrogenState();
        return;
    }
    const clsInstrument& cal = s.CalibrationRecord;
    const QString oxygen = Calibration::NitrogenReadingText(
        s.LiveReadings[Calibration::OxygenChannel], cal.GasPoint(Calibration::OxygenChannel));
    const bool ok = m_n2.Calibrate(link, oxygen);
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
