// The transport against a scripted port at a 2 ms tick: exchanges, time-outs and resends,
// block assembly, acknowledgements, the connect sequence, line events, live readings,
// binary dumps and the waits.
#include "app/Errors.h"
#include "app/MessageTable.h"
#include "link/Frame.h"
#include "link/PortControl.h"
#include "link/ScriptedPortControl.h"
#include "link/uclHbif.h"
#include "ops/OperationSequences.h"
#include "support/LinkTestAccess.h"
#include "support/LinkTestSupport.h"

#include <QSignalSpy>
#include <QTemporaryFile>
#include <QtTest>

using linktest::ExchangeLimitMs;
using linktest::reply;
using linktest::Watchdog;

namespace {

QByteArray frameOf(const char* payload) {
    return BuildFrame(QByteArray(payload), Ctl::EOT);
}

// Operations whose command a repeat would repeat on the instrument.
enum class Unrepeated { Default, LoggerClear, Zero, Span };

} // namespace

class TestTransport : public QObject {
    Q_OBJECT

    std::unique_ptr<linktest::LogFolder> m_log;
    std::unique_ptr<clsInstrument> m_rec;
    std::unique_ptr<uclHbif> m_link;
    ScriptedPortControl* m_port = nullptr;

    // Open, lines up and seen, connected and idle: ready for exchanges.
    void connectLink() {
        m_port->open();
        m_port->pollModemLines();
        LinkTestAccess::setLinkMode(*m_link, ConnectMode::Connected);
        LinkTestAccess::setStatus(*m_link, LinkStatus::Released);
    }
    // Starts an exchange without waiting.
    void start(const char* payload, LinkStatus status) {
        LinkTestAccess::setStatus(*m_link, status);
        m_link->DataSend(frameOf(payload), uclHbif::Send::Start);
    }
    bool waitWhileStatus(LinkStatus status) {
        Watchdog dog(*m_link, ExchangeLimitMs);
        m_link->waitWhileStatus(status);
        return !dog.fired();
    }

private slots:
    void init() {
        m_log = std::make_unique<linktest::LogFolder>();
        SetMessageLanguage("en");
        m_rec = std::make_unique<clsInstrument>();
        m_link = std::make_unique<uclHbif>();
        m_port = new ScriptedPortControl(m_link.get());
        m_link->setSerialControl(m_port);
        m_link->setLinkTickInterval(linktest::TickMs);
        m_link->setTimeout(3);
        m_link->setRetry(3);
        m_link->setInstrument(m_rec.get());
    }
    void cleanup() {
        m_link.reset();
        m_rec.reset();
    }

    void unansweredReadIsSentFourTimes() {
        connectLink();
        QElapsedTimer clock;
        clock.start();
        Watchdog dog(*m_link, ExchangeLimitMs);
        QVERIFY(!m_link->Exchange("VP,R,", LinkStatus::WaitRead));
        QVERIFY(!dog.fired());
        QCOMPARE(m_link->Status(), LinkStatus::Failed);
        QCOMPARE(m_port->countWrites("VP,R,"), 4);
        QCOMPARE(m_port->writes().size(), 4);
        // Four time-outs of 30 ticks each passed before the failure.
        QVERIFY(clock.elapsed() >= 4 * 30 * linktest::TickMs * 9 / 10);
        QCOMPARE(m_log->count("W : [STX]0001VP,R,[ETX]EA[EOT]"), 4);
    }

