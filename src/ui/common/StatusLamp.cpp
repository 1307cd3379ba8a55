#include "ui/common/StatusLamp.h"

#include "app/MessageTable.h"

#include <QPainter>

StatusLamp::StatusLamp(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void StatusLamp::setColors(const QColor& fill, const QColor& border) {
    m_fill = fill;
    m_border = border;
    update();
}

void StatusLamp::setStateText(const QString& caption, const QString& state) {
    m_state = state;
    setAccessibleName(caption);
    setAccessibleDescription(state);
    setToolTip(LoadMessage(5851, {caption, state}));
}

void StatusLamp::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(m_border, 2));
    p.setBrush(m_fill);
    p.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 4, 4);
}
