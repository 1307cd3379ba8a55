#include "ui/shell/frmOpen.h"

#include "app/MessageTable.h"
#include "ui/common/UiServices.h"

#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QTimer>

QPixmap ProductPicture() {
    QPixmap pm(180, 180);
    pm.fill(Qt::white);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    // Instrument body.
    p.setPen(QPen(QColor(40, 40, 40), 3));
    p.setBrush(QColor(255, 190, 0));
    p.drawRoundedRect(QRectF(45, 15, 90, 150), 18, 18);
    // Display.
    p.setBrush(QColor(30, 60, 40));
    p.drawRoundedRect(QRectF(58, 35, 64, 44), 6, 6);
    p.setPen(QColor(120, 255, 140));
    QFont f(QStringLiteral("Arial"), 9, QFont::Bold);
    p.setFont(f);
    p.drawText(QRectF(58, 37, 64, 20), Qt::AlignCenter, QStringLiteral("20.9"));
    p.drawText(QRectF(58, 56, 64, 20), Qt::AlignCenter, QStringLiteral("0 0 0"));
    // Keys and sensor grille.
    p.setPen(QPen(QColor(40, 40, 40), 2));
    p.setBrush(QColor(60, 60, 60));
    for (int i = 0; i < 3; ++i)
        p.drawEllipse(QPointF(66 + i * 24, 98), 7, 7);
    for (int i = 0; i < 4; ++i)
        p.drawLine(QPointF(70, 122 + i * 9), QPointF(110, 122 + i * 9));
    return pm;
}

frmOpen::frmOpen(QWidget* parent, int intervalMs) : QDialog(parent, Qt::SplashScreen) {
    setObjectName(QStringLiteral("frmOpen"));
    m_fraOpen = new QFrame(this);
    m_fraOpen->setFrameShape(QFrame::Box);
    m_fraOpen->setLineWidth(2);
    m_imgPellwick = new QLabel(m_fraOpen);
    m_imgPellwick->setPixmap(ProductPicture());
    m_imgPellwick->setFixedSize(180, 180);

    QFont arial(QStringLiteral("Arial"));
    m_lblTitle = new QLabel(QStringLiteral("TQ-5800 Setup Program"), m_fraOpen);
    QFont titleFont = arial;
    titleFont.setPointSize(18);
    titleFont.setBold(true);
    m_lblTitle->setFont(titleFont);
    m_lblTM = new QLabel(QStringLiteral("TM"), m_fraOpen);
    QFont small = arial;
    small.setPointSize(7);
    m_lblTM->setFont(small);
    m_lblTM->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_lblPCs = new QLabel(QStringLiteral("for Windows"), m_fraOpen);
    QFont sub = arial;
    sub.setPointSize(12);
    m_lblPCs->setFont(sub);
    m_lblVersion = new QLabel(QStringLiteral("P.No.") + QStringLiteral("04765"), m_fraOpen);
    m_lblVersion->setFont(arial);

    const bool english = LoadMessage(101) == QLatin1String("EN");
    const QString company =
        english ? QStringLiteral("Norvel, Inc.") : QStringLiteral("Selvane CO.,LTD.");
    m_lblCopyright = new QLabel(QStringLiteral("Copyright (C) %1").arg(company), m_fraOpen);
    m_lblCopyright->setFont(arial);
    m_lblCompany = new QLabel(company, m_fraOpen);
    QFont companyFont = arial;
    companyFont.setPointSize(11);
    companyFont.setBold(true);
    m_lblCompany->setFont(companyFont);

    auto* grid = new QGridLayout(m_fraOpen);
    grid->setContentsMargins(16, 16, 24, 16);
    grid->setHorizontalSpacing(18);
    grid->addWidget(m_imgPellwick, 0, 0, 6, 1, Qt::AlignTop);
    auto* titleRow = new QHBoxLayout;
    titleRow->setSpacing(2);
    titleRow->addWidget(m_lblTitle);
    titleRow->addWidget(m_lblTM, 0, Qt::AlignTop);
    titleRow->addStretch();
    grid->addLayout(titleRow, 0, 1);
    grid->addWidget(m_lblPCs, 1, 1);
    grid->setRowStretch(2, 1);
    grid->addWidget(m_lblVersion, 3, 1);
    grid->addWidget(m_lblCopyright, 4, 1);
    grid->addWidget(m_lblCompany, 5, 1);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_fraOpen);
    adjustSize();
    setFixedSize(sizeHint());

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect s = screen->geometry();
        move((s.width() - width()) / 2, (s.height() - height()) / 2);
    }
    m_fraOpen->installEventFilter(this);
    m_tmrTimer = new QTimer(this);
    m_tmrTimer->setSingleShot(true);
    m_tmrTimer->setInterval(intervalMs);
    connect(m_tmrTimer, &QTimer::timeout, this, &frmOpen::tmrTimer_Timer);
    m_tmrTimer->start();
}

void frmOpen::tmrTimer_Timer() {
    m_tmrTimer->stop();
    accept();
}

bool frmOpen::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_fraOpen && event->type() == QEvent::MouseButtonDblClick) {
        ui().inform(this, QStringLiteral("Pause!!"), QStringLiteral("Pause"));
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
