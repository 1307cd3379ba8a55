#include "ui/common/FontHelpers.h"

#include <QWidget>

QFont ToQFont(const FontSpec& font) {
    QFont f;
    if (!font.Name.trimmed().isEmpty())
        f.setFamily(font.Name);
    if (font.Size > 0 && font.Size < 200)
        f.setPointSizeF(font.Size);
    f.setBold(font.Bold);
    f.setItalic(font.Italic);
    f.setUnderline(font.Underline);
    f.setStrikeOut(font.Strikethrough);
    return f;
}

void CopyFont(FontSpec& t, const FontSpec& s) {
    t.Bold = s.Bold;
    t.Charset = s.Charset;
    t.Italic = s.Italic;
    t.Name = s.Name;
    t.Size = s.Size;
    t.Strikethrough = s.Strikethrough;
    t.Underline = s.Underline;
    t.Weight = s.Weight;
}

void ApplyAppFont(QWidget* window) {
    if (!window)
        return;
    const QFont f = ToQFont(appState().AppFont);
    window->setFont(f);
    const auto children = window->findChildren<QWidget*>();
    for (QWidget* w : children)
        w->setFont(f);
}
