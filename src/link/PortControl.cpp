#include "link/PortControl.h"

#include "app/MessageTable.h"

#include <QStringList>

std::optional<PortSettings> PortSettings::parse(const QString& text) {
    const QStringList f = text.split(u',');
    if (f.size() != 4)
        return std::nullopt;
    PortSettings s;
    bool ok = false;
    s.baud = f[0].trimmed().toInt(&ok);
    if (!ok || s.baud <= 0)
        return std::nullopt;
    const QString parity = f[1].trimmed().toLower();
    if (parity.size() != 1 || !QStringLiteral("neoms").contains(parity))
        return std::nullopt;
    s.parity = char(parity.at(0).unicode());
    s.dataBits = f[2].trimmed().toInt(&ok);
    if (!ok || s.dataBits < 5 || s.dataBits > 8)
        return std::nullopt;
    const QString stop = f[3].trimmed();
    if (stop == QLatin1String("1"))
        s.stopBits = 1;
    else if (stop == QLatin1String("1.5"))
        s.stopBits = 15;
    else if (stop == QLatin1String("2"))
        s.stopBits = 2;
    else
        return std::nullopt;
    return s;
}

QString PortControl::portName() const {
    if (!m_portName.isEmpty())
        return m_portName;
    return QStringLiteral("COM") + QString::number(m_portNumber);
}

void PortControl::pollModemLines() {
    if (isOpen())
        raiseModemChanges(modemStatus());
}

void PortControl::raiseModemChanges(int now) {
    now &= ModemCts | ModemDsr;
    const int changed = now ^ m_lastModem;
    m_lastModem = now;
    if (changed & ModemCts)
        emit portEvent(PortEvent::CtsChanged, 0);
    if (changed & ModemDsr)
        emit portEvent(PortEvent::DsrChanged, 0);
}

QString PortAccessRefusedText(const QString& portName) {
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        user = QStringLiteral("$USER");
    return LoadMessage(5790, {portName, user});
}
