// FrameAssembler: known answers for the receive-side framing, byte for byte.
#include "link/Frame.h"
#include "link/FrameAssembler.h"

#include <QtTest>

namespace {

constexpr qsizetype Bound = 64;

// What comes out for the bytes, fed in pieces of `piece` (0: at once), rendered as
// "B:<block>", "R:<line>" and "N:<count>" with control characters as [STX] and the like.
QStringList run(const QByteArray& bytes, bool awaited, qsizetype piece = 0) {
    FrameAssembler f(Bound);
    QStringList out;
    const qsizetype step = piece > 0 ? piece : qMax<qsizetype>(bytes.size(), 1);
    for (qsizetype at = 0; at < bytes.size(); at += step) {
        f.append(QByteArrayView(bytes).sliced(at, qMin(step, bytes.size() - at)));
        while (const auto item = f.next(awaited)) {
            switch (item->kind) {
            case FrameAssembler::Item::Block:
                out << QStringLiteral("B:") + ToLogText(item->bytes);
                break;
            case FrameAssembler::Item::Refusal:
                out << QStringLiteral("R:") + ToLogText(item->bytes);
                break;
            case FrameAssembler::Item::Noise:
                out << QStringLiteral("N:%1").arg(item->noise);
                break;
            }
        }
    }
    if (const qint64 noise = f.takeNoise())
        out << QStringLiteral("N:%1").arg(noise);
    if (!f.buffer().isEmpty())
        out << QStringLiteral("W:") + ToLogText(f.buffer());
    return out;
}

} // namespace

class TestFrameAssembler : public QObject {
    Q_OBJECT
private slots:
    void knownAnswers_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("awaited");
        QTest::addColumn<int>("piece");
        QTest::addColumn<QStringList>("out");
        const QByteArray a = BuildFrame(QByteArrayLiteral("VP,R,4426"), Ctl::EOT);
        const QByteArray b = BuildFrame(QByteArrayLiteral("XS,R,0001,A"), Ctl::ETB);
        const QString A = QStringLiteral("B:") + ToLogText(a);
        const QString B = QStringLiteral("B:") + ToLogText(b);
        QTest::newRow("one block") << a << true << 0 << QStringList{A};
        QTest::newRow("byte by byte") << a + b << true << 1 << QStringList{A, B};
        QTest::newRow("half a block waits")
            << a.left(7) << true << 0 << QStringList{QStringLiteral("W:") + ToLogText(a.left(7))};
        QTest::newRow("noise before a block") << "xyz" + a << true << 0 << QStringList{A, "N:3"};
        QTest::newRow("refusal while awaited")
            << QByteArray("NG\r") + a << true << 0 << QStringList{"R:NG\r", A};
        QTest::newRow("text line when nothing is awaited")
            << QByteArray("NG\r") + a << false << 0 << QStringList{A, "N:3"};
        QTest::newRow("binary noise makes the next line noise")
            << QByteArray("\x01\x07\rNG\r") << true << 0 << QStringList{"N:6"};
        QTest::newRow("a broken frame gives way to a new one")
            << a.left(6) + a << true << 0 << QStringList{A, "N:6"};
        QTest::newRow("a terminated non-frame is noise") << QByteArray("\x02"
                                                                       "0002AB\x03"
                                                                       "00\x04")
                                                         << true << 0 << QStringList{"N:11"};
        QTest::newRow("a frame that outgrows the bound")
            << QByteArray("\x02") + QByteArray(Bound + 5, 'A') << true << 0
            << QStringList{QStringLiteral("N:%1").arg(Bound + 6)};
        QTest::newRow("noise reaching the bound is reported before the block")
            << QByteArray(Bound, 'z') + a << true << 0 << QStringList{"N:64", A};
    }
    void knownAnswers() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, awaited);
        QFETCH(int, piece);
        QTEST(run(bytes, awaited, piece), "out");
    }

    // A send starts afresh: what waited is gone and a text line may refuse again.
    void aSendStartsAfresh() {
        FrameAssembler f(Bound);
        f.append("\x01junk\x02"
                 "0001");
        QVERIFY(!f.next(true));
        f.frameSent();
        QVERIFY(f.buffer().isEmpty());
        f.append("NG\r");
        const auto item = f.next(true);
        QVERIFY(item && item->kind == FrameAssembler::Item::Refusal);
    }
};

QTEST_GUILESS_MAIN(TestFrameAssembler)
#include "test_frame_assembler.moc"
