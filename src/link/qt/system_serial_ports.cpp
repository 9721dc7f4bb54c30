// The serial ports Qt's serial port module finds (Linux: udev and sysfs).
#include <QSerialPortInfo>

#include "link/qt/serial_port_list.h"

namespace kavrel {

QList<SerialPortEntry> platformSerialPorts() {
    QList<SerialPortEntry> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        SerialPortEntry entry;
        entry.device = info.systemLocation();
        entry.description = info.description();
        entry.manufacturer = info.manufacturer();
        entry.serialNumber = info.serialNumber();
        if (info.hasVendorIdentifier()) entry.vendorId = info.vendorIdentifier();
        if (info.hasProductIdentifier()) entry.productId = info.productIdentifier();
        ports.append(entry);
    }
    return ports;
}

} // namespace kavrel
