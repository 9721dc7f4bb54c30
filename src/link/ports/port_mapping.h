// The per-user table that maps COM port numbers to serial devices ("Porty" in the user's
// settings), as the port picker and `kavrel ports` change it and the link reads it.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "common/settings_store.h"
#include "link/ports/serial_device.h"

namespace kavrel::link {

// The COM numbers a user can map: the range of the programs' port fields.
inline constexpr int kFirstComNumber = 1;
inline constexpr int kLastComNumber = 255;

// Stores `device` as the device of COM `portNumber`; an empty device removes the
// mapping, so the number falls back to its default. False when the number is out of
// range or the store refuses.
bool storeSerialDevicePath(SettingsStore& store, int portNumber, const std::string& device);

// The device stored for COM `portNumber`, or "" when none is.
std::string storedSerialDevicePath(const SettingsStore& store, int portNumber);

// Every stored mapping, in port order.
std::vector<std::pair<int, std::string>> storedSerialDevicePaths(const SettingsStore& store);

// The device path of every COM number (environment, stored mapping or default):
// element i for COM i+1. Read once, then asked many times by comNumbersReaching.
std::vector<std::string> comDeviceTable(const SettingsStore* store);

// The COM numbers whose device path in `table` is `device`.
std::vector<int> comNumbersReaching(const std::string& device, const std::vector<std::string>& table);

} // namespace kavrel::link
