#pragma once

#include "app/AppState.h"

#include <QFont>

class QWidget;

QFont ToQFont(const FontSpec& font);
// Copies Bold, Charset, Italic, Name, Size, Strikethrough, Underline and Weight.
void CopyFont(FontSpec& target, const FontSpec& source);
// Applies the program font to a window and every control in it.
void ApplyAppFont(QWidget* window);