    // A request that never left cannot be answered: the exchange fails at once, as the line's
    // failure, whatever arrives afterwards. The link timer is off, so neither a time-out nor
    // the modem-line poll can end the exchange in its place.
    void unwritableRequestFailsTheExchange_data() {
        QTest::addColumn<bool>("portClosed");
        QTest::addColumn<bool>("lateReply"); // the answer to an earlier send is on its way
        QTest::newRow("port closed") << true << false;
        QTest::newRow("write fails, late reply") << false << true;
    }
    void unwritableRequestFailsTheExchange() {
        QFETCH(bool, portClosed);
        QFETCH(bool, lateReply);
        connectLink();
        m_link->setTimerEnabled(false);
        if (portClosed)
            m_port->close();
        else
            m_port->setFailWrite(true);
        if (lateReply)
            m_port->inject(reply("VP,R", "4426"));
        Watchdog dog(*m_link, ExchangeLimitMs);
        QVERIFY(!m_link->Exchange("VP,R,", LinkStatus::WaitRead));
        QVERIFY(!dog.fired());
        QCOMPARE(m_link->Status(), LinkStatus::Failed);
        QCOMPARE(m_link->LastFailure(), FailureCause::Line);
        QCOMPARE(m_log->count("<<< Port write failed >>>"), 1);
        // It ended without waiting: the reply queued before it has not even been taken.
        QCOMPARE(m_rec->RomNumber(), 0);
    }

    void replySplitOverTwoEventsIsDecodedOnce() {
        connectLink();
        const QByteArray r = reply("VP,R", "4321");
        start("VP,R,", LinkStatus::WaitRead);
        m_port->inject(r.left(9));
        m_port->inject(r.mid(9));
        QVERIFY(waitWhileStatus(LinkStatus::WaitRead));
        QCOMPARE(m_link->Status(), LinkStatus::Done);
        QCOMPARE(m_rec->RomNumber(), 4321);
        QCOMPARE(m_log->count("R : "), 1);
        QCOMPARE(m_port->countWrites("VP,R,"), 1);
        QCOMPARE(m_link->LastBlock(), r);
    }

    void twoBlocksInOneEventAreDecodedInOrder() {
        connectLink();
        QSignalSpy densty(m_link.get(), &uclHbif::Densty);
        start("DN,R,", LinkStatus::WaitRead);
        m_port->inject(reply("DN,R", "1,2,3,4,5") + reply("DN,R", "6,7,8,9,10"));
        QVERIFY(waitWhileStatus(LinkStatus::WaitRead));
        QCOMPARE(m_link->Status(), LinkStatus::Done);
        QTRY_COMPARE(densty.size(), 2);
        QCOMPARE(densty[0][0].toFloat(), 1.0f);
        QCOMPARE(densty[1][0].toFloat(), 6.0f);
        QCOMPARE(densty[1][4].toFloat(), 10.0f);
        QCOMPARE(m_rec->LimitValue(2), 8.0f);
        QCOMPARE(m_log->count("R : "), 2);
    }

    void crWithoutBlockEndIsABadBlock() {
        connectLink();
        QSignalSpy retries(m_link.get(), &uclHbif::ConnectRetry);
        start("VP,R,", LinkStatus::WaitRead);
        m_port->inject("\x02"
                       "0001VP,R,12\r34");
        QTRY_COMPARE(m_port->countWrites("VP,R,"), 2);
        QCOMPARE(m_link->RetryCount(), 1);
        QVERIFY(m_link->RxBuffer().isEmpty());
        QCOMPARE(m_link->Status(), LinkStatus::WaitRead);
        // The second broken reply forces the second resend and reports it.
        m_port->inject("\r");
        QTRY_COMPARE(m_port->countWrites("VP,R,"), 3);
        QTRY_COMPARE(retries.size(), 1);
        QCOMPARE(retries[0][0].value<qint16>(), qint16(2));
        m_port->inject(reply("VP,R", "77"));
        QVERIFY(waitWhileStatus(LinkStatus::WaitRead));
        QCOMPARE(m_link->Status(), LinkStatus::Done);
        QCOMPARE(m_rec->RomNumber(), 77);
        // Past Retry a broken reply ends the exchange.
        start("VP,R,", LinkStatus::WaitRead);
        for (int i = 0; i < 4; ++i)
            m_port->inject("\r");
        QVERIFY(waitWhileStatus(LinkStatus::WaitRead));
        QCOMPARE(m_link->Status(), LinkStatus::Failed);
    }

