// The module's clock setting, "TIME=yy/mm/dd,hh:mm:ss", written once for every program that
// sets the clock: the configurator after a write, the logger with its logging period.
#pragma once

#include <cstdio>
#include <string>

#include "common/clock.h"

namespace kavrel::link {

// "TIME=26/03/05,07:08:09" for 5 March 2026, 07:08:09. The year keeps its last two digits
// whatever the century, so the field is always two digits wide.
inline std::string clockLine(const LocalDateTime& now) {
    char line[64];
    std::snprintf(line, sizeof line, "TIME=%02d/%02d/%02d,%02d:%02d:%02d", now.year % 100, now.month, now.day,
                  now.hour, now.minute, now.second);
    return line;
}

} // namespace kavrel::link
