#include "ui/common/FontHelpers.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QWidget>

QString JapaneseFallbackFamily() {
    static const QString family = [] {
        const QStringList installed = QFontDatabase::families(QFontDatabase::Japanese);
        for (const char* preferred : {"Noto Sans CJK JP", "Noto Sans JP", "IPAexGothic",
                                      "IPAGothic", "TakaoGothic", "VL Gothic"}) {
            const QString name = QString::fromLatin1(preferred);
            if (installed.contains(name, Qt::CaseInsensitive))
                return name;
        }
        return installed.value(0);
    }();
    return family;
}

QFont WithJapaneseFallback(QFont font) {
    const QString fallback = JapaneseFallbackFamily();
    if (fallback.isEmpty())
        return font;
    const QString resolved = QFontInfo(font).family();
    if (QFontDatabase::writingSystems(resolved).contains(QFontDatabase::Japanese))
        return font;
    QStringList families = font.families();
    if (families.isEmpty())
        families << resolved;
    families << fallback;
    font.setFamilies(families);
    return font;
}

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
    return WithJapaneseFallback(f);
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
