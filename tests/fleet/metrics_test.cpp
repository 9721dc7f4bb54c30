// The metrics page over real loopback HTTP: a module's readings with its lines' names and
// units, gone once it stops answering while its last-success time stays; the page checked by
// Debian's promtool and scraped by a real Prometheus started here on a free port.
#include <gtest/gtest.h>

#include <poll.h>

#include <cstdio>
#include <fstream>
#include <thread>

#include "common/win1250.h"
#include "fleet/fleet_poller.h"
#include "fleet/metrics/metrics_server.h"
#include "fleet/metrics/poll_metrics.h"
#include "fleet_sims.h"
#include "support/temp_folder.h"

using namespace kavrel;
using namespace kavrel::fleet;
using kavrel::testing::FleetSims;

namespace {

const char* const kPromtool = "/usr/bin/promtool";
const char* const kPrometheus = "/usr/bin/prometheus";

// A GET over loopback; the whole answer, head included ("" when nothing answered).
std::string httpGet(std::uint16_t port, const std::string& path) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) == 0) {
        const std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
        ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        pollfd p{fd, POLLIN, 0};
        char buffer[4096];
        ssize_t n = 0;
        while (::poll(&p, 1, 3000) > 0 && (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0) answer.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return answer;
}

std::string body(const std::string& answer) {
    const auto at = answer.find("\r\n\r\n");
    return at == std::string::npos ? "" : answer.substr(at + 4);
}

std::vector<std::string> linesWith(const std::string& page, const std::string& part) {
    std::vector<std::string> out;
    std::size_t at = 0;
    while (at < page.size()) {
        const std::size_t end = page.find('\n', at);
        const std::string line = page.substr(at, end - at);
        if (line.find(part) != std::string::npos && !line.starts_with("#")) out.push_back(line);
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return out;
}

void poll(const std::vector<FleetModule>& modules, PollSink& sink, std::chrono::milliseconds duration) {
    FleetTiming timing;
    timing.interval = std::chrono::milliseconds(250);
    FleetPoller poller(modules, timing, sink);
    StopRequest stop;
    poller.run(duration, stop);
}

} // namespace

class MetricsPage : public ::testing::Test {
protected:
    void SetUp() override {
        sims.add("KOTLOWNIA");
        sims.add("POMPY");
        modules = sims.modules();
        modules[0].settings.lineName[0] = W("Zasilanie główne");
        metrics::PollMetrics pollMetrics(registry, modules);
        pollMetrics.addCollector([](metrics::MetricsRegistry& r) { r.set(metrics::kSpoolBytes, {{"sink", "database"}}, 0); });
        poll(modules, pollMetrics, std::chrono::milliseconds(700));
        pageWhileAnswering = body(httpGet(server.port(), "/metrics"));
        sims.sim(0).setFaults([] {
            sim::LinkFaults faults;
            faults.silent = true;
            return faults;
        }());
        // A silent module holds its open connection until its reply limit: two polls' time.
        poll(modules, pollMetrics, std::chrono::milliseconds(1500));
        pageAfterSilence = body(httpGet(server.port(), "/metrics"));
    }

    FleetSims sims;
    std::vector<FleetModule> modules;
    metrics::MetricsRegistry registry;
    metrics::MetricsServer server{"127.0.0.1", 0, registry};
    std::string pageWhileAnswering;
    std::string pageAfterSilence;
    const kavrel::testing::TempFolder folder;
};

TEST_F(MetricsPage, ShowsReadingsByNameAndUnitAndDropsThemWhenTheModuleFallsSilent) {
    ASSERT_EQ(server.error(), "");
    EXPECT_EQ(body(httpGet(server.port(), "/other")), "the figures are at /metrics\n");
    EXPECT_NE(httpGet(server.port(), "/metrics").find("Content-Type: text/plain; version=0.0.4"), std::string::npos);

    const auto first = linesWith(pageWhileAnswering, "kavrel_fleet_reading{module=\"KOTLOWNIA\",line=\"L1\"");
    ASSERT_EQ(first.size(), 1u) << pageWhileAnswering;
    EXPECT_TRUE(first[0].starts_with("kavrel_fleet_reading{module=\"KOTLOWNIA\",line=\"L1\",name=\"Zasilanie główne\",unit=\"V\"} "))
        << first[0];
    EXPECT_EQ(linesWith(pageWhileAnswering, "line=\"L2\",name=\"Linia L2\",unit=\"°C\"").size(), 2u) << "both modules";
    EXPECT_EQ(linesWith(pageWhileAnswering, "kavrel_fleet_module_state{module=\"KOTLOWNIA\",state=\"ok\"} 1").size(), 1u);

    EXPECT_TRUE(linesWith(pageAfterSilence, "kavrel_fleet_reading{module=\"KOTLOWNIA\"").empty()) << "no stale values";
    EXPECT_FALSE(linesWith(pageAfterSilence, "kavrel_fleet_reading{module=\"POMPY\"").empty());
    EXPECT_EQ(linesWith(pageAfterSilence, "kavrel_fleet_last_success_timestamp_seconds{module=\"KOTLOWNIA\"}").size(), 1u);
    EXPECT_EQ(linesWith(pageAfterSilence, "kavrel_fleet_module_state{module=\"KOTLOWNIA\",state=\"no answer\"} 1").size(), 1u);
    EXPECT_EQ(linesWith(pageAfterSilence, "kavrel_fleet_module_state{module=\"KOTLOWNIA\"").size(), 1u);
    EXPECT_EQ(linesWith(pageAfterSilence, "kavrel_fleet_poll_lateness_seconds_bucket{le=\"+Inf\"}").size(), 1u);
    EXPECT_EQ(linesWith(pageAfterSilence, "kavrel_fleet_spool_bytes{sink=\"database\"} 0").size(), 1u);
}

TEST_F(MetricsPage, PromtoolFindsNoProblemAndARealPrometheusScrapesIt) {
    if (::access(kPromtool, X_OK) != 0 || ::access(kPrometheus, X_OK) != 0)
        GTEST_SKIP() << "Debian's prometheus package is not installed (scripts/setup installs it)";
    const auto pagePath = folder.path / "page.txt";
    std::ofstream(pagePath) << pageAfterSilence;
    const std::string check = std::string(kPromtool) + " check metrics < " + pagePath.string() + " > " +
                              (folder.path / "promtool.txt").string() + " 2>&1";
    EXPECT_EQ(std::system(check.c_str()), 0) << std::ifstream(folder.path / "promtool.txt").rdbuf();

    const std::uint16_t port = kavrel::testing::closedPort();
    std::ofstream(folder.path / "prometheus.yml") << "global:\n  scrape_interval: 1s\nscrape_configs:\n  - job_name: kavrel\n"
                                                     "    static_configs:\n      - targets: ['127.0.0.1:"
                                                  << server.port() << "']\n";
    pid_t pid = kavrel::testing::startProcess(
        {kPrometheus, "--config.file=" + (folder.path / "prometheus.yml").string(),
         "--storage.tsdb.path=" + (folder.path / "tsdb").string(), "--web.listen-address=127.0.0.1:" + std::to_string(port)},
        folder.path / "prometheus.log");
    ASSERT_GT(pid, 0);
    // Prometheus starts, scrapes within its first interval, and answers the query.
    std::string answer;
    for (int i = 0; i < 60 && answer.find("\"POMPY\"") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        answer = body(httpGet(port, "/api/v1/query?query=kavrel_fleet_last_success_timestamp_seconds"));
    }
    kavrel::testing::endProcess(pid);
    EXPECT_NE(answer.find("\"module\":\"POMPY\""), std::string::npos) << answer << std::ifstream(folder.path / "prometheus.log").rdbuf();
    EXPECT_NE(answer.find("\"module\":\"KOTLOWNIA\""), std::string::npos) << answer;
}
