// Frames, block acknowledgements, log rendering, the communication log and the dump-listing
// line buffer: pure functions checked against byte-exact known answers.
#include "link/CommLog.h"
#include "link/Frame.h"
#include "link/HexListBuffer.h"
#include "model/CommandSet.h"
#include "model/clsInstrument.h"
#include "support/LinkTestSupport.h"

#include <QDir>
#include <QRegularExpression>
#include <QtTest>

class TestFrame : public QObject {
    Q_OBJECT

private slots:
    void buildFrameKnownAnswers_data() {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QByteArray>("checksum");
        QTest::newRow("connect") << QByteArray("RC,R,") << QByteArray("FB");
        QTest::newRow("rom number") << QByteArray("VP,R,") << QByteArray("EA");
        QTest::newRow("station id") << QByteArray("XS,R,****") << QByteArray("3D");
        // 0x02 + "0001" + "AO,R," + 0x03 sums to 512.
        QTest::newRow("sum multiple of 256") << QByteArray("AO,R,") << QByteArray("00");
    }
    void buildFrameKnownAnswers() {
        QFETCH(QByteArray, payload);
        QFETCH(QByteArray, checksum);
        const QByteArray expected = "\x02"
                                    "0001" +
                                    payload + "\x03" + checksum + "\x04";
        QCOMPARE(BuildFrame(payload, Ctl::EOT), expected);
        QCOMPARE(BuildFrame(QString::fromLatin1(payload), Ctl::EOT), expected);
        QCOMPARE(BuildFrame(payload, Ctl::ETB).right(1), QByteArray("\x17"));
        QVERIFY(BlockChecksumOk(expected));
    }

    void checksumVerification() {
        const QByteArray good = linktest::reply("VP,R", "1234");
        QVERIFY(BlockChecksumOk(good));
        // Lower-case digits name the same number.
        QByteArray lower = BuildFrame(QByteArrayLiteral("RC,R,"), Ctl::EOT);
        lower.replace("FB", "fb");
        QVERIFY(BlockChecksumOk(lower));
        QByteArray wrongSum = good;
        wrongSum[6] = 'X'; // a changed payload byte
        QVERIFY(!BlockChecksumOk(wrongSum));
        QByteArray noEtx = good;
        noEtx[noEtx.size() - 4] = 'x';
        QVERIFY(!BlockChecksumOk(noEtx));
        QVERIFY(!BlockChecksumOk(QByteArray("garbage") + good));
        QVERIFY(!BlockChecksumOk(QByteArray("\x02\x03", 2)));
    }

    void blockAcknowledgements() {
        const QByteArray li = BuildFrame(QByteArrayLiteral("LI,R,05"), Ctl::EOT);
        QCOMPARE(BlockAcknowledgement(li, true), linktest::frame("\x06LI,R,", '\x17'));
        QCOMPARE(BlockAcknowledgement(li, false), linktest::frame("\x15LI,R,", '\x17'));
        // A command holding "IH" is answered with seven characters after the ACK.
        const QByteArray ih = BuildFrame(QByteArrayLiteral("EF,R,IH01"), Ctl::EOT);
        QCOMPARE(BlockAcknowledgement(ih, true), linktest::frame("\x06"
                                                                 "EF,R,IH",
                                                                 '\x17'));
    }

    void stripAndSplit() {
        QCOMPARE(StripControl(QByteArray("\x02"
                                         "A\x7F\x80\xFF"
                                         "B\x1f",
                                         7)),
                 QByteArray("A\x7F"
                            "B"));
        // CR separates fields exactly as a comma does; the status character is position 11.
        const QByteArray block = linktest::reply("SO,R", "\x06one\rtwo,three");
        const BlockParts p = SplitBlock(block);
        QCOMPARE(p.status, Ctl::ACK);
        QCOMPARE(p.key, QByteArray("SO,R"));
        QCOMPARE(p.data, QByteArray("one,two,three"));
        QCOMPARE(CommandKey(BuildFrame(QByteArrayLiteral("XS,R,001F"), Ctl::EOT)),
                 QByteArray("XS,R"));
        QCOMPARE(CommandData(BuildFrame(QByteArrayLiteral("XS,R,001F"), Ctl::EOT)),
                 QByteArray("001F"));
        QCOMPARE(CommandKey(BuildFrame(QByteArrayLiteral("\x06"
                                                         "EF,R,"),
                                       Ctl::ETB)),
                 QByteArray("\x06"));
    }

    void logRendering() {
        QCOMPARE(ToLogText(BuildFrame(QByteArrayLiteral("XS,R,****"), Ctl::EOT)),
                 QStringLiteral("[STX]0001XS,R,****[ETX]3D[EOT]"));
        QCOMPARE(ToLogText(QByteArray("\x05\x06\x15\x17\x1A\x1B")),
                 QStringLiteral("[ENQ][ACK][NAK][ETB][SUB][ESC]"));
        QCOMPARE(ToLogText(QByteArray("a\x07"
                                      "b")),
                 QStringLiteral("a[07]b"));
        QCOMPARE(ToLogText(QByteArray("a\rb\nc")), QStringLiteral("a\rb\nc"));
        QCOMPARE(ToLogText(QByteArray("\x00\x1F", 2)), QStringLiteral("[00][1F]"));
        QCOMPARE(ToLogText(QByteArray("\xE9")), QString(QChar(0xE9)));
    }

