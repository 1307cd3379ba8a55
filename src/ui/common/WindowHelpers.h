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

class QAbstractButton;
// A caption with a keyboard mnemonic (Alt+letter): "&" before the first `letter` of the
// caption in either case, outside a literal "&&"; a caption without the letter (a Japanese
// one) gets "(&L)" after it, as Japanese programs write it.
QString WithMnemonic(const QString& caption, QChar letter);
void SetCaptionWithMnemonic(QAbstractButton* button, const QString& caption, QChar letter);
// No push button of `window` is pressed by Return in another control: a key typed into a text
// field must never start an action on the instrument.
void ClearDefaultButtons(QWidget* window);
// The main window's least width: the other windows open no wider, so that they fit wherever
// it does.
constexpr double MainWindowLeastWidthTwips = 11640;
// Resizes a window to `wanted`, but no larger than the screen it opens on leaves room for (at
// any scale factor) and no smaller than its layout needs.
void ResizeWithinScreen(QWidget* window, const QSize& wanted);
