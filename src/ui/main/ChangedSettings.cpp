#include "ui/main/ChangedSettings.h"

#include "app/MessageTable.h"
#include "app/ReadingFormat.h"
#include "model/clsInstrument.h"

#include <functional>

namespace {

using Text = std::function<QString(const clsInstrument&)>;

struct Row {
    QString name;
    Text text;
};

Text number(qint16 (clsInstrument::*get)() const) {
    return [get](const clsInstrument& r) { return QString::number((r.*get)()); };
}

QString gasText(const clsInstrument& r, int slot) {
    if (!r.GasEnabled(slot))
        return QStringLiteral("-----");
    return GasTitleText(r.GasName(slot), r.GasUnit(slot), r.GasFullScale(slot), r.GasPoint(slot));
}

QList<Row> settingsRows(bool userGases) {
    const auto label = [](int message) { return LoadMessage(message); };
    QList<Row> rows;
    rows << Row{label(8042), [](const clsInstrument& r) { return r.SpecNo(); }};
    for (int slot = 0; slot < clsInstrument::GasCount; ++slot) {
        const QString gas = label(5648) + QStringLiteral(" %1").arg(slot + 1);
        rows << Row{gas, [slot](const clsInstrument& r) { return gasText(r, slot); }};
        rows << Row{gas + u' ' + label(5650), [slot](const clsInstrument& r) {
                        return FormatReading(r.Warning(slot), r.GasPoint(slot));
                    }};
        rows << Row{gas + u' ' + label(5651), [slot](const clsInstrument& r) {
                        return FormatReading(r.Alarm(slot), r.GasPoint(slot));
                    }};
    }
    if (userGases) {
        for (int e = 0; e < clsInstrument::UserGasCount; ++e)
            rows << Row{QStringLiteral("LS %1").arg(e + 1), [e](const clsInstrument& r) {
                            return QStringLiteral("%1 %2 %3")
                                .arg(r.LS_Name(e).trimmed(),
                                     FormatReading(r.LS_FullScale(e), r.LS_Point(e)),
                                     r.LS_Unit(e).trimmed());
                        }};
    }
    // clang-format off
    rows << Row{label(8004), number(&clsInstrument::AlarmMode)}
         << Row{label(8010), number(&clsInstrument::DispCalLimit)}
         << Row{label(8011), number(&clsInstrument::CalCheck)}
         << Row{label(8044), number(&clsInstrument::Confirmation)}
         << Row{label(8009), number(&clsInstrument::LogOverWrite)}
         << Row{label(8023), number(&clsInstrument::LcdBackLight)}
         << Row{label(8027), number(&clsInstrument::autoBackLight)}
         << Row{label(8037), number(&clsInstrument::AlarmOnOff)}
         << Row{label(8022), number(&clsInstrument::AlarmO2)}
         << Row{label(5655), number(&clsInstrument::CalLimit)}
         << Row{label(5223), number(&clsInstrument::Intervals)}
         << Row{label(8015), [](const clsInstrument& r) { return r.SpecType(); }}
         << Row{label(8019), number(&clsInstrument::AutoZero)}
         << Row{label(8020), number(&clsInstrument::DemandZero)};
    // clang-format on
    return rows;
}

QList<Row> identityRows() {
    QList<Row> rows;
    rows << Row{LoadMessage(5608), [](const clsInstrument& r) { return r.SerialNo().trimmed(); }}
         << Row{LoadMessage(8003), [](const clsInstrument& r) { return r.DummySerial().trimmed(); }}
         << Row{LoadMessage(5609), [](const clsInstrument& r) { return r.StationID().trimmed(); }}
         << Row{LoadMessage(5610), [](const clsInstrument& r) { return r.UserID().trimmed(); }};
    for (int i = 0; i < clsInstrument::StationCount; ++i)
        rows << Row{QStringLiteral("Station%1").arg(i + 1),
                    [i](const clsInstrument& r) { return r.StationList(i).trimmed(); }};
    return rows;
}

} // namespace

QStringList ChangedSettings(const clsInstrument& before, const clsInstrument& after,
                            UpdateKind kind) {
    const bool userGases = after.Change_LSData(0) || after.Change_LSData(1);
    const QList<Row> rows = kind == UpdateKind::Identity ? identityRows() : settingsRows(userGases);
    QStringList out;
    for (const Row& row : rows) {
        const QString old = row.text(before);
        const QString now = row.text(after);
        if (old != now)
            out << LoadMessage(5774, {row.name, old, now});
    }
    return out;
}