    void wireBytesAreLatin1() {
        QCOMPARE(WireBytes(QString::fromUtf8("Ab\u00E9\u4E2D")), QByteArray("Ab\xE9?"));
    }

    void communicationLog() {
        linktest::LogFolder log;
        QCOMPARE(SerialLogPath(), QDir(appState().StartFolder).filePath("SerialLog.log"));
        WriteSerialLog(QStringLiteral("first"));
        WriteSerialLog(LiteralMessage(
            5552, {ToLogText(BuildFrame(QByteArrayLiteral("XS,R,****"), Ctl::EOT))}));
        QFile f(log.path());
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray all = f.readAll();
        f.close();
        const QRegularExpression line("^\\d\\d:\\d\\d:\\d\\d first\\r\\n"
                                      "\\d\\d:\\d\\d:\\d\\d W : \\[STX\\]0001XS,R,\\*\\*\\*\\*"
                                      "\\[ETX\\]3D\\[EOT\\]\\r\\n$");
        QVERIFY2(line.match(QString::fromLatin1(all)).hasMatch(), all.constData());

        // Deleted between lines: the next line starts a new file.
        QVERIFY(QFile::remove(log.path()));
        WriteSerialLog(QStringLiteral("again"));
        QCOMPARE(log.lines(), QStringList{"again"});

        // Renamed away between lines, as a rotation does: the next line starts a new file.
        QVERIFY(QFile::rename(log.path(), log.path() + ".1"));
        WriteSerialLog(QStringLiteral("rotated"));
        QCOMPARE(log.lines(), QStringList{"rotated"});
        // Made read-only between lines: the line is refused and the refusal told, even though
        // the file was open for writing.
        QString why;
        SetCommLogFailureHandler([&why](const QString&, const QString& w) { why = w; });
        QVERIFY(QFile::setPermissions(log.path(), QFile::ReadOwner));
        WriteSerialLog(QStringLiteral("refused"));
        SetCommLogFailureHandler({});
        QVERIFY(QFile::setPermissions(log.path(), QFile::ReadOwner | QFile::WriteOwner));
        QCOMPARE(log.lines(), QStringList{"rotated"});
        QVERIFY(!why.isEmpty());

        // A start folder that already ends in a separator (a drive root) gets no second one.
        appState().StartFolder = QDir(appState().StartFolder).path() + "/";
        QCOMPARE(SerialLogPath(), QDir(appState().StartFolder).path() + "/SerialLog.log");
        appState().StartFolder = "C:\\";
        QCOMPARE(SerialLogPath(), QStringLiteral("C:\\SerialLog.log"));

        // A line that cannot be written is dropped without a word.
        appState().StartFolder = log.path() + "/no/such/folder";
        WriteSerialLog(QStringLiteral("lost"));
        QVERIFY(!QFile::exists(SerialLogPath()));
    }

    void deferredLinesKeepTheirPlace() {
        linktest::LogFolder a;
        // What is on disk now, without flushing.
        const auto onDisk = [](const QString& path) {
            QFile f(path);
            QStringList out;
            if (f.open(QIODevice::ReadOnly))
                for (const QByteArray& l : f.readAll().split('\n'))
                    if (l.size() > 9)
                        out << QString::fromLatin1(l.mid(9)).trimmed();
            return out;
        };
        DeferSerialLog(QStringLiteral("R 1"));
        WriteSerialLog(QStringLiteral("W 2"));
        QCOMPARE(onDisk(a.path()), (QStringList{"R 1", "W 2"}));
        DeferSerialLog(QStringLiteral("R 3"));
        QTRY_COMPARE(onDisk(a.path()).size(), 3); // the event loop's next turn writes it
        DeferSerialLog(QStringLiteral("R 4"));
        FlushSerialLog();
        QCOMPARE(onDisk(a.path()).last(), QStringLiteral("R 4"));
        // A line kept for one log is written to that log, not to the one named next.
        DeferSerialLog(QStringLiteral("R 5"));
        const QString first = a.path();
        linktest::LogFolder b;
        WriteSerialLog(QStringLiteral("other"));
        QCOMPARE(onDisk(first), (QStringList{"R 1", "W 2", "R 3", "R 4", "R 5"}));
        QCOMPARE(onDisk(b.path()), QStringList{"other"});
    }

    void literalMessagesKeepWireText() {
        linktest::LogFolder log;
        // "~c" and "~1" from the wire are text, not escapes.
        QCOMPARE(LiteralMessage(5549, {"A~cB~1"}), QStringLiteral("R : A~cB~1"));
        QCOMPARE(LiteralMessage(5552, {"x"}), QStringLiteral("W : x"));
    }

