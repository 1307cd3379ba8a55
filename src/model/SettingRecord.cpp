#include "model/SettingRecord.h"

#include "app/FilePaths.h"
#include "app/MessageTable.h"
#include "app/NumberFormat.h"
#include "app/ReadingFormat.h"
#include "model/clsInstrument.h"

#include <QDir>

namespace {

constexpr const char* kRecordDateFormat = "yyyy/MM/dd HH:mm:ss";

QString onOff(qint64 v) {
    return v != 0 ? QStringLiteral("ON") : QStringLiteral("OFF");
}

QString recordDate(const AppDate& d) {
    return d.format(QString::fromLatin1(kRecordDateFormat));
}

QString calCheckText(qint16 v) {
    switch (v) {
    case 0:
        return LoadMessage(8012);
    case 1:
        return LoadMessage(8013);
    case 2:
        return LoadMessage(8014);
    default:
        return QString::number(v);
    }
}

QString specTypeText(const QString& v) {
    if (v == QLatin1String("0"))
        return LoadMessage(8016);
    if (v == QLatin1String("1"))
        return LoadMessage(8017);
    if (v == QLatin1String("2"))
        return LoadMessage(8041);
    return v;
}

QString alarmO2Text(qint16 v) {
    switch (v) {
    case 0:
        return QStringLiteral("H-L");
    case 1:
        return QStringLiteral("L-LL");
    case 2:
        return QStringLiteral("H-HH");
    default:
        return QString::number(v);
    }
}

QString actionText(SettingRecordMode mode) {
    switch (mode) {
    case SettingRecordMode::Read:
        return QStringLiteral("Read");
    case SettingRecordMode::Write:
        return QStringLiteral("Write");
    case SettingRecordMode::WriteID:
        return QStringLiteral("WriteID");
    }
    return QString();
}

QString joined(std::initializer_list<QString> parts) {
    return QStringList(parts).join(u'/');
}

} // namespace

QString SettingRecordFileName(const QString& suffix) {
    return QStringLiteral("TQ5800_Setting") + suffix + QStringLiteral(".csv");
}

QString SettingRecordPath(const QString& folder, const QString& suffix) {
    return PathInFolder(folder, SettingRecordFileName(suffix));
}

bool IsValidRecordSuffix(const QString& suffix) {
    static const QString forbidden = QStringLiteral("\\/:|<>*?\"");
    for (QChar c : suffix)
        if (forbidden.contains(c))
            return false;
    return true;
}

AppDate InstrumentClock(const AppDate& now, const AppDate& offset) {
    // The offset is the instrument clock minus the PC clock, as the clock read stores it.
    const AppDate clock = AppDate::fromSerial(now.serial() + offset.days());
    return clock.isValid() ? clock : now;
}

QStringList SettingRecordHeaderFields() {
    QStringList h;
    const auto msg = [&h](std::initializer_list<int> numbers) {
        for (int n : numbers)
            h << LoadMessage(n);
    };
    msg({9004, 5212, 5213, 5608, 8003});
    h << QStringLiteral("ROM") << QStringLiteral("SUM");
    msg({5609, 5610, 8004, 5655, 8010, 8011, 5223, 8009, 8015, 8022, 8023, 8019, 8020, 8027, 8026,
         8043, 8037});
    for (int gas = 0; gas < clsInstrument::GasCount; ++gas)
        msg({5648, 5650, 5651, 9001, 9002, 9003});
    for (int i = 1; i <= clsInstrument::StationCount; ++i)
        h << QStringLiteral("Station") + QString::number(i);
    msg({8044, 8042});
    for (int e = 0; e < clsInstrument::UserGasCount; ++e)
        h << QStringLiteral("No") << QStringLiteral("Name") << QStringLiteral("FullScale")
          << QStringLiteral("Digit") << QStringLiteral("Unit") << QStringLiteral("ElemVolt")
          << QStringLiteral("Ratio");
    msg({9300, 9303, 9304, 9305, 9340, 9341, 9331, 9332, 9333, 9313, 9314, 9315, 9316, 9317, 9318,
         9319, 9320, 9321});
    return h;
}

