#pragma once

// tq5800-sim and tq5800-cli as separate processes: the simulator on a pseudo-terminal, the
// command line in a temporary working folder whose communication log the tests read back.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <functional>

namespace clitest {

// Named limits: the simulator starts in well under a second; a command at 921600 baud
// unpaced ends in about one; the limits only keep a fault from hanging the suite.
constexpr int StartLimitMs = 5000;
constexpr int CommandLimitMs = 30000;

inline QString binary(const char* name) {
    return QCoreApplication::applicationDirPath() + '/' + name;
}

// tq5800-sim --pty with the given extra arguments; stopped when this goes out of scope.
class Simulator {
public:
    explicit Simulator(const QStringList& args = {}) {
        m_process.start(binary("tq5800-sim"), QStringList{"--pty"} + args);
        if (m_process.waitForStarted(StartLimitMs) && m_process.waitForReadyRead(StartLimitMs))
            m_pty = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }
    ~Simulator() {
        m_process.terminate();
        if (!m_process.waitForFinished(StartLimitMs))
            m_process.kill();
    }
    QString pty() const { return m_pty; }

private:
    QProcess m_process;
    QString m_pty;
};

struct Result {
    int exitCode = -1;
    bool finished = false;
    QString out;
    QString err;
    qint64 ms = 0;
};

// One run of one of the programs in `folder`; with `stdoutFile` its standard output goes there,
// and `inChild` runs in the new process before the program starts (a resource limit, say).
inline Result runProgram(const char* program, const QString& folder, const QStringList& args,
                         int limitMs = CommandLimitMs, const QString& stdoutFile = {},
                         const std::function<void()>& inChild = {}) {
    QProcess process;
    process.setWorkingDirectory(folder);
    if (inChild)
        process.setChildProcessModifier(inChild);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TQ5800_LANG", "en");
    process.setProcessEnvironment(env);
    if (!stdoutFile.isEmpty())
        process.setStandardOutputFile(stdoutFile);
    QElapsedTimer t;
    t.start();
    process.start(binary(program), args);
    Result r;
    r.finished = process.waitForStarted(StartLimitMs) && process.waitForFinished(limitMs);
    if (!r.finished)
        process.kill();
    process.waitForFinished(StartLimitMs);
    r.ms = t.elapsed();
    r.exitCode =
        r.finished && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    r.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(process.readAllStandardError());
    return r;
}

// One run of tq5800-cli in `folder`.
inline Result runCli(const QString& folder, const QStringList& args, int limitMs = CommandLimitMs,
                     const std::function<void()>& inChild = {}) {
    return runProgram("tq5800-cli", folder, args, limitMs, {}, inChild);
}

// The communication log's lines without their time.
inline QStringList logLines(const QString& folder) {
    QFile f(folder + "/SerialLog.log");
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList out;
    for (const QByteArray& l : f.readAll().split('\n'))
        if (l.size() > 9)
            out << QString::fromLatin1(l.mid(9)).remove('\r');
    return out;
}

// The payloads of the frames sent ("W : " lines), in order.
inline QStringList sentPayloads(const QString& folder) {
    static const QRegularExpression frame(
        R"(^W : \[STX\]0001(.*)\[ETX\][0-9A-F]{2}\[(EOT|ETB)\]$)");
    QStringList out;
    for (const QString& l : logLines(folder)) {
        const auto m = frame.match(l);
        if (m.hasMatch())
            out << m.captured(1);
    }
    return out;
}

inline int countLines(const QString& folder, const QString& text) {
    int n = 0;
    for (const QString& l : logLines(folder))
        if (l.contains(text))
            ++n;
    return n;
}

inline QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Validates the JSON in `instance` against the schema `schema` (a file of docs/) with Debian's
// python3-jsonschema; with `everyKey`, the instance must also have every top-level key the
// schema knows. Empty when it passes, "skip" when the validator is not installed.
inline QString SchemaErrors(const QString& schema, const QString& instance, bool everyKey) {
    static const char* script = R"(
import json, sys
try:
    import jsonschema
except ImportError:
    sys.exit(77)
schema = json.load(open(sys.argv[1]))
jsonschema.Draft202012Validator.check_schema(schema)
instance = json.load(open(sys.argv[2]))
errors = jsonschema.Draft202012Validator(schema).iter_errors(instance)
text = ["/".join(map(str, e.path)) + ": " + e.message for e in errors]
if sys.argv[3] == "1":
    text += ["missing: " + key for key in sorted(set(schema["properties"]) - set(instance))]
print("\n".join(text[:20]))
sys.exit(1 if text else 0)
)";
    QProcess python;
    python.start("/usr/bin/python3", {"-c", script, schema, instance, everyKey ? "1" : "0"});
    if (!python.waitForFinished(CommandLimitMs))
        return "python3 did not finish";
    if (python.exitCode() == 77)
        return "skip";
    return python.exitCode() == 0
               ? QString()
               : QString::fromUtf8(python.readAll() + python.readAllStandardError());
}

// The same for JSON a program wrote to standard output.
inline QString SchemaErrorsOfText(const QString& schema, const QString& json) {
    QTemporaryFile file;
    if (!file.open() || file.write(json.toUtf8()) != json.toUtf8().size() || !file.flush())
        return "the JSON could not be kept for the validator";
    return SchemaErrors(schema, file.fileName(), false);
}

} // namespace clitest
