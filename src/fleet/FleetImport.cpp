#include "fleet/FleetImport.h"

#include "app/MessageTable.h"
#include "model/RecordJson.h"
#include "ops/InstrumentSession.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QUuid>

namespace {

// The name space of the import's event ids (any fixed UUID).
const QUuid ImportNamespace(QStringLiteral("{6c1f3e52-58a0-4d1b-9a53-9e0c2f1d5800}"));

constexpr qsizetype SettingRecordColumns = 216;
constexpr qsizetype CalibrationLogColumns = 38; // a file begun before the bump test columns
constexpr int GasCount = 5;
constexpr int FirstGasColumn = 24; // name, warning, alarm, calibration date, before, after
constexpr qint64 MaxImportBytes = 256 * 1024 * 1024;

struct CsvRecord {
    int line = 0; // where it begins, from 1
    QString text;
    QStringList fields;
};

// RFC 4180 as the program writes it: a quoted field may hold commas, quotes and line breaks.
// False at a quote left open.
bool splitCsv(const QString& text, QList<CsvRecord>* out, int* badLine) {
    CsvRecord record;
    QString field;
    bool quoted = false, any = false;
    int line = 1;
    record.line = 1;
    qsizetype start = 0;
    const auto endRecord = [&](qsizetype end) {
        record.fields << field;
        record.text = text.mid(start, end - start);
        if (any || record.fields.size() > 1 || !field.isEmpty())
            out->append(record);
        record = CsvRecord{};
        field.clear();
        any = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text.at(i + 1) == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                if (c == u'\n')
                    ++line;
                field += c;
            }
        } else if (c == u'"' && field.isEmpty()) {
            quoted = any = true;
        } else if (c == u',') {
            record.fields << field;
            field.clear();
            any = true;
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
            endRecord(i);
            ++line;
            start = i + 1;
            record.line = line;
        } else {
            field += c;
        }
    }
    if (quoted) {
        *badLine = record.line;
        return false;
    }
    if (start < text.size())
        endRecord(text.size());
    return true;
}

// A header's column in either language.
bool isMessage(const QString& text, int number) {
    for (const char* language : {"en", "ja"})
        if (MessageTableFor(QLatin1String(language)).value(number) == text)
            return true;
    return false;
}

// The calibration log writes typed texts so that a spreadsheet runs none of them; this takes
// the apostrophe it put in front away again.
QString typedText(const QString& field) {
    static const QString formulaStarts = QStringLiteral("=+-@");
    if (field.size() > 1 && field.front() == u'\'' && formulaStarts.contains(field.at(1)))
        return field.mid(1);
    return field;
}

QDateTime localTime(const QString& text, const char* format) {
    return QDateTime::fromString(text, QLatin1String(format));
}

QString programNumberOf(int rom) {
    return rom ? QStringLiteral("%1").arg(rom, 5, 10, QLatin1Char('0')) : QString();
}

QString eventId(const QString& fileKind, const QString& text) {
    return QUuid::createUuidV5(ImportNamespace, fileKind + u'\n' + text)
        .toString(QUuid::WithoutBraces);
}

class Reader {
public:
    explicit Reader(const QString& path) : m_path(path) {}
    QString error;