QStringList SettingRecordFields(const clsInstrument& r, SettingRecordMode mode,
                                const AppDate& now) {
    QStringList f;
    f << actionText(mode) << recordDate(now) << recordDate(InstrumentClock(now, r.SysDateOffset()));
    f << r.SerialNo() << r.DummySerial()
      << FormatNumber(double(r.RomNumber()), QStringLiteral("00000")) << r.SUM() << r.StationID()
      << r.UserID();
    f << (r.AlarmMode() != 0 ? LoadMessage(8006) : LoadMessage(8005));
    f << QString::number(r.CalLimit()) << onOff(r.DispCalLimit()) << calCheckText(r.CalCheck());
    f << QString::number(r.Intervals()) << onOff(r.LogOverWrite());
    f << specTypeText(r.SpecType()) << alarmO2Text(r.AlarmO2());
    f << QString::number(r.LcdBackLight()) << onOff(r.AutoZero()) << onOff(r.DemandZero())
      << onOff(r.autoBackLight()) << QString::number(r.FlowLevel())
      << QString::number(r.pressOffset()) << onOff(r.AlarmOnOff());
    for (int g = 0; g < clsInstrument::GasCount; ++g) {
        if (!r.GasEnabled(g)) {
            for (int k = 0; k < 6; ++k)
                f << QStringLiteral("-----");
            continue;
        }
        const int d = r.GasPoint(g);
        f << r.GasName(g) << FormatScaleValue(r.Warning(g), d) << FormatScaleValue(r.Alarm(g), d)
          << recordDate(r.CalibDate(g)) << FormatScaleValue(r.CalibBefore(g), d)
          << FormatScaleValue(r.CalibAfter(g), d);
    }
    for (int i = 0; i < clsInstrument::StationCount; ++i)
        f << r.StationList(i);
    f << onOff(r.Confirmation()) << r.SpecNo();
    for (int e = 0; e < clsInstrument::UserGasCount; ++e) {
        const int d = r.LS_Point(e);
        f << QString::number(r.LS_No(e)) << r.LS_Name(e) << FormatReading(r.LS_FullScale(e), d)
          << FormatReading(r.LS_Digit(e), d) << r.LS_Unit(e) << QString::number(r.LS_elem_vol(e))
          << ShortestText(r.LS_Ratio(e));
    }
    f << joined({r.CN_ir(), r.CN_o2()}) << joined({r.OG_lo(), r.OG_hi()})
      << joined({r.VG_lo(), r.VG_hi()})
      << joined(
             {r.V2_lo_sq(), r.V2_lo_th(), r.V2_lo_cn(), r.V2_hi_sq(), r.V2_hi_th(), r.V2_hi_cn()})
      << joined({r.C2_lel_zero_f(), r.C2_lel_zero(), r.C2_lel_span_f(), r.C2_lel_span(),
                 r.C2_vol_zero_f(), r.C2_vol_zero(), r.C2_vol_span_f(), r.C2_vol_span()})
      << joined({r.C1_lel_zero_f(), r.C1_lel_zero(), r.C1_lel_span_f(), r.C1_lel_span(),
                 r.C1_vol_zero_f(), r.C1_vol_zero(), r.C1_vol_span_f(), r.C1_vol_span()})
      << joined({r.CB_lel_sq(), r.CB_lel_th(), r.CB_vol_sq(), r.CB_vol_th()}) << r.CE_span()
      << r.CK_span() << joined({r.CC_lel_sq(), r.CC_lel_th(), r.CC_vol_sq(), r.CC_vol_th()})
      << r.CF_span() << r.CM_span()
      << joined({r.CA_lel_sq(), r.CA_lel_th(), r.CA_vol_sq(), r.CA_vol_th()}) << r.CD_span()
      << r.CL_span() << joined({r.C3_lel_sq(), r.C3_lel_th(), r.C3_vol_sq(), r.C3_vol_th()})
      << joined({r.C4_lel_sq(), r.C4_lel_th(), r.C4_vol_sq(), r.C4_vol_th()})
      << joined({r.C5_lel_zero_f(), r.C5_lel_zero(), r.C5_vol_zero_f(), r.C5_vol_zero(),
                 r.C5_lel_zero_fh(), r.C5_lel_zeroh(), r.C5_vol_zero_fh(), r.C5_vol_zeroh()});
    return f;
}

QString CsvField(const QString& text) {
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\r') &&
        !text.contains(u'\n'))
        return text;
    QString q = text;
    q.replace(u'"', QStringLiteral("\"\""));
    return u'"' + q + u'"';
}

QString SpreadsheetSafeText(const QString& typed) {
    static const QString formulaStarts = QStringLiteral("=+-@");
    double number = 0;
    if (typed.isEmpty() || !formulaStarts.contains(typed.front()) || ParseNumber(typed, &number))
        return typed;
    return u'\'' + typed;
}

QString CsvLine(const QStringList& fields) {
    QStringList out;
    out.reserve(fields.size());
    for (const QString& f : fields)
        out << CsvField(f);
    return out.join(u',');
}

bool AppendSettingRecord(const QString& path, const clsInstrument& r, SettingRecordMode mode,
                         const AppDate& now, QString* error) {
    const QByteArray header = CsvLine(SettingRecordHeaderFields()).toLocal8Bit() + "\r\n";
    const QByteArray line = CsvLine(SettingRecordFields(r, mode, now)).toLocal8Bit() + "\r\n";
    QString why;
    if (AppendWhole(path, line, &why, header))
        return true;
    if (error)
        *error = LoadMessage(9413, {QDir::toNativeSeparators(path), why});
    return false;
}
