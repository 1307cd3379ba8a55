#pragma once

#include <QByteArray>

// The instrument's 512 KiB logger FLASH: logged readings in blocks 0..895, the power log in
// blocks 896..1023. Read by the PC in 512-byte blocks ("EP") and listed in 128-byte blocks
// ("EF").
class SimLoggerMemory {
public:
    static constexpr int Size = 524288;
    static constexpr int BlockSize = 512;
    static constexpr int Blocks = Size / BlockSize;
    static constexpr int PowerLogFirstBlock = 896;
    static constexpr int ListingBlockSize = 128;
    static constexpr int ListingBlocks = 8;

    SimLoggerMemory();

    const QByteArray& bytes() const { return m_bytes; }
    QByteArray block(int index) const;         // empty when out of range
    QByteArray listingBlock(int number) const; // 1-based; empty when out of range

    void clearLogger();    // logged readings erased (0xFF)
    void clearPowerLog();  // power log erased (0xFF)
    void writeCheckData(); // the whole memory holds the check pattern

    // What the memory holds after the check data is written: the reference image.
    static QByteArray checkImage();
    // A recognisable log: one 16-byte record a minute, and power on/off events.
    static QByteArray sampleImage();

private:
    static QByteArray buildCheckImage();
    static QByteArray buildSampleImage();

    QByteArray m_bytes;
};
