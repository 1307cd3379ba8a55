#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

// The modeless progress dialog of long operations. Its texts follow the program's
// ProgressTask when it is created; callers then set the caption and the label.
class frmUpload : public QDialog {
    Q_OBJECT
public:
    explicit frmUpload(QWidget* parent = nullptr);

    bool Canceled() const { return m_canceled; }
    void setCanceled(bool b) { m_canceled = b; }
    void setLabel(const QString& text);
    QString label() const;
    QPushButton* cmdUpload() const { return m_cmdUpload; }

signals:
    // The operator pressed Cancel: the caller cancels the running exchange.
    void cancelRequested();

private slots:
    void cmdUpload_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* m_lblUpload;
    QProgressBar* m_amnUpload;
    QPushButton* m_cmdUpload;
    QTimer* m_tmrInter;
    bool m_canceled = false;
};
