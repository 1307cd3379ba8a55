// Bounded line reading: line ends, chunk boundaries, cut lines, file paths.
#include "app/FilePaths.h"
#include "app/TextLineReader.h"

#include <QBuffer>
#include <QtTest>
#include <algorithm>

namespace {

struct Line {
    QString text;
    bool cut;
};

// A pipe that gives a few bytes at a time and never knows how many are left.
class Trickle : public QIODevice {
public:
    explicit Trickle(const QByteArray& bytes) : m_bytes(bytes) { open(ReadOnly); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 max) override {
        const qint64 n = std::min<qint64>({max, 3, m_bytes.size() - m_pos});
        memcpy(data, m_bytes.constData() + m_pos, size_t(n));
        m_pos += n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_bytes;
    qint64 m_pos = 0;
};

QList<Line> readAll(QIODevice& device, qsizetype limit = TextLineReader::DefaultLineLimit) {
    TextLineReader reader(device, limit);
    QList<Line> out;
    QString text;
    bool cut = false;
    while (reader.next(&text, &cut)) {
        out.append({text, cut});
        if (reader.lineNumber() != out.size())
            return {};
    }
    return out;
}

QList<Line> readAll(const QByteArray& bytes, qsizetype limit = TextLineReader::DefaultLineLimit) {
    QBuffer b;
    b.setData(bytes);
    b.open(QIODevice::ReadOnly);
    return readAll(b, limit);
}

QStringList texts(const QList<Line>& lines) {
    QStringList out;
    for (const Line& l : lines)
        out << l.text;
    return out;
}

} // namespace

class TestTextLineReader : public QObject {
    Q_OBJECT
private slots:
    void lineEnds() {
        QCOMPARE(texts(readAll("a\r\nb\nc\rd")), (QStringList{"a", "b", "c", "d"}));
        QCOMPARE(texts(readAll("a\r\n")), QStringList{"a"});
        QCOMPARE(texts(readAll("\r\n\r\n")), (QStringList{"", ""}));
        QCOMPARE(texts(readAll("a\r\r\nb")), (QStringList{"a", "", "b"}));
        QCOMPARE(texts(readAll("a\n\rb")), (QStringList{"a", "", "b"}));
        QVERIFY(readAll("").isEmpty());
        QCOMPARE(texts(readAll(QByteArray("a\0b\n", 4))),
                 QStringList{QString("a") + QChar(0) + "b"});
        Trickle pipe("first\r\nsecond\rthird\r\n\nlast");
        QCOMPARE(texts(readAll(pipe)), (QStringList{"first", "second", "third", "", "last"}));
    }

    void crLfAcrossChunks() {
        // The reader takes 64 KiB at a time: a CR ending one chunk and its LF opening the next
        // are one line end.
        QByteArray bytes(64 * 1024 - 1, 'x');
        bytes += "\r\nnext\r\n";
        const QList<Line> lines = readAll(bytes, 128 * 1024);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0].text.size(), 64 * 1024 - 1);
        QVERIFY(!lines[0].cut);
        QCOMPARE(lines[1].text, QStringLiteral("next"));
    }

    void longLinesAreCut() {
        QByteArray bytes = "short\r\n" + QByteArray(300000, 'y') + "\r\nafter";
        const QList<Line> lines = readAll(bytes, 1000);
        QCOMPARE(lines.size(), 3);
        QVERIFY(!lines[0].cut);
        QVERIFY(lines[1].cut);
        QCOMPARE(lines[1].text, QString(1000, u'y'));
        QCOMPARE(lines[2].text, QStringLiteral("after"));
        QVERIFY(!lines[2].cut);
        QVERIFY(!readAll(QByteArray(1000, 'z'), 1000)[0].cut);
        QVERIFY(readAll(QByteArray(1001, 'z'), 1000)[0].cut);
    }

    void pathsInFolders() {
        QCOMPARE(PathInFolder("/a/b", "f.txt"), QStringLiteral("/a/b/f.txt"));
        QCOMPARE(PathInFolder("/a/b/", "f.txt"), QStringLiteral("/a/b/f.txt"));
        QCOMPARE(PathInFolder("C:\\x\\", "f.txt"), QStringLiteral("C:\\x\\f.txt"));
        QCOMPARE(PathInFolder("C:\\x", "f.txt"), QStringLiteral("C:\\x/f.txt"));
        QCOMPARE(PathInFolder("", "f.txt"), QStringLiteral("f.txt"));
        // What a run that broke off keeps, beside the file it would have replaced.
        QCOMPARE(PartialPath("/a/TQ5800.DAT"), QStringLiteral("/a/TQ5800.partial.DAT"));
        QCOMPARE(PartialPath("/a.b/list"), QStringLiteral("/a.b/list.partial"));
        QCOMPARE(PartialPath("C:\\x.y\\.hidden"), QStringLiteral("C:\\x.y\\.hidden.partial"));
    }
};

QTEST_GUILESS_MAIN(TestTextLineReader)
#include "test_text_line_reader.moc"
