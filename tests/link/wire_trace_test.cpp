// The wire trace: its text form of every byte class, and what it records of real
// exchanges with the simulator over loopback TCP and a pseudo-terminal.
#include <gtest/gtest.h>

#include "common/win1250.h"
#include "link/module_link.h"
#include "link/trace/wire_trace.h"
#include "support/sim_fixture.h"
#include "support/temp_folder.h"
#include "support/trace_file.h"

namespace kavrel::link {
namespace {

using kavrel::testing::joinedReplies;
using kavrel::testing::readTrace;
using kavrel::testing::SimFixture;
using kavrel::testing::TempFolder;
using kavrel::testing::TraceEntry;

std::vector<std::uint8_t> bytesOf(std::string_view text) { return {text.begin(), text.end()}; }

TEST(WireTraceText, ShowsLettersAsLettersAndEscapesTheRest) {
    struct Case {
        std::string bytes;   // Windows-1250
        const char* shown;   // UTF-8
    };
    const Case cases[] = {
        {"VER?\r", "VER?\\r"},
        {"OK\r\n", "OK\\r\\n"},
        {W("Zażółć gęślą jaźń ĄĆĘŁŃÓŚŹŻ"), "Zażółć gęślą jaźń ĄĆĘŁŃÓŚŹŻ"},
        {std::string("a\\x41"), "a\\\\x41"},   // a backslash is doubled: the text stays unambiguous
        {std::string("\x00\x01\t\x1B\x7F", 5), "\\x00\\x01\\x09\\x1B\\x7F"},
        // The code page's undefined bytes, the no-break space and the soft hyphen show nothing.
        {"\x81\x83\x88\x90\x98\xA0\xAD", "\\x81\\x83\\x88\\x90\\x98\\xA0\\xAD"},
        {"\x80\x84\x96\xA7\xB0", "€„–§°"},
    };
    for (const Case& c : cases) EXPECT_EQ(traceText(bytesOf(c.bytes)), c.shown) << c.shown;
    EXPECT_EQ(traceHex(bytesOf("S \x01\xFF")), "53 20 01 FF");
    EXPECT_EQ(traceHex({}), "");
}

// The version text carries Polish letters, a backslash and a control byte, so the reply's
// entry shows every rule at once.
TEST(WireTraceExchange, RecordsEveryLineOverTcpAndSerial) {
    const std::string version = W("Kavrel V3.6EL Łódź\\") + "\x01";
    SimFixture sim({.versionText = version});
    for (const bool tcp : {true, false}) {
        SCOPED_TRACE(tcp ? "tcp" : "serial");
        TempFolder folder;
        const auto file = folder.path / "przebieg.txt";
        {
            ModuleLink link;
            if (tcp) sim.useTcp(link);
            else sim.useSerial(link);
            link.setTrace(WireTrace::toFile(file.string(), WireTrace::Mode::Replace));
            ASSERT_EQ(link.open(), LinkResult::Ok);
            ASSERT_EQ(link.sendCommand("HALT!"), LinkResult::Ok);
            ASSERT_EQ(link.sendCommand("VER?"), LinkResult::Ok);
            link.close();
        }
        const auto operations = readTrace(file);
        ASSERT_EQ(operations.size(), 1u);
        EXPECT_EQ(operations[0].header, tcp ? "TCP 127.0.0.1:" + std::to_string(sim.port()) : "port " + sim.ptyPath() + " 9600 bod");
        const std::vector<TraceEntry> entries = joinedReplies(operations[0].entries);
        std::vector<std::string> shown;
        long long lastMs = 0;
        for (const TraceEntry& entry : entries) {
            shown.push_back(std::string(1, entry.direction) + " " + entry.text);
            EXPECT_GE(entry.ms, lastMs) << entry.text;
            lastMs = entry.ms;
        }
        const std::vector<std::string> expected = {
            tcp ? "= połączono" : "= port otwarty",
            "> HALT!\\r",
            "< OK\\r",
            "> VER?\\r",
            "< OK\\rKavrel V3.6EL Łódź\\\\\\x01\\r",
        };
        EXPECT_EQ(shown, expected);
        EXPECT_LT(lastMs, 3000);
    }
}

TEST(WireTraceExchange, EachOpenIsAnOperationOfItsOwnAndAFailedOneSaysSo) {
    TempFolder folder;
    const auto file = folder.path / "przebieg.txt";
    SimFixture sim;
    std::uint32_t closedPort = 0;
    {
        SimFixture gone;
        closedPort = static_cast<std::uint32_t>(gone.port());
    }
    {
        LinkVariant quickRefusal = LinkVariant::configurator();
        quickRefusal.tcpConnectLimitMs = 200;   // a refused connect is retried until the limit
        ModuleLink link(quickRefusal);
        link.setTrace(WireTrace::toFile(file.string(), WireTrace::Mode::Replace));
        sim.useTcp(link);
        ASSERT_EQ(link.open(), LinkResult::Ok);
        ASSERT_EQ(link.sendCommand("VER?"), LinkResult::Ok);
        link.close();
        link.setConnection(Connection::tcp("127.0.0.1", closedPort));
        EXPECT_NE(link.open(), LinkResult::Ok);
        link.setConnection(Connection::serialDevice((folder.path / "brak").string()));
        EXPECT_NE(link.open(), LinkResult::Ok);
    }
    const auto operations = readTrace(file);
    ASSERT_EQ(operations.size(), 3u);
    EXPECT_EQ(operations[1].header, "TCP 127.0.0.1:" + std::to_string(closedPort));
    ASSERT_EQ(operations[1].entries.size(), 1u);
    EXPECT_EQ(operations[1].entries[0].text.rfind("brak połączenia", 0), 0u);
    ASSERT_EQ(operations[2].entries.size(), 1u);
    EXPECT_EQ(operations[2].entries[0].text, "błąd otwarcia portu: Nie ma urządzenia " + (folder.path / "brak").string());
    // Appending keeps what was there; replacing starts afresh.
    WireTrace::toFile(file.string(), WireTrace::Mode::Append)->beginOperation("dopisane");
    EXPECT_EQ(readTrace(file).size(), 4u);
    WireTrace::toFile(file.string(), WireTrace::Mode::Replace)->beginOperation("nowe");
    EXPECT_EQ(readTrace(file).size(), 1u);
    std::string reason;
    EXPECT_EQ(WireTrace::toFile((folder.path / "brak" / "t.txt").string(), WireTrace::Mode::Replace, &reason), nullptr);
    EXPECT_FALSE(reason.empty());
}

// A binary reply is written once complete, cut by the describer: a frame as hex with its
// verdict, the rest as text. A describer that miscounts loses no byte.
TEST(WireTraceBinary, WritesFramesAsHexWithTheirVerdict) {
    TempFolder folder;
    const auto file = folder.path / "przebieg.txt";
    {
        auto trace = WireTrace::toFile(file.string(), WireTrace::Mode::Replace);
        trace->beginOperation("test");
        const FrameDescriber twoAndRest = [](std::span<const std::uint8_t>) {
            return std::vector<TracedPiece>{{2, "dobra"}, {1, ""}};
        };
        trace->beginBinaryReply(&twoAndRest);
        trace->received(bytesOf("\x01\x02"));
        trace->received(bytesOf("A\rB"));
        trace->sent(bytesOf("X\r"));   // held pieces are written before the line sent
        trace->received(bytesOf("\xFF"));
        trace->endBinaryReply();
        const FrameDescriber miscounting = [](std::span<const std::uint8_t>) { return std::vector<TracedPiece>{{9, "za długa"}}; };
        trace->beginBinaryReply(&miscounting);
        trace->received(bytesOf("OK\r\n"));
        trace->endBinaryReply();
        trace->received(bytesOf("po\r"));
    }
    std::vector<std::string> shown;
    const auto operations = readTrace(file);
    for (const TraceEntry& entry : operations.at(0).entries) shown.push_back(std::string(1, entry.direction) + " " + entry.text);
    // 0xFF is the dot above in Windows-1250, a printable character.
    const std::vector<std::string> expected = {"< [2 B] 01 02 (dobra)", "< A", "< \\rB", "> X\\r", "< ˙",
                                               "< OK\\r\\n", "< po\\r"};
    EXPECT_EQ(shown, expected);
}

} // namespace
} // namespace kavrel::link
