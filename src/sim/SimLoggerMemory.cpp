#include "sim/SimLoggerMemory.h"

#include <QDateTime>
#include <algorithm>

namespace {

char bcd(int v) {
    return char(((v / 10) << 4) | (v % 10));
}

void putBcdTime(char* at, const QDateTime& t) {
    at[0] = bcd(t.date().year() % 100);
    at[1] = bcd(t.date().month());
    at[2] = bcd(t.date().day());
    at[3] = bcd(t.time().hour());
    at[4] = bcd(t.time().minute());
    at[5] = bcd(t.time().second());
}

void putU16(char* at, int v) {
    at[0] = char((v >> 8) & 0xFF);
    at[1] = char(v & 0xFF);
}

constexpr int RecordSize = 16;

} // namespace

SimLoggerMemory::SimLoggerMemory() : m_bytes(sampleImage()) {}

QByteArray SimLoggerMemory::block(int index) const {
    if (index < 0 || index >= Blocks)
        return {};
    return m_bytes.mid(qsizetype(index) * BlockSize, BlockSize);
}

QByteArray SimLoggerMemory::listingBlock(int number) const {
    if (number < 1 || number > ListingBlocks)
        return {};
    return m_bytes.mid(qsizetype(number - 1) * ListingBlockSize, ListingBlockSize);
}

void SimLoggerMemory::clearLogger() {
    const int end = PowerLogFirstBlock * BlockSize;
    std::fill(m_bytes.begin(), m_bytes.begin() + end, char(0xFF));
}

void SimLoggerMemory::clearPowerLog() {
    const int start = PowerLogFirstBlock * BlockSize;
    std::fill(m_bytes.begin() + start, m_bytes.end(), char(0xFF));
}

void SimLoggerMemory::writeCheckData() {
    m_bytes = checkImage();
}

QByteArray SimLoggerMemory::checkImage() {
    static const QByteArray image = buildCheckImage();
    return image;
}

QByteArray SimLoggerMemory::sampleImage() {
    static const QByteArray image = buildSampleImage();
    return image;
}

QByteArray SimLoggerMemory::buildCheckImage() {
    // Every 16-byte line names its own address, so a block stored at the wrong offset
    // shows in a comparison as well as a correct one does.
    QByteArray image(Size, char(0xFF));
    char* p = image.data();
    for (int a = 0; a < Size; a += RecordSize) {
        const QByteArray head = "CHK" + QByteArray::number(a, 16).toUpper().rightJustified(6, '0');
        std::copy(head.begin(), head.end(), p + a);
        p[a + 9] = ' ';
        for (int k = 0; k < 6; ++k)
            p[a + 10 + k] = char(((a >> 4) + k) & 0xFF);
    }
    return image;
}

QByteArray SimLoggerMemory::buildSampleImage() {
    QByteArray image(Size, char(0xFF));
    char* p = image.data();
    const QDateTime start(QDate(2025, 1, 6), QTime(8, 0));

    // Logged readings: marker, time, CH4 %LEL, O2 x10, H2S x10, CO, record sum.
    const int records = PowerLogFirstBlock * BlockSize / RecordSize;
    for (int k = 0; k < records; ++k) {
        char* r = p + k * RecordSize;
        r[0] = char(0xA5);
        putBcdTime(r + 1, start.addSecs(qint64(k) * 60));
        putU16(r + 7, k % 97 == 0 ? 3 : 0);
        putU16(r + 9, k % 53 == 0 ? 208 : 209);
        putU16(r + 11, k % 211 == 0 ? 5 : 0);
        putU16(r + 13, k % 37 == 0 ? 2 : 0);
        unsigned sum = 0;
        for (int i = 0; i < 15; ++i)
            sum += quint8(r[i]);
        r[15] = char(sum & 0xFF);
    }

    // Power log: marker, time, event (1 on, 0 off), battery millivolts; the rest erased.
    char* power = p + PowerLogFirstBlock * BlockSize;
    for (int k = 0; k < 64; ++k) {
        char* r = power + k * RecordSize;
        r[0] = char(0x5A);
        putBcdTime(r + 1, start.addSecs(qint64(k / 2) * 9 * 3600 + (k % 2) * 8 * 3600));
        r[7] = char(k % 2 == 0 ? 1 : 0);
        putU16(r + 8, 3900 - k * 3);
    }
    return image;
}
