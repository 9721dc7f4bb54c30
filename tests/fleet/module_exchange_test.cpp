// The fleet's own exchange reaching modules by name and over IPv6, keeping the system's
// reason of a connection not made in the poll's row and the module's state, and writing
// every poll to the wire trace as a section of its module.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <map>
#include <sstream>

#include "fleet/fleet_poller.h"
#include "fleet/fleet_status.h"
#include "fleet/fleet_store.h"
#include "fleet_sims.h"
#include "support/temp_folder.h"

using namespace kavrel;
using namespace kavrel::fleet;
using kavrel::testing::FleetSims;
using kavrel::testing::RecordingSink;

namespace {

std::map<std::string, std::string> reasonsStored(const std::string& dbPath) {
    std::map<std::string, std::string> reasons;
    sqlite3* db = nullptr;
    sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* query = nullptr;
    sqlite3_prepare_v2(db, "SELECT module, group_concat(DISTINCT coalesce(reason, '-')) FROM polls GROUP BY module", -1,
                       &query, nullptr);
    while (sqlite3_step(query) == SQLITE_ROW)
        reasons[reinterpret_cast<const char*>(sqlite3_column_text(query, 0))] =
            reinterpret_cast<const char*>(sqlite3_column_text(query, 1));
    sqlite3_finalize(query);
    sqlite3_close(db);
    return reasons;
}

// The trace's sections: each header line with the lines below it.
std::vector<std::string> sections(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> out;
    std::string line;
    while (std::getline(in, line)) {
        if (line.starts_with("--- ")) out.emplace_back();
        if (!out.empty()) out.back() += line + "\n";
    }
    return out;
}

} // namespace

TEST(ModuleExchange, ReachesNamesAndIpv6KeepsTheReasonOfAFailedConnectAndTracesEachPollApart) {
    const kavrel::testing::TempFolder folder;
    FleetSims sims;
    sims.addAt("BYNAME", "localhost", "127.0.0.1");
    sims.addAt("V6", "::1", "::1");
    sims.addUnknownName("NONAME");
    sims.addRefusing("REFUSED");
    const std::vector<FleetModule> modules = sims.modules();
    const std::string dbPath = (folder.path / "fleet.db").string();
    const std::string tracePath = (folder.path / "trace.txt").string();
    RecordingSink recorded;
    {
        FleetStore store(dbPath, modules);
        ASSERT_EQ(store.error(), "");
        SinkFan sinks;
        sinks.add(store);
        sinks.add(recorded);
        FleetTiming timing;
        timing.interval = std::chrono::milliseconds(300);
        FleetPoller poller(modules, timing, sinks);
        poller.setTrace(link::WireTrace::toFile(tracePath, link::WireTrace::Mode::Replace));
        StopRequest stop;
        poller.run(std::chrono::milliseconds(1000), stop);
        sinks.finish();
    }
    const std::map<std::string, std::pair<Outcome, link::OpenFailureKind>> expected = {
        {"BYNAME", {Outcome::Ok, link::OpenFailureKind::None}},
        {"V6", {Outcome::Ok, link::OpenFailureKind::None}},
        {"NONAME", {Outcome::NoAnswer, link::OpenFailureKind::NameNotFound}},
        {"REFUSED", {Outcome::Refused, link::OpenFailureKind::Refused}},
    };
    for (std::size_t i = 0; i < modules.size(); ++i) {
        const auto polls = recorded.of(i);
        ASSERT_GE(polls.size(), 3u) << modules[i].name;
        for (const auto& poll : polls) {
            EXPECT_EQ(poll.outcome, expected.at(modules[i].name).first) << modules[i].name;
            EXPECT_EQ(poll.connectFailure.kind, expected.at(modules[i].name).second) << modules[i].name;
        }
    }

    EXPECT_EQ(reasonsStored(dbPath), (std::map<std::string, std::string>{
                                         {"BYNAME", "-"}, {"V6", "-"}, {"NONAME", "name not found"}, {"REFUSED", "refused"}}));
    std::map<std::string, std::string> states;
    for (const auto& m : readFleetStatus(dbPath).modules) states[m.name] = m.state;
    EXPECT_EQ(states["NONAME"], "brak odpowiedzi (nieznana nazwa hosta)");
    EXPECT_EQ(states["REFUSED"], "odmowa");
    EXPECT_EQ(states["V6"], "OK");

    // A section per poll, each whole: its module's header, then only that poll's entries.
    std::map<std::string, std::vector<std::string>> byModule;
    for (const std::string& section : sections(tracePath)) {
        const std::string header = section.substr(0, section.find('\n'));
        const std::string name = header.substr(24, header.find(' ', 24) - 24);
        byModule[name].push_back(section);
    }
    std::size_t totalPolls = 0;
    for (const auto& m : modules) totalPolls += recorded.of(&m - modules.data()).size();
    std::size_t totalSections = 0;
    for (const auto& [name, list] : byModule) totalSections += list.size();
    EXPECT_EQ(totalSections, totalPolls) << "one section per poll, nothing lost or split";
    const std::string firstV6 = byModule["V6"].at(0);
    EXPECT_NE(firstV6.find(" V6 TCP [::1]:" + std::to_string(modules[1].port) + "\n"), std::string::npos) << firstV6;
    EXPECT_NE(firstV6.find("= łączenie z [::1]:"), std::string::npos) << firstV6;
    EXPECT_NE(firstV6.find("> VER?\\r\n"), std::string::npos) << firstV6;
    EXPECT_NE(firstV6.find("< MSR="), std::string::npos) << firstV6;
    const std::string laterByName = byModule["BYNAME"].at(1);
    EXPECT_EQ(laterByName.find("VER?"), std::string::npos) << "the connection is kept between polls: " << laterByName;
    EXPECT_NE(laterByName.find("> MSR?\\r\n"), std::string::npos) << laterByName;
    EXPECT_NE(byModule["NONAME"].at(0).find("= nieznana nazwa hosta"), std::string::npos) << byModule["NONAME"].at(0);
    EXPECT_NE(byModule["REFUSED"].at(0).find("= odmowa połączenia"), std::string::npos) << byModule["REFUSED"].at(0);
}

