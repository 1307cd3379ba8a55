#include "ops/DumpSequences.h"

#include "app/AppDate.h"
#include "app/FilePaths.h"
#include "app/MessageTable.h"
#include "app/ReadingFormat.h"
#include "link/Frame.h"
#include "link/uclHbif.h"
#include "model/CommandSet.h"
#include "model/Payloads.h"
#include "ops/InstrumentSession.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTimer>

#include <cstring>

namespace {

constexpr int AddressDigits = 6;
constexpr int RuleWidth = 74;

QString address(quint32 a) {
    return HexN(a, AddressDigits);
}

QString nowText() {
    return AppDate::now().general();
}

QString block4(qint64 block) {
    return HexN(block, 4);
}

} // namespace

// --- binary image ----------------------------------------------------------------------------

bool DumpSequences::prepareImage(const QString& path, int first, int last) {
    QString why;
    const bool wholeMemory = first == 0 && last == MemoryBlocks - 1;
    if (!CheckWritable(path, WriteKind::Replace, &why)) {
        m_outcome.fileError = why;
        return false;
    }
    if (wholeMemory || !QFileInfo::exists(path)) {
        m_image = QByteArray(ImageSize, char(0xFF));
    } else {
        QFile old(path);
        if (!old.open(QIODevice::ReadOnly)) {
            m_outcome.fileError = old.errorString();
            return false;
        }
        m_image = old.readAll();
        if (m_image.size() < ImageSize)
            m_image.append(QByteArray(ImageSize - m_image.size(), char(0xFF)));
    }
    // The image is written aside once before the instrument is asked: a full disk shows now,
    // not after the whole download.
    QSaveFile room(path);
    if (!room.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || !WriteAll(room, m_image)) {
        m_outcome.fileError = room.errorString();
        return false;
    }
    room.cancelWriting();
    return true;
}

bool DumpSequences::lineStaysQuiet(const bool& byteCame) {
    bool quiet = false;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [this, &quiet] {
        quiet = true;
        m_link.wake();
    });
    timer.start(m_link.Timings().BlockQuietMs);
    m_link.waitWhile([&] { return !quiet && !byteCame && !m_link.Cancel(); });
    return quiet && !byteCame;
}

bool DumpSequences::keepPartial(const QString& path, const QByteArray& bytes) {
    const QString partial = PartialPath(path);
    QString why;
    if (!WriteFileAtomically(partial, bytes, &why)) {
        m_outcome.fileError = why;
        return false;
    }
    m_outcome.partialPath = partial;
    return true;
}

void DumpSequences::finishImage(const QString& path, int first, qint64 arrived, bool complete) {
    m_outcome.arrived = arrived;
    if (complete) {
        QString why;
        if (!WriteFileAtomically(path, m_image, &why)) {
            m_outcome.end = Outcome::End::FileError;
            m_outcome.fileError = why;
        }
    } else if (arrived > 0) {
        // Only the blocks that came, from the first: an image padded with erased blocks would
        // pass for that of an instrument holding less data.
        keepPartial(path,
                    m_image.mid(qsizetype(first) * BlockSize, qsizetype(arrived) * BlockSize));
    }
    m_image.clear();
}

