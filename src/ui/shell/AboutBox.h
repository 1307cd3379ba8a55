#pragma once

#include <QString>

class QWidget;

// The about box: the program's title, version (with the git commit it was built from) and the
// Qt it runs on.
QString AboutText();
void ShowAboutBox(QWidget* parent);
// Offers the about box on a window: F1, and the window's context menu.
void InstallAboutBox(QWidget* window);
