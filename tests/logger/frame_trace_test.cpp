// The logger's frames in the wire trace: cut from a reply and judged by their CRC, and
// written so over a real download from the simulator.
#include <gtest/gtest.h>

#include <algorithm>

#include "link/trace/wire_trace.h"
#include "logger/protocol/frame.h"
#include "logger/protocol/frame_trace.h"
#include "logger_sim.h"
#include "support/temp_folder.h"
#include "support/trace_file.h"

namespace kavrel::logger {
namespace {

using testing::LoggerSim;
using testing::memoryOf;

std::vector<std::uint8_t> sealed(std::uint8_t type, int length) {
    std::vector<std::uint8_t> f(static_cast<std::size_t>(length) + 2, 0x21);
    f[0] = type;
    f[1] = static_cast<std::uint8_t>(length);
    sealFrame(f);
    return f;
}

TEST(LoggerReplyPieces, CutsFramesSlotsAndText) {
    std::vector<std::uint8_t> reply = sealed('R', 10);             // 12 bytes, good
    auto bad = sealed('R', 10);
    bad[11] ^= 0xFF;                                               // its CRC broken
    reply.insert(reply.end(), bad.begin(), bad.end());
    reply.insert(reply.end(), 12, 0xFF);                           // an erased slot of the same size
    auto damaged = sealed('Q', 10);                                // a wrong type letter
    reply.insert(reply.end(), damaged.begin(), damaged.end());
    reply.insert(reply.end(), {'O', 'K'});                         // too short for a slot
    const auto pieces = describeLoggerReply(reply);
    std::vector<std::pair<std::size_t, std::string>> got;
    for (const auto& p : pieces) got.emplace_back(p.size, p.verdict);
    const std::vector<std::pair<std::size_t, std::string>> expected = {
        {12, "CRC dobry"}, {12, "CRC zły"}, {12, "pusty zapis"}, {12, "nierozpoznana ramka"}, {2, ""}};
    EXPECT_EQ(got, expected);

    // Text replies ("OK" CR LF to "HALT! DEBUG=0") and a length byte past the end are no frames.
    const std::vector<std::uint8_t> ok = {'O', 'K', '\r', '\n'};
    const std::vector<std::uint8_t> cut = {'S', 32, 1, 2};
    for (const auto& text : {ok, cut}) {
        const auto one = describeLoggerReply(text);
        ASSERT_EQ(one.size(), 1u);
        EXPECT_EQ(one[0].size, text.size());
        EXPECT_EQ(one[0].verdict, "");
    }
}

// The status and a batch with a broken record, each frame one entry of hex and verdict.
TEST(LoggerReplyTrace, ShowsTheFramesOfARealDownload) {
    kavrel::testing::TempFolder folder;
    const auto file = folder.path / "przebieg.txt";
    sim::SimOptions options = memoryOf(3);
    options.memory.faults.crcError = {2, -1};
    {
        LoggerSim t(options);
        t.link.setTrace(link::WireTrace::toFile(file.string(), link::WireTrace::Mode::Replace));
        ASSERT_EQ(connectSession(t.session), StatusResult::Ok);
        const auto frameSize = static_cast<std::size_t>(t.session.status.recordLength) + 2;
        ASSERT_EQ(t.link.queryFixed("*RD_1,3", 3 * frameSize), 3 * frameSize);
    }
    const auto operations = kavrel::testing::readTrace(file);
    ASSERT_EQ(operations.size(), 1u);
    std::vector<std::string> frames;
    for (const auto& entry : operations[0].entries) {
        if (entry.direction == '<' && entry.text.rfind("[", 0) == 0)
            frames.push_back(entry.text.substr(0, entry.text.find(']') + 1) + entry.text.substr(entry.text.rfind(" (")));
    }
    const std::vector<std::string> expected = {"[34 B] (CRC dobry)", "[39 B] (CRC dobry)", "[39 B] (CRC zły)",
                                               "[39 B] (CRC dobry)"};
    EXPECT_EQ(frames, expected);
    // The request lines stay text.
    EXPECT_TRUE(std::any_of(operations[0].entries.begin(), operations[0].entries.end(),
                            [](const auto& e) { return e.direction == '>' && e.text == "*RD_1,3\\r"; }));
}

} // namespace
} // namespace kavrel::logger
