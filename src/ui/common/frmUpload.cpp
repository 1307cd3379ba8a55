#include "ui/common/frmUpload.h"

#include "app/MessageTable.h"
#include "state/AppState.h"
#include "ui/common/FontHelpers.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

frmUpload::frmUpload(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmUpload"));
    setModal(false);
    m_lblUpload = new QLabel(this);
    m_lblUpload->setAlignment(Qt::AlignCenter);
    m_lblUpload->setWordWrap(true);
    m_amnUpload = new QProgressBar(this);
    m_amnUpload->setRange(0, 0); // indeterminate: the transfer animation
    m_amnUpload->setTextVisible(false);
    m_amnUpload->setAccessibleName(LoadMessage(6001));
    m_cmdUpload = new QPushButton(this);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(m_amnUpload);
    lay->addWidget(m_lblUpload);
    lay->addWidget(m_cmdUpload, 0, Qt::AlignHCenter);
    connect(m_cmdUpload, &QPushButton::clicked, this, &frmUpload::cmdUpload_Click);

    int caption = 6004;
    bool cancelVisible = false;
    switch (appState().ProgressTask) {
    case ProgressTask::Download:
        caption = 6001;
        cancelVisible = true;
        break;
    case ProgressTask::Upload:
        caption = 6001;
        break;
    case ProgressTask::ZeroAdjustment:
        caption = 6002;
        break;
    case ProgressTask::SpanAdjustment:
        caption = 6003;
        break;
    case ProgressTask::BumpTest:
        caption = 6004;
        cancelVisible = true;
        break;
    case ProgressTask::FlashCheck:
        caption = 6058;
        break;
    case ProgressTask::Idle:
        break;
    }
    setWindowTitle(LoadMessage(caption));
    m_lblUpload->setText(LoadMessage(caption));
    m_cmdUpload->setText(LoadMessage(6005));
    m_cmdUpload->setVisible(cancelVisible);
    ApplyAppFont(this);
    setMinimumWidth(320);
    if (parent)
        move(parent->geometry().center() - rect().center());

    // Keeps the dialog in front while the operation runs.
    m_tmrInter = new QTimer(this);
    m_tmrInter->setInterval(500);
    connect(m_tmrInter, &QTimer::timeout, this, [this] {
        if (isVisible())
            raise();
    });
    m_tmrInter->start();
}

void frmUpload::setLabel(const QString& text) {
    m_lblUpload->setText(text);
    m_lblUpload->repaint();
}

QString frmUpload::label() const {
    return m_lblUpload->text();
}

void frmUpload::cmdUpload_Click() {
    setLabel(LoadMessage(6006));
    m_canceled = true;
    m_cmdUpload->setEnabled(false);
    emit cancelRequested();
}

void frmUpload::closeEvent(QCloseEvent* event) {
    m_tmrInter->stop();
    QDialog::closeEvent(event);
}
