#include "report/CertificatePdf.h"

#include "app/MessageTable.h"
#include "model/BumpTest.h"
#include "model/CalibrationCertificate.h"
#include "report/PdfPage.h"

namespace {

const QString DateFormat = QStringLiteral("yyyy/MM/dd hh:mm:ss");

void identity(PdfPage& page, const InstrumentIdentity& id) {
    page.heading(LoadMessage(5706));
    page.field(LoadMessage(5707), id.serialNo);
    page.field(LoadMessage(5708), id.userId);
    page.field(LoadMessage(5709), id.stationId);
    page.field(LoadMessage(8042), id.specNo);
    page.field(LoadMessage(5056), id.programNumber());
}

void signature(PdfPage& page, const QString& operatorName, const QString& lot) {
    page.gap(16);
    page.field(LoadMessage(5703), operatorName);
    page.field(LoadMessage(5704), lot);
    page.gap(12);
    page.field(LoadMessage(5729), QString());
}

} // namespace

bool WriteCertificatePdf(const CalibrationCertificate& c, const QString& path, QString* error) {
    PdfPage page(path, LoadMessage(5705));
    if (!page.begin(error))
        return false;
    page.title(LoadMessage(5705));
    identity(page, c.identity);
    page.field(LoadMessage(5712), c.when.toString(DateFormat));
    page.field(LoadMessage(5713), c.nextDue.isValid()
                                      ? c.nextDue.toString(QStringLiteral("yyyy/MM/dd"))
                                      : QStringLiteral("-"));
    page.field(LoadMessage(5817), c.verdictText());
    page.heading(LoadMessage(5216));
    const QList<double> widths{0.22, 0.12, 0.16, 0.16, 0.16, 0.18};
    const QList<int> numbers{2, 3, 4};
    page.row({LoadMessage(5714), LoadMessage(5730), LoadMessage(5715), LoadMessage(5716),
              LoadMessage(5717), LoadMessage(5718)},
             widths, numbers, true);
    for (const CertificateChannel& ch : c.channels) {
        if (!ch.fitted)
            continue;
        page.row({ch.gas, ch.unit, RecordReading(ch.concentration, ch.decimals),
                  RecordReading(ch.before, ch.decimals), RecordReading(ch.after, ch.decimals),
                  ch.resultText()},
                 widths, numbers);
    }
    signature(page, c.operatorName, c.cylinderLot);
    return page.finish(error);
}

bool WriteBumpTestReportPdf(const BumpTestRecord& r, const QString& path, QString* error) {
    PdfPage page(path, LoadMessage(5810));
    if (!page.begin(error))
        return false;
    page.title(LoadMessage(5810));
    identity(page, r.identity);
    page.field(LoadMessage(5826), r.when.toString(DateFormat));
    page.field(LoadMessage(5806), QString::number(r.criteria.withinSeconds));
    page.field(LoadMessage(5817), r.verdictText());
    page.heading(LoadMessage(5800));
    const QList<double> widths{0.11, 0.09, 0.12, 0.14, 0.11, 0.24, 0.19};
    const QList<int> numbers{2, 3, 4, 5};
    page.row({LoadMessage(5714), LoadMessage(5730), LoadMessage(5807), LoadMessage(5816),
              LoadMessage(5808), LoadMessage(5809), LoadMessage(5718)},
             widths, numbers, true);
    for (const BumpChannel& ch : r.channels) {
        if (!ch.fitted)
            continue;
        page.row({ch.gas, ch.unit, RecordReading(ch.applied, ch.decimals),
                  RecordReading(ch.passLevel, ch.decimals),
                  ch.tested() ? RecordReading(ch.peak, ch.decimals) : QStringLiteral("-----"),
                  ch.timeText(), ch.resultText()},
                 widths, numbers);
    }
    page.gap(6);
    page.note(r.criteria.sharePercent > 0
                  ? LoadMessage(5822, {QString::number(r.criteria.sharePercent)})
                  : LoadMessage(5821));
    signature(page, r.operatorName, r.cylinderLot);
    return page.finish(error);
}
