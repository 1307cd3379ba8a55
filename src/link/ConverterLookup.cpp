#include "link/ConverterLookup.h"

#include "state/AppState.h"

#include <QSerialPortInfo>

ConverterLookup FindConverterPort(const QList<PortDescriptor>& ports) {
    ConverterLookup r;
    QString name;
    for (const PortDescriptor& p : ports) {
        if (p.hasIdentifiers && p.vendorId == ConverterVendorId &&
            p.productId == ConverterProductId) {
            ++r.matches;
            name = p.portName;
        }
    }
    if (r.matches == 1) {
        r.portName = name;
        QString rest = name;
        if (rest.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
            rest = rest.mid(3);
        int digits = 0;
        while (digits < rest.size() && rest[digits].isDigit() && rest[digits].unicode() < 128)
            ++digits;
        r.portNumber = digits > 0 ? rest.left(digits).toInt() : 0;
    }
    AppState& s = appState();
    s.IrCommNum = qint16(r.portNumber);
    s.ConverterPortName = r.portName;
    return r;
}

QList<PortDescriptor> SystemSerialPorts() {
    QList<PortDescriptor> out;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : infos) {
        PortDescriptor d;
        d.portName = info.portName();
        d.hasIdentifiers = info.hasVendorIdentifier() && info.hasProductIdentifier();
        d.vendorId = info.vendorIdentifier();
        d.productId = info.productIdentifier();
        out.append(d);
    }
    return out;
}

ConverterLookup FindConverterPort() {
    return FindConverterPort(SystemSerialPorts());
}
