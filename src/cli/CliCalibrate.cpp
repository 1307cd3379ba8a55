// The calibrate commands of CliSession: zero and span adjustment and the bump test, with the
// checks of the calibration window, the pump running as the window's command runs it, the
// calibration log and the printed records.
#include "cli/CliSession.h"

#include "app/MessageTable.h"
#include "app/ReadingFormat.h"
#include "link/uclHbif.h"
#include "model/CalibrationLog.h"
#include "model/clsInstrument.h"
#include "ops/CalibrationFlows.h"
#include "ops/OperationSequences.h"
#include "report/CertificatePdf.h"
#include "state/AppState.h"

namespace {

// The pump runs while the gas is applied, as the window's Calibration command runs it.
class PumpRun {
public:
    explicit PumpRun(uclHbif& link) : m_link(link), m_on(OperationSequences(link).SetPump(true)) {
        if (!m_on)
            m_cause = link.LastFailure();
    }
    ~PumpRun() {
        if (m_on)
            OperationSequences(m_link).SetPump(false);
    }
    Q_DISABLE_COPY_MOVE(PumpRun)
    bool on() const { return m_on; }
    FailureCause cause() const { return m_cause; }

private:
    uclHbif& m_link;
    bool m_on;
    FailureCause m_cause = FailureCause::None;
};

} // namespace