    bool read(QList<FleetEvent>* out) {
        QFile file(m_path);
        if (!file.open(QIODevice::ReadOnly))
            return refuse(0, file.errorString());
        if (file.size() > MaxImportBytes)
            return refuse(0, LoadMessage(9512));
        const QByteArray bytes = file.readAll();
        if (bytes.contains('\0'))
            return refuse(0, LoadMessage(9513));
        QList<CsvRecord> records;
        int badLine = 0;
        if (!splitCsv(QString::fromLocal8Bit(bytes), &records, &badLine))
            return refuse(badLine, LoadMessage(9514));
        if (records.isEmpty())
            return refuse(1, LoadMessage(9513));
        const QStringList header = records.first().fields;
        const bool settingRecord = header.size() == SettingRecordColumns &&
                                   isMessage(header.at(0), 9004) && isMessage(header.at(3), 5608);
        const bool calibrationLog = header.size() >= CalibrationLogColumns &&
                                    isMessage(header.at(0), 5712) && isMessage(header.at(1), 5707);
        if (!settingRecord && !calibrationLog)
            return refuse(1, LoadMessage(9513));
        for (qsizetype i = 1; i < records.size(); ++i) {
            const CsvRecord& r = records.at(i);
            if (r.fields.size() != header.size())
                return refuse(r.line, LoadMessage(9515, {QString::number(header.size()),
                                                         QString::number(r.fields.size())}));
            const auto event = settingRecord ? fromSettingRecord(r) : fromCalibrationLog(r);
            if (!event)
                return false;
            out->append(*event);
        }
        return true;
    }

private:
    bool refuse(int line, const QString& why) {
        error = line > 0 ? LoadMessage(9510, {m_path, QString::number(line), why})
                         : LoadMessage(9511, {m_path, why});
        return false;
    }

    FleetEvent base(const CsvRecord& r, const QString& fileKind, const QDateTime& when) {
        FleetEvent e;
        e.id = eventId(fileKind, r.text);
        e.when = when.toUTC();
        e.outcome = FleetOutcome::Done;
        e.details.insert(QStringLiteral("ImportedFrom"),
                         QStringLiteral("%1:%2").arg(QFileInfo(m_path).fileName()).arg(r.line));
        return e;
    }

    std::optional<FleetEvent> fromSettingRecord(const CsvRecord& r) {
        const QStringList& f = r.fields;
        static const QHash<QString, QString> kinds{
            {QStringLiteral("Read"), Operation::Read},
            {QStringLiteral("Write"), Operation::Write},
            {QStringLiteral("WriteID"), Operation::WriteIdentity}};
        if (!kinds.contains(f.at(0))) {
            refuse(r.line, LoadMessage(9516, {f.at(0)}));
            return std::nullopt;
        }
        const QDateTime when = localTime(f.at(1), "yyyy/MM/dd HH:mm:ss");
        if (!when.isValid() || f.at(3).trimmed().isEmpty()) {
            refuse(r.line, LoadMessage(9517));
            return std::nullopt;
        }
        FleetEvent e = base(r, QStringLiteral("setting record"), when);
        e.kind = kinds.value(f.at(0));
        const int rom = f.at(5).toInt();
        e.identity = {f.at(3).trimmed(), programNumberOf(rom), rom, f.at(7).trimmed(),
                      f.at(8).trimmed()};
        // What the line shows of the record, under the record's own keys; the rest of it
        // the line never had.
        QJsonArray names, enabled, dates, warning, alarm, before, after;
        for (int gas = 0; gas < GasCount; ++gas) {
            const qsizetype c = FirstGasColumn + gas * 6;
            const bool fitted = f.at(c) != QLatin1String("-----");
            const QDateTime calibrated = localTime(f.at(c + 3), "yyyy/MM/dd HH:mm:ss");
            names.append(fitted ? f.at(c) : QString());
            enabled.append(fitted);
            dates.append(fitted ? JsonTime(calibrated) : QJsonValue(QJsonValue::Null));
            warning.append(fitted ? JsonDecimalText(f.at(c + 1)) : QJsonValue(QJsonValue::Null));
            alarm.append(fitted ? JsonDecimalText(f.at(c + 2)) : QJsonValue(QJsonValue::Null));
            before.append(fitted ? JsonDecimalText(f.at(c + 4)) : QJsonValue(QJsonValue::Null));
            after.append(fitted ? JsonDecimalText(f.at(c + 5)) : QJsonValue(QJsonValue::Null));
        }
        e.snapshot = QJsonObject{
            {QStringLiteral("FormatVersion"), JsonFormatVersion},
            {QStringLiteral("SerialNo"), e.identity.serialNo},
            {QStringLiteral("DummySerial"), f.at(4).trimmed()},
            {QStringLiteral("RomNumber"), rom},
            {QStringLiteral("SUM"), f.at(6).trimmed()},
            {QStringLiteral("StationID"), e.identity.stationId},
            {QStringLiteral("UserID"), e.identity.userId},
            {QStringLiteral("CalLimit"), f.at(10).toInt()},
            {QStringLiteral("Intervals"), f.at(13).toInt()},
            {QStringLiteral("GasName"), names},
            {QStringLiteral("GasEnabled"), enabled},
            {QStringLiteral("CalibDate"), dates},
            {QStringLiteral("Warning"), warning},
            {QStringLiteral("Alarm"), alarm},
            {QStringLiteral("CalibBefore"), before},
            {QStringLiteral("CalibAfter"), after},
        };
        return e;
    }

