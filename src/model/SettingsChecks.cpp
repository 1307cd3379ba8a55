#include "model/SettingsChecks.h"

#include "model/GasInfo.h"
#include "model/clsInstrument.h"

#include <optional>
#include <utility>

namespace {

float storedLevel(const clsInstrument& r, int slot, LevelKind kind) {
    switch (kind) {
    case LevelKind::Warning:
        return r.Warning(slot);
    case LevelKind::Alarm:
        return r.Alarm(slot);
    case LevelKind::Stel:
        return r.Stel(slot);
    case LevelKind::Twa:
        return r.Twa(slot);
    }
    return -101.0f;
}

bool oxygenRange(const clsInstrument& r, LevelKind kind, float v) {
    if (kind != LevelKind::Warning && kind != LevelKind::Alarm)
        return false;
    switch (r.AlarmO2()) {
    case 0:
        return v >= 18.0f && v <= 25.0f;
    case 1:
        return v >= 18.0f && v <= 20.9f;
    case 2:
        if (kind == LevelKind::Warning)
            return v <= r.Alarm(1);
        return v >= r.Warning(1) && v <= r.GasFullScale(1);
    default:
        return false;
    }
}

UpdateCheck refused(int message, int title, int slot = -1) {
    UpdateCheck c;
    c.ok = false;
    c.message = message;
    c.title = title;
    c.slot = slot;
    return c;
}

bool levelsOk(const clsInstrument& r, int slot) {
    if (!CheckLevelOrder(r, slot))
        return false;
    if (!CheckLevelRange(r, slot, LevelKind::Warning) ||
        !CheckLevelRange(r, slot, LevelKind::Alarm))
        return false;
    if (slot == 2 || slot == 3)
        return CheckLevelRange(r, slot, LevelKind::Stel) &&
               CheckLevelRange(r, slot, LevelKind::Twa);
    return true;
}

bool combustibleCombinationOk(const clsInstrument& r) {
    const bool lel = r.GasEnabled(0);
    const bool vol = r.GasEnabled(4);
    const bool sameName = r.GasName(0).trimmed() == r.GasName(4).trimmed();
    switch (r.HcMode()) {
    case 0:
        if ((lel || vol) && !(lel && vol && sameName))
            return false;
        break;
    case 1:
        if (vol && !lel)
            return false;
        break;
    case 2:
        if (lel && !vol)
            return false;
        break;
    default:
        break;
    }
    if (lel && vol && !sameName)
        return false;
    for (int s = 0; s < clsInstrument::GasCount; ++s)
        if (r.GasEnabled(s) && r.GasName(s).trimmed().isEmpty())
            return false;
    return true;
}

// The first text of the record's write commands that holds a comma, as the command code (with
// the slot or entry number where there are several) and the text.
std::optional<std::pair<QString, QString>> textWithAComma(const clsInstrument& r) {
    QList<std::pair<QString, QString>> texts = {
        {QStringLiteral("IN"), r.SerialNo()},  {QStringLiteral("HN"), r.DummySerial()},
        {QStringLiteral("XZ"), r.UserID()},    {QStringLiteral("BS"), r.SpecNo()},
        {QStringLiteral("XS"), r.StationID()}, {QStringLiteral("UJ"), r.SpecType()}};
    for (int s = 0; s < clsInstrument::GasCount; ++s)
        if (r.GasEnabled(s)) {
            const QString gj = QStringLiteral("GJ %1").arg(s + 1);
            texts << std::pair(gj, r.GasName(s)) << std::pair(gj, r.GasUnit(s));
        }
    for (int e = 0; e < clsInstrument::UserGasCount; ++e) {
        const QString ls = QStringLiteral("LS %1").arg(e + 1);
        texts << std::pair(ls, r.LS_Name(e)) << std::pair(ls, r.LS_Unit(e));
    }
    for (const auto& t : texts)
        if (t.second.contains(u','))
            return t;
    return std::nullopt;
}

} // namespace

bool CheckLevelRange(const clsInstrument& r, int slot, LevelKind kind, float v) {
    if (v < 0)
        return true;
    switch (slot) {
    case 0:
        if (kind == LevelKind::Warning)
            return true;
        if (kind == LevelKind::Alarm)
            // Limit rounded to a single, so that exactly 0.6 x full scale passes.
            return v <= float(0.6 * double(r.GasFullScale(0)));
        return false;
    case 1:
        return oxygenRange(r, kind, v);
    case 2:
        return v <= 30.0f;
    case 3:
        return v <= 200.0f;
    default:
        return false;
    }
}

bool CheckLevelRange(const clsInstrument& r, int slot, LevelKind kind) {
    if (!clsInstrument::levelOk(slot))
        return false;
    return CheckLevelRange(r, slot, kind, storedLevel(r, slot, kind));
}

bool CheckLevelOrder(const clsInstrument& r, int slot) {
    if (!clsInstrument::levelOk(slot))
        return true;
    const float warning = r.Warning(slot);
    const float alarm = r.Alarm(slot);
    if (warning < 0 || alarm < 0)
        return true;
    if (slot == 1 && r.AlarmO2() == 1)
        return warning >= alarm;
    return warning <= alarm;
}

UpdateCheck CheckBeforeUpdate(const clsInstrument& r) {
    for (int s = 0; s < 4; ++s)
        if (r.GasEnabled(s) && !levelsOk(r, s))
            return refused(5361, 5362, s);
    for (int s = 0; s < clsInstrument::GasCount; ++s)
        if (!CheckCalibValue(r, s, r.AutoCalib(s)))
            return refused(5380, 5381, s);
    bool any = false;
    for (int s = 0; s < clsInstrument::GasCount; ++s)
        any = any || r.GasEnabled(s);
    if (!any)
        return refused(5365, 5366);
    if (!combustibleCombinationOk(r))
        return refused(5369, 5370);
    if (const auto text = textWithAComma(r)) {
        UpdateCheck c = refused(5795, 5796);
        c.params = {text->first, text->second.trimmed()};
        return c;
    }
    return {};
}
