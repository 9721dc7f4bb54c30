// The serial ports present on this computer, as the port picker and `kavrel ports` list
// them, and the COM numbers that already reach each one.
#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "link/ports/port_access.h"

namespace kavrel {

struct SerialPortEntry {
    QString device;        // what the link opens: /dev/ttyUSB0, or COM3 on Windows
    QString description;
    QString manufacturer;
    QString serialNumber;
    std::optional<quint16> vendorId;
    std::optional<quint16> productId;
    QString stableName;    // /dev/serial/by-id/...: the name that survives a replug, "" when none
    link::PortAccess access = link::PortAccess::Usable;   // whether this user can open it now

    // What the picker offers and a mapping stores: the stable name where there is one.
    QString preferredName() const { return stableName.isEmpty() ? device : stableName; }

    // "0403:6001" for a USB adapter, "" otherwise.
    QString usbId() const;
};

// Where a list comes from: the system in the programs, a fixed list in tests.
using SerialPortSource = std::function<QList<SerialPortEntry>()>;

// The ports the system lists, sorted by device, with their stable names (from
// link::serialByIdFolder()) and whether this user can open them.
QList<SerialPortEntry> systemSerialPorts();
// The same unsorted, from the platform's own list (system_serial_ports*.cpp).
QList<SerialPortEntry> platformSerialPorts();

// The COM number a Windows port name stands for ("COM7" gives 7), or nullopt.
std::optional<int> windowsComNumber(const QString& portName);

// "COM1, COM5" for the numbers given, "" for none.
QString comNumbersText(const std::vector<int>& numbers);

} // namespace kavrel
