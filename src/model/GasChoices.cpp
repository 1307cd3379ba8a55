#include "model/GasChoices.h"

#include "app/ReadingFormat.h"
#include "model/clsInstrument.h"

GasSource GasSourceFor(int slot, bool connected) {
    return (slot == 0 || slot == 4) && connected ? GasSource::Library : GasSource::Defaults;
}

QList<GasChoice> GasChoices(const clsInstrument& r, const GasDefaultTable& defaults, int slot,
                            GasSource source) {
    QList<GasChoice> out;
    if (source == GasSource::Library) {
        if (slot != 0 && slot != 4)
            return out;
        const int base = slot == 4 ? 15 : 0;
        const QString userName = r.LS_Name(0).trimmed();
        bool userListed = false;
        for (int e = 1; e <= 15; ++e) {
            const int i = base + e;
            const QString name = r.LI_Name(i).trimmed();
            if (name.isEmpty() || name.contains(QLatin1String("---")))
                continue;
            out.append({e - 1, GasTitleText(name, r.LI_Unit(i), r.LI_FullScale(i), r.LI_Point(i))});
            userListed = userListed || (!userName.isEmpty() && name == userName);
        }
        if (!userName.isEmpty() && !userListed) {
            const int k = slot == 4 ? 1 : 0;
            out.append({15, GasTitleText(r.LS_Name(k).trimmed(), r.LS_Unit(k), r.LS_FullScale(k),
                                         r.LS_Point(k))});
        }
        return out;
    }
    // Only the first eight rows of the default table can be offered.
    for (int row = 0; row < 8; ++row) {
        if (!GasDefaultTable::inRange(row, slot))
            break;
        const GasDefaultEntry& e = defaults.at(row, slot);
        if (e.Enabled)
            out.append({row, GasTitleText(e.Name, e.Unit, e.FullScale, e.Point)});
    }
    return out;
}

bool ApplyGasChoice(clsInstrument& r, const GasDefaultTable& defaults, int slot, int option,
                    GasSource source) {
    bool offered = false;
    for (const GasChoice& c : GasChoices(r, defaults, slot, source))
        offered = offered || c.option == option;
    if (!offered)
        return false;
    SelectGas(r, defaults, slot, option, source == GasSource::Library);
    return true;
}
