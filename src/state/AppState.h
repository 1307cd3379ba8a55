#pragma once

#include "model/GasDefaults.h"
#include "model/clsInstrument.h"

#include <QString>
#include <array>

// Which long operation runs, as the progress dialogs read it when they open. The values are
// the ones the program has always used.
enum class ProgressTask {
    Idle = 0,
    Download = 1,       // a download or dump: the dialog offers Cancel
    Upload = 2,         // an upload without Cancel
    ZeroAdjustment = 3, // the calibration dialog's zero
    SpanAdjustment = 4, // the calibration dialog's span
    BumpTest = 5,       // the calibration dialog's bump test, which can be cancelled
    FlashCheck = 6,
};

// A font as the configuration file and the start-up state describe it. The windows turn it
// into a QFont; the core keeps it as plain data.
struct FontSpec {
    QString Name;
    float Size = 9.0f;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool Strikethrough = false;
    int Weight = 400;
    int Charset = 0;
};

// Everything that is program-wide: start-up state, the configuration globals, the shared
// records and the few flags the windows share. One instance; resetAppState() gives tests a
// fresh start.
struct AppState {
    // Start-up.
    QString StartFolder;
    bool DebugMode = false;
    bool FactoryMode = false;
    FontSpec AppFont;
    QString AccessPassword = QStringLiteral("7261");
    bool PasswordAccepted = false;

    // Configuration file.
    qint32 ExecuteCount = 0;
    bool SerialLogEnabled = false;
    QString FactoryRecordSuffix;
    // Where the fleet history lives ("Fleet DB"): a file path or a postgresql:// URL; empty:
    // the file in the start folder. Never holds a password once read.
    QString FleetDb;
    qint16 IrCommNum = 0;
    QString ConverterPortName; // the USB converter's port name where the system has no COM numbers
    QString CommSettings = QStringLiteral("921600,n,8,1");
    qint16 CommTimeout = 3;
    qint16 CommDelay = 100;
    qint16 CommRetry = 3;
    bool AutoLoadMode = false;
    bool AutoRemoveData = false;
    qint16 LimitDays = 0;
    std::array<float, 4> CalibRange{};
    std::array<bool, 6> GasLocked{};
    std::array<float, 5> FactAutoCal{};
    std::array<qint32, 5> GraphColors{};
    float ConvParam = 0.2f;
    bool ConvFlag = false;
    qint16 WindowState = 0;
    float WindowWidth = 7680.0f;  // twips
    float WindowHeight = 5760.0f; // twips
    std::array<float, 2> PrtWidth{1.0f, 1.0f};
    std::array<qint16, 3> CalWaitTimes{120, 120, 30};
    bool CompletelyView = false;
    std::array<qint16, 2> TrendSearch{};
    bool VerifyChecksum = true;

    // Shared records.
    clsInstrument Instrument; // the connected instrument
    clsInstrument DefaultRecord;
    clsInstrument CalibrationRecord;
    GasDefaultTable GasDefaults;

    // Shared between windows.
    ::ProgressTask ProgressTask = ::ProgressTask::Idle;
    std::array<float, 5> LiveReadings{};
    bool LiveReadingsNew = false;
    bool GridEditBusy = false;
    bool CalibrationWindowActive = false;
    std::array<bool, 5> CalibrationSelection{};
    std::array<float, 5> AutoCalValues{-101.0f, -101.0f, -101.0f, -101.0f, -101.0f};
};

AppState& appState();

// Sets ProgressTask for a scope and back to idle however the scope ends.
class ProgressTaskScope {
public:
    explicit ProgressTaskScope(ProgressTask task) { appState().ProgressTask = task; }
    ~ProgressTaskScope() { appState().ProgressTask = ProgressTask::Idle; }
    ProgressTaskScope(const ProgressTaskScope&) = delete;
    ProgressTaskScope& operator=(const ProgressTaskScope&) = delete;
};
void resetAppState();
// Sets CommSettings to "921600,n,8,1".
void DefaultCommSettings();
