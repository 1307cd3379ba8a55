// The commands of CliSession.
#include "cli/CliSession.h"

#include "app/FilePaths.h"
#include "app/MessageTable.h"
#include "app/ReadingFormat.h"
#include "link/uclHbif.h"
#include "model/CommandSet.h"
#include "model/FactoryParameters.h"
#include "model/GasInfo.h"
#include "model/RecordJson.h"
#include "model/SettingRecord.h"
#include "model/SettingsChecks.h"
#include "model/SettingsFile.h"
#include "model/StationFile.h"
#include "model/clsInstrument.h"
#include "ops/ReadSequences.h"
#include "ops/WriteSequences.h"
#include "state/AppState.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTime>

int CliSession::runCommand() {
    switch (m_options.command) {
    case CliCommand::Read:
        return read();
    case CliCommand::Write:
        return write();
    case CliCommand::SetClock:
        return setClock();
    case CliCommand::Download:
        return download();
    case CliCommand::FramDump:
        return framDump();
    case CliCommand::Live:
        return live();
    case CliCommand::PowerOff:
        return powerOff();
    case CliCommand::ClearLogger:
        return maintenance(MaintenanceCommand::ClearLoggerData);
    case CliCommand::ClearPower:
        return maintenance(MaintenanceCommand::ClearPowerLog);
    case CliCommand::Defaults:
        return maintenance(MaintenanceCommand::Defaults);
    case CliCommand::CheckData:
        return checkData();
    case CliCommand::StationsExport:
        return stationsExport();
    case CliCommand::StationsImport:
        return stationsImport();
    case CliCommand::CalibrateZero:
        return calibrateZero();
    case CliCommand::CalibrateSpan:
        return calibrateSpan();
    case CliCommand::CalibrateBump:
        return calibrateBump();
    case CliCommand::None:
    // The fleet commands run before any instrument is reached (CliSession::run).
    case CliCommand::FleetList:
    case CliCommand::FleetHistory:
    case CliCommand::FleetExport:
    case CliCommand::FleetImport:
        break;
    }
    return CliExit::Usage;
}

int CliSession::read() {
    const bool ok =
        ReadInstrumentFlow(*m_link, *m_record, output(), [this] { ApplyLockedGases(*m_record); });
    WarnClockOffset(*m_record, output());
    if (!ok)
        return CliExit::Failed;
    QString error;
    const auto notSaved = [this](const QString& path, const QString& why) {
        printError(why);
        m_failureLine = QStringLiteral("tq5800-cli: read: the instrument was read, but %1 was "
                                       "not written")
                            .arg(path);
        return CliExit::Failed;
    };
    if (!m_options.seqFile.isEmpty() && !WriteSettingsFile(*m_record, m_options.seqFile, &error))
        return notSaved(
            m_options.seqFile,
            QStringLiteral("tq5800-cli: cannot write %1: %2").arg(m_options.seqFile, error));
    if (m_options.recordSuffix) {
        const QString path = SettingRecordPath(appState().StartFolder, *m_options.recordSuffix);
        if (!AppendSettingRecord(path, *m_record, SettingRecordMode::Read, AppDate::now(), &error))
            return notSaved(path, error);
    }
    return writeJson() ? CliExit::Done : CliExit::Failed;
}

bool CliSession::settingsFileRefused(const SettingsReadResult& result) {
    if (result.ok)
        return false;
    if (result.line > 0)
        printError(QStringLiteral("tq5800-cli: %1: line %2: %3")
                       .arg(m_options.file)
                       .arg(result.line)
                       .arg(result.message));
    else
        printError(QStringLiteral("tq5800-cli: %1: %2").arg(m_options.file, result.message));
    m_failureLine = QStringLiteral("tq5800-cli: write failed: nothing was sent");
    return true;
}

int CliSession::checkSettingsFile() {
    const QFileInfo file(m_options.file);
    if (!file.isFile() || !file.isReadable()) {
        printError(QStringLiteral("tq5800-cli: cannot read %1").arg(m_options.file));
        return CliExit::Usage;
    }
    // The instrument's program number is not known yet: every oxygen alarm type passes here
    // and is checked again once it is.
    clsInstrument scratch;
    scratch.setRomNumber(FactoryParameters::ThirdOxyAlarmRom);
    if (settingsFileRefused(ImportSettingsFile(scratch, m_options.file))) {
        printError(m_failureLine);
        return CliExit::Failed;
    }
    return CliExit::Done;
}

