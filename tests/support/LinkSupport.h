#pragma once

// Frame helpers the sequence tests share, written here apart from the link's frame code.

#include <QByteArray>
#include <QList>
#include <QStringList>

namespace linksupport {

// The payload of a frame the PC wrote: between "0001" and ETX.
inline QString Payload(const QByteArray& frame) {
    const qsizetype etx = frame.lastIndexOf('\x03');
    if (frame.size() < 6 || frame.at(0) != '\x02' || etx < 5)
        return QString();
    return QString::fromLatin1(frame.mid(5, etx - 5));
}

inline QStringList Payloads(const QList<QByteArray>& frames) {
    QStringList out;
    for (const QByteArray& f : frames)
        out << Payload(f);
    return out;
}

// The payload's command key and form ("XS,W"), or the whole payload when shorter.
inline QString Key(const QString& payload) {
    return payload.left(4);
}

// The 190 commands of a full read in the order the instrument must receive them, written out
// here from the read table's layout rather than taken from the link's table.
inline QStringList ExpectedFullRead() {
    QStringList out;
    for (const char* code : {"VP", "XZ"})
        out << QString::fromLatin1(code) + ",R,";
    out << "XS,R,****";
    for (const char* code :
         {"IN", "HN", "HC", "AP", "XP", "SD", "SM", "SC", "XB", "XW", "XT", "HF", "GJ",
          "A1", "A2", "HA", "VS", "AT", "UJ", "SJ", "SG", "CP", "UQ", "AF", "BS", "LS"})
        out << QString::fromLatin1(code) + ",R,";
    for (int table = 1; table <= 15; ++table)
        out << QString("LI,R,%1").arg(table, 2, 16, QChar('0')).toUpper();
    for (int station = 0; station < 128; ++station)
        out << QString("XS,R,%1").arg(station, 4, 16, QChar('0')).toUpper();
    for (const char* code : {"CN", "OG", "VG", "V2", "CC", "CF", "CM", "CA", "CD", "CL", "C3", "C4",
                             "C5", "CB", "CE", "CK", "C2", "C1"})
        out << QString::fromLatin1(code) + ",R,";
    return out;
}

} // namespace linksupport
