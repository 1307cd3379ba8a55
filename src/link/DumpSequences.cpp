#include "link/DumpSequences.h"

#include "app/AppDate.h"
#include "app/MessageTable.h"
#include "app/ReadingFormat.h"
#include "link/CommandSet.h"
#include "link/Frame.h"
#include "link/uclHbif.h"
#include "model/Payloads.h"

#include <QDateTime>
#include <QFileInfo>

namespace {

constexpr int AddressDigits = 6;
constexpr int RuleWidth = 74;

QString address(quint32 a) {
    return HexN(a, AddressDigits);
}

QString nowText() {
    return AppDate::now().general();
}

} // namespace

// --- binary image ----------------------------------------------------------------------------

bool DumpSequences::GetBinDump(const QString& path, int first, int last) {
    const OperationScope scope(m_link);
    emit m_link.DumpMessage(QStringLiteral("Initialize Local Image"));
    const bool wholeMemory = first == 0 && last == MemoryBlocks - 1;
    bool imageReady = true;
    if (wholeMemory || !QFileInfo::exists(path)) {
        QFile::remove(path);
        imageReady = FillFileFF(path, ImageSize);
    }
    emit m_link.DumpMessage(QStringLiteral("Get FLASH Image"));
    m_link.AddLog(LoadMessage(5569, {nowText()}));
    m_link.setBinDumpPath(path);
    m_link.setBinaryRetry(false);
    m_link.setCancel(false);

    QFile image(path);
    imageReady = imageReady && image.open(QIODevice::ReadWrite);
    qint64 offset = 0;
    qint64 count = 0;
    // Bytes received while Status is 9 go straight into the image at the block's offset; bytes
    // beyond the block would overwrite the next block or grow the image.
    m_link.setBinarySink([&](const QByteArray& bytes) {
        const qint64 room = BlockSize - count;
        if (room <= 0 || bytes.isEmpty())
            return uclHbif::BinaryBlock::More;
        const qint64 n = qMin<qint64>(room, bytes.size());
        if (!image.seek(offset + count) || image.write(bytes.constData(), n) != n) {
            m_link.AddLog(QStringLiteral("<<< Dump file error >>> ") + path);
            return uclHbif::BinaryBlock::Error;
        }
        count += n;
        return count >= BlockSize ? uclHbif::BinaryBlock::Complete : uclHbif::BinaryBlock::More;
    });

    // Only a run that reaches the last block whole is a dump; a cancel between blocks is not.
    bool lastWhole = false;
    for (int block = first; imageReady && block <= last && !m_link.isWaiting(); ++block) {
        offset = qint64(block) * BlockSize;
        count = 0;
        m_link.setStatus(LinkStatus::BinaryDump);
        m_link.DataSend(BuildFrame(MemoryBlockReadPayload(block), Ctl::EOT), uclHbif::Send::Start);
        m_link.waitWhile(
            [this] { return m_link.Status() == LinkStatus::BinaryDump && !m_link.Cancel(); });
        lastWhole = block == last && m_link.Status() == LinkStatus::Done;
        emit m_link.DumpMessage(QStringLiteral("Get FLASH Image ") + HexN(block, 4));
        m_link.AddLog(LoadMessage(5570, {nowText()}));
        if (m_link.Status() != LinkStatus::Done || m_link.Cancel())
            break;
    }
    m_link.setBinarySink({});
    image.close();
    if (lastWhole && m_link.Status() == LinkStatus::Done)
        return true;
    m_link.setStatus(LinkStatus::Released);
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

void DumpSequences::writeListLine(const QString& text) {
    m_list.write((text + QStringLiteral("\r\n")).toLocal8Bit());
}

void DumpSequences::WriteHexList(const QList<HexListBuffer::Line>& lines) {
    if (lines.isEmpty())
        return;
    if (m_list.isOpen()) {
        writeListLine(HexListHeader());
        writeListLine(HexListRule());
        for (const HexListBuffer::Line& l : lines)
            writeListLine(address(l.address) + u' ' + HexDumpLine(l.bytes));
        writeListLine(QString());
    }
    emit m_link.DumpMessage(QStringLiteral("Get Dump ") + address(lines.first().address) + u'-' +
                            address(lines.last().address + 15));
}

bool DumpSequences::GetRomDump2(const QString& listPath) {
    const OperationScope scope(m_link);
    m_link.AddLog(LoadMessage(5569, {nowText()}));
    const QDateTime start = QDateTime::currentDateTime();

    m_list.setFileName(listPath);
    if (m_list.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        writeListLine(QStringLiteral(";\tTQ-5800 Data Logger Program"));
        writeListLine(QStringLiteral(";\tFlush ROM Dump (EF) List ") +
                      AppDate::fromDateTime(start).general());
        writeListLine(QStringLiteral(";\tSelvane Co.,Ltd."));
        writeListLine(QString());
    }

    HexListBuffer& buffer = m_link.DumpList();
    buffer.clear();
    buffer.setFullHandler([this](const QList<HexListBuffer::Line>& g) { WriteHexList(g); });

    if (!m_link.isWaiting()) {
        m_link.setStatus(LinkStatus::BlockTransfer);
        m_link.DataSend(BuildFrame(ReadPayload(u"EF"), Ctl::EOT), uclHbif::Send::Start);
        m_link.waitWhileStatus(LinkStatus::BlockTransfer);
    }

    // A listing that ends inside a group: the group is filled up with erased lines.
    QList<HexListBuffer::Line> rest = buffer.lines();
    buffer.clear();
    buffer.setFullHandler({});
    if (!rest.isEmpty()) {
        while (rest.size() < HexListBuffer::Lines)
            rest.append({rest.last().address + HexListBuffer::BytesPerLine,
                         QByteArray(HexListBuffer::BytesPerLine, char(0xFF))});
        WriteHexList(rest);
    }

    if (m_list.isOpen()) {
        writeListLine(QString());
        const qint64 elapsed = start.secsTo(QDateTime::currentDateTime());
        writeListLine(QStringLiteral(";\tTotal Download Time = ") + FormatElapsed(elapsed));
        m_list.close();
    }
    if (m_link.Status() == LinkStatus::Done)
        return true;
    m_link.setStatus(LinkStatus::Released);
    return false;
}
