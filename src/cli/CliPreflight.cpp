// What CliSession checks before the port is opened: an instrument read, adjusted or written and
// only then a refused file is the worst order (a span made and logged, then its certificate
// refused), so every file the command names is tried first and a refusal sends nothing.
#include "cli/CliSession.h"

#include "app/FilePaths.h"
#include "app/MessageTable.h"
#include "app/NumberFormat.h"
#include "model/SettingRecord.h"
#include "state/AppState.h"
#include "state/RecordFiles.h"

int CliSession::checkBeforeTheInstrument() {
    const CliOptions& o = m_options;
    const QString folder = appState().StartFolder;
    QList<QPair<QString, WriteKind>> outputs;
    if (!o.json.isEmpty() && o.json != u"-")
        outputs.append({o.json, WriteKind::Replace});
    switch (o.command) {
    case CliCommand::Read:
        if (!o.seqFile.isEmpty())
            outputs.append({o.seqFile, WriteKind::Replace});
        if (o.recordSuffix)
            outputs.append({SettingRecordPath(folder, *o.recordSuffix), WriteKind::Append});
        break;
    case CliCommand::Write:
        // The settings file itself is checked by checkSettingsFile. The write ends with a line in
        // the setting record, named by the configuration.
        if (!IsValidRecordSuffix(appState().FactoryRecordSuffix)) {
            printError(LoadMessage(InvalidSuffixMessage));
            return CliExit::Usage;
        }
        outputs.append({SettingRecordPath(), WriteKind::Append});
        break;
    case CliCommand::Download:
    case CliCommand::FramDump:
    case CliCommand::StationsExport:
        outputs.append({o.file, WriteKind::Replace});
        break;
    case CliCommand::CalibrateSpan:
    case CliCommand::CalibrateBump:
        if (const int rc = checkGasValues(); rc != CliExit::Done)
            return rc;
        if (const int rc = checkRecordOutputs(); rc != CliExit::Done)
            return rc;
        break;
    default:
        break;
    }
    for (const auto& [path, kind] : outputs) {
        QString error;
        if (!CheckWritable(path, kind, &error)) {
            printError(QStringLiteral("tq5800-cli: ") + LoadMessage(5902, {path, error}));
            return CliExit::Usage;
        }
    }
    return CliExit::Done;
}

int CliSession::checkGasValues() {
    // Full scale and alarm levels are the instrument's, checked once it has been read; a value
    // that is no concentration at all is refused now.
    for (qsizetype i = 0; i < m_options.gas.size(); ++i) {
        const QString typed = m_options.gas.at(i).trimmed();
        double value = 0;
        if (typed.isEmpty() || typed == u"-" || typed.contains(QLatin1String("--")) ||
            (ParseNumber(typed, &value) && value >= 0))
            continue;
        printError(QStringLiteral("tq5800-cli: concentration %1 refused for channel %2")
                       .arg(typed)
                       .arg(i));
        return CliExit::Usage;
    }
    return CliExit::Done;
}
