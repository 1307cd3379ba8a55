// Any bytes from the instrument's side of the wire, through the link's receive path: block
// assembly, the reply and checksum checks, the resends and acknowledgements, and the decoder
// storing into a record. The link must end every input with its receive buffer bounded and
// without a sanitizer report.
//
// Input: one flags byte, the payload of the command the exchange answers up to "\n"
// ("XS,R,001F"), then the received bytes.
//   flags bit 0     checksum verification on
//   flags bits 1-2  the exchange's waiting status: read (4), write (5), block transfer (3)
//   flags bits 3-7  the bytes arrive in pieces of this size (0: in one piece)
#include "link/Frame.h"
#include "link/FrameAssembler.h"
#include "link/ScriptedPortControl.h"
#include "link/uclHbif.h"
#include "model/clsInstrument.h"
#include "state/AppState.h"
#include "support/LinkTestAccess.h"

#include <QCoreApplication>
#include <cstdlib>

namespace {

constexpr qsizetype MaxPayload = 64;
constexpr LinkStatus WaitStatus[4] = {LinkStatus::WaitRead, LinkStatus::WaitWrite,
                                      LinkStatus::BlockTransfer, LinkStatus::WaitRead};

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // Qt's own event dispatcher: the GLib one wakes itself through a pipe for every posted
    // event, a third of each input's time.
    qputenv("QT_NO_GLIB", "1");
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const quint8 flags = data[0];
    const QByteArray rest(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    qsizetype split = rest.indexOf('\n');
    if (split < 0 || split > MaxPayload)
        split = 0;
    const QByteArray payload = split > 0 ? rest.left(split) : QByteArrayLiteral("RC,R,");
    const QByteArray received = rest.mid(split > 0 ? split + 1 : 0);

    // Each input starts from the same program state and an empty record. They are copied from
    // ones built once: their texts are shared, where building them anew allocated hundreds of
    // strings, more than half of each input's time under the address sanitizer.
    static const AppState pristineState = [] {
        AppState s;
        // The communication log goes nowhere: a file per input would be the run's whole cost.
        s.StartFolder = QStringLiteral("/nonexistent/tq5800-fuzz");
        return s;
    }();
    static const clsInstrument emptyRecord;
    appState() = pristineState;

    clsInstrument record = emptyRecord;
    {
        uclHbif link;
        link.setTimerEnabled(false);
        auto* port = new ScriptedPortControl(&link);
        link.setSerialControl(port);
        port->open();
        link.setInstrument(&record);
        link.setVerifyChecksum(flags & 1);
        LinkTestAccess::setLinkMode(link, ConnectMode::Connected);
        LinkTestAccess::setStatus(link, WaitStatus[(flags >> 1) & 3]);
        link.DataSend(BuildFrame(payload, Ctl::EOT), uclHbif::Send::Start);

        const qsizetype piece = flags >> 3;
        if (piece == 0) {
            port->inject(received);
        } else {
            for (qsizetype at = 0; at < received.size(); at += piece)
                port->inject(received.mid(at, piece));
        }
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents();

        if (link.RxBuffer().size() > LinkLimits::RxBufferLimit)
            std::abort();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // The framing alone, in the same pieces: every byte fed comes out once, as a block, a
    // refusal line, reported noise or what still waits, and each comes out in its shape.
    FrameAssembler frames(LinkLimits::RxBufferLimit);
    const bool awaited = ((flags >> 1) & 3) != 2;
    qint64 out = 0;
    const auto drain = [&] {
        while (const auto item = frames.next(awaited)) {
            if (item->kind == FrameAssembler::Item::Noise) {
                out += item->noise;
            } else if (item->kind == FrameAssembler::Item::Block) {
                if (!FrameAssembler::isFramed(item->bytes) ||
                    (item->bytes.back() != Ctl::EOT && item->bytes.back() != Ctl::ETB))
                    std::abort();
                out += item->bytes.size();
            } else {
                if (!item->bytes.endsWith(Ctl::CR))
                    std::abort();
                out += item->bytes.size();
            }
        }
        if (frames.buffer().size() > LinkLimits::RxBufferLimit)
            std::abort();
    };
    const qsizetype step = (flags >> 3) ? (flags >> 3) : qMax<qsizetype>(received.size(), 1);
    for (qsizetype at = 0; at < received.size(); at += step) {
        frames.append(QByteArrayView(received).sliced(at, qMin(step, received.size() - at)));
        drain();
    }
    if (out + frames.takeNoise() + frames.buffer().size() != received.size())
        std::abort();
    return 0;
}
