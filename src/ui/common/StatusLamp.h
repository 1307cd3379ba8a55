#pragma once

#include <QColor>
#include <QWidget>

// One status lamp: a filled rounded shape with a border, in the colour pair of its state.
class StatusLamp : public QWidget {
    Q_OBJECT
public:
    explicit StatusLamp(QWidget* parent = nullptr);

    void setColors(const QColor& fill, const QColor& border);
    QColor fillColor() const { return m_fill; }
    QColor borderColor() const { return m_border; }
    QSize sizeHint() const override { return {28, 16}; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QColor m_fill{160, 160, 160};
    QColor m_border{128, 128, 128};
};
