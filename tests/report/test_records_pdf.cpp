// The printed records read back as an archive's search reads them: the text layer of the
// certificate and of the bump test report, in English and Japanese, with the window's CJK font
// as the application's font, holds the serial number, the five-digit program number, the
// station, gas names with their digits, operator, lot and every value the record holds.
#include "app/MessageTable.h"
#include "model/BumpTest.h"
#include "model/CalibrationCertificate.h"
#include "report/CertificatePdf.h"
#include "support/PdfText.h"

#include <QFont>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

namespace {

InstrumentIdentity identity() {
    return {QStringLiteral("TQ58-2403-00127"), QStringLiteral("FIELD SERVICE 1"),
            QStringLiteral("PLANT A-7"), QStringLiteral("STD-J01"), 4426};
}

void gas(CertificateChannel& c, const char* name, const char* unit, int decimals) {
    c.fitted = true;
    c.gas = QString::fromLatin1(name);
    c.unit = QString::fromLatin1(unit);
    c.decimals = decimals;
}

CalibrationCertificate certificate() {
    CalibrationCertificate c;
    c.identity = identity();
    c.when = QDateTime(QDate(2026, 5, 4), QTime(10, 15, 30));
    c.nextDue = QDate(2026, 11, 4);
    c.operatorName = QStringLiteral("K. Tanaka");
    c.cylinderLot = QStringLiteral("LOT-4471");
    gas(c.channels[0], "CH4", "%LEL", 0);
    gas(c.channels[1], "O2", "vol%", 1);
    gas(c.channels[2], "H2S", "ppm", 1);
    gas(c.channels[3], "CO", "ppm", 0);
    gas(c.channels[4], "CH4", "vol%", 0);
    const float conc[] = {50, 12.0f, 10.0f, 100, 50};
    const float before[] = {46, 12.4f, 9.0f, 93, 48};
    const SpanResult result[] = {SpanResult::Passed, SpanResult::Passed, SpanResult::Failed,
                                 SpanResult::Passed, SpanResult::NotSelected};
    for (int i = 0; i < 5; ++i) {
        c.channels[i].result = result[i];
        c.channels[i].before = before[i];
        if (result[i] == SpanResult::NotSelected)
            continue;
        c.channels[i].concentration = conc[i];
        c.channels[i].after = result[i] == SpanResult::Passed ? conc[i] : -101.0f;
    }
    c.channels[3].after = UnknownReading; // a history that could not be read
    return c;
}

BumpTestRecord bumpTest() {
    BumpTestRecord r;
    r.identity = identity();
    r.when = QDateTime(QDate(2026, 5, 4), QTime(11, 0, 5));
    r.operatorName = QStringLiteral("K. Tanaka");
    r.cylinderLot = QStringLiteral("LOT-4471");
    const char* names[] = {"CH4", "O2", "H2S", "CO", "CH4"};
    for (int i = 0; i < 5; ++i) {
        BumpChannel& c = r.channels[i];
        c.fitted = true;
        c.gas = QString::fromLatin1(names[i]);
        c.unit = i == 1 || i == 4 ? QStringLiteral("vol%") : QStringLiteral("ppm");
        c.decimals = i == 1 ? 1 : 0;
    }
    r.channels[2] = BumpChannel{true, BumpResult::Passed, "H2S", "ppm", 0, false, 20, 10, 19, 4};
    r.channels[3] = BumpChannel{true, BumpResult::Failed, "CO", "ppm", 0, false, 100, 25, 2, -1};
    return r;
}

} // namespace

