// The one parser of the module's key=value replies ("SET?", "SMS?", "APN?", "EAD?",
// "XCFG?", "ECFG?") into a settings record. It reads text that comes from outside, so any
// bytes of any length are safe input.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "config/model/settings_image.h"
#include "link/firmware_version.h"

namespace kavrel::config {

// A set of fields, one bit per Field: which fields a reply's keys named.
using FieldSet = std::uint64_t;
static_assert(static_cast<unsigned>(Field::Cops) < 64, "one bit per field");

constexpr FieldSet fieldSet(std::initializer_list<Field> fields) {
    FieldSet set = 0;
    for (const Field f : fields) set |= FieldSet{1} << static_cast<unsigned>(f);
    return set;
}

// Stores every recognised key of the reply into the record; fields whose keys are absent
// keep their content (the record is never cleared first). Keys are found anywhere in the
// text, except inside a text value, which runs to its CR. The reply ends at its first
// NUL. RCFG, CLIP and CTRL carry as many values as the firmware version reports.
// Returns the fields whose keys were recognised.
FieldSet parseReply(std::string_view reply, SettingsImage& target, const link::FirmwareVersion& version);

} // namespace kavrel::config
