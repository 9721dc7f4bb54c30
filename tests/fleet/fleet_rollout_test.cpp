// kavrel fleet config apply and drift against simulated modules on loopback: a staged
// roll-out that stops at the first batch over its threshold, leaves the modules it never
// reached exactly as they were, reports nothing written that did not verify, and finishes
// with --resume without writing any module twice, also after the roll-out itself was killed;
// one history record per write attempt;
// drift that is quiet when nothing changed and sees a field changed behind its back.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include "cli/run_kavrel.h"
#include "common/json_reader.h"
#include "sim/module_configuration.h"
#include "support/child_process.h"
#include "support/sim_fixture.h"

using namespace kavrel;
using kavrel::testing::runKavrel;

namespace {

// A simulated module the test can look into.
struct Module {
    std::shared_ptr<sim::ModuleConfiguration> config = std::make_shared<sim::ModuleConfiguration>();
    std::unique_ptr<kavrel::testing::SimFixture> sim;   // none: a refusing address
    int port = 0;

    // Everything the module reports of its configuration, as the queries give it.
    std::string snapshot() const {
        std::string all;
        for (const char* query : {"SET?", "SMS?", "APN?", "EAD?", "XCFG?", "ECFG?"}) all += config->reply(query).value_or("");
        config->clearJournal();   // the snapshot's own queries are not the tool's
        return all;
    }
    // Whether the tool sent the module anything but queries since the journal was cleared.
    bool receivedWrites() const {
        for (const std::string& line : config->journal())
            if (!line.ends_with("?")) return true;
        return false;
    }
};

std::unique_ptr<Module> startModule(sim::SimOptions options = {}) {
    auto m = std::make_unique<Module>();
    options.config.module = m->config;
    m->sim = std::make_unique<kavrel::testing::SimFixture>(std::move(options));
    m->port = m->sim->port();
    return m;
}

std::unique_ptr<Module> refusingModule() {
    auto m = std::make_unique<Module>();
    m->port = kavrel::testing::closedPort();
    return m;
}

std::string quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

struct Fleet {
    kavrel::testing::TempFolder folder;
    std::vector<std::unique_ptr<Module>> modules;
    std::filesystem::path hosts = folder.path / "flota.txt";
    std::filesystem::path templ = folder.path / "szablon.kvl";
    std::string env = "KAVREL_BACKUP_DIR=" + quoted(folder.path / "kopie");

    static std::string name(std::size_t i) {
        char text[24];
        std::snprintf(text, sizeof text, "M%03zu", i + 1);
        return text;
    }
    void writeHosts() {
        std::ofstream out(hosts);
        for (std::size_t i = 0; i < modules.size(); ++i) out << name(i) << " 127.0.0.1:" << modules[i]->port << "\n";
    }
    // The template: a module's record read with the tool, from a module seeded with its values.
    void readTemplate(std::vector<std::string> seed) {
        auto source = startModule(sim::SimOptions{.config = {.seedLines = std::move(seed)}});
        const auto run = runKavrel("--tcp 127.0.0.1:" + std::to_string(source->port) + " config read -o " + quoted(templ),
                                   env, folder.path);
        ASSERT_EQ(run.exitCode, 0) << run.err;
    }
    kavrel::testing::ToolRun kavrel(const std::string& args) { return runKavrel(args, env, folder.path); }
};

// The --json report's modules by name.
std::map<std::string, JsonValue> reportModules(const std::string& text) {
    std::map<std::string, JsonValue> byName;
    const auto report = parseJson(text);
    if (!report) return byName;
    for (const JsonValue& m : (*report)["modules"].items()) byName[m["name"].text()] = m;
    return byName;
}

// The history file's records (one JSON object a line, two lines an attempt), by id, in order.
struct HistoryAttempt {
    std::string connection, action, outcome, run;
};
std::vector<HistoryAttempt> historyAttempts(Fleet& fleet) {
    std::vector<HistoryAttempt> attempts;
    const auto run = fleet.kavrel("config history --json");
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
        const auto record = parseJson(line);
        if (!record) continue;
        attempts.push_back({(*record)["connection"].text(), (*record)["action"].text(), (*record)["outcome"].text(),
                            (*record)["run"].isNull() ? "" : (*record)["run"].text()});
    }
    return attempts;
}

} // namespace