class TestRecordsPdf : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // The window's font: a CJK font, chosen for Japanese, applied program-wide.
        QGuiApplication::setFont(QFont(QStringLiteral("Noto Sans CJK JP")));
    }

    void certificateTextSaysWhatThePageShows_data() {
        QTest::addColumn<QString>("language");
        QTest::newRow("English") << "en";
        QTest::newRow("Japanese") << "ja";
    }
    void certificateTextSaysWhatThePageShows() {
        QFETCH(QString, language);
        SetMessageLanguage(language);
        QTemporaryDir dir;
        const QString path = dir.filePath("cert.pdf");
        const CalibrationCertificate c = certificate();
        QString error;
        QVERIFY2(WriteCertificatePdf(c, path, &error), qPrintable(error));
        const QString text = pdftext::extract(path);
        for (const QString& s :
             {QStringLiteral("TQ58-2403-00127"), QStringLiteral("04426"),
              QStringLiteral("PLANT A-7"), QStringLiteral("STD-J01"), QStringLiteral("K. Tanaka"),
              QStringLiteral("LOT-4471"), QStringLiteral("2026/05/04 10:15:30"),
              QStringLiteral("2026/11/04"), LoadMessage(5705), LoadMessage(5707)})
            QVERIFY2(text.contains(s), qPrintable(s + " not in:\n" + text));
        // Each channel's row: gas, unit, span gas, before, after, result.
        const QStringList rows = pdftext::lines(text);
        for (const CertificateChannel& ch : c.channels) {
            const QString row = QStringList{ch.gas,
                                            ch.unit,
                                            RecordReading(ch.concentration, ch.decimals),
                                            RecordReading(ch.before, ch.decimals),
                                            RecordReading(ch.after, ch.decimals),
                                            ch.resultText()}
                                    .join(u' ');
            QVERIFY2(rows.contains(row), qPrintable(row + " not in:\n" + text));
        }
        QVERIFY(text.contains(LoadMessage(5801))); // unknown, said so
    }

    // A stored span is printed again from its JSON: the same certificate comes back, an
    // unknown reading still unknown and the system's "none" still -101.
    void certificateComesBackFromItsJson() {
        const CalibrationCertificate c = certificate();
        const QByteArray stored = QJsonDocument(CertificateToJson(c)).toJson();
        const auto back = CertificateFromJson(QJsonDocument::fromJson(stored).object());
        QVERIFY(back);
        QCOMPARE(back->when, c.when);
        QCOMPARE(back->nextDue, c.nextDue);
        QCOMPARE(back->identity.programNumber(), QStringLiteral("04426"));
        QCOMPARE(back->identity.specNo, c.identity.specNo);
        QCOMPARE(back->cylinderLot, c.cylinderLot);
        for (int i = 0; i < Calibration::Channels; ++i) {
            const CertificateChannel &was = c.channels[i], &is = back->channels[i];
            QCOMPARE(is.result, was.result);
            QCOMPARE(is.gas, was.gas);
            QCOMPARE(is.decimals, was.decimals);
            QCOMPARE(RecordReading(is.concentration, is.decimals),
                     RecordReading(was.concentration, was.decimals));
            QCOMPARE(RecordReading(is.before, is.decimals),
                     RecordReading(was.before, was.decimals));
            QCOMPARE(RecordReading(is.after, is.decimals), RecordReading(was.after, was.decimals));
        }
        QVERIFY(IsUnknown(back->channels[3].after));
        QCOMPARE(back->channels[2].after, -101.0f);
    }
    void certificateJsonNotOursIsRefused_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QJsonValue>("value");
        QJsonArray channels = CertificateToJson(certificate()).value("channels").toArray();
        QJsonObject first = channels.at(0).toObject();
        first.insert("result", "maybe");
        channels.replace(0, first);
        QTest::newRow("no time") << "when" << QJsonValue("yesterday");
        QTest::newRow("channels missing") << "channels" << QJsonValue(QJsonArray{});
        QTest::newRow("a result not ours") << "channels" << QJsonValue(channels);
        QTest::newRow("due date unreadable") << "nextDue" << QJsonValue("soon");
    }
    void certificateJsonNotOursIsRefused() {
        QFETCH(QString, key);
        QFETCH(QJsonValue, value);
        QJsonObject o = CertificateToJson(certificate());
        o.insert(key, value);
        QVERIFY(!CertificateFromJson(o));
    }

    void bumpTestReportTextSaysWhatThePageShows_data() {
        certificateTextSaysWhatThePageShows_data();
    }
    void bumpTestReportTextSaysWhatThePageShows() {
        QFETCH(QString, language);
        SetMessageLanguage(language);
        QTemporaryDir dir;
        const QString path = dir.filePath("bump.pdf");
        const BumpTestRecord r = bumpTest();
        QString error;
        QVERIFY2(WriteBumpTestReportPdf(r, path, &error), qPrintable(error));
        const QString text = pdftext::extract(path);
        for (const QString& s : {QStringLiteral("TQ58-2403-00127"), QStringLiteral("04426"),
                                 QStringLiteral("PLANT A-7"), QStringLiteral("K. Tanaka"),
                                 QStringLiteral("LOT-4471"), LoadMessage(5810)})
            QVERIFY2(text.contains(s), qPrintable(s + " not in:\n" + text));
        const QStringList rows = pdftext::lines(text);
        QVERIFY2(rows.contains(QStringLiteral("H2S ppm 20 10 19 4 ") + LoadMessage(5719)),
                 qPrintable(text));
        QVERIFY2(rows.contains(QStringLiteral("CO ppm 100 25 2 ----- ") + LoadMessage(5720)),
                 qPrintable(text));
    }

    void unwritablePathLeavesNoFile() {
        QTemporaryDir dir;
        QString error;
        QVERIFY(!WriteCertificatePdf(certificate(), dir.filePath("missing/cert.pdf"), &error));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_MAIN(TestRecordsPdf)
#include "test_records_pdf.moc"
