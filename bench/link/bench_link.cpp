// The link's own cost: decoding one received frame, and one whole exchange through the
// transport (send, log, receive event, block assembly, decode, wait) against a scripted port
// that answers at once and against the unpaced simulator.
#include "link/Frame.h"
#include "link/ResponseDecoder.h"
#include "link/ScriptedPortControl.h"
#include "link/SimPortControl.h"
#include "link/uclHbif.h"
#include "model/clsInstrument.h"
#include "state/AppState.h"
#include "support/LinkTestAccess.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {
QByteArray replyFrame(const QByteArray& key, const QByteArray& data) {
    return BuildFrame(key + ',' + data, Ctl::EOT);
}
} // namespace

class BenchLink : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    void useLog(bool on) {
        resetAppState();
        // Without a writable folder every log line fails at its open, as on a read-only disk.
        appState().StartFolder = on ? m_dir.path() : m_dir.path() + "/missing";
    }

private slots:
    void decodeResponse_data() {
        QTest::addColumn<QByteArray>("block");
        const QByteArray none(25, '*');
        QTest::newRow("VP,R number") << replyFrame("VP,R", "4426");
        QTest::newRow("A1,R levels") << replyFrame("A1,R", " 10.0,   18,  5.0,   25,  100");
        QTest::newRow("XS,R station") << replyFrame("XS,R", "001F,Tank 31          ");
        QTest::newRow("GJ,R gas table") << replyFrame(
            "GJ,R", "CH4        100.0  0.1%LEL," + none + ',' + none + ',' + none + ',' + none);
        QTest::newRow("LI,R library")
            << replyFrame("LI,R", "05,i-C4H10   ,  100,    1,%LEL,064,3F99999A,i-C4H10   , "
                                  "1.80, 0.05,vol%,065,3F4CCCCD");
        QTest::newRow("C1,R coefficients")
            << replyFrame("C1,R", "1.000,2.000,3.000,4.000,5.000,6.000,7.000,8.000");
    }
    void decodeResponse() {
        QFETCH(QByteArray, block);
        useLog(true);
        clsInstrument rec;
        LinkState state;
        state.Instrument = &rec;
        ResponseDecoder decoder(state);
        QVERIFY(decoder.DecodeResponse(block));
        QBENCHMARK {
            decoder.DecodeResponse(block);
        }
    }

    void buildFrame() {
        const QByteArray payload = "XS,W,001F,Tank 31         ";
        QByteArray f;
        QBENCHMARK {
            f = BuildFrame(payload, Ctl::EOT);
        }
        QVERIFY(BlockChecksumOk(f));
    }

    void exchangeScripted_data() {
        QTest::addColumn<bool>("log");
        QTest::newRow("with communication log") << true;
        QTest::newRow("log file unavailable") << false;
    }
    void exchangeScripted() {
        QFETCH(bool, log);
        useLog(log);
        clsInstrument rec;
        uclHbif link;
        auto* port = new ScriptedPortControl(&link);
        link.setSerialControl(port);
        link.setInstrument(&rec);
        port->open();
        port->pollModemLines();
        LinkTestAccess::setLinkMode(link, ConnectMode::Connected);
        const QByteArray answer = replyFrame("VP,R", "4426");
        port->setResponder([&answer](const QByteArray&) { return answer; });
        QVERIFY(link.Exchange("VP,R,", LinkStatus::WaitRead));
        QBENCHMARK {
            link.Exchange("VP,R,", LinkStatus::WaitRead);
        }
        QCOMPARE(link.Status(), LinkStatus::Done);
    }

    void exchangeSimulator() {
        useLog(true);
        clsInstrument rec;
        uclHbif link;
        auto* port = new SimPortControl(SimOptions{}, &link);
        link.setSerialControl(port);
        link.setLinkTickInterval(2);
        link.setInstrument(&rec);
        link.ActivePort()->open();
        QTRY_VERIFY(link.Connected());
        QVERIFY(link.Exchange("VP,R,", LinkStatus::WaitRead));
        QBENCHMARK {
            link.Exchange("VP,R,", LinkStatus::WaitRead);
        }
        QCOMPARE(link.Status(), LinkStatus::Done);
    }
};

QTEST_MAIN(BenchLink)
#include "bench_link.moc"
