// Port controls: settings parsing, the serial and IrCOMM controls on a real pseudo-terminal
// (a real QSerialPort), and the link running against the in-process simulator.
#include "link/ConverterLookup.h"
#include "link/Frame.h"
#include "link/IrCommPortControl.h"
#include "link/SerialPortControl.h"
#include "link/SimPortControl.h"
#include "link/uclHbif.h"
#include "model/CommandSet.h"
#include "state/AppState.h"
#include "support/LinkTestAccess.h"
#include "support/LinkTestSupport.h"

#include <QSerialPort>
#include <QSignalSpy>
#include <QSocketNotifier>
#include <QTemporaryFile>
#include <QtTest>

#include <functional>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

using linktest::ExchangeLimitMs;

namespace {

// The master side of a pseudo-terminal; the port controls open its slave device.
class Pty {
public:
    Pty() {
        m_fd = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_fd >= 0 && ::grantpt(m_fd) == 0 && ::unlockpt(m_fd) == 0) {
            m_slave = QString::fromLocal8Bit(::ptsname(m_fd));
            ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
        }
    }
    ~Pty() { closeMaster(); }
    bool ok() const { return m_fd >= 0 && !m_slave.isEmpty(); }
    int fd() const { return m_fd; }
    QString slave() const { return m_slave; }
    QByteArray read() {
        QByteArray out;
        char buf[4096];
        ssize_t n;
        while (m_fd >= 0 && (n = ::read(m_fd, buf, sizeof buf)) > 0)
            out.append(buf, n);
        return out;
    }
    void write(const QByteArray& b) {
        if (::write(m_fd, b.constData(), size_t(b.size())) != b.size())
            QFAIL("pty write");
    }
    void closeMaster() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
    QString m_slave;
};

// Ports opened on fresh pseudo-terminals. QSerialPort locks a port by its base name, and a
// parallel test process may still hold the lock of a number the system has just handed out
// again; such a terminal is kept open (so its number stays taken) and the next one tried.
class PtyPool {
public:
    Pty* open(const std::function<bool(const QString& slave)>& openPort) {
        for (int attempt = 0; attempt < 5; ++attempt) {
            m_ptys.push_back(std::make_unique<Pty>());
            Pty* p = m_ptys.back().get();
            if (p->ok() && openPort(p->slave()))
                return p;
        }
        return nullptr;
    }

private:
    std::vector<std::unique_ptr<Pty>> m_ptys;
};

QList<int> codesOf(const QSignalSpy& spy) {
    QList<int> out;
    for (const QList<QVariant>& args : spy)
        out << args[0].toInt();
    return out;
}

} // namespace

class TestPorts : public QObject {
    Q_OBJECT

private slots:
    void init() { resetAppState(); }

    void converterLookup() {
        PortDescriptor a{QStringLiteral("COM5"), true, 0x10C4, 0xEA60};
        PortDescriptor b{QStringLiteral("COM7"), true, 0x10C4, 0xEA60};
        PortDescriptor other{QStringLiteral("COM1"), true, 0x0403, 0x6001};
        PortDescriptor noIds{QStringLiteral("COM2"), false, 0, 0};
        ConverterLookup r = FindConverterPort({other, a, noIds});
        QCOMPARE(r.matches, 1);
        QCOMPARE(r.portNumber, 5);
        QCOMPARE(appState().IrCommNum, 5);
        r = FindConverterPort({a, b});
        QCOMPARE(r.matches, 2);
        QCOMPARE(r.portNumber, 0);
        QCOMPARE(appState().IrCommNum, 0);
        QVERIFY(r.portName.isEmpty());
        r = FindConverterPort({other});
        QCOMPARE(r.matches, 0);
        r = FindConverterPort({PortDescriptor{QStringLiteral("ttyUSB0"), true, 0x10C4, 0xEA60}});
        QCOMPARE(r.matches, 1);
        QCOMPARE(r.portName, QStringLiteral("ttyUSB0"));
        QCOMPARE(appState().ConverterPortName, QStringLiteral("ttyUSB0"));
    }