// A reply with 12 of its 23 fields and one whose first reading runs on for 200 kB: the row
// holds what the module sent, NULL for the rest, and says the poll was incomplete.
TEST(ModuleExchange, StoresOnlyTheFieldsAModuleSentAndMarksThePoll) {
    const kavrel::testing::TempFolder folder;
    sim::SimOptions few;
    few.monitor.fewFields = true;
    sim::SimOptions huge;
    huge.monitor.hugeLine = true;
    FleetSims sims;
    sims.add("WHOLE");
    sims.add("FEW", few);
    sims.add("HUGE", huge);
    const std::string dbPath = (folder.path / "fleet.db").string();
    {
        const std::vector<FleetModule> modules = sims.modules();
        FleetStore store(dbPath, modules);
        FleetTiming timing;
        timing.interval = std::chrono::milliseconds(300);
        FleetPoller poller(modules, timing, store);
        StopRequest stop;
        poller.run(std::chrono::milliseconds(700), stop);
        store.finish();
    }
    sqlite3* db = nullptr;
    sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* query = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT module, outcome, incomplete, quote(l1), quote(l8), quote(l1_state), quote(outputs), "
                       "quote(gsm_signal), quote(ext_mode), quote(xl1) FROM polls GROUP BY module ORDER BY module",
                       -1, &query, nullptr);
    std::map<std::string, std::vector<std::string>> rows;
    while (sqlite3_step(query) == SQLITE_ROW) {
        auto& row = rows[reinterpret_cast<const char*>(sqlite3_column_text(query, 0))];
        for (int c = 1; c < 10; ++c) {
            const unsigned char* t = sqlite3_column_text(query, c);
            row.emplace_back(t ? reinterpret_cast<const char*>(t) : "NULL");
        }
    }
    sqlite3_finalize(query);
    sqlite3_close(db);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows["WHOLE"][1], "0");
    EXPECT_NE(rows["WHOLE"][7], "NULL");
    EXPECT_NE(rows["WHOLE"][8], "NULL") << "the extended lines of a whole reply";
    const std::vector<std::string>& f = rows["FEW"];
    EXPECT_EQ(f[0], "ok");
    EXPECT_EQ(f[1], "1");
    EXPECT_NE(f[2], "NULL");
    EXPECT_NE(f[3], "NULL") << "the eighth reading was sent";
    EXPECT_NE(f[4], "NULL") << "the masks were sent";
    EXPECT_NE(f[5], "NULL") << "the outputs are the twelfth field";
    EXPECT_EQ(f[6], "NULL") << "the GSM signal was not sent";
    EXPECT_EQ(f[7], "NULL");
    EXPECT_EQ(f[8], "NULL");
    const std::vector<std::string>& h = rows["HUGE"];
    EXPECT_EQ(h[0], "ok");
    EXPECT_EQ(h[1], "1");
    EXPECT_EQ(h[2], "NULL") << "a reading cut by the reply's end is not stored as if whole";
    EXPECT_EQ(h[6], "NULL");
}
