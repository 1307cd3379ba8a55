#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// Guards the main window. The typed text is compared with AccessPassword, ignoring letter
// case; a refused close (No to "End ?") keeps the dialog open.
class frmPassword : public QDialog {
    Q_OBJECT
public:
    explicit frmPassword(QWidget* parent = nullptr);

    QLineEdit* txtPass() const { return m_txtPass; }
    QPushButton* cmdOK() const { return m_cmdOK; }
    QPushButton* cmdCancel() const { return m_cmdCancel; }

signals:
    // The password was accepted: the caller shows the main window.
    void passwordAccepted();

public slots:
    void cmdOK_Click();
    void cmdCancel_Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    QLabel* m_lblPass;
    QLineEdit* m_txtPass;
    QPushButton* m_cmdOK;
    QPushButton* m_cmdCancel;
};
