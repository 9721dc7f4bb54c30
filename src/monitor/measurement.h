// The module's answers to the measurement queries "MSR?" and "MSRX?", decoded into plain
// data. The replies come from outside: every text is cut to its 15-character field and
// any bytes at all are accepted without reading or writing past anything.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kavrel::monitor {

inline constexpr int kInputLines = 8;      // L1..L8
inline constexpr int kOutputLines = 6;     // O1..O6
inline constexpr int kExtendedLines = 16;  // XL1..XL16
// A reading is kept in a 16-byte field of the module's records: at most 15 characters.
inline constexpr std::size_t kReadingMax = 15;
// The fields of a whole "MSR=" reply: eight readings and fifteen numbers.
inline constexpr int kMeasurementFields = 23;

// Windows-1250 degree sign; the module writes it as an apostrophe ("23.5'C").
inline constexpr char kDegreeSign = '\xB0';

// The last "MSR=" reply.
struct MeasurementSnapshot {
    std::array<std::string, kInputLines> lineValue;  // as the module sent it, "'C" already made "°C"
    int lowMask = 0;      // bit 0 = L1: line is LOW
    int highMask = 0;     // bit 0 = L1: line is HIGH
    int alarm = 0;        // non-zero: the module is in the alarm state
    int outputs = 0;      // bit 0 = O1: output is on
    int gsmSignal = 0;    // 0..31 meaningful, 99 = unknown
    int gsmNetwork = 0;   // 0: not logged into a GSM network
    int smsCount = 0;
    int emailCount = 0;
    int extMode = 0;      // 0 no extended lines, 1 masks valid, 2 or 3 values unknown
    std::uint16_t extLowMask = 0;   // bit 0 = XL1 .. bit 15 = XL16
    std::uint16_t extHighMask = 0;
    int fieldsSent = kMeasurementFields;   // how many fields the reply carried, in order; the rest are 0 or ""

    bool lineLow(int line) const { return (lowMask >> line) & 1; }
    bool lineHigh(int line) const { return (highMask >> line) & 1; }
    bool extLow(int line) const { return (extLowMask >> line) & 1; }
    bool extHigh(int line) const { return (extHighMask >> line) & 1; }
};

// The 16 reading texts of the last "MSRX=" reply.
struct ExtendedReadings {
    std::array<std::string, kExtendedLines> value;
};

// Decodes a reply to "MSR?". Returns false, with the snapshot's extended-line state
// cleared and the rest left alone, when the text does not begin with "MSR=". Fields the
// reply does not carry (it stops early or a number is malformed) become empty or 0; the
// parse still succeeds.
bool parseMeasurementReply(std::string_view reply, MeasurementSnapshot& snapshot);

// Decodes a reply to "MSRX?". Returns false when the text does not begin with "MSRX=";
// texts the reply does not carry become empty. The extended-line state of the "MSR="
// reply (mode and masks) is not touched: it stays what the module last reported.
bool parseExtendedReply(std::string_view reply, ExtendedReadings& readings);

// Replaces "'C" by the degree sign and "C": every occurrence, or only the first.
void markDegrees(std::string& text, bool firstOnly = false);

} // namespace kavrel::monitor
