#include "report/CertificatePdf.h"

#include "app/MessageTable.h"
#include "app/NumberFormat.h"
#include "model/CalibrationCertificate.h"

#include <QFont>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace {

// Draws the page top-down in points (1/72 inch).
class Page {
public:
    Page(QPainter& p, double width) : m_p(p), m_width(width) {}

    void title(const QString& text) {
        QFont f = m_p.font();
        f.setPointSizeF(18);
        f.setBold(true);
        m_p.setFont(f);
        m_p.drawText(QRectF(0, m_y, m_width, 30), Qt::AlignHCenter | Qt::AlignVCenter, text);
        m_y += 44;
        body();
    }
    void heading(const QString& text) {
        m_y += 8;
        QFont f = m_p.font();
        f.setBold(true);
        m_p.setFont(f);
        m_p.drawText(QPointF(0, m_y + 12), text);
        m_y += 16;
        m_p.drawLine(QPointF(0, m_y), QPointF(m_width, m_y));
        m_y += 6;
        body();
    }
    void field(const QString& label, const QString& value) {
        m_p.drawText(QRectF(0, m_y, 150, 16), Qt::AlignLeft | Qt::AlignVCenter, label);
        if (value.isEmpty()) // a line to fill in by hand
            m_p.drawLine(QPointF(150, m_y + 14), QPointF(m_width * 0.75, m_y + 14));
        else
            m_p.drawText(QRectF(150, m_y, m_width - 150, 16), Qt::AlignLeft | Qt::AlignVCenter,
                         value);
        m_y += 20;
    }
    void row(const QStringList& cells, bool bold = false) {
        static const double widths[] = {0.22, 0.12, 0.16, 0.16, 0.16, 0.18};
        QFont f = m_p.font();
        f.setBold(bold);
        m_p.setFont(f);
        double x = 0;
        for (qsizetype i = 0; i < cells.size() && i < 6; ++i) {
            const double w = widths[i] * m_width;
            const Qt::Alignment a = i >= 2 && i <= 4 ? Qt::AlignRight : Qt::AlignLeft;
            m_p.drawText(QRectF(x + 4, m_y, w - 8, 18), a | Qt::AlignVCenter, cells[i]);
            x += w;
        }
        m_y += 20;
        m_p.setPen(QPen(Qt::lightGray, 0.5));
        m_p.drawLine(QPointF(0, m_y - 1), QPointF(m_width, m_y - 1));
        m_p.setPen(QPen(Qt::black));
        body();
    }
    void gap(double points) { m_y += points; }

private:
    void body() {
        QFont f = m_p.font();
        f.setPointSizeF(10);
        f.setBold(false);
        m_p.setFont(f);
    }

    QPainter& m_p;
    double m_width;
    double m_y = 0;
};

} // namespace

bool WriteCertificatePdf(const CalibrationCertificate& c, const QString& path, QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    {
        QPdfWriter pdf(&file);
        pdf.setTitle(LoadMessage(5705));
        pdf.setCreator(LoadMessage(5001));
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter));
        pdf.setResolution(72); // one device unit is one point
        QPainter painter;
        if (!painter.begin(&pdf)) {
            if (error)
                *error = QStringLiteral("cannot draw the PDF");
            file.cancelWriting();
            return false;
        }
        Page page(painter, pdf.width());
        page.title(LoadMessage(5705));
        page.heading(LoadMessage(5706));
        page.field(LoadMessage(5707), c.serialNo);
        page.field(LoadMessage(5708), c.userId);
        page.field(LoadMessage(5709), c.stationId);
        page.field(LoadMessage(8042), c.specNo);
        page.field(LoadMessage(5056),
                   c.romNumber ? FormatNumber(double(c.romNumber), QStringLiteral("00000"))
                               : QString());
        page.field(LoadMessage(5712), c.when.toString(QStringLiteral("yyyy/MM/dd hh:mm:ss")));
        page.field(LoadMessage(5713), c.nextDue.isValid()
                                          ? c.nextDue.toString(QStringLiteral("yyyy/MM/dd"))
                                          : QStringLiteral("-"));
        page.heading(LoadMessage(5216));
        page.row({LoadMessage(5714), LoadMessage(5730), LoadMessage(5715), LoadMessage(5716),
                  LoadMessage(5717), LoadMessage(5718)},
                 true);
        for (const CertificateChannel& ch : c.channels) {
            if (!ch.fitted)
                continue;
            page.row({ch.gas, ch.unit, CertificateReading(ch.concentration, ch.decimals),
                      CertificateReading(ch.before, ch.decimals),
                      CertificateReading(ch.after, ch.decimals), ch.resultText()});
        }
        page.gap(16);
        page.field(LoadMessage(5703), c.operatorName);
        page.field(LoadMessage(5704), c.cylinderLot);
        page.gap(12);
        page.field(LoadMessage(5729), QString());
        if (!painter.end()) {
            if (error)
                *error = QStringLiteral("cannot finish the PDF");
            file.cancelWriting();
            return false;
        }
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}
