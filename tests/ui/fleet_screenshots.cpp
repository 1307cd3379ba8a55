// Writes PNGs of the Fleet window for a developer to look at, in English and Japanese: a
// fleet of twelve instruments at four stations, some overdue, some due soon, one with a year of
// history (reads, writes, spans with a sensor losing sensitivity) chosen, and each of the
// three detail pages.
#include "app/MessageTable.h"
#include "fleet/FleetStore.h"
#include "state/AppState.h"
#include "support/FleetSupport.h"
#include "support/ScreenshotSupport.h"
#include "ui/common/FlexGrid.h"
#include "ui/fleet/frmFleet.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace fleettest;

namespace {

bool FillFleet(FleetStore& store) {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QStringList stations{"Plant A", "Plant B", "Tank farm", "Workshop"};
    const QStringList users{"OPS-01", "OPS-02", "MAINT-7", "LAB", "NIGHT"};
    // Days since each instrument's last calibration; with a 180-day interval.
    const QList<int> ages{190, 171, 40, 12, 200, 169, 90, 3, 175, 60, 181, 7};
    for (int n = 0; n < int(ages.size()); ++n) {
        const QString serial = QStringLiteral("TQ58-%1").arg(2401 + n * 7, 6, 10, QChar(u'0'));
        const QString station = stations.at(n % stations.size());
        const QString user = users.at(n % users.size());
        if (n == 0)
            continue; // the instrument with a history below
        const QDateTime calibrated = now.addDays(-ages.at(n));
        FleetEvent read = Event(serial, station, user, QStringLiteral("read"), now.addDays(-n));
        read.snapshot = Snapshot(calibrated, 180, user);
        if (!store.record(read))
            return false;
    }
    // A year of one instrument: monthly reads, a threshold changed, spans whose "before" falls.
    const QString serial = QStringLiteral("TQ58-002401");
    for (int month = 12; month >= 1; --month) {
        const QDateTime when = now.addDays(-month * 30 - 191);
        FleetEvent span = Event(serial, "Plant A", "OPS-01", "calibrate span", when);
        AttachSpan(span, 50.0f - float(12 - month) * 0.9f, 50.0f + float(month % 3) * 0.2f);
        FleetEvent read = Event(serial, "Plant A", "OPS-01", "read", when.addSecs(600));
        read.snapshot = Snapshot(when, 180, "OPS-01", month > 6 ? 25.0f : 20.0f);
        if (!store.record(span) || !store.record(read))
            return false;
    }
    FleetEvent write = Event(serial, "Plant A", "OPS-01", "write", now.addDays(-191 - 180));
    write.changes =
        QJsonArray{QJsonObject{{"setting", "Warning[2]"}, {"before", 25}, {"after", 20}}};
    FleetEvent failed = Event(serial, "Plant A", "OPS-01", "read", now.addDays(-195));
    failed.outcome = FleetOutcome::Failed;
    return store.record(write) && store.record(failed);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QDir out = shots::OutputFolder(argc, argv);
    QTemporaryDir work;
    appState().StartFolder = work.path();
    const QString db = QDir(work.path()).filePath(QStringLiteral("fleet.sqlite"));
    {
        FleetStore store(*ParseFleetLocation(db));
        QString error;
        if (!store.open(&error) || !FillFleet(store)) {
            qWarning("the fleet was not recorded: %s", qPrintable(error));
            return 1;
        }
    }
    for (const QString& language : {QStringLiteral("en"), QStringLiteral("ja")}) {
        SetMessageLanguage(language);
        frmFleet w(db);
        w.selectInstrument(QStringLiteral("TQ58-002401"));
        w.vfgHistory()->setCurrentCell(1, 0);
        for (int tab = 0; tab < w.tabs()->count(); ++tab) {
            w.tabs()->setCurrentIndex(tab);
            shots::Save(&w, out, QStringLiteral("fleet_%1_%2").arg(language).arg(tab));
        }
        w.cmbStatus()->setCurrentIndex(1);
        shots::Save(&w, out, QStringLiteral("fleet_%1_overdue").arg(language));
    }
    return 0;
}
