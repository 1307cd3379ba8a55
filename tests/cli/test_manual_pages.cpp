// The manual pages name every option the programs' help texts name, and every command of
// tq5800-cli with its own options, so that the two cannot drift apart.
#include "support/CliTestSupport.h"

#include <QtTest>

namespace {

// The page's text without roff's escapes for dashes and fonts.
QString pageText(const QString& page) {
    QString text = QString::fromUtf8(
        clitest::readFile(QStringLiteral(TQ_SOURCE_DIR "/packaging/man/") + page + ".1"));
    text.replace(QStringLiteral("\\-"), QStringLiteral("-"));
    text.remove(QRegularExpression(QStringLiteral(R"(\\f[BIRP])")));
    return text;
}

// Options as help texts write them ("--port", "-V", "-DEBUG"), and the simulator's fault
// keywords ("drop=").
QStringList namesIn(const QString& help) {
    static const QRegularExpression option(QStringLiteral(R"((?:^|[\s\[(,])(--?[A-Za-z][\w-]*))"));
    static const QRegularExpression fault(QStringLiteral(R"(^\s+([a-z]+=))"),
                                          QRegularExpression::MultilineOption);
    QStringList names;
    for (const QRegularExpression* re : {&option, &fault})
        for (auto it = re->globalMatch(help); it.hasNext();)
            names << it.next().captured(1);
    names.removeDuplicates();
    return names;
}

bool names(const QString& text, const QString& name) {
    return text.contains(QRegularExpression(QStringLiteral(R"((?<![\w-]))") +
                                            QRegularExpression::escape(name) +
                                            QStringLiteral(R"((?![\w-]))")));
}

} // namespace

class TestManualPages : public QObject {
    Q_OBJECT

private slots:
    void everyOptionOfTheHelpIsInThePage_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("command"); // for tq5800-cli's commands
        for (const char* program : {"tq5800", "tq5800-sim", "tq5800-cli"})
            QTest::newRow(program) << program << QStringList{"--help"} << QString();
        // Each command the general help lists, with its own help.
        QTemporaryDir dir;
        const QString help = clitest::runCli(dir.path(), {"--help"}).out;
        const QString list = help.section(QStringLiteral("\nCommands:\n"), 1).section("\n\n", 0, 0);
        static const QRegularExpression words(QStringLiteral(R"(^  ([a-z-]+(?: [a-z-]+)*))"),
                                              QRegularExpression::MultilineOption);
        for (auto it = words.globalMatch(list); it.hasNext();) {
            const QString command = it.next().captured(1);
            QTest::newRow(qPrintable("tq5800-cli " + command))
                << "tq5800-cli" << command.split(' ') + QStringList{"--help"} << command;
        }
        QVERIFY2(list.contains("calibrate bump"), qPrintable(help)); // the list was found
    }
    void everyOptionOfTheHelpIsInThePage() {
        QFETCH(QString, program);
        QFETCH(QStringList, args);
        QFETCH(QString, command);
        QTemporaryDir dir;
        const auto r = clitest::runProgram(qPrintable(program), dir.path(), args);
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.startsWith("Usage: " + program));
        const QString page = pageText(program);
        QStringList missing;
        for (const QString& name : namesIn(r.out))
            if (!names(page, name))
                missing << name;
        if (!command.isEmpty() && !page.contains(command))
            missing << command;
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(' ')));
        QVERIFY(namesIn(r.out).contains("--help"));
    }
};

QTEST_GUILESS_MAIN(TestManualPages)
#include "test_manual_pages.moc"
