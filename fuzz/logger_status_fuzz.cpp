// Any 34 bytes that pass the frame check as a status: decoding and every derived value
// and text must hold up (record lengths the download cannot use are reported, not used).
#include <array>
#include <cstddef>
#include <cstdint>

#include "logger/protocol/module_status.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kavrel::logger;
    std::array<std::uint8_t, kStatusFrameSize> frame{};
    for (std::size_t i = 0; i < frame.size() && i < size; ++i) frame[i] = data[i];
    frame[0] = kStatusType;
    frame[1] = kStatusLength;
    frame[10] = 0;  // the byte the logger does not read, so cannot give back
    sealFrame(frame);
    if (checkFrame(frame, kStatusType, kStatusLength, frame.size()) != FrameCheck::Valid) __builtin_trap();
    const ModuleStatus status = decodeStatus(frame);
    (void)status.recordCount();
    (void)status.memoryHours();
    (void)status.recordLengthUsable();
    if (status.versionText().size() != 4 || status.clockText().empty() || status.fillText().empty()) __builtin_trap();
    if (encodeStatus(status) != frame) __builtin_trap();
    return 0;
}