    // Each operation whose command must not be repeated, run as the program runs it, so the
    // row checks the command it really sends.
    void commandsThatMustNotBeRepeated_data() {
        QTest::addColumn<Unrepeated>("operation");
        QTest::newRow("default") << Unrepeated::Default;
        QTest::newRow("logger clear") << Unrepeated::LoggerClear;
        QTest::newRow("zero") << Unrepeated::Zero;
        QTest::newRow("span") << Unrepeated::Span;
    }
    void commandsThatMustNotBeRepeated() {
        QFETCH(Unrepeated, operation);
        connectLink();
        const auto run = [this, operation] {
            OperationSequences ops(*m_link);
            switch (operation) {
            case Unrepeated::Default:
                return ops.DefaultInstrument();
            case Unrepeated::LoggerClear:
                return ops.BodyDataClear();
            case Unrepeated::Zero:
                return ops.ZeroCal(QStringLiteral("11111"));
            case Unrepeated::Span:
                return ops.SpanCal(QStringLiteral("10000,25.0,*****,*****,*****"));
            }
            return true;
        };
        Watchdog dog(*m_link, ExchangeLimitMs);
        QVERIFY(!run());
        QCOMPARE(m_link->Status(), LinkStatus::Failed);
        QCOMPARE(m_port->writes().size(), 1);
        const QByteArray key = m_port->writes().first().mid(5, 4);
        // A rejected reply does not bring a second send either.
        m_port->clearWrites();
        QByteArray damaged = reply(key, "\x06");
        damaged[damaged.size() - 2] = damaged[damaged.size() - 2] == '0' ? '1' : '0';
        m_port->setResponder([damaged](const QByteArray&) { return damaged; });
        QVERIFY(!run());
        QVERIFY(!dog.fired());
        QCOMPARE(m_link->Status(), LinkStatus::Failed);
        QCOMPARE(m_port->writes().size(), 1);
        QCOMPARE(m_port->writes().first().mid(5, 4), key);
        QVERIFY(m_log->count("R : ") >= 1);
    }

    void otherCommandsAreResentAfterABadReply() {
        connectLink();
        m_port->setResponder([](const QByteArray&) { return reply("VP,R", "bad"); });
        Watchdog dog(*m_link, ExchangeLimitMs);
        QVERIFY(!m_link->Exchange("VP,R,", LinkStatus::WaitRead));
        QVERIFY(!dog.fired());
        QCOMPARE(m_link->Status(), LinkStatus::Failed);
        QCOMPARE(m_port->countWrites("VP,R,"), 4);
        QCOMPARE(m_log->count("<<< Format error >>>"), 4);
    }

    void checksumsAreVerifiedUnlessSwitchedOff() {
        connectLink();
        QByteArray bad = reply("VP,R", "55");
        bad[bad.size() - 2] = bad[bad.size() - 2] == '0' ? '1' : '0';
        m_port->setResponder([bad](const QByteArray&) { return bad; });
        Watchdog dog(*m_link, ExchangeLimitMs);
        QVERIFY(!m_link->Exchange("VP,R,", LinkStatus::WaitRead));
        QCOMPARE(m_port->countWrites("VP,R,"), 4);
        QCOMPARE(m_log->count("<<< Checksum error >>>"), 4);
        m_link->setVerifyChecksum(false);
        QVERIFY(m_link->Exchange("VP,R,", LinkStatus::WaitRead));
        QVERIFY(!dog.fired());
        QCOMPARE(m_rec->RomNumber(), 55);
    }

