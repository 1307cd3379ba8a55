#pragma once

#include <array>
#include <cstddef>

// The main window's buttons by what they do, in the order the window reads: frame by frame,
// row by row, two to a row. Tab walks them in the same order.
enum class MainButton {
    // "Read Commands"
    Read,
    ReadAndSave,
    Download,
    PowerOff,
    // "Write Commands"
    Update,
    UpdateId,
    DateTimeSet,
    Calibration,
    Defaults,
    ClearPowerLog,
    ClearLoggerData,
    WriteCheckData,
    FlashCheck,
    // "Setting Commands"
    DetailSettings,
    FramDump,
    LoadSettings,
    StoreSettings,
    Fleet,
    // below the frames
    Exit,
};
inline constexpr std::size_t MainButtonCount = std::size_t(MainButton::Exit) + 1;

enum class CommandFrame { Read, Write, Setting, None };
// The frames' captions (message numbers), top to bottom: "Read Commands", "Write Commands",
// "Setting Commands".
inline constexpr std::array<int, 3> CommandFrameCaptions{5035, 5227, 5049};

// When a button may be pressed; a running command disables the frames (and Exit) besides.
enum class EnableRule {
    Always,
    Connected,
    // Connected, and the record holds data: read, loaded from a file or the start-up defaults.
    ConnectedWithData,
    // As above, and the identity came from the instrument or a settings file: never the
    // start-up defaults, which would write blank identities over the instrument's.
    ConnectedWithIdentity,
    // Only the command frames' state: Exit.
    WithFrames,
};

// The start-up switch that shows a button.
enum class ShownWith { Always, DebugSwitch, FactorySwitch };

struct MainButtonRow {
    MainButton button;
    const char* name; // the control's name
    int caption;      // message number
    char mnemonic;    // the Alt key
    CommandFrame frame;
    EnableRule enabled;
    ShownWith shown;
};

// clang-format off
inline constexpr std::array<MainButtonRow, MainButtonCount> MainButtons = [] {
    using B = MainButton;
    using F = CommandFrame;
    using E = EnableRule;
    using S = ShownWith;
    return std::array<MainButtonRow, MainButtonCount>{{
        // button            name                 caption Alt  frame       enabled                   shown
        {B::Read,            "cmdDown1",          5037,   'I', F::Read,    E::Connected,             S::Always},
        {B::ReadAndSave,     "cmdDown5",          5047,   'G', F::Read,    E::Connected,             S::Always},
        {B::Download,        "cmdDown2",          5038,   'L', F::Read,    E::Connected,             S::DebugSwitch},
        {B::PowerOff,        "cmdDown4",          5041,   'P', F::Read,    E::Connected,             S::Always},
        {B::Update,          "cmdOption0",        5214,   'U', F::Write,   E::ConnectedWithData,     S::Always},
        {B::UpdateId,        "cmdOption7",        5255,   'D', F::Write,   E::ConnectedWithIdentity, S::Always},
        {B::DateTimeSet,     "cmdOption1",        5215,   'T', F::Write,   E::Connected,             S::Always},
        {B::Calibration,     "cmdOption2",        5216,   'C', F::Write,   E::ConnectedWithData,     S::Always},
        {B::Defaults,        "cmdOption3",        5221,   'F', F::Write,   E::Connected,             S::DebugSwitch},
        {B::ClearPowerLog,   "cmdOption4",        5230,   'W', F::Write,   E::Connected,             S::DebugSwitch},
        {B::ClearLoggerData, "cmdOption5",        5040,   'R', F::Write,   E::Connected,             S::DebugSwitch},
        {B::WriteCheckData,  "cmdOption6",        5231,   'K', F::Write,   E::Connected,             S::DebugSwitch},
        {B::FlashCheck,      "cmdOption8",        5256,   'H', F::Write,   E::Connected,             S::FactorySwitch},
        {B::DetailSettings,  "cmdFactorySetting", 5226,   'E', F::Setting, E::Always,                S::Always},
        {B::FramDump,        "cmdFRAMDump",       5222,   'M', F::Setting, E::Connected,             S::DebugSwitch},
        {B::LoadSettings,    "cmdImportSetting",  5228,   'O', F::Setting, E::Always,                S::Always},
        {B::StoreSettings,   "cmdExportSetting",  5229,   'S', F::Setting, E::Always,                S::Always},
        {B::Fleet,           "cmdFleet",          9701,   'Y', F::Setting, E::Always,                S::Always},
        {B::Exit,            "cmdExit",           5007,   'X', F::None,    E::WithFrames,            S::Always},
    }};
}();
// clang-format on

// A row's place is its button's value: the window finds a button's widget by it.
static_assert([] {
    for (std::size_t i = 0; i < MainButtons.size(); ++i)
        if (std::size_t(MainButtons[i].button) != i)
            return false;
    return true;
}());

// Whether a button of `rule` may be pressed (WithFrames: whether it follows the frames alone).
constexpr bool EnabledBy(EnableRule rule, bool connected, bool data, bool identityKnown) {
    switch (rule) {
    case EnableRule::Always:
    case EnableRule::WithFrames:
        return true;
    case EnableRule::Connected:
        return connected;
    case EnableRule::ConnectedWithData:
        return connected && data;
    case EnableRule::ConnectedWithIdentity:
        return connected && data && identityKnown;
    }
    return false;
}

constexpr bool ShownBy(ShownWith rule, bool debugSwitch, bool factorySwitch) {
    switch (rule) {
    case ShownWith::Always:
        return true;
    case ShownWith::DebugSwitch:
        return debugSwitch;
    case ShownWith::FactorySwitch:
        return factorySwitch;
    }
    return false;
}