void CliSession::printResult(const QString& text) {
    // A passed channel's line is "name  text", a failed one's "name(reading) text".
    for (const QString& line : text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
        print(line, line.contains(QStringLiteral("  ")) ? FlowColor::Progress : FlowColor::Failure);
}

int CliSession::linkFailure(FailureCause cause) {
    if (cause == FailureCause::NoAnswer) {
        printError(LoadMessage(5405));
        return CliExit::NoInstrument;
    }
    printError(LoadMessage(5413));
    return CliExit::Failed;
}

int CliSession::checkRecordOutputs() {
    QString error;
    if (!m_options.certificate.isEmpty() && !CanWriteRecordFile(m_options.certificate, &error)) {
        printError(LoadMessage(m_options.command == CliCommand::CalibrateBump ? 5813 : 5723,
                               {m_options.certificate + QStringLiteral(": ") + error}));
        return CliExit::Usage;
    }
    const QString log = CalibrationLogPath(appState().StartFolder);
    if (!CanWriteRecordFile(log, &error)) {
        printError(LoadMessage(5724, {log + QStringLiteral(": ") + error}));
        return CliExit::Usage;
    }
    return CliExit::Done;
}

int CliSession::readForCalibration(Calibration::Flags* enabled) {
    // The concentration check needs the instrument's alarm levels, the records its identity
    // and calibration time limit: the whole record, as the window has it.
    if (!ReadInstrumentFlow(*m_link, *m_record, output(), [this] { ApplyLockedGases(*m_record); }))
        return linkFailure(m_link->LastFailure());
    bool read = false;
    *enabled = LoadCalibrationGases(*m_link, appState().CalibrationRecord, &read);
    if (!read)
        return linkFailure(m_link->LastFailure());
    return CliExit::Done;
}

int CliSession::chooseChannels(const Calibration::Flags& enabled, Calibration::Readings* values,
                               Calibration::Flags* chosen) {
    const clsInstrument& cal = appState().CalibrationRecord;
    values->fill(-101.0f);
    *chosen = {};
    for (int i = 0; i < Calibration::Channels; ++i) {
        QString typed;
        if (m_options.gas.isEmpty()) {
            if (!enabled[i] || cal.AutoCalib(i) < 0)
                continue;
            typed = FormatReading(cal.AutoCalib(i), cal.GasPoint(i));
        } else {
            typed = m_options.gas.at(i).trimmed();
            if (typed.isEmpty() || typed == QLatin1String("-"))
                continue;
            if (!enabled[i]) {
                printError(QStringLiteral("tq5800-cli: channel %1 has no sensor").arg(i));
                return CliExit::Usage;
            }
        }
        const Calibration::ConcentrationEdit e =
            Calibration::EditConcentration(typed, i, cal, *m_record);
        if (e.outcome == Calibration::ConcentrationEdit::TooLong) {
            printError(LoadMessage(5700, {Calibration::GasLabel(cal, i)}));
            return CliExit::Usage;
        }
        if (e.outcome != Calibration::ConcentrationEdit::Accepted || e.cleared) {
            printError(QStringLiteral("tq5800-cli: concentration %1 refused for %2")
                           .arg(typed, Calibration::GasLabel(cal, i)));
            return CliExit::Usage;
        }
        (*values)[i] = e.value;
        (*chosen)[i] = true;
    }
    return CliExit::Done;
}

int CliSession::calibrateZero() {
    const clsInstrument& cal = appState().CalibrationRecord;
    bool read = false;
    const Calibration::Flags enabled =
        LoadCalibrationGases(*m_link, appState().CalibrationRecord, &read);
    if (!read)
        return linkFailure(m_link->LastFailure());
    AdjustmentOutcome r;
    FailureCause cause = FailureCause::None;
    {
        PumpRun pump(*m_link);
        if (!pump.on())
            return linkFailure(pump.cause());
        r = ZeroAdjustmentFlow(*m_link, output());
        cause = m_link->LastFailure();
    }
    if (!r.ok)
        return linkFailure(cause);
    printResult(Calibration::ResultText(cal, enabled, {}, r.status, r.before, true));
    for (int i = 0; i < Calibration::Channels; ++i) {
        if (enabled[i] && !r.status[i])
            return CliExit::Failed;
    }
    return CliExit::Done;
}

int CliSession::calibrateSpan() {
    Calibration::Flags enabled{};
    Calibration::Readings concentrations{};
    Calibration::Flags selection{};
    if (const int rc = readForCalibration(&enabled); rc != CliExit::Done)
        return rc;
    if (const int rc = chooseChannels(enabled, &concentrations, &selection); rc != CliExit::Done)
        return rc;
    if (selection == Calibration::Flags{}) {
        printError(LoadMessage(5345));
        return CliExit::Usage;
    }
    clsInstrument& cal = appState().CalibrationRecord;
    for (int i = 0; i < Calibration::Channels; ++i)
        if (selection[i])
            cal.setAutoCalib(i, concentrations[i]);

    SpanOutcome r;
    FailureCause cause = FailureCause::None;
    {
        PumpRun pump(*m_link);
        if (!pump.on())
            return linkFailure(pump.cause());
        r = SpanAdjustmentFlow(*m_link, *m_record, cal, selection,
                               RecordAuthor{m_options.operatorName, m_options.cylinderLot},
                               CalibrationLogPath(appState().StartFolder), output());
        cause = m_link->LastFailure();
    }
    if (!r.sent)
        return linkFailure(cause);
    if (r.ok)
        printResult(Calibration::ResultText(cal, enabled, selection, r.status, r.before, false));
    bool kept = r.logError.isEmpty();
    if (!m_options.certificate.isEmpty()) {
        QString error;
        if (WriteCertificatePdf(r.record, m_options.certificate, &error)) {
            print(LoadMessage(5722, {m_options.certificate}), FlowColor::Progress);
        } else {
            printError(LoadMessage(5723, {error}));
            kept = false;
        }
    }
    if (!r.ok)
        return linkFailure(cause);
    // A history that could not be read leaves the record with unknown readings: not a
    // calibration to report as done.
    bool historyRead = true;
    for (const CertificateChannel& ch : r.record.channels)
        historyRead = historyRead && !(ch.passed() && IsUnknown(ch.after));
    return r.record.passed() && historyRead && kept ? CliExit::Done : CliExit::Failed;
}

int CliSession::calibrateBump() {
    Calibration::Flags enabled{};
    Calibration::Readings applied{};
    Calibration::Flags tested{};
    if (const int rc = readForCalibration(&enabled); rc != CliExit::Done)
        return rc;
    if (const int rc = chooseChannels(enabled, &applied, &tested); rc != CliExit::Done)
        return rc;
    if (tested == Calibration::Flags{}) {
        printError(LoadMessage(5818));
        return CliExit::Usage;
    }
    Bump::Criteria criteria;
    if (m_options.withinSeconds > 0)
        criteria.withinSeconds = m_options.withinSeconds;
    criteria.sharePercent = m_options.sharePercent;

    BumpOutcome r;
    FailureCause cause = FailureCause::None;
    {
        PumpRun pump(*m_link);
        if (!pump.on())
            return linkFailure(pump.cause());
        r = BumpTestFlow(*m_link, *m_record, appState().CalibrationRecord, applied, criteria,
                         RecordAuthor{m_options.operatorName, m_options.cylinderLot},
                         CalibrationLogPath(appState().StartFolder), output());
        cause = m_link->LastFailure();
    }
    printResult(r.record.resultLines());
    bool kept = r.logError.isEmpty();
    if (!m_options.certificate.isEmpty()) {
        QString error;
        if (WriteBumpTestReportPdf(r.record, m_options.certificate, &error)) {
            print(LoadMessage(5812, {m_options.certificate}), FlowColor::Progress);
        } else {
            printError(LoadMessage(5813, {error}));
            kept = false;
        }
    }
    if (!r.ok)
        return linkFailure(cause);
    return r.record.passed() && kept ? CliExit::Done : CliExit::Failed;
}
