#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "logger/protocol/frame.h"

namespace kavrel::logger {
namespace {

std::vector<std::uint8_t> bytesOf(std::string_view text) { return {text.begin(), text.end()}; }

// A record frame "R", L, payload 0x11.., with a correct CRC.
std::vector<std::uint8_t> recordFrame(int length) {
    std::vector<std::uint8_t> f(static_cast<std::size_t>(length) + 2, 0x11);
    f[0] = 'R';
    f[1] = static_cast<std::uint8_t>(length);
    sealFrame(f);
    return f;
}

TEST(FrameCrc, MatchesTheModbusCheckValues) {
    EXPECT_EQ(frameCrc(bytesOf("123456789")), 0x4B37);
    EXPECT_EQ(frameCrc({}), 0xFFFF);
    // A Modbus RTU request whose CRC goes on the wire as 84 0A (low byte first there).
    const std::uint8_t request[] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x01};
    EXPECT_EQ(frameCrc(request), 0x0A84);
}

TEST(FrameCrc, IsCarriedHighByteFirst) {
    const auto f = recordFrame(37);
    const std::uint16_t crc = frameCrc(std::span(f).subspan(1, 36));
    EXPECT_EQ(f[37], crc >> 8);
    EXPECT_EQ(f[38], crc & 0xFF);
    EXPECT_EQ(checkFrame(f, 'R', 37, f.size()), FrameCheck::Valid);
}

TEST(CheckFrame, ClassifiesEachFault) {
    auto f = recordFrame(37);
    EXPECT_EQ(checkFrame(f, 'S', 37, f.size()), FrameCheck::WrongType);
    EXPECT_EQ(checkFrame(f, 'R', 37, 38), FrameCheck::BadLength);   // one byte short
    EXPECT_EQ(checkFrame(f, 'R', 38, f.size()), FrameCheck::BadLength);  // length below the minimum
    auto swapped = f;
    std::swap(swapped[37], swapped[38]);
    EXPECT_EQ(checkFrame(swapped, 'R', 37, f.size()), FrameCheck::CrcMismatch);
    auto payload = f;
    payload[20] ^= 0x01;
    EXPECT_EQ(checkFrame(payload, 'R', 37, f.size()), FrameCheck::CrcMismatch);
}

TEST(CheckFrame, ALengthByteOf0x80OrMoreIsALengthError) {
    for (int lengthByte : {0x80, 0xA5, 0xFF}) {
        std::array<std::uint8_t, 300> f{};
        f[0] = 'R';
        f[1] = static_cast<std::uint8_t>(lengthByte);
        EXPECT_EQ(checkFrame(f, 'R', 37, f.size()), FrameCheck::BadLength) << lengthByte;
    }
}

TEST(CheckFrame, NeverLooksBeyondTheBytesItWasGiven) {
    // The length byte claims more than arrived, and more than the buffer holds.
    std::vector<std::uint8_t> f = {'R', 100, 1, 2, 3};
    EXPECT_EQ(checkFrame(f, 'R', 2, 5000), FrameCheck::BadLength);
    EXPECT_EQ(checkFrame(std::span<const std::uint8_t>{}, 'R', 37, 39), FrameCheck::WrongType);
}

TEST(BlankTests, ErasedOrZeroSlotsAndTimes) {
    std::array<std::uint8_t, 39> f{};
    f[0] = 'R';
    f[1] = 37;
    EXPECT_TRUE(isBlankSlot(f));
    EXPECT_TRUE(isBlankTime(f));
    std::fill(f.begin() + 2, f.end(), 0xFF);
    EXPECT_TRUE(isBlankSlot(f));
    EXPECT_TRUE(isBlankTime(f));
    f[2] = 'P';
    EXPECT_FALSE(isBlankSlot(f));
    EXPECT_TRUE(isBlankTime(f));
    f[9] = 0x12;
    EXPECT_FALSE(isBlankTime(f));
    f[9] = 0xFF;
    f[10] = 0x00;  // the fourth time byte does not count
    EXPECT_TRUE(isBlankTime(f));
}

} // namespace
} // namespace kavrel::logger
