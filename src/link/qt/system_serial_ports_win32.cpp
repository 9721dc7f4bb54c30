// The COM ports of Windows, from the link's SetupAPI list.
#include "common/qt/qt_text.h"
#include "link/qt/serial_port_list.h"
#include "link/ports/serial_port_info.h"

namespace kavrel {

QList<SerialPortEntry> platformSerialPorts() {
    QList<SerialPortEntry> ports;
    for (const link::SerialPortInfo& info : link::listSerialPorts()) {
        SerialPortEntry entry;
        entry.device = QString::fromStdString(info.device);
        entry.description = QString::fromStdString(info.description);
        entry.manufacturer = QString::fromStdString(info.manufacturer);
        entry.serialNumber = QString::fromStdString(info.serialNumber);
        entry.vendorId = info.vendorId;
        entry.productId = info.productId;
        ports.append(entry);
    }
    return ports;
}

} // namespace kavrel
