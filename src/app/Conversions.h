#pragma once

#include <QList>
#include <QString>

// A text of exactly one character gets a "0" in front; any other text is returned unchanged.
QString PadHex(const QString& text);
// The IEEE single bit pattern as eight upper-case hex digits, most significant byte first.
QString SingleToHex(float value);
// The inverse of SingleToHex. Throws ConversionError when the text is shorter than eight
// characters or a byte pair is not hexadecimal; characters after the eighth are ignored.
float HexToSingle(const QString& text);

// Identity text kinds: 0 user ID, 1 station ID (16 wide), 2 serial number, 3 substitute serial
// number (20 wide).
QString NormalizeIdText(const QString& text, int kind);

bool IsIdKey(int charCode);
bool IsNameKey(int charCode);
bool IsNameText(const QString& text);
bool IsAllDigits(const QString& text);

// One serial port as the system sees it when looking for the USB serial converter.
struct PortDescriptor {
    QString portName;
    bool hasIdentifiers = false;
    quint16 vendorId = 0;
    quint16 productId = 0;
};

struct ConverterLookup {
    int matches = 0;    // how many connected converters carry the identifier
    QString portName;   // the one match's port name ("COM5", "ttyUSB0"); empty otherwise
    int portNumber = 0; // the COM number of the one match, 0 otherwise
};

inline constexpr quint16 ConverterVendorId = 0x10C4;
inline constexpr quint16 ConverterProductId = 0xEA60;

// Looks for the USB serial converter among the given ports and sets IrCommNum (and the
// converter's port name) in the program state. With more than one match the caller shows
// message 20014; nothing is chosen then.
ConverterLookup FindConverterPort(const QList<PortDescriptor>& ports);
// The same on the system's serial ports.
ConverterLookup FindConverterPort();
QList<PortDescriptor> SystemSerialPorts();

// Sets CommSettings to "921600,n,8,1".
void DefaultCommSettings();
