#include "ui/calibration/CalibrationCommand.h"

#include "ops/OperationSequences.h"
#include "ui/calibration/frmCalibration.h"

void RunCalibrationCommand(QWidget* parent, uclHbif& link,
                           const std::function<void(const QString&, const QColor&)>& addInfo) {
    OperationSequences ops(link);
    ops.SetPump(true);
    {
        frmCalibration window(frmCalibration::Host{&link, addInfo}, parent);
        window.exec();
    }
    ops.SetPump(false);
}
