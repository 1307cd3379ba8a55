#pragma once

#include <QList>
#include <QString>

// Finding the USB serial converter the instrument's cradle hangs on.

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