    void connectRetriesAtFifthAndTenthAttempt() {
        m_link->setRetry(10);
        QSignalSpy retries(m_link.get(), &uclHbif::ConnectRetry);
        QSignalSpy alarm(m_link.get(), &uclHbif::AlarmMessage);
        m_port->open(); // lines up: the next tick starts connecting
        Watchdog dog(*m_link, ExchangeLimitMs);
        m_link->waitWhile([this] { return m_link->LinkMode() == ConnectMode::NotConnected; });
        QCOMPARE(m_link->LinkMode(), ConnectMode::Connecting);
        m_link->waitWhile([this] { return m_link->LinkMode() != ConnectMode::NotConnected; });
        QVERIFY(!dog.fired());
        QCOMPARE(m_port->countWrites("RC,R,"), 10);
        QTRY_COMPARE(alarm.size(), 1);
        QCOMPARE(alarm[0][0].toString(), LoadMessage(5405));
        QCOMPARE(retries.size(), 2);
        QCOMPARE(retries[0][0].value<qint16>(), qint16(1));
        QCOMPARE(retries[1][0].value<qint16>(), qint16(2));
        QCOMPARE(m_link->Status(), LinkStatus::Idle);
        QCOMPARE(m_log->count("---StartUp Connect Sequence Started---"), 11);
        QCOMPARE(m_log->count("TQ-5800 No Response"), 0);
    }

    void connectSucceeds() {
        QSignalSpy connected(m_link.get(), &uclHbif::OnConnect);
        int asked = 0;
        m_port->setResponder([&asked](const QByteArray& w) {
            // The first attempt goes unanswered; the second is answered.
            return w.contains("RC,R,") && ++asked == 2 ? reply("RC,R", "TQ-5800 V1.02")
                                                       : QByteArray();
        });
        m_port->open();
        Watchdog dog(*m_link, ExchangeLimitMs);
        m_link->waitWhile([this] { return !m_link->Connected(); });
        QVERIFY(!dog.fired());
        QCOMPARE(m_link->LinkMode(), ConnectMode::Connected);
        QCOMPARE(m_link->Status(), LinkStatus::Done);
        QCOMPARE(m_link->ConnectReply(), QStringLiteral("TQ-5800 V1.02"));
        QTRY_COMPARE(connected.size(), 1);
        QCOMPARE(asked, 2);
        QCOMPARE(m_log->count("---StartUp Connect Sequence Finished---"), 1);
    }

    void modemLinesStartAndEndTheConnection() {
        QSignalSpy gone(m_link.get(), &uclHbif::OnDisconnect);
        m_port->setResponder([](const QByteArray&) { return reply("RC,R", "ok"); });
        m_port->open();
        Watchdog dog(*m_link, ExchangeLimitMs);
        m_link->waitWhile([this] { return !m_link->Connected(); });
        m_port->setModemLines(0);
        m_link->waitWhile([this] { return m_link->LinkMode() != ConnectMode::NotConnected; });
        QVERIFY(!dog.fired());
        QTRY_COMPARE(gone.size(), 1); // once, though both lines dropped
        // One line back is enough to connect again.
        m_port->setModemLines(ModemDsr);
        m_link->waitWhile([this] { return !m_link->Connected(); });
        QVERIFY(!dog.fired());
        QCOMPARE(gone.size(), 1);
    }

    void linkModeFourReopensThePort() {
        m_port->setResponder([](const QByteArray&) { return reply("RC,R", "ok"); });
        QVERIFY(!m_port->isOpen());
        LinkTestAccess::setLinkMode(*m_link, ConnectMode::Reopen);
        Watchdog dog(*m_link, ExchangeLimitMs);
        m_link->waitWhile([this] { return !m_link->Connected(); });
        QVERIFY(!dog.fired());
        QVERIFY(m_port->isOpen());
        QCOMPARE(m_port->countWrites("RC,R,"), 1);
    }

    void livePollingAndItsTimeOut() {
        connectLink();
        QSignalSpy densty(m_link.get(), &uclHbif::Densty);
        bool answer = true;
        m_port->setResponder([&answer](const QByteArray& w) {
            return answer && w.contains("DN,R,") ? reply("DN,R", "1.5,20.9,0,3,4") : QByteArray();
        });
        m_link->setDenstyInterval(10);
        m_link->setRunDensty(true);
        QVERIFY(m_link->RunDensty());
        QTRY_VERIFY_WITH_TIMEOUT(densty.size() >= 2, ExchangeLimitMs);
        QCOMPARE(densty[0][1].toFloat(), 20.9f);
        answer = false;
        QTRY_VERIFY_WITH_TIMEOUT(m_log->count("--- Current reading download time out.Date= ") >= 1,
                                 ExchangeLimitMs);
        QVERIFY(m_link->Status() == LinkStatus::Released ||
                m_link->Status() == LinkStatus::WaitRead);
        answer = true;
        Watchdog dog(*m_link, ExchangeLimitMs);
        m_link->setRunDensty(false);
        QVERIFY(!dog.fired());
        QVERIFY(!m_link->RunDensty());
        QVERIFY(m_link->Status() != LinkStatus::WaitRead);
    }

