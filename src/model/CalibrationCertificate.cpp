#include "model/CalibrationCertificate.h"

#include "app/MessageTable.h"
#include "app/ReadingFormat.h"
#include "model/SettingRecord.h"
#include "model/clsInstrument.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace {

constexpr int MaxCalLimitDays = 365;
const char* const DateFormat = "yyyy/MM/dd hh:mm:ss";

} // namespace

QString CertificateChannel::resultText() const {
    if (!selected)
        return LoadMessage(5721);
    return LoadMessage(passed ? 5719 : 5720);
}

bool CalibrationCertificate::passed() const {
    bool any = false;
    for (const CertificateChannel& c : channels) {
        if (!c.selected)
            continue;
        if (!c.passed)
            return false;
        any = true;
    }
    return any;
}

QString CertificateReading(float value, int decimals) {
    return FormatReading(value, decimals);
}

CalibrationCertificate MakeCertificate(const clsInstrument& main, const clsInstrument& cal,
                                       const Calibration::Flags& selection,
                                       const Calibration::Flags& status,
                                       const Calibration::Readings& before, const QDateTime& when,
                                       const QString& operatorName, const QString& lot) {
    CalibrationCertificate c;
    c.serialNo = main.SerialNo().trimmed();
    c.userId = main.UserID().trimmed();
    c.stationId = main.StationID().trimmed();
    c.specNo = main.SpecNo().trimmed();
    c.romNumber = main.RomNumber();
    c.when = when;
    const int limit = main.CalLimit();
    if (limit >= 1 && limit <= MaxCalLimitDays)
        c.nextDue = when.date().addDays(limit);
    c.operatorName = operatorName.trimmed();
    c.cylinderLot = lot.trimmed();
    for (int i = 0; i < Calibration::Channels; ++i) {
        CertificateChannel& ch = c.channels[i];
        ch.fitted = cal.GasEnabled(i);
        ch.selected = selection[i];
        ch.passed = selection[i] && status[i];
        ch.gas = cal.GasName(i).trimmed();
        ch.unit = cal.GasUnit(i).trimmed();
        ch.decimals = cal.GasPoint(i);
        ch.concentration = selection[i] ? cal.AutoCalib(i) : -101.0f;
        if (ch.passed) {
            ch.before = main.CalibBefore(i);
            ch.after = main.CalibAfter(i);
        } else if (ch.fitted) {
            ch.before = before[i];
        }
    }
    return c;
}

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
    return h;
}

QStringList CalibrationLogFields(const CalibrationCertificate& c) {
    QStringList f{c.when.toString(QLatin1String(DateFormat)),
                  c.serialNo,
                  c.userId,
                  c.stationId,
                  c.specNo,
                  c.operatorName,
                  c.cylinderLot,
                  c.nextDue.isValid() ? c.nextDue.toString(QStringLiteral("yyyy/MM/dd"))
                                      : QString()};
    for (const CertificateChannel& ch : c.channels) {
        f << ch.gas << ch.unit << CertificateReading(ch.concentration, ch.decimals)
          << CertificateReading(ch.before, ch.decimals) << CertificateReading(ch.after, ch.decimals)
          << ch.resultText();
    }
    return f;
}

bool AppendCalibrationLog(const QString& path, const CalibrationCertificate& c, QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite | QIODevice::Append)) {
        if (error)
            *error = f.errorString();
        return false;
    }
    QByteArray bytes;
    if (f.size() == 0)
        bytes += CsvLine(CalibrationLogHeader()).toLocal8Bit() + "\r\n";
    bytes += CsvLine(CalibrationLogFields(c)).toLocal8Bit() + "\r\n";
    if (f.write(bytes) != bytes.size() || !f.flush()) {
        if (error)
            *error = f.errorString();
        return false;
    }
    return true;
}

QString CertificateFileName(const CalibrationCertificate& c) {
    QString serial = c.serialNo;
    serial.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_-]")), QStringLiteral("_"));
    if (serial.isEmpty())
        serial = QStringLiteral("unknown");
    return QStringLiteral("TQ5800_Certificate_%1_%2.pdf")
        .arg(serial, c.when.toString(QStringLiteral("yyyyMMdd_hhmmss")));
}
