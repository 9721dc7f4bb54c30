// The time-series outputs against Debian's influxdb, started by the test on free loopback
// ports: a whole lp export and the rounds of `fleet poll --influx` are taken with no point
// refused or lost, rounds made while the database was away reach it at the next run, and
// queries give back the values written.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "cli/run_kavrel.h"
#include "fleet/http_post.h"
#include "fleet_sims.h"
#include "support/child_process.h"

namespace kavrel::testing {
namespace {

namespace fs = std::filesystem;
constexpr const char* kInfluxd = "/usr/bin/influxd";

std::string urlEncoded(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.') out += static_cast<char>(c);
        else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        }
    }
    return out;
}

class InfluxServer {
public:
    explicit InfluxServer(const fs::path& folder)
        : folder_(folder), port_(closedPort()), rpcPort_(closedPort()) {
        std::ofstream(folder / "influxdb.conf")
            << "reporting-disabled = true\nbind-address = \"127.0.0.1:" << rpcPort_ << "\"\n[meta]\n  dir = \""
            << (folder / "meta").string() << "\"\n[data]\n  dir = \"" << (folder / "data").string() << "\"\n  wal-dir = \""
            << (folder / "wal").string() << "\"\n  query-log-enabled = false\n[http]\n  bind-address = \"127.0.0.1:"
            << port_ << "\"\n  log-enabled = false\n[monitor]\n  store-enabled = false\n[ifql]\n  enabled = false\n";
    }
    ~InfluxServer() { stop(); }
    int port() const { return port_; }
    bool start() {
        pid_ = startProcess({kInfluxd, "-config", (folder_ / "influxdb.conf").string()}, folder_ / "influxd.log");
        for (int i = 0; i < 200 && pid_ > 0; ++i) {
            if (query("", "SHOW DATABASES").find("results") != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    void stop() { endProcess(pid_); }
    std::string query(const std::string& db, const std::string& q) const {
        const std::string target = "/query?" + (db.empty() ? "" : "db=" + db + "&") + "q=" + urlEncoded(q);
        return fleet::httpPost("127.0.0.1", port_, target, "", 3000).body;
    }

private:
    fs::path folder_;
    int port_, rpcPort_;
    pid_t pid_ = -1;
};

// The numbers after each series' time in a query's answer: counts, or the values of one field.
std::vector<double> answerValues(const std::string& answer) {
    static const std::regex value(R"re(\["[^"]+",(-?[0-9.e+-]+)\])re");
    std::vector<double> values;
    for (auto it = std::sregex_iterator(answer.begin(), answer.end(), value); it != std::sregex_iterator(); ++it)
        values.push_back(std::stod((*it)[1]));
    return values;
}

double sum(const std::vector<double>& values) {
    double total = 0;
    for (double v : values) total += v;
    return total;
}

TEST(InfluxAcceptance, AWholeExportIsTakenAndQueriedBack) {
    if (!fs::exists(kInfluxd)) GTEST_SKIP() << "influxdb is not installed (scripts/setup installs it)";
    const TempFolder temp;
    InfluxServer influx(temp.path);
    ASSERT_TRUE(influx.start()) << readWholeFile(temp.path / "influxd.log");
    influx.query("", "CREATE DATABASE historia");

    sim::SimOptions options;
    options.memory.records = 400;
    SimFixture sim(options);
    const ToolRun download = runKavrel("--tcp 127.0.0.1:" + std::to_string(sim.port()) + " logger download --format lp -o " +
                                       (temp.path / "h").string(), "", temp.path);
    ASSERT_EQ(download.exitCode, 0) << download.err;
    const std::string points = readWholeFile(temp.path / "h.lp");
    const fleet::HttpReply written =
        fleet::httpPost("127.0.0.1", influx.port(), "/write?db=historia&precision=ns", points, 10000);
    EXPECT_EQ(written.status, 204) << written.body;

    // Every line a point of its own: none refused, none taking another's place.
    const auto lines = std::count(points.begin(), points.end(), '\n');
    EXPECT_EQ(sum(answerValues(influx.query("historia", "SELECT count(nr) FROM /kavrel_.*/"))), double(lines));
    std::vector<double> expected;
    std::istringstream in(points);
    for (std::string line; std::getline(in, line);)
        if (line.starts_with("kavrel_pomiar,") && line.find(",linia=L2,") != std::string::npos)
            expected.push_back(std::stod(line.substr(line.find(" wartosc=") + 9)));
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(answerValues(influx.query("historia", "SELECT wartosc FROM kavrel_pomiar WHERE linia='L2'")), expected);
}

// The polls the summary counted ("odczyty N").
long long pollsOf(const std::string& err) {
    std::smatch m;
    return std::regex_search(err, m, std::regex("odczyty (\\d+)")) ? std::stoll(m[1]) : -1;
}

TEST(InfluxAcceptance, FleetRoundsReachTheDatabaseAlsoWhenItWasAway) {
    if (!fs::exists(kInfluxd)) GTEST_SKIP() << "influxdb is not installed (scripts/setup installs it)";
    const TempFolder temp;
    InfluxServer influx(temp.path);
    FleetSims sims;
    sims.add("M1");
    sims.add("M2");
    {
        std::ofstream hosts(temp.path / "flota.txt");
        for (const auto& m : sims.modules()) hosts << m.name << " " << m.endpoint() << "\n";
    }
    const std::string poll = "fleet poll --hosts " + (temp.path / "flota.txt").string() + " --db " +
                             (temp.path / "f.db").string() + " --interval 0.2 --duration 1 --quiet --influx " +
                             "http://127.0.0.1:" + std::to_string(influx.port()) + "/flota";
    // The database is not there yet: the rounds wait in the spool.
    const ToolRun away = runKavrel(poll, "", temp.path);
    EXPECT_EQ(away.exitCode, 0) << away.err;
    EXPECT_TRUE(fs::exists(temp.path / "f.db-influx.spool")) << away.err;

    ASSERT_TRUE(influx.start()) << readWholeFile(temp.path / "influxd.log");
    influx.query("", "CREATE DATABASE flota");
    const ToolRun back = runKavrel(poll, "", temp.path);
    EXPECT_EQ(back.exitCode, 0) << back.err;
    EXPECT_EQ(back.err.find("odrzuciła"), std::string::npos) << back.err;
    EXPECT_FALSE(fs::exists(temp.path / "f.db-influx.spool")) << back.err;

    const long long polls = pollsOf(away.err) + pollsOf(back.err);
    ASSERT_GT(polls, 4);
    EXPECT_EQ(sum(answerValues(influx.query("flota", "SELECT count(wynik) FROM kavrel_modul"))), double(polls));
    // Each answered poll gave each line of the module its value.
    const auto perLine =
        answerValues(influx.query("flota", "SELECT count(wartosc) FROM kavrel_odczyt WHERE modul='M1' GROUP BY linia"));
    ASSERT_FALSE(perLine.empty());
    const auto m1 = answerValues(influx.query("flota", "SELECT count(wynik) FROM kavrel_modul WHERE modul='M1'"));
    ASSERT_EQ(m1.size(), 1u);
    for (double count : perLine) EXPECT_EQ(count, m1[0]);
}

} // namespace
} // namespace kavrel::testing
