#include "link/qt/serial_port_list.h"

#include <QStringList>
#include <QFile>
#include <algorithm>

#include "link/ports/stable_device_name.h"

namespace kavrel {
namespace {

// Orders /dev/ttyUSB2 before /dev/ttyUSB10 and COM2 before COM10: the trailing number
// compares as a number.
bool deviceBefore(const QString& a, const QString& b) {
    auto split = [](const QString& name) {
        qsizetype digits = name.size();
        while (digits > 0 && name[digits - 1].isDigit()) --digits;
        return std::pair{name.left(digits), name.mid(digits).toLongLong()};
    };
    return split(a) < split(b);
}

} // namespace

QString SerialPortEntry::usbId() const {
    if (!vendorId || !productId) return {};
    return QStringLiteral("%1:%2").arg(*vendorId, 4, 16, QLatin1Char('0')).arg(*productId, 4, 16, QLatin1Char('0'));
}

QList<SerialPortEntry> systemSerialPorts() {
    QList<SerialPortEntry> ports = platformSerialPorts();
    const std::vector<link::StableDeviceName> stableNames = link::stableDeviceNames(link::serialByIdFolder());
    for (SerialPortEntry& entry : ports) {
        const std::string device = QFile::encodeName(entry.device).toStdString();
        entry.stableName = QFile::decodeName(QByteArray::fromStdString(link::stableDeviceName(device, stableNames)));
        entry.access = link::portAccess(device);
    }
    std::sort(ports.begin(), ports.end(),
              [](const SerialPortEntry& a, const SerialPortEntry& b) { return deviceBefore(a.device, b.device); });
    return ports;
}

std::optional<int> windowsComNumber(const QString& portName) {
    if (!portName.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)) return std::nullopt;
    bool ok = false;
    const int number = portName.mid(3).toInt(&ok);
    if (!ok || number < 1) return std::nullopt;
    return number;
}

QString comNumbersText(const std::vector<int>& numbers) {
    QStringList names;
    for (int n : numbers) names << QStringLiteral("COM%1").arg(n);
    return names.join(QStringLiteral(", "));
}

} // namespace kavrel
