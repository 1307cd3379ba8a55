#pragma once

#include <QColor>
#include <QWidget>

// One status lamp: a filled rounded shape with a border, in the colour pair of its state.
class StatusLamp : public QWidget {
    Q_OBJECT
public:
    explicit StatusLamp(QWidget* parent = nullptr);

    void setColors(const QColor& fill, const QColor& border);
    // What the lamp shows, for those who do not see its colour: `caption` names it (the
    // label beside it), `state` is its state in words. Both go to the accessibility interface
    // and to the tooltip.
    void setStateText(const QString& caption, const QString& state);
    QString stateText() const { return m_state; }
    QColor fillColor() const { return m_fill; }
    QColor borderColor() const { return m_border; }
    QSize sizeHint() const override { return {28, 16}; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QColor m_fill{160, 160, 160};
    QColor m_border{128, 128, 128};
    QString m_state;
};
