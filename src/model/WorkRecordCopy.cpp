#include "model/WorkRecordCopy.h"

#include "model/clsInstrument.h"

void ClearAllChangeFlags(clsInstrument& r) {
    r.ClearChangeFlags();
#define TQ_CLEAR_SETTING_FLAG(name, type, def, flag, mode) r.set##flag(false);
    TQ_SETTINGS(TQ_CLEAR_SETTING_FLAG)
#undef TQ_CLEAR_SETTING_FLAG
#define TQ_CLEAR_ID_FLAG(name, kind, flag) r.set##flag(false);
    TQ_IDENTITY(TQ_CLEAR_ID_FLAG)
#undef TQ_CLEAR_ID_FLAG
#define TQ_CLEAR_COEFF_FLAG(flag) r.set##flag(false);
    TQ_COEFF_FLAGS(TQ_CLEAR_COEFF_FLAG)
#undef TQ_CLEAR_COEFF_FLAG
    for (int i = 0; i < clsInstrument::LevelCount; ++i) {
        r.setChange_Warn(i, false);
        r.setChange_Alarm(i, false);
        r.setChange_Stel(i, false);
        r.setChange_Twa(i, false);
    }
    for (int i = 0; i < clsInstrument::StationCount; ++i)
        r.setChange_StationList(i, false);
}

void StartWorkRecord(const clsInstrument& main, clsInstrument& work) {
    work = main;
    ClearAllChangeFlags(work);
}

namespace {

using Copy = void (*)(const clsInstrument&, clsInstrument&);
struct Group {
    bool (clsInstrument::*flag)() const;
    Copy copy;
};

// clang-format off
#define TQ_GROUP(name, flag)                                                                       \
    Group{&clsInstrument::flag, [](const clsInstrument& w, clsInstrument& m) { m.set##name(w.name()); }}
// Scalar groups and the flag of the working copy that lets each through.
const Group kScalarGroups[] = {
    //       property          flag
    TQ_GROUP(UserID,           Change_UserID),
    TQ_GROUP(StationID,        Change_StationID),
    TQ_GROUP(SerialNo,         Change_SerialNo),
    TQ_GROUP(DummySerial,      Change_DummySerial),
    TQ_GROUP(HcMode,           Change_HCMode),
    TQ_GROUP(AlarmMode,        Change_AlarmMode),
    TQ_GROUP(DispCalLimit,     Change_DispCalLimit),
    TQ_GROUP(CalLimit,         Change_CalLimit),
    TQ_GROUP(CalCheck,         Change_CalCheck),
    TQ_GROUP(Confirmation,     Change_Confirmation),
    TQ_GROUP(LogOverWrite,     Change_LogOverWrite),
    TQ_GROUP(LcdBackLight,     Change_LcdBackLight),
    TQ_GROUP(autoBackLight,    Change_autoBackLight),
    TQ_GROUP(AlarmOnOff,       Change_AlarmOnOff),
    TQ_GROUP(StelTwaOnOff,     Change_StelTwaOnOff),
    TQ_GROUP(BumpTime,         Change_BumpTime),
    TQ_GROUP(BumpThreshold,    Change_BumpThreshold),
    TQ_GROUP(BumpFailAfter,    Change_BumpFailAfter),
    TQ_GROUP(BumpFailCalTime,  Change_BumpFailCalTime),
    TQ_GROUP(LcBhMode,         Change_LcBhMode),
    TQ_GROUP(BhTime,           Change_BhTime),
    TQ_GROUP(LcBuzzer,         Change_LcBuzzer),
    TQ_GROUP(FlowLevel,        Change_FlowLevel),
    TQ_GROUP(AlarmO2,          Change_AlarmO2),
    TQ_GROUP(SpecType,         Change_SpecType),
    TQ_GROUP(AutoZero,         Change_AutoZero),
    TQ_GROUP(DemandZero,       Change_DemandZero),
    TQ_GROUP(SpecNo,           Change_SpecNo),
};
#undef TQ_GROUP

struct GasGroup {
    bool (clsInstrument::*flag)(int) const;
    void (*copy)(const clsInstrument&, clsInstrument&, int);
};
#define TQ_GAS_GROUP(name, flag)                                                                   \
    GasGroup{&clsInstrument::flag,                                                                 \
             [](const clsInstrument& w, clsInstrument& m, int i) { m.set##name(i, w.name(i)); }}
// Per-gas groups of gases 0 to 4.
const GasGroup kGasGroups[] = {
    //           property     flag
    TQ_GAS_GROUP(GasPoint,    Change_GasPoint),
    TQ_GAS_GROUP(GasEnabled,  Change_GasEnable),
    TQ_GAS_GROUP(Warning,     Change_Warn),
    TQ_GAS_GROUP(Alarm,       Change_Alarm),
    TQ_GAS_GROUP(Stel,        Change_Stel),
    TQ_GAS_GROUP(Twa,         Change_Twa),
    TQ_GAS_GROUP(Zero,        Change_Zero),
    TQ_GAS_GROUP(OverScale,   Change_OverScale),
};
#undef TQ_GAS_GROUP
// clang-format on

} // namespace

void CopyChangedGroups(const clsInstrument& w, clsInstrument& m) {
    for (const Group& g : kScalarGroups)
        if ((w.*g.flag)())
            g.copy(w, m);
    for (int i = 0; i < clsInstrument::StationCount; ++i)
        if (w.Change_StationList(i))
            m.setStationList(i, w.StationList(i));

#define TQ_COPY_LI(field, litype, lstype) m.setLI_##field(i, w.LI_##field(i));
    for (int i = 0; i < clsInstrument::LibraryCount; ++i) {
        TQ_GASTABLE(TQ_COPY_LI)
    }
#undef TQ_COPY_LI
#define TQ_COPY_LS(field, litype, lstype) m.setLS_##field(i, w.LS_##field(i));
    for (int i = 0; i < clsInstrument::UserGasCount; ++i) {
        if (!w.Change_LSData(i))
            continue;
        TQ_GASTABLE(TQ_COPY_LS)
        m.setLS_No(i, w.LS_No(i));
        m.setChange_LSData(i, true);
    }
#undef TQ_COPY_LS

    for (int i = 0; i < clsInstrument::GasCount; ++i)
        for (const GasGroup& g : kGasGroups)
            if ((w.*g.flag)(i))
                g.copy(w, m, i);
}
