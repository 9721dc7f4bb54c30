// The words the configurator's files of one connection are named by: the journal of an
// unfinished write and the backup taken before a write.
#pragma once

#include <string>

#include "link/connection.h"

namespace kavrel::config {

// "COM3 /dev/ttyUSB0" or "192.168.2.1:23": a write to another device is another journal.
std::string journalIdentity(const link::Connection& connection);

// The backup's word: the device's file name for a device named by its path, else "COM3"
// or the address and port.
std::string backupWord(const link::Connection& connection);

} // namespace kavrel::config
