// Message table: escapes, parameters, both languages.
#include "app/MessageTable.h"

#include <QtTest>

class TestMessages : public QObject {
    Q_OBJECT
private slots:
    void init() { SetMessageLanguage(QStringLiteral("en")); }

    void escapes() {
        QCOMPARE(ExpandMessage(QStringLiteral("a~cb~Cc"), {}), QStringLiteral("a\r\nb\r\nc"));
        QCOMPARE(ExpandMessage(QStringLiteral("a~tb~T"), {}), QStringLiteral("a\tb\t"));
        QCOMPARE(ExpandMessage(QStringLiteral("x~qy~~z"), {}), QStringLiteral("xyz"));
        QCOMPARE(ExpandMessage(QStringLiteral("~1/~2/~3/~0"),
                               {QStringLiteral("A"), QStringLiteral("B")}),
                 QStringLiteral("A/B//"));
        QCOMPARE(ExpandMessage(QStringLiteral("end~"), {}), QStringLiteral("end"));
        // A parameter's own escapes are expanded as well.
        QCOMPARE(
            ExpandMessage(QStringLiteral("[~1]"), {QStringLiteral("x~cy~2"), QStringLiteral("Z")}),
            QStringLiteral("[x\r\nyZ]"));
    }

    void selfReferenceEnds() {
        const QString r = ExpandMessage(QStringLiteral("<~1>"), {QStringLiteral("~1")});
        QVERIFY(r.startsWith(u'<') && r.endsWith(u'>'));
        QVERIFY(r.size() < 70000);
        // Doubling parameters would grow without bound; the result stays bounded.
        const QString g = ExpandMessage(QStringLiteral("~1"), {QStringLiteral("~1~1")});
        QVERIFY(g.size() <= 4 * 65536 + 8);
    }

    void englishTable() {
        QCOMPARE(LoadMessage(101), QStringLiteral("EN"));
        QCOMPARE(AppTitle(), QStringLiteral("TQ-5800 - CH4 Setup Program"));
        QCOMPARE(LoadMessage(99), QStringLiteral("It has already started."));
        QVERIFY(LoadMessage(5407).endsWith(QStringLiteral("\r\n")));
        QVERIFY(
            LoadMessage(5357, {QStringLiteral("A123")}).endsWith(QStringLiteral("SerialNo=A123")));
        QVERIFY(LoadMessage(5357).endsWith(QStringLiteral("SerialNo=")));
        QCOMPARE(LoadMessage(5552, {QStringLiteral("x")}), QStringLiteral("W : x"));
        QCOMPARE(LoadMessage(5047), QStringLiteral("Information Get && Save"));
        QCOMPARE(LoadMessage(8039), QStringLiteral("Export     csv file"));
        QCOMPARE(LoadMessage(5000), QStringLiteral("frmMain (Form)"));
        QCOMPARE(LoadMessage(5666), QStringLiteral("Gas|Select|Auto Cal.(F)|Current Reading"));
        QCOMPARE(LoadMessage(20014),
                 QStringLiteral("More than one USB Serial Converter is connected"));
        QCOMPARE(LoadMessage(9305), QStringLiteral("IR Square,Temperature,Concentration"));
        QVERIFY(LoadMessage(123456).isEmpty());
    }

    void bothLanguagesHoldTheSameNumbers() {
        const auto& en = MessageTableFor(QStringLiteral("en"));
        const auto& ja = MessageTableFor(QStringLiteral("ja"));
        QVERIFY(en.size() > 250);
        for (auto it = en.cbegin(); it != en.cend(); ++it) {
            QVERIFY2(ja.contains(it.key()), qPrintable(QString::number(it.key())));
            // Parameters and line breaks must survive translation.
            for (const char* esc : {"~1", "~2", "~c"})
                QVERIFY2(it.value().count(QLatin1String(esc)) ==
                             ja.value(it.key()).count(QLatin1String(esc)),
                         qPrintable(QString::number(it.key())));
        }
        QVERIFY(ja.contains(9200) && !en.contains(9200));
        QCOMPARE(ja.size(), en.size() + 1);
        SetMessageLanguage(QStringLiteral("ja"));
        QCOMPARE(LoadMessage(101), QStringLiteral("JP"));
        QVERIFY(LoadMessage(5407).endsWith(QStringLiteral("\r\n")));
    }

    void languageChoice_data() {
        QTest::addColumn<QByteArray>("forced");
        QTest::addColumn<QStringList>("system");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("forced ja over English")
            << QByteArray(" JA ") << QStringList{"en-US"} << "ja";
        QTest::newRow("forced en over Japanese")
            << QByteArray("en") << QStringList{"ja-JP"} << "en";
        QTest::newRow("unknown forced: system") << QByteArray("fr") << QStringList{"ja-JP"} << "ja";
        QTest::newRow("first system language only")
            << QByteArray() << QStringList{"de", "ja"} << "en";
        QTest::newRow("no system language") << QByteArray() << QStringList{} << "en";
    }
    void languageChoice() {
        QFETCH(QByteArray, forced);
        QFETCH(QStringList, system);
        QFETCH(QString, chosen);
        QCOMPARE(ChooseLanguage(forced, system), chosen);
    }
};

QTEST_GUILESS_MAIN(TestMessages)
#include "test_messages.moc"
