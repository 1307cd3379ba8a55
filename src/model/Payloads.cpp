#include "model/Payloads.h"

#include "app/Conversions.h"
#include "app/ReadingFormat.h"
#include "model/clsInstrument.h"

QString TextN(const QString& text, int width) {
    if (width <= 0)
        return QString();
    return text.left(width).leftJustified(width, u' ');
}

QString LevelText(float value, int decimals) {
    return FormatScaleValue(value, decimals);
}

QString HexN(qint64 value, int width) {
    // Negative values are written as their two's complement (the instrument's 16/32-bit form).
    const quint64 bits = value < 0 ? quint64(value) & 0xFFFFFFFFull : quint64(value);
    const QString hex = QString::number(bits, 16).toUpper();
    if (hex.size() >= width)
        return hex.right(width);
    return hex.rightJustified(width, u'0');
}

QString GasRecordText(const clsInstrument& r, int gas) {
    if (!r.GasEnabled(gas))
        return QString(25, u'*');
    const int d = r.GasPoint(gas);
    return TextN(r.GasName(gas), 11) + LevelText(r.GasFullScale(gas), d) +
           LevelText(r.GasDesit(gas), d) + TextN(r.GasUnit(gas), 4);
}

QString GasRecordsPayload(const clsInstrument& r) {
    QStringList parts;
    for (int i = 0; i < clsInstrument::GasCount; ++i)
        parts << GasRecordText(r, i);
    return parts.join(u',');
}

QString LevelsPayload(const clsInstrument& r, bool alarm) {
    QStringList parts;
    for (int i = 0; i < clsInstrument::GasCount; ++i)
        parts << LevelText(alarm ? r.Alarm(i) : r.Warning(i), r.GasPoint(i));
    return parts.join(u',');
}

QString LsWritePayloadRecord(const clsInstrument& r, int e) {
    const int d = r.LS_Point(e);
    QString out;
    out += HexN(r.LS_No(e), 2) + u',';
    out += TextN(r.LS_Name(e), UserGasNameWidth) + u',';
    out += LevelText(r.LS_FullScale(e), d) + u',';
    out += LevelText(r.LS_Digit(e), d) + u',';
    out += TextN(r.LS_Unit(e), 4) + u',';
    out += HexN(r.LS_elem_vol(e), UserGasVoltDigits) + u',';
    out += SingleToHex(r.LS_Ratio(e)) + u',';
    return out;
}

QString LsFileRecord(const clsInstrument& r, int e) {
    const int d = r.LS_Point(e);
    QString out;
    out += QStringLiteral("00,");
    out += TextN(r.LS_Name(e), UserGasNameWidth) + u',';
    out += LevelText(r.LS_FullScale(e), d) + u',';
    out += LevelText(r.LS_Digit(e), d) + u',';
    out += TextN(r.LS_Unit(e), 4) + u',';
    out += HexN(r.LS_elem_vol(e), 4) + u',';
    out += SingleToHex(r.LS_Ratio(e)) + u',';
    return out;
}
