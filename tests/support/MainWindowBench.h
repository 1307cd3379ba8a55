#pragma once

// The main window on the in-process simulated instrument, as the window tests use it: a fresh
// program state whose start folder is a temporary directory, English texts, scripted answers
// to the boxes, and the link at a fast tick. The window goes first when the bench goes, then
// the answers, then the folder.

#include "app/MessageTable.h"
#include "link/SimPortControl.h"
#include "link/uclHbif.h"
#include "sim/SimInstrument.h"
#include "state/AppState.h"
#include "ui/common/ScriptedUiServices.h"
#include "ui/main/frmMain.h"

#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace windowtest {

constexpr int ConnectLimitMs = 5000;

class MainWindowBench {
public:
    MainWindowBench() {
        resetAppState();
        SetMessageLanguage(QStringLiteral("en"));
        appState().StartFolder = dir.path();
    }
    ~MainWindowBench() { window.reset(); }

    // A window shown and activated once, with the start-up switches given, kept as `window`.
    frmMain& open(bool debug = false, bool factory = false) {
        window = make(debug, factory);
        return *window;
    }
    static std::unique_ptr<frmMain> make(bool debug = false, bool factory = false) {
        appState().DebugMode = debug;
        appState().FactoryMode = factory;
        StartupOptions o;
        o.simulate = true;
        auto w = std::make_unique<frmMain>(o);
        w->link()->setLinkTickInterval(5);
        w->show();
        w->FirstActivate();
        return w;
    }
    static bool connected(frmMain& w) {
        return QTest::qWaitFor([&] { return w.link()->Connected(); }, ConnectLimitMs);
    }
    static SimInstrument& sim(frmMain& w) {
        return qobject_cast<SimPortControl*>(w.link()->SerialControl())->instrument();
    }
    QString file(const QString& name) const { return dir.filePath(name); }
    ScriptedUiServices& asked() { return ui.services; }

    QTemporaryDir dir;
    ScopedScriptedUi ui;
    std::unique_ptr<frmMain> window;
};

} // namespace windowtest
