#pragma once

#include <QFont>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QString>
#include <QStringList>
#include <memory>

// The fonts of printed records, in the order Qt is to try them: a Latin font for every Latin
// letter and digit, then a Japanese font whose glyphs each map back to one character, so that
// the text layer of the PDF says what the page shows (a serial number must be found by a
// search through an archive of PDFs). Fonts that also map the Kangxi radicals onto the
// ideographs' glyphs are taken only when nothing else is installed: their kanji extract as
// radicals.
QStringList RecordFontFamilies();

// A one-page A4 PDF drawn top-down in points (1/72 inch), written through a temporary file so
// that a failed write leaves no half-written document. Needs a QGuiApplication (fonts).
class PdfPage {
public:
    PdfPage(const QString& path, const QString& title);
    ~PdfPage();
    Q_DISABLE_COPY_MOVE(PdfPage)

    // False with a description when the file or the painter could not be opened.
    bool begin(QString* error);
    // Ends the page and commits the file; false with a description on failure.
    bool finish(QString* error);

    void title(const QString& text);
    void heading(const QString& text);
    // A label and its value; an empty value gets a line to fill in by hand.
    void field(const QString& label, const QString& value);
    // A table row; `widths` are shares of the page width, `rightAligned` the columns of numbers.
    void row(const QStringList& cells, const QList<double>& widths, const QList<int>& rightAligned,
             bool bold = false);
    void note(const QString& text);
    void gap(double points) { m_y += points; }

private:
    void body();

    QSaveFile m_file;
    QString m_title;
    std::unique_ptr<QPdfWriter> m_pdf;
    QPainter m_p;
    double m_width = 0;
    double m_y = 0;
};
