// Every file kind the program writes against every way a run can go wrong: the instrument
// falls silent mid-run, the operator cancels, the folder or the file is read-only, the folder
// is missing, the disk is full (a file-size limit on this process: writes past it fail as on a
// full disk, without needing a disk to fill). Each run reports its failure as one, leaves the
// earlier good file byte for byte as it was, and keeps what arrived under a name that says so.
#include "app/FilePaths.h"
#include "app/MessageTable.h"
#include "link/CommLog.h"
#include "model/SettingRecord.h"
#include "model/SettingsFile.h"
#include "ops/InstrumentFlows.h"
#include "support/SequenceTestSupport.h"

#include <QDir>
#include <QtTest>

#include <csignal>
#include <cstring>
#include <sys/resource.h>

namespace {

enum class Kind { SettingRecord, SettingsFile, Image, DumpList, CommLog };
enum class Fault { Silence, Cancel, ReadOnlyFolder, ReadOnlyFile, MissingFolder, FullDisk };

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Writes past `bytes` into any file fail with EFBIG while this lives, as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(qint64 bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = rlim_t(bytes);
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_old); }

private:
    rlimit m_old{};
};

void setWritable(const QString& path, bool on) {
    QFile::Permissions p = QFile::permissions(path);
    const QFile::Permissions w = QFile::WriteOwner | QFile::WriteUser;
    QFile::setPermissions(path, on ? p | w : p & ~w);
}

} // namespace

Q_DECLARE_METATYPE(Kind)
Q_DECLARE_METATYPE(Fault)