    void garbageFloodStaysBounded() {
        // Printable garbage without any frame: dropped as it comes, no resend, no growth.
        connectLink();
        qsizetype largest = 0;
        int events = 0;
        connect(m_port, &PortControl::portEvent, this, [&](int code, int) {
            if (code == PortEvent::Received) {
                largest = qMax(largest, m_link->RxBuffer().size());
                ++events;
            }
        });
        start("VP,R,", LinkStatus::WaitRead);
        for (int i = 0; i < 40; ++i)
            m_port->inject(QByteArray(1000, char('A' + i % 26)));
        QTRY_COMPARE(events, 40);
        QVERIFY(largest <= LinkLimits::RxBufferLimit);
        QVERIFY(m_log->count("bytes outside any frame dropped >>>") >= 1);
        QCOMPARE(m_port->countWrites("VP,R,"), 1);
        QCOMPARE(m_link->Status(), LinkStatus::WaitRead);
        m_port->inject(reply("VP,R", "9"));
        QVERIFY(waitWhileStatus(LinkStatus::WaitRead));
        QCOMPARE(m_link->Status(), LinkStatus::Done);
    }

    void binaryDumpBytesLandAtTheirOffsets_data() {
        QTest::addColumn<bool>("irda");
        QTest::newRow("serial") << false;
        QTest::newRow("irda") << true;
    }
    void binaryDumpBytesLandAtTheirOffsets() {
        QFETCH(bool, irda);
        ScriptedPortControl* port = m_port;
        if (irda) {
            port = new ScriptedPortControl(m_link.get());
            port->setModemLines(0);
            m_link->setIrDAControl(port);
            m_link->setSerialComm(false);
            QCOMPARE(m_link->ActivePort(), port);
        }
        port->open();
        port->pollModemLines();
        LinkTestAccess::setLinkMode(*m_link, ConnectMode::Connected);

        // Raw bytes, terminators among them, go to the dump's sink and never into the frame
        // buffer; the sink says when the block is whole.
        QByteArray data(522, Qt::Uninitialized);
        for (int i = 0; i < data.size(); ++i)
            data[i] = char(i * 7 + 1);
        QByteArray got;
        m_link->setBinarySink([&got](const QByteArray& bytes) {
            got += bytes;
            return got.size() >= 512 ? uclHbif::BinaryBlock::Complete : uclHbif::BinaryBlock::More;
        });
        LinkTestAccess::setStatus(*m_link, LinkStatus::BinaryDump);
        m_link->DataSend(frameOf("EP,R,0001"), uclHbif::Send::Start);
        port->inject(data.left(200));
        port->inject(data.mid(200));
        QVERIFY(waitWhileStatus(LinkStatus::BinaryDump));
        QCOMPARE(m_link->Status(), LinkStatus::Done);
        QCOMPARE(got, data);
        QVERIFY(m_link->RxBuffer().isEmpty());
    }

    void binaryDumpTimeOut() {
        connectLink();
        m_link->setBinarySink([](const QByteArray&) { return uclHbif::BinaryBlock::More; });
        LinkTestAccess::setStatus(*m_link, LinkStatus::BinaryDump);
        m_link->DataSend(frameOf("EP,R,0000"), uclHbif::Send::Start);
        Watchdog dog(*m_link, ExchangeLimitMs);
        m_link->waitWhile(
            [this] { return m_link->Status() == LinkStatus::BinaryDump && !m_link->Cancel(); });
        QVERIFY(!dog.fired());
        QVERIFY(m_link->BinaryRetry());
        QVERIFY(m_link->Cancel());
        QCOMPARE(m_log->count("= timeout ="), 1);
        QCOMPARE(m_port->countWrites("EP,R,"), 1);
    }

