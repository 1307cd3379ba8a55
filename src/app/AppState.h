#pragma once

#include "model/GasDefaults.h"
#include "model/clsInstrument.h"

#include <QString>
#include <array>

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
    int ProgressTask = 0;
    std::array<float, 5> LiveReadings{};
    bool LiveReadingsNew = false;
    bool GridEditBusy = false;
    bool CalibrationWindowActive = false;
    std::array<bool, 5> CalibrationSelection{};
    std::array<float, 5> AutoCalValues{-101.0f, -101.0f, -101.0f, -101.0f, -101.0f};
};

AppState& appState();
void resetAppState();

// The user-interface language: "ja" or "en". TQ5800_LANG overrides the system's choice.
QString ActiveLanguage();
