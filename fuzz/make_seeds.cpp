// Writes the seed corpus of the fuzz targets from the program's own output: the simulated
// instrument's reply to every command the decoder knows, a configuration file and settings
// files as the program writes them, and the tokenizer set up the way the readers set it up.
//   make_seeds fuzz/corpus
#include "app/AppDate.h"
#include "link/Frame.h"
#include "link/LinkState.h"
#include "link/ResponseDecoder.h"
#include "model/CommandSet.h"
#include "model/SettingsFile.h"
#include "model/StationFile.h"
#include "model/clsInstrument.h"
#include "sim/SimInstrument.h"
#include "state/AppState.h"
#include "state/ConfigFile.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QList>
#include <cstdio>

namespace {

QString g_root;

void writeSeed(const QString& target, const QByteArray& bytes) {
    const QString dir = g_root + u'/' + target;
    QDir().mkpath(dir);
    const QString name = QString::fromLatin1(
        QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex().left(16));
    QFile f(dir + u'/' + name);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

// The blocks the simulator sends for one command, acknowledging each ETB-terminated block.
QList<QByteArray> exchange(SimInstrument& sim, const QByteArray& payload) {
    QList<QByteArray> blocks;
    QByteArray pending;
    const auto conn = QObject::connect(&sim, &SimInstrument::transmit,
                                       [&pending](const QByteArray& b) { pending += b; });
    const QByteArray command = BuildFrame(payload, Ctl::EOT);
    sim.receive(command);
    for (int guard = 0; guard < 64; ++guard) {
        QCoreApplication::processEvents();
        if (pending.isEmpty())
            break;
        blocks << pending;
        const bool more = pending.endsWith(Ctl::ETB);
        pending.clear();
        if (!more)
            break;
        sim.receive(BlockAcknowledgement(command, true));
    }
    QObject::disconnect(conn);
    return blocks;
}

// Data of a read for the commands that need one.
QByteArray readData(const QByteArray& key) {
    if (key == "XS,R")
        return "0001";
    if (key == "LI,R")
        return "0F";
    if (key == "EP,R")
        return "0000";
    return {};
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds CORPUS_DIR\n");
        return 2;
    }
    g_root = QString::fromLocal8Bit(argv[1]);
    resetAppState();
    appState().StartFolder = QDir::tempPath() + QStringLiteral("/tq5800-seeds");

    // Replies. Reads first, so that a write can send back what was read.
    SimInstrument sim;
    clsInstrument record;
    LinkState state;
    state.Instrument = &record;
    state.LinkMode = ConnectMode::Connected;
    ResponseDecoder decoder(state);
    const QByteArray chars = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QList<QByteArray> keys;
    for (const char suffix : {'R', 'W', 'C', 'E'})
        for (const char a : chars)
            for (const char b : chars) {
                const QByteArray key = QByteArray(1, a) + b + ',' + suffix;
                if (ResponseDecoder::IsKnownKey(key))
                    keys << key;
            }
    QHash<QByteArray, QByteArray> readReply;
    int replies = 0;
    for (const QByteArray& key : keys) {
        QByteArray data = readData(key);
        if (key.endsWith('W'))
            data = readReply.value(key.left(3) + 'R');
        const QByteArray payload = key + ',' + data;
        const QList<QByteArray> blocks = exchange(sim, payload);
        if (blocks.isEmpty())
            continue;
        for (const QByteArray& b : blocks)
            decoder.DecodeResponse(b);
        if (key.endsWith('R')) {
            const BlockParts parts = SplitBlock(blocks.first());
            readReply.insert(key, parts.data);
        }
        const QByteArray all = blocks.join();
        const char waiting = key.endsWith('R') ? 0 : 2; // read (4) or write (5)
        writeSeed(QStringLiteral("fuzz_link_receive"),
                  QByteArray(1, char(1 | waiting)) + payload + '\n' + all);
        // The same reply in pieces of five bytes, checksums not verified.
        writeSeed(QStringLiteral("fuzz_link_receive"),
                  QByteArray(1, char(waiting | (5 << 3))) + payload + '\n' + all);
        ++replies;
    }

    // Settings files: the simulator's settings as read, and a fresh record.
    const QByteArray settings = SettingsFileText(record);
    writeSeed(QStringLiteral("fuzz_settings_file"), settings);
    writeSeed(QStringLiteral("fuzz_settings_file"), SettingsFileText(clsInstrument()));

    // Configuration files: the defaults, and the simulator's record as the default record.
    const AppDate when(45000.5);
    const QByteArray config = ConfigFileText(appState(), when);
    writeSeed(QStringLiteral("fuzz_config_file"), config);
    appState().DefaultRecord = record;
    appState().AccessPassword = QStringLiteral("secret");
    writeSeed(QStringLiteral("fuzz_config_file"), ConfigFileText(appState(), when));

    // Station lists: the simulator's stations as read, and a full list of 128.
    QStringList stations;
    for (int i = 0; i < 4; ++i) {
        const QList<QByteArray> blocks =
            exchange(sim, "XS,R," + QByteArray::number(i + 1, 16).rightJustified(4, '0'));
        for (const QByteArray& b : blocks)
            decoder.DecodeResponse(b);
    }
    for (int i = 0; i < 4; ++i)
        stations << record.StationList(i);
    writeSeed(QStringLiteral("fuzz_station_file"), StationFile::Text(stations));
    QStringList full;
    for (int i = 0; i < StationFile::Entries; ++i)
        full << QStringLiteral("Tank %1").arg(i + 1);
    writeSeed(QStringLiteral("fuzz_station_file"), StationFile::Text(full));

    // The tokenizer as the configuration reader (TAB, quotes, ";"), the settings reader and the
    // decoder (",") set it up, with their own lines.
    writeSeed(QStringLiteral("fuzz_tokenizer"), QByteArray("\t\n'\n;\n") + config);
    writeSeed(QStringLiteral("fuzz_tokenizer"), QByteArray(",\n\n;\n") + settings);
    QByteArray data;
    for (const QByteArray& d : std::as_const(readReply))
        data += d + '\n';
    writeSeed(QStringLiteral("fuzz_tokenizer"), QByteArray(",\n\n\n") + data);

    std::printf("%d replies of %lld keys\n", replies, qlonglong(keys.size()));
    return 0;
}