int CliSession::write() {
    // The settings a file does not carry (combustible mode, STEL and TWA, auto-calibration
    // values, identity) are the instrument's own, as after "Instrument Information".
    if (!ReadInstrumentFlow(*m_link, *m_record, output(), [this] { ApplyLockedGases(*m_record); }))
        return CliExit::Failed;
    // What the instrument held before, so that the history knows what this write changed.
    AttachOperationDetail(*m_link, QStringLiteral("settingsBefore"), m_record->ToJson());
    AttachFile(*m_link, m_options.file);

    const SettingsReadResult loaded = ImportSettingsFile(*m_record, m_options.file);
    if (settingsFileRefused(loaded))
        return CliExit::Failed;
    for (const QString& line : loaded.unknown)
        printError(QStringLiteral("tq5800-cli: warning: unknown line skipped: %1").arg(line));
    m_link->setInstrument(m_record);
    ApplyLockedGases(*m_record);

    const UpdateCheck check = CheckBeforeUpdate(*m_record);
    if (!check.ok) {
        printError(LoadMessage(check.title) + QStringLiteral(": ") +
                   LoadMessage(check.message, check.params));
        m_failureLine = QStringLiteral("tq5800-cli: write failed: nothing was sent");
        return CliExit::Failed;
    }
    const UpdateResult result = UpdateFlow(*m_link, *m_record, UpdateKind::Settings, output());
    if (!result.written)
        return CliExit::Failed;
    if (!result.recordSaved) {
        // The instrument holds the new settings; only their record is missing.
        printError(result.recordError);
        m_failureLine = QStringLiteral("tq5800-cli: write: the instrument was written, but its "
                                       "setting record was not saved");
        return CliExit::Failed;
    }
    print(LoadMessage(5311), FlowColor::Progress);
    return writeJson() ? CliExit::Done : CliExit::Failed;
}

int CliSession::setClock() {
    const AppDate when = m_options.time ? AppDate::fromDateTime(*m_options.time) : AppDate::now();
    const bool ok = DateTimeSetFlow(*m_link, *m_record, output(), when);
    return ok ? CliExit::Done : CliExit::Failed;
}

int CliSession::download() {
    const bool ok = DownloadLoggerDataFlow(*m_link, *m_record, m_options.file, output());
    WarnClockOffset(*m_record, output());
    if (!ok)
        return CliExit::Failed;
    // A download reads the identity only: the rest of the record is not the instrument's.
    return writeJson(ReadSequences::RomNoProperties()) ? CliExit::Done : CliExit::Failed;
}

int CliSession::framDump() {
    return FramDumpFlow(*m_link, m_options.file, output()) ? CliExit::Done : CliExit::Failed;
}

int CliSession::powerOff() {
    switch (PowerOffFlow(*m_link, *m_record, output())) {
    case PowerOffResult::Done:
        return CliExit::Done;
    case PowerOffResult::NotConnected:
        return CliExit::NoInstrument;
    case PowerOffResult::Failed:
        break;
    }
    return CliExit::Failed;
}

int CliSession::maintenance(MaintenanceCommand command) {
    return MaintenanceFlow(*m_link, command, output()) ? CliExit::Done : CliExit::Failed;
}

int CliSession::checkData() {
    return WriteCheckDataFlow(*m_link, output()) ? CliExit::Done : CliExit::Failed;
}

