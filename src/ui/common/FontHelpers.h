#pragma once

#include "state/AppState.h"

#include <QFont>

class QWidget;

// The font as a QFont, with a Japanese fallback family behind it (see WithJapaneseFallback).
QFont ToQFont(const FontSpec& font);
// A font whose own family has no Japanese glyphs gets a Japanese font as its next family, so
// the Japanese texts never show as empty boxes and kanji take their Japanese shapes rather
// than whatever CJK font the system would pick. Unchanged when no Japanese font is installed.
QFont WithJapaneseFallback(QFont font);
// The installed family chosen for Japanese texts; empty when there is none.
QString JapaneseFallbackFamily();
// Copies Bold, Charset, Italic, Name, Size, Strikethrough, Underline and Weight.
void CopyFont(FontSpec& target, const FontSpec& source);
// Applies the program font to a window and every control in it.
void ApplyAppFont(QWidget* window);
