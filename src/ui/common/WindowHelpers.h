#pragma once

#include <QSize>
#include <QString>
#include <Qt>

class QWidget;

// Sets a control's enabled state with the look the windows use: enabled controls in the
// window colours, disabled ones on the button face with grey text.
void SetControlEnabled(QWidget* control, bool enabled);
// The first open top-level window whose object name is `name`, or nullptr.
QWidget* FindForm(const QString& name);
// Twips (1440 to the inch) as pixels of the primary screen, across or down.
int TwipsToPixels(double twips, Qt::Orientation direction);
// The client area of a window in twips (1440 to the inch).
QSize ClientSizeTwips(const QWidget* window);
