#include "link/firmware_version.h"

namespace kavrel::link {
namespace {

constexpr std::size_t kSearchWindow = 16;
constexpr std::size_t kFlagWindow = 4;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

} // namespace

FirmwareVersion parseVersion(std::string_view text) {
    FirmwareVersion version;
    for (std::size_t v = 0; v < text.size() && v < kSearchWindow; ++v) {
        if (text[v] != 'V' && text[v] != 'v') continue;
        if (v + 3 >= text.size() || !isDigit(text[v + 1]) || !isDigit(text[v + 3])) continue;
        version.versionCode = (text[v + 1] - '0') * 16 + (text[v + 3] - '0');
        for (std::size_t i = v + 4; i < text.size() && i < v + 4 + kFlagWindow; ++i) {
            const char c = text[i];
            if (c == 'E') version.eFlag = true;
            else if (c == 'L') version.lFlag = true;
            else if (c >= 'A' && c <= 'Z') version.variantLetter = c;
        }
        break;
    }
    return version;
}

} // namespace kavrel::link
