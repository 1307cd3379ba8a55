#include "report/PdfPage.h"

#include "app/MessageTable.h"

#include <QFontDatabase>
#include <QPageLayout>
#include <QPageSize>
#include <QRawFont>

namespace {

// Latin fonts whose text mapping is sound, best first.
const char* const LatinFonts[] = {"DejaVu Sans", "Liberation Sans", "Noto Sans"};
// Japanese fonts, best first; any other installed font that writes Japanese follows them.
const char* const JapaneseFonts[] = {"IPAGothic", "IPAexGothic", "VL Gothic", "Droid Sans Fallback",
                                     "Noto Sans CJK JP"};

bool mapsRadicalsOntoIdeographs(const QString& family) {
    // U+2F4A KANGXI RADICAL TREE and U+6728 (tree) drawn by one glyph: a PDF text layer built
    // from the font's character map gives the radical back for the ideograph.
    const QRawFont raw = QRawFont::fromFont(QFont(family), QFontDatabase::Japanese);
    if (!raw.isValid() || !raw.supportsCharacter(QChar(0x2F4A)))
        return false;
    return raw.glyphIndexesForString(QString(QChar(0x2F4A))) ==
           raw.glyphIndexesForString(QString(QChar(0x6728)));
}

} // namespace

QStringList RecordFontFamilies() {
    const QStringList installed = QFontDatabase::families();
    QStringList out;
    for (const char* name : LatinFonts) {
        if (installed.contains(QLatin1String(name))) {
            out << QLatin1String(name);
            break;
        }
    }
    QStringList japanese;
    for (const char* name : JapaneseFonts)
        if (installed.contains(QLatin1String(name)))
            japanese << QLatin1String(name);
    for (const QString& f : QFontDatabase::families(QFontDatabase::Japanese))
        if (!japanese.contains(f))
            japanese << f;
    QStringList lastResort;
    for (const QString& f : std::as_const(japanese)) {
        if (mapsRadicalsOntoIdeographs(f)) {
            lastResort << f;
            continue;
        }
        out << f;
        break;
    }
    if (out.size() < 2 && !lastResort.isEmpty())
        out << lastResort.first();
    return out;
}

PdfPage::PdfPage(const QString& path, const QString& title) : m_file(path), m_title(title) {}

PdfPage::~PdfPage() {
    if (m_p.isActive())
        m_p.end();
}

bool PdfPage::begin(QString* error) {
    if (!m_file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = m_file.errorString();
        return false;
    }
    m_pdf = std::make_unique<QPdfWriter>(&m_file);
    m_pdf->setTitle(m_title);
    m_pdf->setCreator(LoadMessage(5001));
    m_pdf->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter));
    m_pdf->setResolution(72); // one device unit is one point
    if (!m_p.begin(m_pdf.get())) {
        if (error)
            *error = QStringLiteral("cannot draw the PDF");
        m_pdf.reset();
        m_file.cancelWriting();
        return false;
    }
    QFont f;
    f.setFamilies(RecordFontFamilies());
    // Ligatures ("fi") would put one character into the text layer for two.
    f.setStyleStrategy(QFont::PreferNoShaping);
    m_p.setFont(f);
    m_width = m_pdf->width();
    body();
    return true;
}

bool PdfPage::finish(QString* error) {
    if (!m_p.end()) {
        if (error)
            *error = QStringLiteral("cannot finish the PDF");
        m_pdf.reset();
        m_file.cancelWriting();
        return false;
    }
    m_pdf.reset();
    if (!m_file.commit()) {
        if (error)
            *error = m_file.errorString();
        return false;
    }
    return true;
}

void PdfPage::body() {
    QFont f = m_p.font();
    f.setPointSizeF(10);
    f.setBold(false);
    m_p.setFont(f);
}

void PdfPage::title(const QString& text) {
    QFont f = m_p.font();
    f.setPointSizeF(18);
    f.setBold(true);
    m_p.setFont(f);
    m_p.drawText(QRectF(0, m_y, m_width, 30), Qt::AlignHCenter | Qt::AlignVCenter, text);
    m_y += 44;
    body();
}

void PdfPage::heading(const QString& text) {
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

void PdfPage::field(const QString& label, const QString& value) {
    m_p.drawText(QRectF(0, m_y, 150, 16), Qt::AlignLeft | Qt::AlignVCenter, label);
    if (value.isEmpty()) // a line to fill in by hand
        m_p.drawLine(QPointF(150, m_y + 14), QPointF(m_width * 0.75, m_y + 14));
    else
        m_p.drawText(QRectF(150, m_y, m_width - 150, 16), Qt::AlignLeft | Qt::AlignVCenter, value);
    m_y += 20;
}

void PdfPage::row(const QStringList& cells, const QList<double>& widths,
                  const QList<int>& rightAligned, bool bold) {
    QFont f = m_p.font();
    f.setBold(bold);
    m_p.setFont(f);
    double x = 0;
    for (qsizetype i = 0; i < cells.size() && i < widths.size(); ++i) {
        const double w = widths[i] * m_width;
        const Qt::Alignment a = rightAligned.contains(int(i)) ? Qt::AlignRight : Qt::AlignLeft;
        m_p.drawText(QRectF(x + 4, m_y, w - 8, 18), a | Qt::AlignVCenter, cells[i]);
        x += w;
    }
    m_y += 20;
    m_p.setPen(QPen(Qt::lightGray, 0.5));
    m_p.drawLine(QPointF(0, m_y - 1), QPointF(m_width, m_y - 1));
    m_p.setPen(QPen(Qt::black));
    body();
}

void PdfPage::note(const QString& text) {
    m_p.drawText(QRectF(0, m_y, m_width, 16), Qt::AlignLeft | Qt::AlignVCenter, text);
    m_y += 18;
}