TEST(FleetRollout, StopsAtTheFirstBatchOverItsThresholdAndResumesWithoutWritingTwice) {
    Fleet fleet;
    // Stages: the canary 0-1, then batches 2-11, 12-21, 22-31, 32-41, 42-49. One failure in
    // the first batch (10 %) goes on, two in the second (20 %) stop the run; the refusing
    // modules sit where the first run never gets.
    constexpr std::size_t kDropping = 5, kCut = 14, kSilent = 17, kRefusing1 = 25, kRefusing2 = 38;
    for (std::size_t i = 0; i < 50; ++i) {
        sim::SimOptions options;
        if (i == kDropping) options.config.droppedKeys = {"APN0"};   // its verification never matches
        if (i == kCut) options.faults.cutAtWriteCommand = 2;
        if (i == kSilent) options.faults.silent = true;
        fleet.modules.push_back(i == kRefusing1 || i == kRefusing2 ? refusingModule() : startModule(options));
    }
    fleet.writeHosts();
    fleet.readTemplate({"TRPT=120", "APN0=firma.apn", "NUM1=+48600999999"});
    std::ofstream(fleet.folder.path / "wartosci.csv") << "NAZWA;KLUCZ;WARTOŚĆ\nM003;NUM1;+48600000003\nM030;NUM1;+48600000030\n";
    std::vector<std::string> before;
    for (const auto& m : fleet.modules) before.push_back(m->sim ? m->snapshot() : "");

    const std::string options = quoted(fleet.templ) + " --hosts " + quoted(fleet.hosts) +
                                " --fields TRPT,APN0,NUM1 --values " + quoted(fleet.folder.path / "wartosci.csv") +
                                " --timeout 300 --parallel 8";
    const auto dry = fleet.kavrel("fleet config apply " + options + " --dry-run --json");
    EXPECT_EQ(dry.exitCode, 1) << "unreadable modules: " << dry.err;
    const auto planned = reportModules(dry.out);
    ASSERT_EQ(planned.size(), 50u) << dry.out;
    EXPECT_EQ(planned.at("M001")["outcome"].text(), "do zapisu");
    EXPECT_EQ(planned.at("M026")["outcome"].text(), "błąd odczytu");
    for (const auto& m : fleet.modules) EXPECT_FALSE(m->receivedWrites()) << "a dry run sends no write";

    const auto first = fleet.kavrel("fleet config apply " + options + " --canary 2 --batch 10 --stop-at 20% --json");
    EXPECT_EQ(first.exitCode, 1) << first.err;
    const auto report = parseJson(first.out);
    ASSERT_TRUE(report) << first.out;
    EXPECT_TRUE((*report)["stopped"].boolean());
    EXPECT_EQ((*report)["stagesRun"].number(), 3);
    EXPECT_NE(first.err.find("etap 3: 2 z 10 nieudanych (próg 20%)"), std::string::npos) << first.err;
    const std::string run = (*report)["run"].text();
    const auto outcomes = reportModules(first.out);
    ASSERT_EQ(outcomes.size(), 50u);

    std::set<std::size_t> writtenFirst;
    for (std::size_t i = 0; i < 50; ++i) {
        const Module& m = *fleet.modules[i];
        const JsonValue& o = outcomes.at(Fleet::name(i));
        const std::string outcome = o["outcome"].text();
        if (i >= 22) {
            EXPECT_EQ(outcome, "nieosiągnięty") << i;
            if (m.sim) {
                EXPECT_EQ(m.snapshot(), before[i]) << "module " << i << " was never reached";
            }
            continue;
        }
        if (outcome == "zapisany") {   // written means verified: the module holds its target
            writtenFirst.insert(i);
            EXPECT_TRUE(o["verified"].boolean());
            EXPECT_EQ(m.config->value("TRPT"), "120") << i;
            EXPECT_EQ(m.config->value("APN0"), "firma.apn") << i;
            EXPECT_EQ(m.config->value("NUM1"), i == 2 ? "+48600000003" : "+48600999999") << i;
        } else {
            EXPECT_FALSE(o["verified"].boolean()) << i;
        }
    }
    EXPECT_EQ(writtenFirst.size(), 19u);
    for (const std::size_t faulty : {kDropping, kCut, kSilent}) EXPECT_FALSE(writtenFirst.contains(faulty)) << faulty;
    EXPECT_TRUE(outcomes.at(Fleet::name(kCut))["resumable"].boolean()) << first.out;
    EXPECT_EQ(outcomes.at(Fleet::name(kSilent))["outcome"].text(), "błąd odczytu");

    // One history record per module a write reached, none for the ones it never reached.
    auto history = historyAttempts(fleet);
    EXPECT_EQ(history.size(), 21u);
    for (const auto& attempt : history) EXPECT_EQ(attempt.run, run);
    for (std::size_t i = 0; i < 50; ++i) {
        const auto count = std::count_if(history.begin(), history.end(), [&](const HistoryAttempt& a) {
            return a.connection == "127.0.0.1:" + std::to_string(fleet.modules[i]->port);
        });
        EXPECT_EQ(count, fleet.modules[i]->receivedWrites() ? 1 : 0) << i;
    }
    for (const auto& m : fleet.modules) m->config->clearJournal();

    const auto second = fleet.kavrel("fleet config apply --resume " + run + " --json");
    EXPECT_EQ(second.exitCode, 1) << "the faulty modules still fail: " << second.err;
    const auto resumed = reportModules(second.out);
    ASSERT_EQ(resumed.size(), 50u) << second.out;
    for (std::size_t i = 0; i < 50; ++i) {
        const Module& m = *fleet.modules[i];
        const std::string outcome = resumed.at(Fleet::name(i))["outcome"].text();
        if (writtenFirst.contains(i)) {
            EXPECT_FALSE(m.receivedWrites()) << "module " << i << " written twice";
            continue;
        }
        const bool faulty = i == kDropping || i == kSilent || i == kRefusing1 || i == kRefusing2;
        if (faulty) {
            EXPECT_NE(outcome, "zapisany") << i;   // never reported written without verifying
            continue;
        }
        EXPECT_EQ(outcome, "zapisany") << i;
        {
            EXPECT_EQ(m.config->value("APN0"), "firma.apn") << i;
            EXPECT_EQ(m.config->value("NUM1"), i == 29 ? "+48600000030" : "+48600999999") << i;
        }
    }
    history = historyAttempts(fleet);
    EXPECT_EQ(history.size(), 21u + 28u);   // 26 new writes, the dropping module again, the cut one finished
    const std::string cutConnection = "127.0.0.1:" + std::to_string(fleet.modules[kCut]->port);
    std::vector<std::string> cut;
    for (const auto& a : history)
        if (a.connection == cutConnection) cut.push_back(a.action + " " + a.outcome);
    EXPECT_EQ(cut, (std::vector<std::string>{"wdrożenie przerwany", "dokończenie zapisany"}));
}

