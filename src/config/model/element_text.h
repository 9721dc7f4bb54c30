// One element of a settings record as readable UTF-8 text: the value that "kavrel config
// dump" prints after its key and that a comparison shows before and after a change.
#pragma once

#include <string>

#include "config/model/settings_image.h"

namespace kavrel::config {

// One element's value as shown: texts quoted (control bytes as \xNN), numbers in decimal,
// thresholds also in their line category, hour and day masks and delays also decoded,
// reserved bytes in hex.
std::string elementValueText(const SettingsImage& image, const FieldInfo& info, int number);

} // namespace kavrel::config
