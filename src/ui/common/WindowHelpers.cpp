#include "ui/common/WindowHelpers.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QWidget>

void SetControlEnabled(QWidget* control, bool enabled) {
    if (!control)
        return;
    control->setEnabled(enabled);
    QPalette p = control->palette();
    const QPalette base = QApplication::palette(control);
    p.setColor(QPalette::Base, enabled ? base.color(QPalette::Active, QPalette::Base)
                                       : base.color(QPalette::Active, QPalette::Button));
    p.setColor(QPalette::Text, enabled ? base.color(QPalette::Active, QPalette::Text)
                                       : base.color(QPalette::Disabled, QPalette::Text));
    control->setPalette(p);
}

QWidget* FindForm(const QString& name) {
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows)
        if (w->objectName() == name)
            return w;
    return nullptr;
}

int TwipsToPixels(double twips, Qt::Orientation direction) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = !screen                       ? 96.0
                       : direction == Qt::Horizontal ? screen->logicalDotsPerInchX()
                                                     : screen->logicalDotsPerInchY();
    return int(twips * dpi / 1440.0 + 0.5);
}

QSize ClientSizeTwips(const QWidget* window) {
    if (!window)
        return {};
    const double tx = 1440.0 / window->logicalDpiX();
    const double ty = 1440.0 / window->logicalDpiY();
    return {int(window->width() * tx + 0.5), int(window->height() * ty + 0.5)};
}