bool DumpSequences::GetBinDump(const QString& path, int first, int last) {
    const OperationScope scope(m_link);
    m_outcome = Outcome();
    m_outcome.expected = last - first + 1;
    emit m_link.DumpMessage(QStringLiteral("Initialize Local Image"));
    if (!prepareImage(path, first, last)) {
        m_outcome.end = Outcome::End::FileError;
        m_link.AddLog(LoadMessage(9424, {QDir::toNativeSeparators(path), m_outcome.fileError}));
        m_link.release();
        emit m_link.Beep();
        return false;
    }
    emit m_link.DumpMessage(QStringLiteral("Get FLASH Image"));
    m_link.AddLog(LoadMessage(5569, {nowText()}));
    m_link.setBinDumpPath(path);
    m_link.setBinaryRetry(false);
    m_link.setCancel(false);

    // Bytes go into the image at the block's offset while a block is awaited; any byte beyond
    // its 512, or arriving while none is awaited, is surplus: the block is asked again.
    bool awaiting = false;
    bool surplus = false;
    qint64 offset = 0;
    qint64 count = 0;
    m_link.setBinarySink([&](const QByteArray& bytes) {
        if (bytes.isEmpty())
            return uclHbif::BinaryBlock::More;
        if (!awaiting || count + bytes.size() > BlockSize) {
            surplus = true;
            return uclHbif::BinaryBlock::Error;
        }
        memcpy(m_image.data() + offset + count, bytes.constData(), size_t(bytes.size()));
        count += bytes.size();
        return count == BlockSize ? uclHbif::BinaryBlock::Complete : uclHbif::BinaryBlock::More;
    });

    int block = first;
    int quietFrom = first; // the blocks before it were followed by a quiet line
    int surplusInARow = 0;
    while (block <= last && !m_link.isWaiting()) {
        offset = qint64(block) * BlockSize;
        count = 0;
        surplus = false;
        awaiting = true;
        m_link.beginBinaryDump();
        m_link.DataSend(BuildFrame(MemoryBlockReadPayload(block), Ctl::EOT), uclHbif::Send::Start);
        m_link.waitWhile(
            [this] { return m_link.Status() == LinkStatus::BinaryDump && !m_link.Cancel(); });
        awaiting = false;
        emit m_link.DumpMessage(QStringLiteral("Get FLASH Image ") + block4(block));
        m_link.AddLog(LoadMessage(5570, {nowText()}));
        const bool whole = !surplus && m_link.Status() == LinkStatus::Done && !m_link.Cancel();
        const bool check = whole && (block == last || block + 1 - quietFrom >= QuietCheckEvery);
        if (check && lineStaysQuiet(surplus)) {
            quietFrom = block + 1;
            surplusInARow = 0;
        }
        if (surplus) {
            if (++surplusInARow > m_link.Retry()) {
                m_outcome.end = Outcome::End::Surplus;
                m_outcome.stoppedAt = block;
                break;
            }
            m_link.AddLog(LoadMessage(9430, {block4(block), block4(quietFrom)}));
            // Late bytes of the broken reply arrive while the link rests and are thrown away.
            m_link.waitTicks(m_link.Timings().RetryQuietTicks);
            block = quietFrom;
            continue;
        }
        if (!whole || m_link.Cancel()) {
            m_outcome.stoppedAt = block;
            if (m_link.BinaryRetry())
                m_outcome.end = Outcome::End::NoReply;
            else if (m_link.Cancel() || m_link.Status() == LinkStatus::Cancelled)
                m_outcome.end = Outcome::End::Cancelled;
            else
                m_outcome.end = Outcome::End::LinkFailed;
            break;
        }
        block = check ? quietFrom : block + 1;
    }
    m_link.setBinarySink({});
    const bool complete = quietFrom > last;
    if (!complete && m_outcome.end == Outcome::End::Complete)
        m_outcome.end = Outcome::End::LinkFailed; // a wait refused: another one runs
    // The blocks that came whole; after surplus only those followed by a quiet line count.
    const qint64 arrived = (m_outcome.end == Outcome::End::Surplus ? quietFrom : block) - first;
    finishImage(path, first, arrived, complete);
    if (m_outcome.end == Outcome::End::Complete) {
        AttachFile(m_link, path);
        return true;
    }
    if (!m_outcome.partialPath.isEmpty())
        AttachFile(m_link, m_outcome.partialPath);
    m_link.release();
    emit m_link.Beep();
    return false;
}

// --- hex list --------------------------------------------------------------------------------

QString DumpSequences::HexDumpLine(const QByteArray& bytes) {
    QString hex;
    QString text;
    hex.reserve(52);
    for (int i = 0; i < HexListBuffer::BytesPerLine; ++i) {
        const quint8 b = i < bytes.size() ? quint8(bytes.at(i)) : 0xFF;
        hex += HexN(b, 2) + u' ';
        if (i == 7)
            hex += u' ';
        text += (b < 32 || b > 126) ? QChar(u'.') : QChar(char16_t(b));
    }
    return hex + QStringLiteral("  ") + text;
}

QString DumpSequences::HexListHeader() {
    return QStringLiteral(
        "Adrs   +0 +1 +2 +3 +4 +5 +6 +7  +8 +9 +A +B +C +D +E +F   List Of ASCII   ");
}

QString DumpSequences::HexListRule() {
    return QString(RuleWidth, u'-');
}

void DumpSequences::listLine(const QString& text) {
    m_listBody += (text + QStringLiteral("\r\n")).toLocal8Bit();
}

void DumpSequences::WriteHexList(const QList<HexListBuffer::Line>& lines) {
    if (lines.isEmpty())
        return;
    if (m_listing) {
        listLine(HexListHeader());
        listLine(HexListRule());
        for (const HexListBuffer::Line& l : lines)
            listLine(address(l.address) + u' ' + HexDumpLine(l.bytes));
        listLine(QString());
    }
    emit m_link.DumpMessage(QStringLiteral("Get Dump ") + address(lines.first().address) + u'-' +
                            address(lines.last().address + 15));
}