class TestFileFaults : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SetMessageLanguage("en"); }

    void aFailedRunKeepsTheLastGoodFile_data() {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<Fault>("fault");
        const std::pair<const char*, Kind> kinds[] = {{"setting record", Kind::SettingRecord},
                                                      {"settings file", Kind::SettingsFile},
                                                      {"image", Kind::Image},
                                                      {"dump list", Kind::DumpList},
                                                      {"communication log", Kind::CommLog}};
        const std::pair<const char*, Fault> faults[] = {{"silence", Fault::Silence},
                                                        {"cancel", Fault::Cancel},
                                                        {"read-only folder", Fault::ReadOnlyFolder},
                                                        {"read-only file", Fault::ReadOnlyFile},
                                                        {"missing folder", Fault::MissingFolder},
                                                        {"full disk", Fault::FullDisk}};
        for (const auto& [k, kind] : kinds)
            for (const auto& [f, fault] : faults)
                QTest::addRow("%s, %s", k, f) << kind << fault;
    }

    void aFailedRunKeepsTheLastGoodFile() {
        QFETCH(Kind, kind);
        QFETCH(Fault, fault);
        seqtest::SimLink s;
        QVERIFY(s.connect());
        s.link.Timings().BlockQuietMs = 2;
        QTemporaryDir out;
        const bool log = kind == Kind::CommLog;
        QString folder = log ? appState().StartFolder : out.path();
        static const QHash<Kind, QString> names = {{Kind::SettingRecord, "TQ5800_Setting.csv"},
                                                   {Kind::SettingsFile, "a.seq"},
                                                   {Kind::Image, "TQ5800.DAT"},
                                                   {Kind::DumpList, "DumpEF.dat"},
                                                   {Kind::CommLog, "SerialLog.log"}};
        const QString name = names.value(kind);
        // The earlier good file, from a run that went well.
        QByteArray good;
        QStringList lost; // the communication log's failure reports
        SetCommLogFailureHandler([&lost](const QString&, const QString& why) { lost << why; });
        QStringList red;
        FlowOutput output;
        output.addInfo = [&red](const QString& text, quint32 rgb) {
            if (rgb == FlowColor::Failure)
                red << text;
        };
        const auto runOnce = [&](const QString& path) {
            QString error;
            bool ok = false;
            switch (kind) {
            case Kind::SettingRecord:
            case Kind::SettingsFile:
                ok = ReadInstrumentFlow(s.link, s.record, output, {});
                if (ok && kind == Kind::SettingRecord)
                    ok = AppendSettingRecord(path, s.record, SettingRecordMode::Read,
                                             AppDate::now(), &error);
                else if (ok)
                    ok = WriteSettingsFile(s.record, path, &error);
                break;
            case Kind::Image:
            case Kind::CommLog:
                ok = DownloadLoggerDataFlow(s.link, s.record, path, output);
                break;
            case Kind::DumpList:
                ok = FramDumpFlow(s.link, path, output);
                break;
            }
            if (!error.isEmpty())
                red << error;
            return ok;
        };
        const QString target = log ? out.filePath("image.dat") : PathInFolder(folder, name);
        QVERIFY(runOnce(target));
        good = readFile(PathInFolder(folder, name));
        QVERIFY(!good.isEmpty());
        red.clear();

        // The fault.
        QString path = target;
        std::unique_ptr<FileSizeLimit> full;
        QString cause;
        switch (fault) {
        case Fault::Silence:
            QVERIFY(s.sim().setFaults(kind == Kind::DumpList ? "silent=2" : "silent=40"));
            break;
        case Fault::Cancel:
            // The listing's blocks are asked for by acknowledgements, which are no commands:
            // it is cancelled once its first group of lines is in.
            if (kind == Kind::DumpList)
                QObject::connect(&s.link, &uclHbif::DumpMessage, &s.link,
                                 [&] { s.link.setCancel(true); });
            s.port->setCommandHook([&, seen = 0](int) mutable {
                if (++seen == 30)
                    s.link.setCancel(true);
            });
            break;
        case Fault::ReadOnlyFolder:
            setWritable(folder, false);
            cause = qt_error_string(EACCES);
            break;
        case Fault::ReadOnlyFile:
            setWritable(PathInFolder(folder, name), false);
            cause = qt_error_string(EACCES);
            break;
        case Fault::MissingFolder:
            folder = PathInFolder(folder, "gone");
            if (log)
                appState().StartFolder = folder;
            else
                path = PathInFolder(folder, name);
            cause = qt_error_string(ENOENT);
            break;
        case Fault::FullDisk:
            // Room for a few lines more than an appended file holds, and for half of a file
            // that is written anew.
            full = std::make_unique<FileSizeLimit>(
                kind == Kind::SettingRecord || log ? good.size() + 100 : good.size() / 2);
            cause = qt_error_string(EFBIG);
            break;
        }
        s.sim().clearCounters();
        const bool ok = runOnce(path);
        full.reset();
        s.port->setCommandHook({});
        SetCommLogFailureHandler({});
        const QString current = PathInFolder(folder, name);
        const QByteArray after = readFile(current);
        setWritable(out.path(), true);
        setWritable(appState().StartFolder, true);

        if (log) {
            // The log is no reason to fail the run, but a line it could not take is reported
            // once, and a line it took is whole.
            switch (fault) {
            case Fault::Silence:
            case Fault::Cancel:
                QVERIFY(!ok);
                QVERIFY(after.startsWith(good));
                QVERIFY(after.mid(good.size()).contains("---Interval Trend Download Failed---"));
                QVERIFY(!after.mid(good.size()).contains("Download Finished---"));
                break;
            case Fault::ReadOnlyFolder:
                QVERIFY(after.startsWith(good)); // an existing log is appended to in place
                QVERIFY(lost.isEmpty());
                break;
            case Fault::MissingFolder:
                QCOMPARE(lost, QStringList{cause});
                QVERIFY(!QDir(folder).exists());
                break;
            case Fault::ReadOnlyFile:
                QCOMPARE(lost, QStringList{cause});
                QCOMPARE(after, good);
                break;
            case Fault::FullDisk:
                QCOMPARE(lost, QStringList{cause});
                QVERIFY(after.startsWith(good) && after.endsWith("\r\n"));
                break;
            }
            return;
        }
        // An existing setting record takes its row in a read-only folder: appending needs no
        // new file.
        if (kind == Kind::SettingRecord && fault == Fault::ReadOnlyFolder) {
            QVERIFY(ok);
            QVERIFY(after.startsWith(good) && after.size() > good.size());
            return;
        }
        QVERIFY(!ok);
        QVERIFY2(!red.isEmpty(), "the failure is reported");
        if (!cause.isEmpty())
            QVERIFY2(red.join(' ').contains(cause), qPrintable(red.join('|')));
        if (fault == Fault::MissingFolder) {
            QVERIFY(!QDir(folder).exists());
            return;
        }
        QCOMPARE(after, good);
        // What a run that broke off got is kept beside the good file, named as partial.
        const QByteArray partial = readFile(PartialPath(current));
        const bool keeps = (kind == Kind::Image || kind == Kind::DumpList) &&
                           (fault == Fault::Silence || fault == Fault::Cancel);
        QCOMPARE(!partial.isEmpty(), keeps);
        if (keeps && kind == Kind::Image) {
            QVERIFY(partial.size() < good.size() && partial.size() % 512 == 0);
            QCOMPARE(partial, good.left(partial.size()));
        }
        if (keeps && kind == Kind::DumpList)
            QVERIFY(partial.contains(";\tIncomplete list: blocks 1"));
        if (kind == Kind::Image && fault == Fault::FullDisk)
            QCOMPARE(s.sim().commandCount("EP,R"), 0); // no block asked for a file with no room
    }
};

QTEST_MAIN(TestFileFaults)
#include "test_file_faults.moc"
