#include "ui/common/WindowHelpers.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGuiApplication>
#include <QLayout>
#include <QPalette>
#include <QPushButton>
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

QString WithMnemonic(const QString& caption, QChar letter) {
    const QChar upper = letter.toUpper();
    for (int i = 0; i < caption.size(); ++i) {
        if (caption.at(i) == u'&') {
            ++i; // "&&" is a literal ampersand; a caption with its own mnemonic keeps it
            if (i < caption.size() && caption.at(i) != u'&')
                return caption;
            continue;
        }
        if (caption.at(i).toUpper() == upper)
            return caption.left(i) + u'&' + caption.mid(i);
    }
    return caption + QStringLiteral("(&") + upper + u')';
}

void SetCaptionWithMnemonic(QAbstractButton* button, const QString& caption, QChar letter) {
    if (button)
        button->setText(WithMnemonic(caption, letter));
}

void ClearDefaultButtons(QWidget* window) {
    if (!window)
        return;
    const auto buttons = window->findChildren<QPushButton*>();
    for (QPushButton* b : buttons) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
}

void ResizeWithinScreen(QWidget* window, const QSize& wanted) {
    if (!window)
        return;
    QSize size = wanted;
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        // Room for the frame and a panel: what is left of the available area.
        const QSize room = screen->availableGeometry().size() * 0.95;
        size = size.boundedTo(room);
    }
    if (window->layout())
        size = size.expandedTo(window->layout()->minimumSize());
    window->resize(size);
}