TEST(FleetRollout, BadInputIsRefusedBeforeAnyModuleIsContacted) {
    Fleet fleet;
    fleet.modules.push_back(startModule());
    fleet.writeHosts();
    fleet.readTemplate({"TRPT=120"});
    fleet.modules[0]->config->clearJournal();
    const std::string base = "fleet config apply " + quoted(fleet.templ) + " --hosts " + quoted(fleet.hosts);
    const auto unknown = fleet.kavrel(base + " --fields TRPT,NIEMA");
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_NE(unknown.err.find("--fields: nieznane pole NIEMA"), std::string::npos) << unknown.err;
    const auto noFields = fleet.kavrel(base);
    EXPECT_NE(noFields.err.find("podaj pola szablonu"), std::string::npos) << noFields.err;
    std::ofstream(fleet.folder.path / "w.csv") << "M001;APN0;x\n";
    const auto outside = fleet.kavrel(base + " --fields TRPT --values " + quoted(fleet.folder.path / "w.csv"));
    EXPECT_NE(outside.err.find("pole APN0 nie należy do pól szablonu"), std::string::npos) << outside.err;
    EXPECT_EQ(fleet.kavrel(base + " --fields TRPT --batch 0").exitCode, 2);
    EXPECT_EQ(fleet.kavrel("fleet config apply --resume 20261209-000000-0000").exitCode, 1);
    EXPECT_TRUE(fleet.modules[0]->config->journal().empty());
}