int CliSession::live() {
    uclHbif& link = *m_link;
    // Names and decimals of the gases for the columns.
    if (!ReadSequences(link).GetGasInfo(m_record))
        return CliExit::Failed;
    link.setInstrument(m_record);

    constexpr int Width = 14;
    QString header = QStringLiteral("Time    ");
    for (int gas = 0; gas < clsInstrument::GasCount; ++gas)
        header += GasTitle(*m_record, gas, false).rightJustified(Width);
    print(header, FlowColor::Instrument);

    // With --json each reading is also a line of JSON: on standard output ("-"), where the
    // progress then goes to standard error, or into the file.
    QFile jsonFile(m_options.json);
    if (!m_options.json.isEmpty() && m_options.json != u"-" &&
        !jsonFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        printError(QStringLiteral("tq5800-cli: ") +
                   LoadMessage(5902, {m_options.json, jsonFile.errorString()}));
        return CliExit::Failed;
    }
    bool jsonKept = true;

    int lines = 0;
    QElapsedTimer sinceLast;
    sinceLast.start();
    const QMetaObject::Connection c = connect(
        &link, &uclHbif::Densty, this, [&](float v0, float v1, float v2, float v3, float v4) {
            if (lines >= m_options.count)
                return;
            const float values[] = {v0, v1, v2, v3, v4};
            if (!m_options.json.isEmpty()) {
                const QByteArray json =
                    QJsonDocument(LiveReadingJson(*m_record, {v0, v1, v2, v3, v4},
                                                  QDateTime::currentDateTime()))
                        .toJson(QJsonDocument::Compact) +
                    '\n';
                if (!jsonFile.isOpen())
                    toStandardOutput(json);
                else if (jsonFile.write(json) != json.size() || !jsonFile.flush())
                    jsonKept = false;
            }
            QString line = QTime::currentTime().toString(QStringLiteral("hh:mm:ss"));
            for (int gas = 0; gas < clsInstrument::GasCount; ++gas) {
                const QString text = m_record->GasEnabled(gas)
                                         ? FormatReading(values[gas], m_record->GasPoint(gas))
                                         : QStringLiteral("-----");
                line += text.rightJustified(Width);
            }
            print(line, FlowColor::Instrument);
            ++lines;
            sinceLast.restart();
        });
    link.setRunDensty(true);
    // Three polls without a reading mean the instrument has stopped answering.
    const qint64 silenceMs = 3LL * link.DenstyInterval() + 1000;
    // Readings nobody receives any more end the run.
    link.waitWhile([&] {
        return lines < m_options.count && sinceLast.elapsed() < silenceMs && jsonKept &&
               m_stdoutError.isEmpty();
    });
    link.setRunDensty(false);
    disconnect(c);
    if (!jsonKept)
        printError(QStringLiteral("tq5800-cli: ") +
                   LoadMessage(5902, {m_options.json, jsonFile.errorString()}));
    return lines >= m_options.count && jsonKept ? CliExit::Done : CliExit::Failed;
}

int CliSession::checkStationFile() {
    const QFileInfo file(m_options.file);
    if (!file.isFile() || !file.isReadable()) {
        printError(QStringLiteral("tq5800-cli: cannot read %1").arg(m_options.file));
        return CliExit::Usage;
    }
    const StationFile::ReadResult read = StationFile::Read(m_options.file);
    if (!read.ok) {
        printError(StationFile::RefusalText(read, m_options.file));
        return CliExit::Failed;
    }
    const QList<int> invalid = StationFile::InvalidEntries(read.entries);
    for (const int entry : invalid)
        printError(LoadMessage(8106, {QString::number(entry)}));
    if (!invalid.isEmpty())
        return CliExit::Failed;
    m_stations = read.entries;
    return CliExit::Done;
}

int CliSession::stationsExport() {
    ReadSequences reads(*m_link);
    QStringList entries;
    for (int i = 0; i < StationFile::Entries; ++i) {
        if (!reads.ReadSingle(StationReadPayload(i), m_record))
            return CliExit::Failed;
        entries << m_record->StationList(i);
    }
    QString error;
    if (!StationFile::Write(m_options.file, entries, &error)) {
        printError(LoadMessage(8107, {m_options.file, error}));
        return CliExit::Failed;
    }
    // The file holds what the instrument holds; entries that "stations import" would refuse
    // are named now rather than when the file is brought back.
    for (const int entry : StationFile::InvalidEntries(entries))
        printError(LoadMessage(8106, {QString::number(entry)}));
    print(QStringLiteral("Export Complete"), FlowColor::Progress);
    return CliExit::Done;
}

int CliSession::stationsImport() {
    // A fresh record: only the file's entries are flagged, so only they are written.
    m_record->ClearChangeFlags();
    AttachFile(*m_link, m_options.file);
    for (qsizetype k = 0; k < m_stations.size(); ++k)
        m_record->setStationList(int(k), m_stations.at(k));
    if (!WriteSequences(*m_link).SetInstrument(m_record))
        return CliExit::Failed;
    print(QStringLiteral("Import Complete: %1 stations written").arg(m_stations.size()),
          FlowColor::Progress);
    return CliExit::Done;
}