    void portSettings_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("baud");
        QTest::addColumn<char>("parity");
        QTest::addColumn<int>("dataBits");
        QTest::addColumn<int>("stopBits");
        QTest::newRow("usb") << "921600,n,8,1" << true << 921600 << 'n' << 8 << 1;
        QTest::newRow("upper case") << "9600,E,7,2" << true << 9600 << 'e' << 7 << 2;
        QTest::newRow("one and a half") << "1200,o,5,1.5" << true << 1200 << 'o' << 5 << 15;
        QTest::newRow("blanks") << " 115200 , n , 8 , 1 " << true << 115200 << 'n' << 8 << 1;
        QTest::newRow("three fields") << "9600,n,8" << false << 0 << 'n' << 0 << 0;
        QTest::newRow("bad parity") << "9600,x,8,1" << false << 0 << 'n' << 0 << 0;
        QTest::newRow("bad bits") << "9600,n,9,1" << false << 0 << 'n' << 0 << 0;
        QTest::newRow("bad stop") << "9600,n,8,3" << false << 0 << 'n' << 0 << 0;
        QTest::newRow("bad baud") << "fast,n,8,1" << false << 0 << 'n' << 0 << 0;
        QTest::newRow("zero baud") << "0,n,8,1" << false << 0 << 'n' << 0 << 0;
    }
    void portSettings() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        const auto s = PortSettings::parse(text);
        QCOMPARE(s.has_value(), valid);
        if (!valid)
            return;
        QFETCH(int, baud);
        QFETCH(char, parity);
        QFETCH(int, dataBits);
        QFETCH(int, stopBits);
        QCOMPARE(s->baud, baud);
        QCOMPARE(s->parity, parity);
        QCOMPARE(s->dataBits, dataBits);
        QCOMPARE(s->stopBits, stopBits);
    }

    void serialPortOnAPseudoTerminal() {
        SerialPortControl port;
        QSignalSpy events(&port, &PortControl::portEvent);
        port.setSettings("921600,n,8,1");
        port.setDTREnable(true);
        PtyPool pool;
        Pty* found = pool.open([&](const QString& slave) {
            port.setPortName(slave);
            return port.open();
        });
        QVERIFY(found);
        Pty& pty = *found;
        QVERIFY(port.isOpen());
        // A pseudo-terminal has no modem lines to read: they count as up once open.
        QCOMPARE(port.modemStatus(), ModemCts | ModemDsr);
        port.pollModemLines();
        QCOMPARE(codesOf(events), (QList<int>{PortEvent::CtsChanged, PortEvent::DsrChanged}));
        port.pollModemLines();
        QCOMPARE(events.size(), 2);

        QCOMPARE(port.write("hello"), 5);
        QByteArray got;
        QTRY_COMPARE((got += pty.read()), QByteArray("hello"));

        events.clear();
        pty.write("abc");
        QTRY_VERIFY(codesOf(events).contains(PortEvent::Received));
        QByteArray in;
        QTRY_COMPARE((in += port.readAll()), QByteArray("abc"));

        // The other end going away is a resource error: the port closes and both lines drop.
        events.clear();
        pty.closeMaster();
        QTRY_VERIFY_WITH_TIMEOUT(!port.isOpen(), ExchangeLimitMs);
        QTRY_COMPARE(codesOf(events).count(PortEvent::CtsChanged), 1);
        QCOMPARE(codesOf(events).count(PortEvent::DsrChanged), 1);
        QCOMPARE(port.modemStatus(), 0);
    }

    void portsThatDoNotOpen() {
        SerialPortControl port;
        QSignalSpy events(&port, &PortControl::portEvent);
        port.setPortName("/dev/tq5800-no-such-port");
        QVERIFY(!port.open());
        QVERIFY(!port.isOpen());
        Pty pty;
        QVERIFY(pty.ok());
        port.setPortName(pty.slave());
        port.setSettings("9600,n,8"); // refused before the device is touched
        QVERIFY(!port.open());
        QCoreApplication::processEvents();
        QVERIFY(events.isEmpty());
        QCOMPARE(port.write("x"), -1);
        QCOMPARE(port.modemStatus(), 0);
        // Without a name the number gives the port.
        port.setPortName(QString());
        port.setPortNumber(9);
        QCOMPARE(port.portName(), QStringLiteral("COM9"));
    }

    // A port that another program holds is refused, and the red line says how to get access.
    void aPortHeldElsewhereIsRefused() {
        SerialPortControl holder;
        SerialPortControl second;
        holder.setSettings("9600,n,8,1");
        second.setSettings("9600,n,8,1");
        PtyPool pool;
        Pty* found = pool.open([&](const QString& slave) {
            holder.setPortName(slave);
            return holder.open();
        });
        QVERIFY(found);
        QVERIFY(!holder.openRefused());
        second.setPortName(found->slave());
        QVERIFY(!second.open());
        QVERIFY(second.openRefused());
        const QString text = PortAccessRefusedText(found->slave());
        QVERIFY(text.contains(found->slave()));
        QVERIFY(text.contains("dialout"));
        // A port that is not there is no question of access.
        second.setPortName("/dev/tq5800-no-such-port");
        QVERIFY(!second.open());
        QVERIFY(!second.openRefused());
    }

    void irCommOnAPseudoTerminal() {
        IrCommPortControl ir;
        QVERIFY(!ir.available());
        QVERIFY(!ir.open());
        ir.setSettings("115200,n,8,1");
        QSignalSpy events(&ir, &PortControl::portEvent);
        PtyPool pool;
        Pty* found = pool.open([&](const QString& slave) {
            ir.setPortName(slave);
            return ir.available() && ir.open();
        });
        QVERIFY(found);
        Pty& pty = *found;
        QVERIFY(events.isEmpty()); // link up comes from the event loop, not from open()
        QTRY_COMPARE(codesOf(events), QList<int>{PortEvent::LinkUp});
        ir.pollModemLines();
        QCOMPARE(events.size(), 1);
        QCOMPARE(ir.modemStatus(), 0);

        events.clear();
        pty.closeMaster();
        QTRY_VERIFY_WITH_TIMEOUT(!events.isEmpty(), ExchangeLimitMs);
        QCOMPARE(events[0][0].toInt(), int(PortEvent::SocketError));
        // A hung-up pseudo-terminal reports a failed read; an unplugged adapter a lost resource.
        QVERIFY(events[0][1].toInt() == int(QSerialPort::ReadError) ||
                events[0][1].toInt() == int(QSerialPort::ResourceError));
        QCOMPARE(events.size(), 1);
        QVERIFY(!ir.isOpen());
        ir.close();
        ir.service(); // closed on purpose: stays closed
        QVERIFY(!ir.isOpen());
    }

    // The link connects and exchanges over a real QSerialPort; the test answers on the master.
    void linkOverAPseudoTerminal() {
        linktest::LogFolder log;
        clsInstrument rec;
        uclHbif link;
        link.setLinkTickInterval(linktest::TickMs);
        link.setInstrument(&rec);
        auto* serial = new SerialPortControl(&link);
        link.setSerialControl(serial);
        serial->setSettings("921600,n,8,1");
        QSignalSpy connected(&link, &uclHbif::OnConnect);
        PtyPool pool;
        Pty* found = pool.open([&](const QString& slave) {
            serial->setPortName(slave);
            serial->open();
            return serial->isOpen();
        });
        QVERIFY(found);
        Pty& pty = *found;

        QByteArray fromPc;
        QSocketNotifier notifier(pty.fd(), QSocketNotifier::Read);
        connect(&notifier, &QSocketNotifier::activated, this, [&] {
            fromPc += pty.read();
            for (qsizetype end; (end = fromPc.indexOf('\x04')) >= 0;) {
                const QByteArray f = fromPc.left(end + 1);
                fromPc.remove(0, end + 1);
                if (f.contains("RC,R,"))
                    pty.write(linktest::reply("RC,R", "PTY"));
                else if (f.contains("VP,R,"))
                    pty.write(linktest::reply("VP,R", "1234"));
            }
        });
        QTRY_VERIFY_WITH_TIMEOUT(link.Connected(), ExchangeLimitMs);
        QTRY_COMPARE(connected.size(), 1);
        QVERIFY(link.Exchange("VP,R,", LinkStatus::WaitRead));
        QCOMPARE(rec.RomNumber(), 1234);
        serial->close();
        notifier.setEnabled(false);
    }

    void simulatorPortDeliversFromTheEventLoop() {
        SimPortControl port;
        QSignalSpy events(&port, &PortControl::portEvent);
        QCOMPARE(port.write(BuildFrame(QByteArrayLiteral("VP,R,"), Ctl::EOT)), -1);
        QVERIFY(port.open());
        port.pollModemLines();
        QCOMPARE(codesOf(events), (QList<int>{PortEvent::CtsChanged, PortEvent::DsrChanged}));
        events.clear();
        port.write(BuildFrame(QByteArrayLiteral("VP,R,"), Ctl::EOT));
        QVERIFY(events.isEmpty());
        QVERIFY(port.readAll().isEmpty());
        QTRY_COMPARE(events.size(), 1);
        const QByteArray got = port.readAll();
        QVERIFY(got.startsWith("\x02"
                               "0001VP,R,"));
        QCOMPARE(port.instrument().commandCount("VP,R"), 1);
        port.close();
        QCOMPARE(port.modemStatus(), 0);
    }

    // A read of identity, settings, gas table, library and station list against the simulated
    // instrument fills the record with what the instrument holds.
    void linkAgainstTheSimulator() {
        linktest::LogFolder log;
        clsInstrument rec;
        uclHbif link;
        auto* port = new SimPortControl(SimOptions{}, &link);
        link.setSerialControl(port);
        link.setLinkTickInterval(linktest::TickMs);
        link.setInstrument(&rec);
        link.ActivePort()->open();
        QTRY_VERIFY_WITH_TIMEOUT(link.Connected(), ExchangeLimitMs);
        const SimDeviceState& sim = port->instrument().state();
        QCOMPARE(link.ConnectReply(), QString::fromLatin1(sim.connectText));

        QStringList payloads{
            "VP,R,", "VS,R,", "IN,R,", "HN,R,", "XZ,R,", "BS,R,", StationIdReadPayload(),
            "HC,R,", "GJ,R,", "A1,R,", "A2,R,", "AS,R,", "AW,R,", "LS,R,",
            "HA,R,", "CN,R,", "SO,R,", "BU,R,", "WB,R,", "UZ,R,", "AO,R,",
            "UJ,R,"};
        for (const NumericSetting& s : NumericSettings())
            payloads << ReadPayload(QString::fromLatin1(s.code));
        for (const CoefficientCommand& c : CoefficientCommands())
            payloads << ReadPayload(QString::fromLatin1(c.code));
        for (int t = 1; t <= 15; ++t)
            payloads << LibraryReadPayload(t);
        for (int i = 0; i < 128; ++i)
            payloads << StationReadPayload(i);
        for (const QString& p : payloads)
            QVERIFY2(link.Exchange(p, LinkStatus::WaitRead), qPrintable(p));

        QCOMPARE(rec.RomNumber(), sim.romNumber);
        QCOMPARE(rec.SerialNo(), QString::fromLatin1(sim.serialNo).trimmed());
        QCOMPARE(rec.UserID(), QString::fromLatin1(sim.userId).trimmed());
        for (int i = 0; i < 128; ++i)
            QCOMPARE(rec.StationList(i).trimmed(),
                     QString::fromLatin1(sim.stationList[i]).trimmed());
        for (int g = 0; g < 5; ++g) {
            QCOMPARE(rec.GasEnabled(g), sim.gases[std::size_t(g)].enabled);
            QCOMPARE(rec.Warning(g), sim.levels[SimDeviceState::Warning][std::size_t(g)]);
        }
        for (int e = 1; e <= 30; ++e)
            QCOMPARE(rec.LI_Name(e),
                     QString::fromLatin1(sim.library[std::size_t(e)].name).trimmed());
        QVERIFY(rec.SysDate().isValid());
        QCOMPARE(port->instrument().commandCount("XS,R"), 129);

        // Settings written back are echoed in their read encoding.
        rec.setConfirmation(45);
        rec.setCalLimit(200);
        QVERIFY(link.Exchange(SettingWritePayload(u"XB", rec), LinkStatus::WaitWrite));
        QVERIFY(link.Exchange(SettingWritePayload(u"SC", rec), LinkStatus::WaitWrite));
        QVERIFY(link.Exchange(ClockWritePayload(AppDate::now()), LinkStatus::WaitWrite));

        // One memory block in binary: its raw bytes reach the dump's sink.
        QByteArray block;
        link.setBinarySink([&](const QByteArray& bytes) {
            block += bytes;
            return block.size() >= 512 ? uclHbif::BinaryBlock::Complete
                                       : uclHbif::BinaryBlock::More;
        });
        LinkTestAccess::setStatus(link, LinkStatus::BinaryDump);
        link.DataSend(BuildFrame(MemoryBlockReadPayload(2), Ctl::EOT), uclHbif::Send::Start);
        link.waitWhile([&] { return link.Status() == LinkStatus::BinaryDump && !link.Cancel(); });
        QCOMPARE(link.Status(), LinkStatus::Done);
        QCOMPARE(block.left(512), sim.memory.block(2));

        // The dump listing: every block acknowledged, every line buffered.
        int groups = 0;
        link.DumpList().setFullHandler([&](const QList<HexListBuffer::Line>&) { ++groups; });
        LinkTestAccess::setStatus(link, LinkStatus::BlockTransfer);
        link.DataSend(BuildFrame(QByteArrayLiteral("EF,R,"), Ctl::EOT), uclHbif::Send::Start);
        link.waitWhileStatus(LinkStatus::BlockTransfer);
        QCOMPARE(link.Status(), LinkStatus::Done);
        QCOMPARE(groups * 16 + link.DumpList().lines().size(),
                 SimLoggerMemory::ListingBlocks * SimLoggerMemory::ListingBlockSize / 16);
        QCOMPARE(port->instrument().commandCount("ACK"), SimLoggerMemory::ListingBlocks - 1);
    }

    // Damaged and lost replies from the simulator are retried and recovered.
    void simulatorFaultsAreRecovered_data() {
        QTest::addColumn<QString>("faults");
        QTest::newRow("first try ignored") << "failfirst";
        QTest::newRow("corrupted") << "corrupt=2";
        QTest::newRow("split") << "split=3:0";
        QTest::newRow("dropped") << "drop=3";
    }
    void simulatorFaultsAreRecovered() {
        QFETCH(QString, faults);
        linktest::LogFolder log;
        clsInstrument rec;
        uclHbif link;
        auto* port = new SimPortControl(SimOptions{}, &link);
        link.setSerialControl(port);
        link.setLinkTickInterval(linktest::TickMs);
        link.setTimeout(1);
        link.setRetry(3);
        link.setInstrument(&rec);
        link.ActivePort()->open();
        QTRY_VERIFY_WITH_TIMEOUT(link.Connected(), ExchangeLimitMs);
        QVERIFY(port->instrument().setFaults(faults));
        port->instrument().clearCounters();
        for (int i = 0; i < 12; ++i)
            QVERIFY2(link.Exchange(StationReadPayload(i), LinkStatus::WaitRead),
                     qPrintable(StationReadPayload(i)));
        const SimDeviceState& sim = port->instrument().state();
        for (int i = 0; i < 12; ++i)
            QCOMPARE(rec.StationList(i).trimmed(),
                     QString::fromLatin1(sim.stationList[i]).trimmed());
        if (faults != "split=3:0")
            QVERIFY(port->instrument().commandCount("XS,R") > 12);
    }
};

QTEST_MAIN(TestPorts)
#include "test_ports.moc"
