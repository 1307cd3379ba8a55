#pragma once

#include <QString>

struct CalibrationCertificate;

// Writes the certificate as a one-page A4 PDF. Needs a QGuiApplication (fonts). The file is
// written through a temporary file, so a failed write leaves no half-written certificate.
// False with a description in `error` on failure.
bool WriteCertificatePdf(const CalibrationCertificate& certificate, const QString& path,
                         QString* error = nullptr);
