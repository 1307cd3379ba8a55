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
inline constexpr std::array<MainButtonRow, MainButtonCount> MainButtons{{
    // button                        name                 caption Alt+ frame                  enabled                             shown
    {MainButton::Read,            "cmdDown1",          5037, 'I', CommandFrame::Read,    EnableRule::Connected,             ShownWith::Always},        // Instrument Information
    {MainButton::ReadAndSave,     "cmdDown5",          5047, 'G', CommandFrame::Read,    EnableRule::Connected,             ShownWith::Always},        // Information Get && Save
    {MainButton::Download,        "cmdDown2",          5038, 'L', CommandFrame::Read,    EnableRule::Connected,             ShownWith::DebugSwitch},   // Download Logger Data
    {MainButton::PowerOff,        "cmdDown4",          5041, 'P', CommandFrame::Read,    EnableRule::Connected,             ShownWith::Always},        // Power Off
    {MainButton::Update,          "cmdOption0",        5214, 'U', CommandFrame::Write,   EnableRule::ConnectedWithData,     ShownWith::Always},        // Update
    {MainButton::UpdateId,        "cmdOption7",        5255, 'D', CommandFrame::Write,   EnableRule::ConnectedWithIdentity, ShownWith::Always},        // Update ID
    {MainButton::DateTimeSet,     "cmdOption1",        5215, 'T', CommandFrame::Write,   EnableRule::Connected,             ShownWith::Always},        // Date/Time Set
    {MainButton::Calibration,     "cmdOption2",        5216, 'C', CommandFrame::Write,   EnableRule::ConnectedWithData,     ShownWith::Always},        // Calibration
    {MainButton::Defaults,        "cmdOption3",        5221, 'F', CommandFrame::Write,   EnableRule::Connected,             ShownWith::DebugSwitch},   // DEFAULT
    {MainButton::ClearPowerLog,   "cmdOption4",        5230, 'W', CommandFrame::Write,   EnableRule::Connected,             ShownWith::DebugSwitch},   // Clear Power Log
    {MainButton::ClearLoggerData, "cmdOption5",        5040, 'R', CommandFrame::Write,   EnableRule::Connected,             ShownWith::DebugSwitch},   // Clear Logger Data
    {MainButton::WriteCheckData,  "cmdOption6",        5231, 'K', CommandFrame::Write,   EnableRule::Connected,             ShownWith::DebugSwitch},   // Write Check Data
    {MainButton::FlashCheck,      "cmdOption8",        5256, 'H', CommandFrame::Write,   EnableRule::Connected,             ShownWith::FactorySwitch}, // FLASH Check
    {MainButton::DetailSettings,  "cmdFactorySetting", 5226, 'E', CommandFrame::Setting, EnableRule::Always,                ShownWith::Always},        // Detail Settings
    {MainButton::FramDump,        "cmdFRAMDump",       5222, 'M', CommandFrame::Setting, EnableRule::Connected,             ShownWith::DebugSwitch},   // FRAM Dump
    {MainButton::LoadSettings,    "cmdImportSetting",  5228, 'O', CommandFrame::Setting, EnableRule::Always,                ShownWith::Always},        // Load local file
    {MainButton::StoreSettings,   "cmdExportSetting",  5229, 'S', CommandFrame::Setting, EnableRule::Always,                ShownWith::Always},        // Store local file
    {MainButton::Exit,            "cmdExit",           5007, 'X', CommandFrame::None,    EnableRule::WithFrames,            ShownWith::Always},        // Exit
}};
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
