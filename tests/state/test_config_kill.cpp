// The configuration file killed in the middle of a write: a helper writes it over and over and
// is killed at a different moment each round; the file left on disk is always one whole file
// as written, read back through the reader.
#include "app/AppDate.h"
#include "app/MessageTable.h"
#include "state/AppState.h"
#include "state/ConfigFile.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

namespace {

// The text without its "Last update" line, the one line that depends on the time of writing.
QByteArray withoutDate(QByteArray text) {
    const qsizetype a = text.indexOf("Last update = ");
    if (a >= 0)
        text.remove(a, text.indexOf('\n', a) - a + 1);
    return text;
}

} // namespace

class TestConfigKill : public QObject {
    Q_OBJECT
private slots:
    void killedWriterLeavesOldOrNewFile() {
        SetMessageLanguage(QStringLiteral("en"));
        QTemporaryDir dir;
        const QString path = dir.filePath(QString::fromLatin1(ConfigFileName));
        QVERIFY(WriteConfigFile(AppState(), path));

        constexpr int Rounds = 40;
        for (int round = 0; round < Rounds; ++round) {
            QProcess writer;
            writer.start(QStringLiteral(TQ_CONFIG_WRITER), {path});
            QVERIFY2(writer.waitForReadyRead(30000), "the writer did not start");
            // A different moment of the writing loop each round; the outcome must not depend
            // on which one it hits.
            QThread::usleep(unsigned(round % 10) * 700);
            writer.kill();
            QVERIFY(writer.waitForFinished(30000));
            QCOMPARE(writer.exitStatus(), QProcess::CrashExit);

            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QByteArray onDisk = f.readAll();
            AppState read;
            const ConfigReadResult result = ReadConfigFile(read, path);
            QVERIFY(result.found);
            QVERIFY2(!result.stopped, qPrintable(result.reason));
            // Each round's writer starts again from count 1; the file holds one of its writings
            // or, when the kill came before the first rename, the previous round's.
            QVERIFY(read.ExecuteCount >= 1);
            AppState expected;
            expected.ExecuteCount = read.ExecuteCount - 1;
            QCOMPARE(withoutDate(onDisk), withoutDate(ConfigFileText(expected, AppDate::now())));
        }
    }
};

QTEST_GUILESS_MAIN(TestConfigKill)
#include "test_config_kill.moc"
