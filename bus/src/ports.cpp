// The serial ports of the machine, with the stable names udev gives them.
#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <algorithm>

#include "rvx/bus.h"
#include "rvx/serial_ports.h"

namespace rvx::bus {

QList<PortInfo> listPorts() {
    QList<PortInfo> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        PortInfo port;
        // COM3, not the \\.\COM3 that Windows opens it by.
        port.systemLocation =
            QString::fromStdString(rvx::portTargetName(info.systemLocation().toStdString()));
        port.description = info.description();
        port.manufacturer = info.manufacturer();
        port.serialNumber = info.serialNumber();
        port.usbIdentifiers = info.hasVendorIdentifier() && info.hasProductIdentifier();
        if (rvx::thisSystem == rvx::PortSystem::Linux) {
            port.byIdLink = byIdLink(info.systemLocation());
        }
        ports.push_back(port);
    }
    std::sort(ports.begin(), ports.end(), [](const PortInfo& a, const PortInfo& b) {
        return rvx::portBefore(a.systemLocation.toStdString(), b.systemLocation.toStdString());
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
