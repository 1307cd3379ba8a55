#pragma once

#include <QString>

struct BumpTestRecord;
struct CalibrationCertificate;

// The printed renderings of the calibration records: one-page A4 PDFs whose text layer says
// what the page shows. Need a QGuiApplication (fonts). Each file is written through a
// temporary file, so a failed write leaves no half-written document. False with a description
// in `error` on failure.
bool WriteCertificatePdf(const CalibrationCertificate& certificate, const QString& path,
                         QString* error = nullptr);
bool WriteBumpTestReportPdf(const BumpTestRecord& bumpTest, const QString& path,
                            QString* error = nullptr);
