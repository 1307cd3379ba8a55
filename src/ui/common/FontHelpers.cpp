#include "ui/common/FontHelpers.h"

#include <QWidget>

QFont ToQFont(const FontSpec& spec) {
    QFont f;
    if (!spec.Name.trimmed().isEmpty())
        f.setFamily(spec.Name);
    if (spec.Size > 0 && spec.Size < 200)
        f.setPointSizeF(spec.Size);
    f.setBold(spec.Bold);
    f.setItalic(spec.Italic);
    f.setUnderline(spec.Underline);
    f.setStrikeOut(spec.Strikethrough);
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
