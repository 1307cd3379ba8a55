#include "ui/shell/frmPassword.h"

#include "app/MessageTable.h"
#include "state/AppState.h"
#include "ui/common/FontHelpers.h"
#include "ui/common/UiServices.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

frmPassword::frmPassword(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmPassword"));
    setWindowTitle(AppTitle());
    m_lblPass = new QLabel(LoadMessage(7005), this);
    m_txtPass = new QLineEdit(this);
    m_txtPass->setEchoMode(QLineEdit::Password);
    m_txtPass->clear();
    m_lblPass->setBuddy(m_txtPass);
    m_txtPass->setAccessibleName(m_lblPass->text());
    m_cmdOK = new QPushButton(LoadMessage(7010), this);
    m_cmdCancel = new QPushButton(LoadMessage(7011), this);
    m_cmdOK->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cmdOK);
    buttons->addWidget(m_cmdCancel);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(m_lblPass);
    lay->addWidget(m_txtPass);
    lay->addLayout(buttons);
    connect(m_cmdOK, &QPushButton::clicked, this, &frmPassword::cmdOK_Click);
    connect(m_cmdCancel, &QPushButton::clicked, this, &frmPassword::cmdCancel_Click);
    ApplyAppFont(this);
    setMinimumWidth(340);
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect s = screen->geometry();
        move((s.width() - width()) / 2, (s.height() - height()) / 2);
    }
}

void frmPassword::cmdOK_Click() {
    AppState& s = appState();
    if (m_txtPass->text().toUpper() == s.AccessPassword.toUpper()) {
        s.PasswordAccepted = true;
        emit passwordAccepted();
        close();
        return;
    }
    ui().message(this, LoadMessage(7101), LoadMessage(7102), UiServices::Critical, UiServices::Ok);
}

void frmPassword::cmdCancel_Click() {
    close();
}

void frmPassword::reject() {
    close();
}

void frmPassword::closeEvent(QCloseEvent* event) {
    // The base class would call reject(), which comes back here; finish the dialog directly.
    if (appState().PasswordAccepted) {
        event->accept();
        QDialog::done(QDialog::Accepted);
        return;
    }
    if (ui().ask(this, LoadMessage(5373), QStringLiteral("TQ-5800")) == UiServices::AnswerYes) {
        event->accept();
        QDialog::done(QDialog::Rejected);
    } else {
        event->ignore();
    }
}
