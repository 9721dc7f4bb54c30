// The layout of the 3608-byte settings record: one row per field or per family of
// numbered fields (ICFG1..ICFG8 is one row). The reply parser, the command formatter,
// the verification, the dump and the dialogs all find offsets, sizes, protocol keys and
// verification labels here and nowhere else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace kavrel::config {

inline constexpr std::size_t kSettingsSize = 3608;

enum class FieldKind : std::uint8_t {
    Text,        // fixed array of Windows-1250 bytes, ended by 0, 0xFF or the field's end
    Byte,        // unsigned 8-bit
    Word,        // unsigned 16-bit little-endian
    SignedWord,  // signed 16-bit little-endian (SCLA, SCLB)
    HourMask,    // three bytes of hour bits and a fourth byte that stays 0
    Reserved,    // carried unchanged, never sent
};

// How the number of an element shows in its name.
enum class Numbering : std::uint8_t {
    None,    // one field: "PIN"
    Suffix,  // the number is part of the protocol key: "ICFG3", "NUM7", "WKD2"
    Value,   // one key with several values: "RCFG" value 2 is shown as "RCFG(2)"
};

enum class Field : std::uint8_t {
    Pin, Num, Trpt, Ulo, Uhi, Icfg, Ocfg, Scfgn, Scfg, Sms, Hist1, Hist2,
    Rcfg1, Clip1, Ctrl1, Csdc, Mcfg1, Rpthr, Almd, Slim, Logt, Grdhr, Seml, Apn, Reserved2014,
    Ead, Slog, Slgt, Rcfg2, Adel, Mcfg2, Xcfg, Xms, Sxml, NumExt, Atim, Ecfg, Reserved3229,
    Scla, Sclb, Reserved3262, Wkd, Url2Ext, Nuid, Thtp, Url0, Url1, Url2, Tgac, Rcfg3, Clip2,
    Ctrl2, Reserved3595, Xlo1, Xhi1, Xlo9, Xhi9, Xtyp1, Xtyp9, Cops,
};

struct FieldInfo {
    Field id;
    const char* key;         // protocol key, or its stem for numbered fields; "" for reserved bytes
    std::uint16_t offset;    // of the first element
    std::uint16_t size;      // of one element
    std::uint8_t first;      // number of the first element (NUM6 starts at 6, ICFG1 at 1)
    std::uint8_t count;      // elements, laid out one after another
    FieldKind kind;
    Numbering numbering;
    const char* label;       // verification label; "%d" takes the element number, "" = none
    // The module changes it on its own, without anyone writing it: a backup that finds it
    // changed has found no change (the fleet service's backups never report it).
    bool changesByItself = false;

    std::size_t offsetOf(int number) const { return offset + static_cast<std::size_t>(number - first) * size; }
    bool holds(int number) const { return number >= first && number < first + count; }
    int last() const { return first + count - 1; }
};

// Every field in record order; the rows cover the 3608 bytes without gap or overlap.
std::span<const FieldInfo> fieldTable();

const FieldInfo& fieldInfo(Field id);

// Phone numbers 0..10 live in two fields (NUM0..NUM5 and NUM6..NUM10).
inline Field numberField(int number) { return number <= 5 ? Field::Num : Field::NumExt; }

// The element's name as the protocol and the dump write it: "PIN", "ICFG3", "RCFG(2)".
std::string fieldName(const FieldInfo& info, int number);

// The verification label of one element: "(ICFG3)", "(RPTCFG2)"; texts with a position
// ("(SMS%d/%d)") take the 1-based position of the first differing character.
std::string fieldLabel(const FieldInfo& info, int number, int position = 0);

} // namespace kavrel::config
