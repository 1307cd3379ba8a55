#include "ui/calibration/frmUploadCalib.h"

#include "app/MessageTable.h"
#include "state/AppState.h"
#include "ui/common/FontHelpers.h"
#include "ui/common/WindowHelpers.h"

#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

frmUploadCalib::frmUploadCalib(std::function<void()> adjustment, QWidget* parent)
    : QDialog(parent), m_adjustment(std::move(adjustment)) {
    setObjectName(QStringLiteral("frmUploadCalib"));
    setModal(true);
    m_lblUpload = new QLabel(this);
    m_lblUpload->setAlignment(Qt::AlignCenter);
    m_amnUpload = new QProgressBar(this);
    m_amnUpload->setRange(0, 0); // indeterminate: the adjustment's animation
    m_amnUpload->setTextVisible(false);
    m_amnUpload->setAccessibleName(LoadMessage(6001));
    m_cmdUpload = new QPushButton(this);
    m_cmdUpload->setText(LoadMessage(6005));
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(m_amnUpload);
    lay->addWidget(m_lblUpload);
    lay->addWidget(m_cmdUpload, 0, Qt::AlignHCenter);
    connect(m_cmdUpload, &QPushButton::clicked, this, &frmUploadCalib::cmdUpload_Click);
    ApplyAppFont(this);

    const ProgressTask task = appState().ProgressTask;
    if (task == ProgressTask::ZeroAdjustment || task == ProgressTask::SpanAdjustment) {
        const QString caption = LoadMessage(task == ProgressTask::ZeroAdjustment ? 6002 : 6003);
        setWindowTitle(caption);
        m_lblUpload->setText(caption);
        m_cmdUpload->setVisible(false);
    } else if (task == ProgressTask::BumpTest) {
        // The bump test writes nothing to the instrument and may take its whole time limit:
        // it can be cancelled.
        setWindowTitle(LoadMessage(5800));
        m_lblUpload->setText(LoadMessage(5800));
        m_cmdUpload->setAutoDefault(false);
    }
    applySize();

    m_tmrInter = new QTimer(this);
    m_tmrInter->setSingleShot(true);
    m_tmrInter->setInterval(1);
    connect(m_tmrInter, &QTimer::timeout, this, &frmUploadCalib::tmrInter_Timer);
    m_tmrInter->start();
}

void frmUploadCalib::applySize() {
    const int labelHeight = m_lblUpload->sizeHint().height();
    const int width = 288 + TwipsToPixels(240, Qt::Horizontal);
    const int height = 64 + (m_cmdUpload->isHidden() ? 2 * labelHeight : int(2.6 * labelHeight));
    setFixedSize(qMax(width, minimumSizeHint().width()), qMax(height, minimumSizeHint().height()));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void frmUploadCalib::tmrInter_Timer() {
    m_tmrInter->stop();
    m_running = true;
    if (m_adjustment)
        m_adjustment();
    m_running = false;
    accept();
}

void frmUploadCalib::cmdUpload_Click() {
    m_lblUpload->setText(LoadMessage(6006));
    m_canceled = true;
    m_cmdUpload->setEnabled(false);
    emit cancelRequested();
}

void frmUploadCalib::reject() {
    if (!m_running)
        QDialog::reject();
}