    void payloadBuilders() {
        resetAppState();
        clsInstrument r;
        r.setUserID("AB");
        r.setSerialNo("SN-1234567890123456789");
        r.setAlarmMode(1);
        r.setCalLimit(365);
        r.setDispCalLimit(7);
        r.setConfirmation(30);
        r.setFlowLevel(0x1234);
        r.setpressOffset(5);
        r.setAutoZero(1);
        r.setSpecType("2");
        r.setStationList(10, "Gate");
        QCOMPARE(IdentityWritePayload(u"XZ", r), QStringLiteral("XZ,W,AB              "));
        QCOMPARE(IdentityWritePayload(u"IN", r), QStringLiteral("IN,W,SN-12345678901234567"));
        QCOMPARE(SettingWritePayload(u"AP", r), QStringLiteral("AP,W,1"));
        QCOMPARE(SettingWritePayload(u"SC", r), QStringLiteral("SC,W,16D"));
        QCOMPARE(SettingWritePayload(u"SD", r), QStringLiteral("SD,W,1"));
        QCOMPARE(SettingWritePayload(u"XB", r), QStringLiteral("XB,W,30"));
        QCOMPARE(SettingWritePayload(u"CP", r), QStringLiteral("CP,W,1234"));
        QCOMPARE(SettingWritePayload(u"HF", r), QStringLiteral("HF,W,05"));
        QCOMPARE(SettingWritePayload(u"SJ", r), QStringLiteral("SJ,W,1"));
        QCOMPARE(SettingWritePayload(u"UJ", r), QStringLiteral("UJ,W,2"));
        QCOMPARE(SettingWritePayload(u"ZZ", r), QString());
        QCOMPARE(StationWritePayload(r, 10), QStringLiteral("XS,W,000A,Gate            "));
        QCOMPARE(StationReadPayload(127), QStringLiteral("XS,R,007F"));
        QCOMPARE(StationIdReadPayload(), QStringLiteral("XS,R,****"));
        QCOMPARE(LibraryReadPayload(15), QStringLiteral("LI,R,0F"));
        QCOMPARE(MemoryBlockReadPayload(1023), QStringLiteral("EP,R,03FF"));
        QCOMPARE(ReadPayload(u"VP"), QStringLiteral("VP,R,"));
        QCOMPARE(ClockWritePayload(
                     AppDate::fromDateTime(QDateTime(QDate(2026, 12, 7), QTime(14, 30, 5)))),
                 QStringLiteral("HC,W,261207143005"));

        r.setGasPoint(0, 1);
        r.setGasPoint(1, 0);
        r.setGasPoint(2, 2);
        r.setStel(0, 12.5f);
        r.setStel(1, 200.0f);
        r.setStel(2, -101.0f);
        r.setStel(3, 1.0f);
        r.setStel(4, 1.0f);
        QCOMPARE(LevelsWritePayload(u"AS", r),
                 QStringLiteral("AS,W, 12.5,  200,*****,    1,    1"));
        QVERIFY(GasTableWritePayload(r).startsWith("GJ,W,"));
        QCOMPARE(UserGasWritePayload(r).count(u','), 2 + 14);
    }

    void hexListBuffer() {
        HexListBuffer b;
        QList<QList<HexListBuffer::Line>> groups;
        b.setFullHandler([&](const QList<HexListBuffer::Line>& g) { groups << g; });

        QVERIFY(HexListBuffer::isValidBlock(1, "00"));
        QVERIFY(!HexListBuffer::isValidBlock(0, "00"));
        QVERIFY(!HexListBuffer::isValidBlock(1, ""));
        QVERIFY(!HexListBuffer::isValidBlock(1, "0G"));
        QVERIFY(!HexListBuffer::isValidBlock(200000, "00"));

        // Ten digits: those five bytes and eleven 0xFF.
        b.addBlock(1, "4142434445");
        QCOMPARE(b.lines().size(), 1);
        QCOMPARE(b.lines()[0].address, 0u);
        QCOMPARE(b.lines()[0].bytes, QByteArray("ABCDE") + QByteArray(11, char(0xFF)));
        b.addBlock(2, QByteArray(64, '0'));
        QCOMPARE(b.lines()[1].address, 0x80u);
        QCOMPARE(b.lines()[2].address, 0x90u);
        QVERIFY(groups.isEmpty());
        // Thirteen more lines fill the buffer; the sixteenth hands the group over.
        b.addBlock(3, QByteArray(32 * 13, '1'));
        QCOMPARE(groups.size(), 1);
        QCOMPARE(groups[0].size(), 16);
        QCOMPARE(groups[0].last().address, quint32(0x100 + 12 * 16));
        QVERIFY(b.lines().isEmpty());
    }
};

QTEST_MAIN(TestFrame)
#include "test_frame.moc"
