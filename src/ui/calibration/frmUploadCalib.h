#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

// The modal progress window of a zero or span adjustment or a bump test. Its timer fires once right
// after the window is shown and runs the adjustment it was given; the window closes itself when the
// adjustment has ended, whatever its outcome.
class frmUploadCalib : public QDialog {
    Q_OBJECT
public:
    // The caption follows the program's ProgressTask (zero, span or bump test) at creation;
    // only the bump test offers the cancel button.
    explicit frmUploadCalib(std::function<void()> adjustment, QWidget* parent = nullptr);

    bool Canceled() const { return m_canceled; }
    void setCanceled(bool on) { m_canceled = on; }
    QLabel* lblUpload() const { return m_lblUpload; }
    QPushButton* cmdUpload() const { return m_cmdUpload; }

signals:
    // The operator pressed the cancel button: the caller cancels the running exchange.
    void cancelRequested();

private slots:
    void tmrInter_Timer();
    void cmdUpload_Click();

protected:
    void reject() override; // Escape does not end an adjustment that is talking to the instrument

private:
    void applySize();

    std::function<void()> m_adjustment;
    QLabel* m_lblUpload;
    QProgressBar* m_amnUpload;
    QPushButton* m_cmdUpload;
    QTimer* m_tmrInter;
    bool m_canceled = false;
    bool m_running = false;
};
