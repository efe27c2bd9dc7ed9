// The serial ports of the machine, with the stable names udev gives them.
#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <algorithm>

#include "rvx/bus.h"

namespace rvx::bus {

QList<PortInfo> listPorts() {
    QList<PortInfo> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        PortInfo port;
        port.systemLocation = info.systemLocation();
        port.description = info.description();
        port.manufacturer = info.manufacturer();
        port.serialNumber = info.serialNumber();
        port.byIdLink = byIdLink(port.systemLocation);
        ports.push_back(port);
    }
    std::sort(ports.begin(), ports.end(), [](const PortInfo& a, const PortInfo& b) {
        return a.systemLocation < b.systemLocation;
    });
    return ports;
}

QString byIdLink(const QString& systemLocation, const QString& directory) {
    const QString port = QFileInfo(systemLocation).canonicalFilePath();
    if (port.isEmpty()) {
        return {};
    }
    const QDir links(directory);
    for (const QFileInfo& link : links.entryInfoList(QDir::System | QDir::Files, QDir::Name)) {
        if (link.isSymLink() && QFileInfo(link.symLinkTarget()).canonicalFilePath() == port) {
            return link.absoluteFilePath();
        }
    }
    return {};
}

}  // namespace rvx::bus