    void replyToAnotherCommandIsDropped() {
        connectLink();
        m_rec->setLimitValue(0, 3.0f);
        start("VP,R,", LinkStatus::WaitRead);
        m_port->inject(reply("DN,R", "9,9,9,9,9"));
        QTRY_COMPARE(m_log->count("<<< Reply to another command dropped >>>"), 1);
        QCOMPARE(m_link->Status(), LinkStatus::WaitRead);
        QCOMPARE(m_link->RetryCount(), 0);
        QCOMPARE(m_port->writes().size(), 1);
        QCOMPARE(m_rec->LimitValue(0), 3.0f);
        m_port->inject(reply("VP,R", "31"));
        QVERIFY(waitWhileStatus(LinkStatus::WaitRead));
        QCOMPARE(m_link->Status(), LinkStatus::Done);
        QCOMPARE(m_rec->RomNumber(), 31);

        // A station reply must carry the index asked for.
        start("XS,R,0005", LinkStatus::WaitRead);
        m_port->inject(reply("XS,R", "0004,Late"));
        m_port->inject(reply("XS,R", "0005,Right"));
        QVERIFY(waitWhileStatus(LinkStatus::WaitRead));
        QCOMPARE(m_link->Status(), LinkStatus::Done);
        QCOMPARE(m_rec->StationList(5), QStringLiteral("Right"));
        QCOMPARE(m_rec->StationList(4), QString(16, u'-'));
        QCOMPARE(m_log->count("<<< Reply to another command dropped >>>"), 2);
    }

    void blockAcknowledgementsCarryTheCommandKey() {
        connectLink();
        start("EF,R,", LinkStatus::BlockTransfer);
        const QByteArray ack = linktest::frame("\x06"
                                               "EF,R,",
                                               '\x17');
        const QByteArray nak = linktest::frame("\x15"
                                               "EF,R,",
                                               '\x17');
        m_port->inject(reply("EF,R", "3,1,000000,4142", '\x17'));
        QTRY_COMPARE(m_port->writes().size(), 2);
        QCOMPARE(m_port->writes().last(), ack);
        m_port->inject(reply("EF,R", "3,2,000080,4344", '\x17'));
        QTRY_COMPARE(m_port->writes().size(), 3);
        QCOMPARE(m_port->writes().last(), ack);
        QCOMPARE(m_link->LastFrame(), ack);
        // A rejected block is answered with the negative acknowledgement.
        m_port->inject(reply("EF,R", "3,0,000100,4546", '\x17'));
        QTRY_COMPARE(m_port->writes().size(), 4);
        QCOMPARE(m_port->writes().last(), nak);
        m_port->inject(reply("EF,R", "3,3,000100,4546"));
        QVERIFY(waitWhileStatus(LinkStatus::BlockTransfer));
        QCOMPARE(m_link->Status(), LinkStatus::Done);
        QCOMPARE(m_link->DumpList().lines().size(), 3);
        QCOMPARE(m_link->DumpList().lines()[2].address, 0x100u);
    }

