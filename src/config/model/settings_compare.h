// Two settings records compared element by element: the one comparison behind
// "kavrel config diff", the list of changes shown before a write, and the comparison of
// the window's settings with a file.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "config/model/settings_image.h"

namespace kavrel::config {

struct FieldChange {
    const FieldInfo* info = nullptr;
    int number = 0;
    std::string key;      // "ICFG3", "RCFG(2)"
    std::string label;    // verification label, with the first differing position for texts; "" = none
    std::string caption;  // UTF-8, as the settings windows show the field
    std::string before;   // UTF-8 value texts, as "kavrel config dump" shows them; in the
    std::string after;    // Values mode option bytes also as bits 7..0: "133 [10000101]"
};

enum class CompareMode {
    Bytes,   // every byte counts, reserved bytes and what follows a text's end included
    Values,  // what a module would hold: texts up to their end, hour masks' three bytes, no reserved bytes
};

// Which elements take part; all of them when empty.
using ElementFilter = std::function<bool(const FieldInfo& info, int number)>;

// The elements in which `before` and `after` differ, in record order.
std::vector<FieldChange> compareSettings(const SettingsImage& before, const SettingsImage& after, CompareMode mode,
                                         const ElementFilter& include = {});

} // namespace kavrel::config
