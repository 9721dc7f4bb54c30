// Every field of a settings record as readable text, and the fields in which two records
// differ: what "kavrel config dump" and "kavrel config diff" print. The lines are UTF-8.
#pragma once

#include <string>
#include <vector>

#include "config/model/settings_image.h"

namespace kavrel::config {

// "KEY = value", one line per element, in record order.
std::vector<std::string> dumpLines(const SettingsImage& image);

// "KEY (LABEL): value in a -> value in b" for every element whose bytes differ.
std::vector<std::string> diffLines(const SettingsImage& a, const SettingsImage& b);

} // namespace kavrel::config
