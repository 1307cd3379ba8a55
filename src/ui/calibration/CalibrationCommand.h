#pragma once

#include <QColor>
#include <QString>
#include <functional>

class QWidget;
class uclHbif;

// The main window's "Calibration" command: the instrument's pump on, the calibration window
// modal, the pump off when it closes.
void RunCalibrationCommand(QWidget* parent, uclHbif& link,
                           const std::function<void(const QString&, const QColor&)>& addInfo);
