// Any bytes as a record frame: the check must classify them without reading past what
// arrived, whatever the length byte claims.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/result_code.h"
#include "logger/protocol/frame.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    // The first byte chooses the minimum length and how many of the bytes "arrived".
    const int minimum = data[0] & 0x7F;
    const std::vector<std::uint8_t> frame(data + 1, data + size);  // exactly what arrived, nothing behind it
    for (const std::size_t received : {frame.size(), frame.size() / 2, std::size_t{4096}}) {
        const auto check = kavrel::logger::checkFrame(frame, 'R', minimum, received);
        if (kavrel::toInt(check) < kavrel::toInt(kavrel::logger::FrameCheck::Valid) ||
            kavrel::toInt(check) > kavrel::toInt(kavrel::logger::FrameCheck::CrcMismatch))
            __builtin_trap();
    }
    kavrel::logger::isBlankSlot(frame);
    kavrel::logger::isBlankTime(frame);
    return 0;
}