TEST(FleetDrift, QuietRunsShowNothingAndAFieldChangedOnTheModuleShows) {
    Fleet fleet;
    for (int i = 0; i < 3; ++i) fleet.modules.push_back(startModule());
    fleet.writeHosts();
    fleet.readTemplate({});
    const std::string drift = "fleet config drift " + quoted(fleet.templ) + " --hosts " + quoted(fleet.hosts);
    for (int quiet = 0; quiet < 2; ++quiet) {
        const auto run = fleet.kavrel(drift + " --json");
        EXPECT_EQ(run.exitCode, 0) << run.err;
        const auto report = parseJson(run.out);
        ASSERT_TRUE(report) << run.out;
        EXPECT_EQ((*report)["differences"].number(), 0) << run.out;
    }
    ASSERT_EQ(fleet.modules[1]->config->apply("TRPT=90"), sim::ModuleConfiguration::Outcome::Accepted);
    const auto changed = fleet.kavrel(drift + " --csv");
    EXPECT_EQ(changed.exitCode, 1);
    EXPECT_EQ(changed.out, "moduł;pole;szablon;moduł;źródło\nM002;TRPT;60;90;127.0.0.1:" +
                               std::to_string(fleet.modules[1]->port) + "\n");

    // From the fleet service's backups (FOLDER/NAME/*.kvl): no module is contacted.
    const auto backups = fleet.folder.path / "fleet-kopie";
    std::filesystem::create_directories(backups / "M002");
    const auto read = fleet.kavrel("--tcp 127.0.0.1:" + std::to_string(fleet.modules[1]->port) + " config read -o " +
                                   quoted(backups / "M002" / "Kavrel V3.6EL M002 2026-12-09 10.00.00.kvl"));
    ASSERT_EQ(read.exitCode, 0) << read.err;
    for (const auto& m : fleet.modules) m->config->clearJournal();
    const auto offline = fleet.kavrel("fleet config drift " + quoted(fleet.templ) + " --from-backups " + quoted(backups) +
                                      " --fields TRPT,APN0");
    EXPECT_EQ(offline.exitCode, 1) << offline.err;
    EXPECT_NE(offline.out.find("M002  TRPT"), std::string::npos) << offline.out;
    for (const auto& m : fleet.modules) EXPECT_TRUE(m->config->journal().empty());
}

