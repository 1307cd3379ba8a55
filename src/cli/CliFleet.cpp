#include "cli/CliFleet.h"

#include "app/CommandLineHelp.h"
#include "app/FilePaths.h"
#include "app/MessageTable.h"
#include "fleet/FleetImport.h"
#include "fleet/FleetStore.h"
#include "model/RecordJson.h"
#include "model/SettingRecord.h"
#include "state/AppState.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cstdio>

namespace {

void printError(const QString& text) {
    std::fprintf(stderr, "tq5800-cli: %s\n", qPrintable(text));
}

// Standard output that did not take everything is a failed run.
int printOut(const QByteArray& bytes) {
    QString error;
    if (WriteStandardOutput(bytes, &error))
        return CliExit::Done;
    printError(LoadMessage(5900, {error}));
    return CliExit::Failed;
}

QString statusName(DueStatus s) {
    switch (s) {
    case DueStatus::Ok:
        return QStringLiteral("ok");
    case DueStatus::DueSoon:
        return QStringLiteral("due-soon");
    case DueStatus::Overdue:
        return QStringLiteral("overdue");
    case DueStatus::Unknown:
        break;
    }
    return QStringLiteral("unknown");
}

QString localText(const QDateTime& when) {
    return when.isValid() ? when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"))
                          : QStringLiteral("-");
}

QJsonValue dateValue(const QDate& d) {
    return d.isValid() ? QJsonValue(d.toString(Qt::ISODate)) : QJsonValue(QJsonValue::Null);
}

QByteArray listJson(const QList<FleetInstrument>& list) {
    QJsonArray instruments;
    for (const FleetInstrument& i : list) {
        QJsonArray channels;
        for (const ChannelDue& c : i.due)
            channels.append(QJsonObject{{QStringLiteral("Channel"), c.channel},
                                        {QStringLiteral("Gas"), c.gas},
                                        {QStringLiteral("Calibrated"), dateValue(c.calibrated)},
                                        {QStringLiteral("Due"), dateValue(c.due)},
                                        {QStringLiteral("Status"), statusName(c.status)}});
        instruments.append(QJsonObject{
            {QStringLiteral("SerialNo"), i.identity.serialNo},
            {QStringLiteral("ProgramNumber"), i.identity.programNumber},
            {QStringLiteral("RomNumber"), i.identity.romNumber},
            {QStringLiteral("StationID"), i.identity.stationId},
            {QStringLiteral("UserID"), i.identity.userId},
            {QStringLiteral("FirstSeen"), JsonTime(i.firstSeen)},
            {QStringLiteral("LastSeen"), JsonTime(i.lastSeen)},
            {QStringLiteral("LastCalibration"), JsonTime(i.lastCalibration)},
            {QStringLiteral("NextDue"), dateValue(NextDue(i.due))},
            {QStringLiteral("Status"), statusName(i.status)},
            {QStringLiteral("Channels"), channels},
        });
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("FormatVersion"), JsonFormatVersion},
                                     {QStringLiteral("Instruments"), instruments}})
        .toJson(QJsonDocument::Indented);
}

QByteArray listText(const QList<FleetInstrument>& list) {
    QString text = QStringLiteral("%1 %2 %3 %4 %5 %6 %7\n")
                       .arg(QStringLiteral("Serial No.").leftJustified(16),
                            QStringLiteral("Station ID").leftJustified(16),
                            QStringLiteral("User ID").leftJustified(16),
                            QStringLiteral("Last seen").leftJustified(16),
                            QStringLiteral("Last calibration").leftJustified(16),
                            QStringLiteral("Next due").leftJustified(10), QStringLiteral("Status"));
    for (const FleetInstrument& i : list) {
        const QDate due = NextDue(i.due);
        text +=
            QStringLiteral("%1 %2 %3 %4 %5 %6 %7\n")
                .arg(i.identity.serialNo.leftJustified(16), i.identity.stationId.leftJustified(16),
                     i.identity.userId.leftJustified(16), localText(i.lastSeen).leftJustified(16),
                     localText(i.lastCalibration).leftJustified(16),
                     (due.isValid() ? due.toString(Qt::ISODate) : QStringLiteral("-"))
                         .leftJustified(10),
                     statusName(i.status));
    }
    return text.toLocal8Bit();
}

int list(FleetStore& store, const CliOptions& o) {
    FleetFilter filter;
    filter.dueWithinDays = o.dueWithinDays;
    QString error;
    const QList<FleetInstrument> instruments =
        store.instruments(filter, QDate::currentDate(), &error);
    if (!error.isEmpty()) {
        printError(error);
        return CliExit::Failed;
    }
    return printOut(o.fleetJson ? listJson(instruments) : listText(instruments));
}

