// Opening a serial device with termios: the module's line settings on a POSIX port.
#pragma once

#include <memory>
#include <string>

#include "link/posix/fd_transport.h"

namespace kavrel::link::posix {

// Opens the device for exclusive reading and writing and sets 8 data bits, no parity,
// one stop bit, no flow control, raw bytes, at the given speed. Without a port when the
// device is missing, in use or not a terminal; the failure then keeps the system's errno.
SerialOpenResult openSerialPort(const std::string& devicePath, int baud);

} // namespace kavrel::link::posix