TEST(WriteHistory, AWriterKilledMidWriteLeavesItsRecordAndTheResumeAddsOne) {
    Fleet fleet;
    fleet.modules.push_back(startModule(sim::SimOptions{.config = {.noOkKeys = {"TRPT"}, .seedLines = {"TRPT=120"}}}));
    fleet.readTemplate({"TRPT=45", "APN0=firma.apn"});
    Module& module = *fleet.modules[0];
    const std::string connection = "127.0.0.1:" + std::to_string(module.port);
    const std::string out = (fleet.folder.path / "out.txt").string();
    // The module never answers the line that sets TRPT: the writer waits there and is killed.
    pid_t writer = -1;
    {
        const std::string script = "export XDG_CONFIG_HOME=" + quoted(fleet.folder.path / "config") + " " + fleet.env +
                                   "; exec " + KAVREL_CLI + " --tcp " + connection + " config write " + quoted(fleet.templ) +
                                   " --backup";
        writer = kavrel::testing::startProcess({"/bin/sh", "-c", script}, out);
    }
    ASSERT_GT(writer, 0);
    bool waiting = false;
    for (int i = 0; i < 200 && !waiting; ++i) {
        for (const std::string& line : module.config->journal()) waiting = waiting || line.find("TRPT=") != std::string::npos;
        if (!waiting) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(waiting) << kavrel::testing::readWholeFile(out);
    (void)kavrel::testing::endProcess(writer, SIGKILL);
    auto history = historyAttempts(fleet);
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].outcome, "przerwany");
    EXPECT_EQ(history[0].action, "zapis");

    // The same module, answering now, at the same address: the resume finishes the write.
    const int port = module.port;
    module.sim.reset();
    auto again = std::make_shared<sim::ModuleConfiguration>();
    kavrel::testing::SimFixture back(sim::SimOptions{.config = {.seedLines = {"TRPT=120"}, .module = again}}, port);
    const auto resumed = fleet.kavrel("--tcp " + connection + " config resume --yes");
    EXPECT_EQ(resumed.exitCode, 0) << resumed.err;
    EXPECT_EQ(again->value("TRPT"), "45");
    history = historyAttempts(fleet);
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[0].outcome, "przerwany");
    EXPECT_EQ(history[1].action + " " + history[1].outcome, "dokończenie zapisany");
    const auto text = fleet.kavrel("config history --connection " + connection);
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_NE(text.out.find("przerwany"), std::string::npos) << text.out;
}

TEST(FleetRollout, ARunKilledMidWriteIsFinishedByItsResume) {
    Fleet fleet;
    // The first module never answers the line that sets its access point: its write hangs
    // there (after the line with TRPT), and the roll-out is killed.
    fleet.modules.push_back(startModule(sim::SimOptions{.faults = {.silentCommands = {"APN0="}}}));
    for (int i = 0; i < 2; ++i) fleet.modules.push_back(startModule());
    fleet.writeHosts();
    fleet.readTemplate({"TRPT=120", "APN0=firma.apn"});
    for (const auto& m : fleet.modules) m->config->clearJournal();
    const std::string out = (fleet.folder.path / "out.txt").string();
    const std::string script = "export XDG_CONFIG_HOME=" + quoted(fleet.folder.path / "config") + " " + fleet.env +
                               "; exec " + KAVREL_CLI + " fleet config apply " + quoted(fleet.templ) + " --hosts " +
                               quoted(fleet.hosts) + " --fields TRPT,APN0 --canary 1 --batch 1 --parallel 1";
    pid_t writer = kavrel::testing::startProcess({"/bin/sh", "-c", script}, out);
    ASSERT_GT(writer, 0);
    Module& first = *fleet.modules[0];
    bool writing = false;
    for (int i = 0; i < 400 && !writing; ++i) {
        for (const std::string& line : first.config->journal()) writing = writing || line.starts_with("TRPT=120");
        if (!writing) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(writing) << kavrel::testing::readWholeFile(out);
    (void)kavrel::testing::endProcess(writer, SIGKILL);
    first.sim->setFaults({});   // answering again
    EXPECT_FALSE(fleet.modules[1]->receivedWrites());
    EXPECT_FALSE(fleet.modules[2]->receivedWrites());
    auto history = historyAttempts(fleet);
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].action + " " + history[0].outcome, "wdrożenie przerwany");
    const std::string run = history[0].run;
    ASSERT_FALSE(run.empty());

    const auto resumed = fleet.kavrel("fleet config apply --resume " + run);
    EXPECT_EQ(resumed.exitCode, 0) << resumed.err << resumed.out;
    for (const auto& m : fleet.modules) EXPECT_EQ(m->config->value("APN0"), "firma.apn");
    history = historyAttempts(fleet);
    std::vector<std::string> seen;
    for (const auto& a : history) seen.push_back(a.action + " " + a.outcome);
    EXPECT_EQ(seen, (std::vector<std::string>{"wdrożenie przerwany", "dokończenie zapisany", "wdrożenie zapisany",
                                              "wdrożenie zapisany"}));
}