    void lineEvents_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("linkMode");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("logged");
        QTest::newRow("break") << 1001 << 3 << 4 << "Break Signal Found. Date = ";
        QTest::newRow("framing") << 1004 << 3 << 7 << "Flame Error. Date = ";
        QTest::newRow("overrun") << 1006 << 3 << 7 << "Port Over Run. Date = ";
        QTest::newRow("rx overflow") << 1008 << 3 << 7 << "Receive Buffer Over Flow. Date = ";
        QTest::newRow("parity") << 1009 << 3 << 7 << "Parity Error. Date = ";
        QTest::newRow("tx full") << 1010 << 3 << 7 << "Send Buffer Over Flow. Date = ";
        QTest::newRow("tx full connecting") << 1010 << 2 << 4 << "";
        QTest::newRow("device control") << 1011 << 3 << 7 << "Device Control Memory Error.";
        QTest::newRow("unknown") << 1500 << 3 << 4 << "";
    }
    void lineEvents() {
        QFETCH(int, code);
        QFETCH(int, linkMode);
        QFETCH(int, status);
        QFETCH(QString, logged);
        m_port->open();
        m_port->pollModemLines();
        m_link->setTimerEnabled(false); // only the event acts
        LinkTestAccess::setLinkMode(*m_link, ConnectMode(linkMode));
        LinkTestAccess::setStatus(*m_link, LinkStatus::WaitRead);
        int delivered = 0;
        connect(m_port, &PortControl::portEvent, this, [&delivered] { ++delivered; });
        m_port->injectEvent(code);
        QTRY_COMPARE(delivered, 1);
        QCOMPARE(m_link->Status(), LinkStatus(status));
        QCOMPARE(m_link->LineErrorCount(), code <= 1011 ? 1 : 0);
        if (logged.isEmpty())
            QVERIFY(m_log->lines().filter("Date = ").isEmpty());
        else
            QCOMPARE(m_log->count(logged), 1);
        // Received data resets the line-error count.
        m_port->inject("x");
        QTRY_COMPARE(m_link->LineErrorCount(), 0);
    }

    void irdaEvents() {
        auto* ir = new ScriptedPortControl(m_link.get());
        m_link->setIrDAControl(ir);
        m_link->setSerialComm(false);
        QCOMPARE(m_link->ActivePort(), ir);
        ir->setAvailable(false);
        QCOMPARE(m_link->ActivePort(), m_port);
        ir->setAvailable(true);
        ir->setModemLines(0);
        ir->open();
        QSignalSpy errors(m_link.get(), &uclHbif::IrDAError);

        ir->injectEvent(PortEvent::LinkUp);
        QTRY_COMPARE(m_link->LinkMode(), ConnectMode::Connecting);
        QCOMPARE(m_log->count("TQ-5800 ...Conneted. Date = "), 1);
        LinkTestAccess::setLinkMode(*m_link, ConnectMode::Connected);
        int delivered = 0;
        connect(ir, &PortControl::portEvent, this, [&delivered] { ++delivered; });
        ir->injectEvent(PortEvent::LinkUp);
        QTRY_COMPARE(delivered, 1);
        QCOMPARE(m_link->LinkMode(), ConnectMode::Connected);
        QCOMPARE(m_log->count("TQ-5800 ...Conneted. Date = "), 1);

        LinkTestAccess::setStatus(*m_link, LinkStatus::WaitRead);
        ir->injectEvent(PortEvent::SocketError, 10061);
        QTRY_COMPARE(errors.size(), 1);
        QCOMPARE(errors[0][0].value<qint16>(), qint16(10061));
        QCOMPARE(m_link->Status(), LinkStatus::Failed);
        QCOMPARE(
            m_log->lines().filter(QRegularExpression("^Soket Error\\[.+\\]\\(10061\\)$")).size(),
            1);
        LinkTestAccess::setStatus(*m_link, LinkStatus::WaitRead);
        ir->injectEvent(1030, 5);
        QTRY_COMPARE(m_link->Status(), LinkStatus::Failed);
        QCOMPARE(m_log->lines()
                     .filter(QRegularExpression("^IrDA Error\\[.+\\]\\[1030\\] \\(5\\)$"))
                     .size(),
                 1);
        // CTS/DSR codes mean nothing on the infrared link: an error there.
        LinkTestAccess::setStatus(*m_link, LinkStatus::WaitRead);
        ir->injectEvent(PortEvent::CtsChanged);
        QTRY_COMPARE(m_link->Status(), LinkStatus::Failed);

        // The service call runs every sixth tick.
        Watchdog dog(*m_link, ExchangeLimitMs);
        const int before = ir->serviceCalls();
        QVERIFY(m_link->waitTicks(60));
        QVERIFY(!dog.fired());
        QVERIFY(ir->serviceCalls() - before >= 9 && ir->serviceCalls() - before <= 11);
        QCOMPARE(m_port->serviceCalls(), 0);
    }

    void waitsAreNotNested() {
        connectLink();
        bool inner = true;
        bool exchange = true;
        QTimer::singleShot(5, [&] {
            inner = m_link->waitTicks(2);
            exchange = m_link->Exchange("VP,R,", LinkStatus::WaitRead);
        });
        Watchdog dog(*m_link, ExchangeLimitMs);
        QVERIFY(m_link->waitTicks(20));
        QVERIFY(!dog.fired());
        QVERIFY(m_link->TickCount() >= 20);
        QVERIFY(!inner);
        QVERIFY(!exchange);
        QCOMPARE(m_port->writes().size(), 0);
        QVERIFY(!m_link->isWaiting());
        // A wait whose condition is already over returns at once.
        QVERIFY(m_link->waitWhileStatus(LinkStatus::WaitWrite));
    }

    void destroyedWhileWaiting() {
        auto* link = new uclHbif;
        auto* port = new ScriptedPortControl(link);
        link->setSerialControl(port);
        port->open();
        port->pollModemLines();
        LinkTestAccess::setLinkMode(*link, ConnectMode::Connected);
        QTimer::singleShot(5, [link] { delete link; });
        QVERIFY(!link->Exchange("VP,R,",
                                LinkStatus::WaitRead)); // returns without touching the dead control
    }

    void cancelEndsAnExchange() {
        connectLink();
        start("VP,R,", LinkStatus::WaitRead);
        m_link->setCancel(true);
        m_port->inject(reply("VP,R", "12"));
        QTRY_COMPARE(m_link->Status(), LinkStatus::Cancelled);
        QVERIFY(m_link->RxBuffer().isEmpty());
        QCOMPARE(m_rec->RomNumber(), 0);
    }

    void sendingAndProperties() {
        connectLink();
        m_link->DataSend(frameOf("XS,R,****"), uclHbif::Send::Start);
        QCOMPARE(m_log->lines().last(), QStringLiteral("W : [STX]0001XS,R,****[ETX]3D[EOT]"));
        QCOMPARE(m_link->TimeoutTicks(), 30);
        QCOMPARE(m_link->LastFrame(), frameOf("XS,R,****"));

        m_link->setTimeout(4);
        QCOMPARE(m_link->Timeout(), 4);
        QVERIFY(m_link->Connected());
        LinkTestAccess::setLinkMode(*m_link, ConnectMode::Connecting);
        QVERIFY(!m_link->Connected());

        m_link->setInstrument(nullptr);
        QCOMPARE(m_link->Instrument(), m_rec.get());
        QVERIFY(!m_link->DisConnect());
        QCOMPARE(m_link->Status(), LinkStatus::Released);
        QCOMPARE(m_link->TickCount(), 0);

        // Zero and span results by sensor.
        LinkTestAccess::setLinkMode(*m_link, ConnectMode::Connected);
        start("SZ,C,", LinkStatus::WaitWrite);
        m_port->inject(reply("SZ,C", "\x06"
                                     "01001"));
        QVERIFY(waitWhileStatus(LinkStatus::WaitWrite));
        QVERIFY(m_link->ZeroStatus(0) && !m_link->ZeroStatus(1) && m_link->ZeroStatus(2));
        QVERIFY(!m_link->ZeroStatus(4) && !m_link->ZeroStatus(5) && !m_link->ZeroStatus(-1));
        start("S1,W,00000", LinkStatus::WaitWrite);
        m_port->inject(reply("S1,W", "\x06"
                                     "10000"));
        QVERIFY(waitWhileStatus(LinkStatus::WaitWrite));
        QVERIFY(!m_link->SpanStatus(0) && m_link->SpanStatus(1) && m_link->SpanStatus(4));
    }
};

QTEST_MAIN(TestTransport)
#include "test_transport.moc"
