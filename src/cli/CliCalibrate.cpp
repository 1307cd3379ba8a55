// The calibrate commands of CliSession: zero and span adjustment with the checks of the
// calibration window, the calibration log and the certificate.
#include "cli/CliSession.h"

#include "app/AppState.h"
#include "app/MessageTable.h"
#include "app/ReadingFormat.h"
#include "link/CalibrationFlows.h"
#include "link/uclHbif.h"
#include "model/CalibrationCertificate.h"
#include "model/clsInstrument.h"
#include "report/CertificatePdf.h"

#include <QDateTime>

namespace {

Calibration::Readings noReadings() {
    Calibration::Readings r{};
    r.fill(-101.0f);
    return r;
}

} // namespace

void CliSession::printResult(const QString& text) {
    for (const QString& line : text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
        print(line,
              line.endsWith(QLatin1String(") Failed")) ? FlowColor::Failure : FlowColor::Progress);
}

int CliSession::calibrateZero() {
    clsInstrument& cal = appState().CalibrationRecord;
    const Calibration::Flags enabled = LoadCalibrationGases(*m_link, cal);
    if (enabled == Calibration::Flags{}) {
        printError(QStringLiteral("tq5800-cli: no gas information from the instrument"));
        return CliExit::Failed;
    }
    Calibration::Readings live = noReadings();
    ReadLiveReadings(*m_link, &live);
    const AdjustmentOutcome r = ZeroAdjustmentFlow(*m_link, output());
    if (!r.ok)
        return CliExit::Failed;
    printResult(Calibration::ResultText(cal, enabled, {}, r.status, live, true));
    for (int i = 0; i < Calibration::Channels; ++i) {
        if (enabled[i] && !r.status[i])
            return CliExit::Failed;
    }
    return CliExit::Done;
}

int CliSession::calibrateSpan() {
    // The concentration check needs the instrument's alarm levels, the certificate its identity
    // and calibration time limit: the whole record, as the window has it.
    if (!ReadInstrumentFlow(*m_link, *m_record, output(), [this] { ApplyLockedGases(*m_record); }))
        return CliExit::Failed;
    clsInstrument& cal = appState().CalibrationRecord;
    const Calibration::Flags enabled = LoadCalibrationGases(*m_link, cal);
    Calibration::Flags selection{};
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
            printError(QStringLiteral("tq5800-cli: span gas concentration %1 refused for %2")
                           .arg(typed, Calibration::GasLabel(cal, i)));
            return CliExit::Usage;
        }
        cal.setAutoCalib(i, e.value);
        selection[i] = true;
    }
    if (selection == Calibration::Flags{}) {
        printError(LoadMessage(5345));
        return CliExit::Usage;
    }

    Calibration::Readings before = noReadings();
    ReadLiveReadings(*m_link, &before);
    const QDateTime when = QDateTime::currentDateTime();
    const SpanOutcome r = SpanAdjustmentFlow(*m_link, *m_record, cal, selection, output());
    if (!r.ok)
        return CliExit::Failed;
    printResult(Calibration::ResultText(cal, enabled, selection, r.status, before, false));

    const CalibrationCertificate c =
        MakeCertificate(*m_record, cal, selection, r.status, before, when, m_options.operatorName,
                        m_options.cylinderLot);
    bool anyPassed = false;
    for (const CertificateChannel& ch : c.channels)
        anyPassed = anyPassed || ch.passed;
    if (anyPassed) {
        QString error;
        const QString log = CalibrationLogPath(appState().StartFolder);
        if (!AppendCalibrationLog(log, c, &error)) {
            printError(LoadMessage(5724, {error}));
            return CliExit::Failed;
        }
        if (!m_options.certificate.isEmpty()) {
            if (!WriteCertificatePdf(c, m_options.certificate, &error)) {
                printError(LoadMessage(5723, {error}));
                return CliExit::Failed;
            }
            print(LoadMessage(5722, {m_options.certificate}), FlowColor::Progress);
        }
    }
    return c.passed() ? CliExit::Done : CliExit::Failed;
}
