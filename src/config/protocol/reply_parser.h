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

// The keys each query's reply carries: a reply that names none of them is no answer.
inline constexpr FieldSet kSetReplyKeys =
    fieldSet({Field::Pin, Field::Num, Field::Trpt, Field::Scfg, Field::Hist1, Field::Hist2, Field::Rcfg1, Field::Clip1,
              Field::Ctrl1, Field::Csdc, Field::Mcfg1, Field::Mcfg2, Field::Slim, Field::Icfg, Field::Ulo, Field::Uhi,
              Field::Ocfg, Field::Logt, Field::Adel, Field::Slog, Field::Slgt, Field::Atim});
inline constexpr FieldSet kSmsReplyKeys = fieldSet({Field::Sms});
inline constexpr FieldSet kApnReplyKeys = fieldSet({Field::Apn});
inline constexpr FieldSet kEadReplyKeys = fieldSet({Field::Ead});
inline constexpr FieldSet kXcfgReplyKeys = fieldSet({Field::Xcfg, Field::Xms, Field::Sxml, Field::Xtyp1, Field::Xlo1,
                                                     Field::Xhi1, Field::Xtyp9, Field::Xlo9, Field::Xhi9});
inline constexpr FieldSet kEcfgReplyKeys =
    fieldSet({Field::NumExt, Field::Ecfg, Field::Scla, Field::Sclb, Field::Thtp, Field::Nuid, Field::Tgac, Field::Url0,
              Field::Url1, Field::Url2, Field::Cops, Field::Wkd});

// Stores every recognised key of the reply into the record; fields whose keys are absent
// keep their content (the record is never cleared first). Keys are found anywhere in the
// text, except inside a text value, which runs to its CR. The reply ends at its first
// NUL. RCFG, CLIP and CTRL carry as many values as the firmware version reports.
// Returns the fields whose keys were recognised.
FieldSet parseReply(std::string_view reply, SettingsImage& target, const link::FirmwareVersion& version);

} // namespace kavrel::config