int history(FleetStore& store, const CliOptions& o) {
    QString error;
    const QList<FleetEvent> events = store.history(o.serialNo, false, &error);
    if (!error.isEmpty()) {
        printError(error);
        return CliExit::Failed;
    }
    if (o.fleetJson) {
        QJsonArray array;
        for (const FleetEvent& e : events)
            array.append(FleetEventToJson(e));
        return printOut(
            QJsonDocument(QJsonObject{{QStringLiteral("FormatVersion"), JsonFormatVersion},
                                      {QStringLiteral("SerialNo"), o.serialNo},
                                      {QStringLiteral("Events"), array}})
                .toJson(QJsonDocument::Indented));
    }
    if (events.isEmpty())
        return printOut((LoadMessage(9519, {o.serialNo}) + u'\n').toLocal8Bit());
    QString text;
    for (const FleetEvent& e : events) {
        text += QStringLiteral("%1  %2 %3 %4 %5\n")
                    .arg(localText(e.when), e.kind.leftJustified(18),
                         FleetOutcomeName(e.outcome).leftJustified(9), e.operatorName, e.bench);
        for (const QJsonValue& change : e.changes) {
            const QJsonObject c = change.toObject();
            text += QStringLiteral("    %1: %2 -> %3\n")
                        .arg(c.value(QStringLiteral("setting")).toString(),
                             c.value(QStringLiteral("before")).toVariant().toString(),
                             c.value(QStringLiteral("after")).toVariant().toString());
        }
    }
    return printOut(text.toLocal8Bit());
}

QString compact(const QJsonDocument& document) {
    return QString::fromUtf8(document.toJson(QJsonDocument::Compact));
}

int exportCsv(FleetStore& store, const CliOptions& o) {
    // Texts someone typed go out as a spreadsheet shows them, not as formulas.
    QByteArray bytes =
        CsvLine({QStringLiteral("Id"), QStringLiteral("Time"), QStringLiteral("Kind"),
                 QStringLiteral("Outcome"), QStringLiteral("SerialNo"),
                 QStringLiteral("ProgramNumber"), QStringLiteral("RomNumber"),
                 QStringLiteral("StationID"), QStringLiteral("UserID"), QStringLiteral("Operator"),
                 QStringLiteral("Bench"), QStringLiteral("Changes"), QStringLiteral("Details")})
            .toLocal8Bit() +
        "\r\n";
    QString error;
    const bool read = store.forEachEvent(
        [&](const FleetEvent& e) {
            bytes += CsvLine({e.id, e.when.toUTC().toString(Qt::ISODateWithMs), e.kind,
                              FleetOutcomeName(e.outcome), SpreadsheetSafeText(e.identity.serialNo),
                              e.identity.programNumber, QString::number(e.identity.romNumber),
                              SpreadsheetSafeText(e.identity.stationId),
                              SpreadsheetSafeText(e.identity.userId),
                              SpreadsheetSafeText(e.operatorName), SpreadsheetSafeText(e.bench),
                              compact(QJsonDocument(e.changes)), compact(QJsonDocument(e.details))})
                         .toLocal8Bit() +
                     "\r\n";
            return true;
        },
        &error);
    if (!read) {
        printError(error);
        return CliExit::Failed;
    }
    if (!WriteFileAtomically(o.file, bytes, &error)) {
        printError(QStringLiteral("cannot write %1: %2").arg(o.file, error));
        return CliExit::Failed;
    }
    return CliExit::Done;
}

int import(FleetStore& store, const CliOptions& o, const FleetImport& files) {
    int added = 0;
    QString error;
    if (!store.recordAll(files.events, &error, &added)) {
        printError(error);
        return CliExit::Failed;
    }
    return printOut((LoadMessage(9518, {QString::number(added), QString::number(o.files.size()),
                                        QString::number(files.events.size() - added)}) +
                     u'\n')
                        .toLocal8Bit());
}

} // namespace

QString CliFleetUrl(const CliOptions& options) {
    return ChooseFleetUrl(options.fleetDb, appState().FleetDb, appState().StartFolder);
}

int RunFleetCommand(const CliOptions& o) {
    const QString url = CliFleetUrl(o);
    QString error;
    const auto location = ParseFleetLocation(url, &error);
    if (!location) {
        printError(error);
        return CliExit::Usage;
    }
    // The files are read whole before the database is even opened.
    FleetImport files;
    if (o.command == CliCommand::FleetImport && !(files = ReadFleetImportFiles(o.files)).ok) {
        printError(files.error);
        return CliExit::Usage;
    }
    FleetStore store(*location);
    if (!store.open(&error)) {
        printError(error);
        return CliExit::Failed;
    }
    switch (o.command) {
    case CliCommand::FleetList:
        return list(store, o);
    case CliCommand::FleetHistory:
        return history(store, o);
    case CliCommand::FleetExport:
        return exportCsv(store, o);
    case CliCommand::FleetImport:
        return import(store, o, files);
    default:
        return CliExit::Usage;
    }
}
