#include "config/model/field_table.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace kavrel::config {
namespace {

using K = FieldKind;
using N = Numbering;

// Offset, element size, first number and count are the record's layout; the label is what
// the verification reports when the element differs after a write.
constexpr std::array kFields = {
    FieldInfo{Field::Pin, "PIN", 0, 8, 0, 1, K::Text, N::None, "(PIN)"},
    FieldInfo{Field::Num, "NUM", 8, 16, 0, 6, K::Text, N::Suffix, "(NUM%d)"},
    FieldInfo{Field::Trpt, "TRPT", 104, 2, 0, 1, K::Word, N::None, "(RPTPER)"},
    FieldInfo{Field::Ulo, "ULO", 106, 2, 1, 8, K::Word, N::Suffix, "(ULO%d)"},
    FieldInfo{Field::Uhi, "UHI", 122, 2, 1, 8, K::Word, N::Suffix, "(UHI%d)"},
    FieldInfo{Field::Icfg, "ICFG", 138, 1, 1, 8, K::Byte, N::Suffix, "(ICFG%d)"},
    FieldInfo{Field::Ocfg, "OCFG", 146, 1, 1, 8, K::Byte, N::Suffix, "(OCFG%d)"},
    FieldInfo{Field::Scfgn, "SCFG", 154, 1, 1, 8, K::Byte, N::Suffix, ""},
    FieldInfo{Field::Scfg, "SCFG", 162, 1, 0, 1, K::Byte, N::None, "(SERCFG)"},
    FieldInfo{Field::Sms, "SMS", 163, 160, 0, 10, K::Text, N::Suffix, "(SMS%d/%d)"},
    FieldInfo{Field::Hist1, "HIST1", 1763, 1, 0, 1, K::Byte, N::None, "(HIST1)"},
    FieldInfo{Field::Hist2, "HIST2", 1764, 1, 0, 1, K::Byte, N::None, "(HIST2)"},
    FieldInfo{Field::Rcfg1, "RCFG", 1765, 1, 1, 1, K::Byte, N::Value, "(RPTCFG)"},
    FieldInfo{Field::Clip1, "CLIP", 1766, 1, 1, 1, K::Byte, N::Value, "(CLIPCFG)"},
    FieldInfo{Field::Ctrl1, "CTRL", 1767, 1, 1, 1, K::Byte, N::Value, "(CTRLCFG)"},
    FieldInfo{Field::Csdc, "CSDC", 1768, 1, 0, 1, K::Byte, N::None, "(CSDCFG)"},
    FieldInfo{Field::Mcfg1, "MCFG1", 1769, 1, 0, 1, K::Byte, N::None, "(MCFG1)"},
    FieldInfo{Field::Rpthr, "RPTHR", 1770, 4, 0, 1, K::HourMask, N::None, ""},
    FieldInfo{Field::Almd, "ALMD", 1774, 1, 1, 2, K::Byte, N::Value, ""},
    FieldInfo{Field::Slim, "SLIM", 1776, 1, 0, 1, K::Byte, N::None, "(Lim-SMS))"},
    FieldInfo{Field::Logt, "LOGT", 1777, 1, 0, 1, K::Byte, N::None, "(LOGT)"},
    FieldInfo{Field::Grdhr, "GRDHR", 1778, 4, 0, 1, K::HourMask, N::None, ""},
    FieldInfo{Field::Seml, "SEML", 1782, 1, 1, 8, K::Byte, N::Suffix, ""},
    FieldInfo{Field::Apn, "APN", 1790, 32, 0, 7, K::Text, N::Suffix, "(APN%d/%d)"},
    FieldInfo{Field::Reserved2014, "", 2014, 32, 0, 1, K::Reserved, N::None, ""},
    FieldInfo{Field::Ead, "EAD", 2046, 64, 0, 6, K::Text, N::Suffix, "(EAD%d/%d)"},
    FieldInfo{Field::Slog, "SLOG", 2430, 1, 0, 1, K::Byte, N::None, "(SLOG)"},
    FieldInfo{Field::Slgt, "SLGT", 2431, 1, 0, 1, K::Byte, N::None, "(SLGT)"},
    FieldInfo{Field::Rcfg2, "RCFG", 2432, 1, 2, 1, K::Byte, N::Value, "(RPTCFG2)"},
    FieldInfo{Field::Adel, "ADEL", 2433, 1, 1, 8, K::Byte, N::Suffix, "(ADEL%d)"},
    FieldInfo{Field::Mcfg2, "MCFG2", 2441, 1, 0, 1, K::Byte, N::None, "(MCFG2)"},
    FieldInfo{Field::Xcfg, "XCFG", 2442, 1, 1, 17, K::Byte, N::Suffix, "(XCFG%d)"},
    FieldInfo{Field::Xms, "XMS", 2459, 40, 1, 17, K::Text, N::Suffix, "(XMS%d/%d)"},
    FieldInfo{Field::Sxml, "SXML", 3139, 1, 0, 1, K::Byte, N::None, "(SXML)"},
    FieldInfo{Field::NumExt, "NUM", 3140, 16, 6, 5, K::Text, N::Suffix, "(NUM%d)"},
    FieldInfo{Field::Atim, "ATIM", 3220, 1, 0, 1, K::Byte, N::None, "(ATIM)"},
    FieldInfo{Field::Ecfg, "ECFG", 3221, 1, 1, 8, K::Byte, N::Suffix, "(ECFG%d)"},
    FieldInfo{Field::Reserved3229, "", 3229, 1, 0, 1, K::Reserved, N::None, ""},
    FieldInfo{Field::Scla, "SCLA", 3230, 2, 1, 8, K::SignedWord, N::Suffix, "(SCLA%d)"},
    FieldInfo{Field::Sclb, "SCLB", 3246, 2, 1, 8, K::SignedWord, N::Suffix, "(SCLB%d)"},
    FieldInfo{Field::Reserved3262, "", 3262, 123, 0, 1, K::Reserved, N::None, ""},
    FieldInfo{Field::Wkd, "WKD", 3385, 1, 1, 3, K::Byte, N::Suffix, "(WKD%d)"},
    FieldInfo{Field::Url2Ext, "URL2E", 3388, 1, 0, 2, K::Byte, N::Suffix, "(URL2E%d)"},
    FieldInfo{Field::Nuid, "NUID", 3390, 2, 0, 1, K::Word, N::None, "(NUID)"},
    FieldInfo{Field::Thtp, "THTP", 3392, 1, 0, 1, K::Byte, N::None, "(THTP)"},
    FieldInfo{Field::Url0, "URL0", 3393, 64, 0, 1, K::Text, N::None, "(URL0)"},
    FieldInfo{Field::Url1, "URL1", 3457, 128, 0, 1, K::Text, N::None, "(URL1)"},
    FieldInfo{Field::Url2, "URL2", 3585, 6, 0, 1, K::Text, N::None, "(URL2)"},
    FieldInfo{Field::Tgac, "TGAC", 3591, 1, 0, 1, K::Byte, N::None, "(TGAC)"},
    FieldInfo{Field::Rcfg3, "RCFG", 3592, 1, 3, 1, K::Byte, N::Value, "(RPTCFG3)"},
    FieldInfo{Field::Clip2, "CLIP", 3593, 1, 2, 1, K::Byte, N::Value, "(CLIPCFG2)"},
    FieldInfo{Field::Ctrl2, "CTRL", 3594, 1, 2, 1, K::Byte, N::Value, "(CTRLCFG2)"},
    FieldInfo{Field::Reserved3595, "", 3595, 1, 0, 1, K::Reserved, N::None, ""},
    FieldInfo{Field::Xlo1, "XLO1", 3596, 2, 0, 1, K::Word, N::None, "(XLO1)"},
    FieldInfo{Field::Xhi1, "XHI1", 3598, 2, 0, 1, K::Word, N::None, "(XHI1)"},
    FieldInfo{Field::Xlo9, "XLO9", 3600, 2, 0, 1, K::Word, N::None, "(XLO9)"},
    FieldInfo{Field::Xhi9, "XHI9", 3602, 2, 0, 1, K::Word, N::None, "(XHI9)"},
    FieldInfo{Field::Xtyp1, "XTYP1", 3604, 1, 0, 1, K::Byte, N::None, "(XTYP1)"},
    FieldInfo{Field::Xtyp9, "XTYP9", 3605, 1, 0, 1, K::Byte, N::None, "(XTYP9)"},
    // COPS 0 asks for the automatic choice of the network; a module that chose one reports
    // the code of the network it registered in, which moves with the coverage (seen with the
    // simulator's --drift COPS; the record holds no clock, the other value a module changes by itself).
    FieldInfo{Field::Cops, "COPS", 3606, 2, 0, 1, K::Word, N::None, "(COPS)", true},
};

constexpr bool rowsMatchTheirIds() {
    for (std::size_t i = 0; i < kFields.size(); ++i)
        if (static_cast<std::size_t>(kFields[i].id) != i) return false;
    return true;
}
static_assert(rowsMatchTheirIds(), "the rows of the field table follow the order of enum Field");

constexpr bool rowsCoverTheRecord() {
    std::size_t next = 0;
    for (const auto& f : kFields) {
        if (f.offset != next) return false;
        next += static_cast<std::size_t>(f.size) * f.count;
    }
    return next == kSettingsSize;
}
static_assert(rowsCoverTheRecord(), "the field table covers the 3608 bytes without gap or overlap");

} // namespace

std::span<const FieldInfo> fieldTable() { return kFields; }

const FieldInfo& fieldInfo(Field id) { return kFields[static_cast<std::size_t>(id)]; }

std::string fieldName(const FieldInfo& info, int number) {
    switch (info.numbering) {
    case Numbering::Suffix: return info.key + std::to_string(number);
    case Numbering::Value: return std::string(info.key) + "(" + std::to_string(number) + ")";
    case Numbering::None: break;
    }
    if (info.kind == FieldKind::Reserved) return "reserved@" + std::to_string(info.offset);
    return info.key;
}

std::string fieldLabel(const FieldInfo& info, int number, int position) {
    char text[48];
    if (std::strstr(info.label, "%d/%d"))
        std::snprintf(text, sizeof text, info.label, number, position);
    else if (std::strstr(info.label, "%d"))
        std::snprintf(text, sizeof text, info.label, number);
    else
        std::snprintf(text, sizeof text, "%s", info.label);
    return text;
}

} // namespace kavrel::config