    std::optional<FleetEvent> fromCalibrationLog(const CsvRecord& r) {
        const QStringList& f = r.fields;
        const QDateTime when = localTime(f.at(0), "yyyy/MM/dd hh:mm:ss");
        if (!when.isValid() || typedText(f.at(1)).trimmed().isEmpty()) {
            refuse(r.line, LoadMessage(9517));
            return std::nullopt;
        }
        // Files begun before the bump test hold spans only.
        const bool bump = f.size() > CalibrationLogColumns && isMessage(f.at(38), 5800);
        if (f.size() > CalibrationLogColumns && !bump && !isMessage(f.at(38), 5219)) {
            refuse(r.line, LoadMessage(9516, {f.at(38)}));
            return std::nullopt;
        }
        FleetEvent e = base(r, QStringLiteral("calibration log"), when);
        e.kind = bump ? Operation::CalibrateBump : Operation::CalibrateSpan;
        const int rom = f.size() > 39 ? f.at(39).toInt() : 0;
        e.identity = {typedText(f.at(1)).trimmed(), programNumberOf(rom), rom,
                      typedText(f.at(3)).trimmed(), typedText(f.at(2)).trimmed()};
        e.operatorName = typedText(f.at(5));
        QJsonArray channels;
        bool failed = false;
        for (int ch = 0; ch < GasCount; ++ch) {
            const qsizetype c = 8 + ch * 6;
            if (f.at(c).isEmpty())
                continue;
            QJsonObject o{{QStringLiteral("Channel"), ch},
                          {QStringLiteral("Gas"), f.at(c)},
                          {QStringLiteral("Unit"), f.at(c + 1)},
                          {QStringLiteral("Result"), f.at(c + 5)}};
            if (bump && f.size() > 41 + ch * 3) {
                o.insert(QStringLiteral("Applied"), f.at(41 + ch * 3));
                o.insert(QStringLiteral("Peak"), f.at(42 + ch * 3));
                o.insert(QStringLiteral("TimeToAlarm"), f.at(43 + ch * 3));
            } else if (!bump) {
                o.insert(QStringLiteral("Concentration"), f.at(c + 2));
                o.insert(QStringLiteral("Before"), f.at(c + 3));
                o.insert(QStringLiteral("After"), f.at(c + 4));
            }
            failed = failed || isMessage(f.at(c + 5), 5720);
            channels.append(o);
        }
        e.outcome = failed ? FleetOutcome::Failed : FleetOutcome::Done;
        e.details.insert(QStringLiteral("Channels"), channels);
        e.details.insert(QStringLiteral("SpecNo"), typedText(f.at(4)));
        e.details.insert(QStringLiteral("CylinderLot"), typedText(f.at(6)));
        if (!f.at(7).isEmpty())
            e.details.insert(QStringLiteral("NextDue"), f.at(7));
        return e;
    }

    QString m_path;
};

} // namespace

FleetImport ReadFleetImportFiles(const QStringList& paths) {
    FleetImport result;
    for (const QString& path : paths) {
        Reader reader(path);
        if (!reader.read(&result.events)) {
            result.error = reader.error;
            result.events.clear();
            return result;
        }
    }
    result.ok = true;
    return result;
}
