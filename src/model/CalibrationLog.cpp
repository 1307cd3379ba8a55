#include "model/CalibrationLog.h"

#include "app/MessageTable.h"
#include "model/BumpTest.h"
#include "model/CalibrationCertificate.h"
#include "model/SettingRecord.h"

#include <QDir>
#include <QFile>

namespace {

const char* const DateFormat = "yyyy/MM/dd hh:mm:ss";

QString dateText(const QDateTime& when) {
    return when.toString(QLatin1String(DateFormat));
}

QStringList identityFields(const QDateTime& when, const InstrumentIdentity& id,
                           const QString& operatorName, const QString& lot) {
    QStringList typed{id.serialNo, id.userId, id.stationId, id.specNo, operatorName, lot};
    for (QString& text : typed)
        text = SpreadsheetSafeText(text);
    return QStringList{dateText(when)} + typed;
}

bool appendLine(const QString& path, const QStringList& fields, QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite | QIODevice::Append)) {
        if (error)
            *error = f.errorString();
        return false;
    }
    QByteArray bytes;
    if (f.size() == 0)
        bytes += CsvLine(CalibrationLogHeader()).toLocal8Bit() + "\r\n";
    bytes += CsvLine(fields).toLocal8Bit() + "\r\n";
    if (f.write(bytes) != bytes.size() || !f.flush()) {
        if (error)
            *error = f.errorString();
        return false;
    }
    return true;
}

} // namespace

QString CalibrationLogPath(const QString& folder) {
    return QDir(folder).filePath(QStringLiteral("TQ5800_Calibration.csv"));
}

QStringList CalibrationLogHeader() {
    QStringList h{LoadMessage(5712), LoadMessage(5707), LoadMessage(5708), LoadMessage(5709),
                  LoadMessage(8042), LoadMessage(5703), LoadMessage(5704), LoadMessage(5713)};
    for (int i = 0; i < Calibration::Channels; ++i) {
        const QString n = QString::number(i);
        for (int m : {5714, 5730, 5715, 5716, 5717, 5718})
            h << LoadMessage(m) + n;
    }
    h << LoadMessage(5805) << LoadMessage(5056) << LoadMessage(5806);
    for (int i = 0; i < Calibration::Channels; ++i) {
        const QString n = QString::number(i);
        for (int m : {5807, 5808, 5809})
            h << LoadMessage(m) + n;
    }
    return h;
}

QStringList CalibrationLogFields(const CalibrationCertificate& c) {
    QStringList f = identityFields(c.when, c.identity, c.operatorName, c.cylinderLot);
    f << (c.nextDue.isValid() ? c.nextDue.toString(QStringLiteral("yyyy/MM/dd")) : QString());
    for (const CertificateChannel& ch : c.channels) {
        f << ch.gas << ch.unit << RecordReading(ch.concentration, ch.decimals)
          << RecordReading(ch.before, ch.decimals) << RecordReading(ch.after, ch.decimals)
          << ch.resultText();
    }
    f << LoadMessage(5219) << c.identity.programNumber() << QString();
    for (int i = 0; i < Calibration::Channels * 3; ++i)
        f << QString();
    return f;
}

QStringList CalibrationLogFields(const BumpTestRecord& r) {
    QStringList f = identityFields(r.when, r.identity, r.operatorName, r.cylinderLot);
    f << QString();
    for (const BumpChannel& ch : r.channels)
        f << ch.gas << ch.unit << QString() << QString() << QString() << ch.resultText();
    f << LoadMessage(5800) << r.identity.programNumber()
      << QString::number(r.criteria.withinSeconds);
    for (const BumpChannel& ch : r.channels) {
        f << RecordReading(ch.applied, ch.decimals)
          << (ch.tested() ? RecordReading(ch.peak, ch.decimals) : QStringLiteral("-----"))
          << ch.timeText();
    }
    return f;
}

bool AppendCalibrationLog(const QString& path, const CalibrationCertificate& c, QString* error) {
    return appendLine(path, CalibrationLogFields(c), error);
}

bool AppendCalibrationLog(const QString& path, const BumpTestRecord& r, QString* error) {
    return appendLine(path, CalibrationLogFields(r), error);
}

bool CanWriteRecordFile(const QString& path, QString* error) {
    QFile f(path);
    const bool existed = f.exists();
    if (!f.open(existed ? QIODevice::Append : (QIODevice::WriteOnly | QIODevice::NewOnly))) {
        if (error)
            *error = f.errorString();
        return false;
    }
    f.close();
    if (!existed)
        f.remove();
    return true;
}
