// Writes a PNG of every window into the folder given, for a developer to look at:
//   scripts/screenshots [folder]   (runs this under xvfb-run, also at 150 % scaling)
#include "app/MessageTable.h"
#include "link/uclHbif.h"
#include "state/AppState.h"
#include "support/ScreenshotSupport.h"
#include "ui/calibration/frmGasSel.h"
#include "ui/common/ScriptedUiServices.h"
#include "ui/factory/frmFsDialog.h"
#include "ui/main/frmMain.h"
#include "ui/shell/frmOpen.h"
#include "ui/shell/frmPassword.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QDir out = shots::OutputFolder(argc, argv);
    QTemporaryDir work;
    appState().StartFolder = work.path();
    ScopedScriptedUi scripted;

    {
        frmOpen splash(nullptr, 60000);
        shots::Save(&splash, out, QStringLiteral("splash"));
    }
    {
        frmPassword password;
        password.txtPass()->setText(QStringLiteral("7261"));
        shots::Save(&password, out, QStringLiteral("password"));
        appState().PasswordAccepted = true;
    }
    StartupOptions o;
    o.simulate = true;
    frmMain main(o);
    main.show();
    main.FirstActivate();
    if (!QTest::qWaitFor([&] { return main.link()->Connected(); }, 5000))
        qWarning("the simulated instrument did not connect");
    main.command_Click(MainButton::Read);
    shots::Save(&main, out, QStringLiteral("main_after_read"));
    main.resize(main.minimumSize());
    shots::Save(&main, out, QStringLiteral("main_minimum_size"));
    {
        frmGasSel sel(&main);
        sel.setGasNo(0);
        shots::Save(&sel, out, QStringLiteral("gas_select_slot0"));
        sel.setGasNo(2);
        shots::Save(&sel, out, QStringLiteral("gas_select_slot2"));
    }
    {
        frmFsDialog factory(main.link(), &main);
        factory.setInstrument(&appState().Instrument);
        const char* const tabs[] = {"station", "parameter", "gas_table", "compensation"};
        for (int tab = 0; tab < 4; ++tab) {
            factory.SSTab1()->setCurrentIndex(tab);
            factory.resize(factory.minimumSize());
            shots::Save(&factory, out, QStringLiteral("factory_%1_minimum_size").arg(tabs[tab]));
            factory.resize(factory.sizeHint().expandedTo(QSize(900, 600)));
            shots::Save(&factory, out, QStringLiteral("factory_%1").arg(tabs[tab]));
        }
    }
    scripted.services.answers.enqueue(UiServices::AnswerYes);
    main.close();
    return 0;
}
