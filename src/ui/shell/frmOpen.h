#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QTimer;

// The splash window: product picture, title, version and company, closed by its timer.
class frmOpen : public QDialog {
    Q_OBJECT
public:
    explicit frmOpen(QWidget* parent = nullptr, int intervalMs = 2500);

    QLabel* lblCompany() const { return m_lblCompany; }
    QLabel* lblVersion() const { return m_lblVersion; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void tmrTimer_Timer();

private:
    QFrame* m_fraOpen;
    QLabel* m_imgPellwick;
    QLabel* m_lblTitle;
    QLabel* m_lblTM;
    QLabel* m_lblPCs;
    QLabel* m_lblVersion;
    QLabel* m_lblCopyright;
    QLabel* m_lblCompany;
    QTimer* m_tmrTimer;
};

// The product picture (drawn, 180 x 180 pixels).
QPixmap ProductPicture();
