// Any version text a module (or a line fault) can produce.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "link/firmware_version.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto version = kavrel::link::parseVersion(std::string_view(reinterpret_cast<const char*>(data), size));
    // The code is made of two digits.
    if (version.versionCode < 0 || version.versionCode > 0x99) __builtin_trap();
    return 0;
}