bool DumpSequences::GetRomDump2(const QString& listPath) {
    const OperationScope scope(m_link);
    m_outcome = Outcome();
    m_link.AddLog(LoadMessage(5569, {nowText()}));
    const QDateTime start = QDateTime::currentDateTime();
    if (!CheckWritable(listPath, WriteKind::Replace, &m_outcome.fileError)) {
        m_outcome.end = Outcome::End::FileError;
        m_link.AddLog(LoadMessage(9424, {QDir::toNativeSeparators(listPath), m_outcome.fileError}));
        m_link.release();
        return false;
    }

    m_listBody.clear();
    m_listing = true;
    HexListBuffer& buffer = m_link.DumpList();
    buffer.clear();
    buffer.setFullHandler([this](const QList<HexListBuffer::Line>& g) { WriteHexList(g); });
    if (!m_link.isWaiting()) {
        m_link.beginBlockTransfer();
        m_link.DataSend(BuildFrame(CommandPayload(Key::DumpListing), Ctl::EOT),
                        uclHbif::Send::Start);
        m_link.waitWhileStatus(LinkStatus::BlockTransfer);
    }
    const bool ended = m_link.Status() == LinkStatus::Done;
    const bool complete = ended && buffer.complete();
    m_outcome.arrived = buffer.arrivedCount();
    m_outcome.expected = buffer.announced();
    m_outcome.arrivedText = buffer.arrivedText();
    if (!complete) {
        if (ended)
            m_outcome.end = Outcome::End::Incomplete;
        else if (m_link.WasCancelled())
            m_outcome.end = Outcome::End::Cancelled;
        else
            m_outcome.end = Outcome::End::NoReply;
    }

    // A listing that ends inside a group: the group is filled up with erased lines. A listing
    // that broke off gets no lines it did not send.
    QList<HexListBuffer::Line> rest = buffer.lines();
    buffer.clear();
    buffer.setFullHandler({});
    if (complete && !rest.isEmpty()) {
        while (rest.size() < HexListBuffer::Lines)
            rest.append({rest.last().address + HexListBuffer::BytesPerLine,
                         QByteArray(HexListBuffer::BytesPerLine, char(0xFF))});
    }
    WriteHexList(rest);
    m_listing = false;

    QByteArray text;
    const auto line = [&text](const QString& t) {
        text += (t + QStringLiteral("\r\n")).toLocal8Bit();
    };
    line(QStringLiteral(";\tTQ-5800 Data Logger Program"));
    line(QStringLiteral(";\tFlush ROM Dump (EF) List ") + AppDate::fromDateTime(start).general());
    line(QStringLiteral(";\tSelvane Co.,Ltd."));
    if (!complete) {
        const QString of =
            m_outcome.expected > 0 ? QString::number(m_outcome.expected) : QStringLiteral("?");
        line(QStringLiteral(";\tIncomplete list: blocks %1 of %2 arrived")
                 .arg(m_outcome.arrivedText, of));
    }
    line(QString());
    text += m_listBody;
    m_listBody.clear();
    line(QString());
    const qint64 elapsed = start.secsTo(QDateTime::currentDateTime());
    line(QStringLiteral(";\tTotal Download Time = ") + FormatElapsed(elapsed));

    if (complete) {
        if (!WriteFileAtomically(listPath, text, &m_outcome.fileError))
            m_outcome.end = Outcome::End::FileError;
    } else if (m_outcome.arrived > 0) {
        keepPartial(listPath, text);
    }
    if (m_outcome.end == Outcome::End::Complete)
        return true;
    m_link.release();
    return false;
}

// --- the outcome in words --------------------------------------------------------------------

QStringList DumpSequences::Describe(const Outcome& o, const QString& path) {
    using End = Outcome::End;
    const QString file = QDir::toNativeSeparators(path);
    QStringList out;
    switch (o.end) {
    case End::Complete:
        return out;
    case End::NoReply:
        out << (o.stoppedAt >= 0 ? LoadMessage(9420, {block4(o.stoppedAt)}) : LoadMessage(9431));
        break;
    case End::Cancelled:
        out << LoadMessage(9421);
        break;
    case End::Surplus:
        out << LoadMessage(9422, {QString::number(BlockSize), block4(o.stoppedAt)});
        break;
    case End::LinkFailed:
        out << LoadMessage(9432);
        break;
    case End::Incomplete:
        out << LoadMessage(9423, {o.arrivedText, QString::number(o.expected)});
        break;
    case End::FileError:
        out << LoadMessage(9424, {file, o.fileError});
        return out;
    }
    if (!o.partialPath.isEmpty())
        out << LoadMessage(9425, {QDir::toNativeSeparators(o.partialPath), file});
    else if (!o.fileError.isEmpty())
        out << LoadMessage(9426, {file, o.fileError});
    else
        out << LoadMessage(9436, {file});
    return out;
}
