// kavrel ping: how long the module takes to answer over this link. Says "VER?" the asked
// number of times, one after the other, and prints each round trip and then their minimum,
// median and maximum: the figures that tell a slow GPRS link from a dead one.
#include <algorithm>
#include <charconv>
#include <filesystem>
#include <chrono>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "link/command_words.h"
#include "link/handshake.h"
#include "link/ports/port_mapping.h"
#include "link/ports/port_facts.h"
#include "common/file_names.h"

namespace kavrel::cli {
namespace {

constexpr int kDefaultCount = 5;
constexpr int kMaxCount = 10000;

struct PingArgs {
    int count = kDefaultCount;
    std::string error;
};

PingArgs parsePingArgs(std::span<const std::string> args) {
    PingArgs parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string value;
        if (args[i] == "--count" && i + 1 < args.size()) value = args[++i];
        else if (args[i].starts_with("--count=")) value = args[i].substr(8);
        else {
            parsed.error = "kavrel ping: nieoczekiwany argument " + args[i] + "\n";
            return parsed;
        }
        int count = 0;
        const auto [end, failure] = std::from_chars(value.data(), value.data() + value.size(), count);
        if (failure != std::errc{} || end != value.data() + value.size() || count < 1 || count > kMaxCount) {
            parsed.error = "kavrel ping: --count oczekuje liczby całkowitej od 1 do " + std::to_string(kMaxCount) + "\n";
            return parsed;
        }
        parsed.count = count;
    }
    return parsed;
}

// Milliseconds with one decimal, so that a cable's fractions of a millisecond show too.
std::string millisecondsText(double ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f ms", ms);
    return text;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// An FTDI adapter's latency timer above a few milliseconds shows in every round trip above:
// said once after them, with where to read how to change it.
void noteAdapterLatency(CliContext& context) {
    const link::Connection& connection = context.connection;
    if (!connection.isSerial()) return;
#ifdef _WIN32
    const auto same = [&](const link::PortFacts& facts) { return facts.comNumber == connection.comNumber(); };
#else
    std::error_code ignored;
    const std::string path = connection.device().empty() ? link::serialDevicePath(connection.comNumber(), nullptr) : connection.device();
    const auto opened = std::filesystem::weakly_canonical(pathFromUtf8(path), ignored);
    const auto same = [&](const link::PortFacts& facts) {
        std::error_code unknown;
        return std::filesystem::weakly_canonical(pathFromUtf8(facts.device), unknown) == opened;
    };
#endif
    for (const link::PortFacts& facts : link::gatherPortFacts()) {
        if (!same(facts) || !facts.latencyMs || *facts.latencyMs <= 2) continue;
        context.out << "Czasomierz opóźnienia adaptera: " << *facts.latencyMs
                    << " ms na każdą odpowiedź; jak go skrócić, mówi kavrel ports --doctor\n";
        return;
    }
}

} // namespace

int runPing(CliContext& context, std::span<const std::string> args) {
    const PingArgs parsed = parsePingArgs(args);
    if (!parsed.error.empty()) {
        context.err << parsed.error;
        return kExitUsage;
    }
    link::ModuleLink moduleLink(link::LinkVariant::configurator(), context.connection);
    if (!context.traceInto(moduleLink)) return kExitFailure;
    if (moduleLink.open() != link::LinkResult::Ok) {
        link::reportOpenFailure(moduleLink, context.observer, link::openFailureText(moduleLink), MessageIcon::Error);
        return kExitFailure;
    }
    std::vector<double> roundTrips;
    for (int n = 1; n <= parsed.count; ++n) {
        const auto sent = std::chrono::steady_clock::now();
        const link::LinkResult answered = moduleLink.sendCommand(link::command::kVersion);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - sent).count();
        context.out << "VER? " << n << ": ";
        if (answered == link::LinkResult::Ok) {
            roundTrips.push_back(ms);
            context.out << millisecondsText(ms) << "\n";
        } else {
            context.out << "brak odpowiedzi (" << millisecondsText(ms) << ")\n";
        }
        context.out.flush();
    }
    moduleLink.close();
    const std::size_t lost = static_cast<std::size_t>(parsed.count) - roundTrips.size();
    context.out << "Odpowiedzi: " << roundTrips.size() << " z " << parsed.count;
    if (!roundTrips.empty()) {
        const auto [shortest, longest] = std::minmax_element(roundTrips.begin(), roundTrips.end());
        context.out << ", czas min " << millisecondsText(*shortest) << ", mediana " << millisecondsText(median(roundTrips))
                    << ", max " << millisecondsText(*longest);
    }
    context.out << "\n";
    noteAdapterLatency(context);
    return lost == 0 ? kExitOk : kExitFailure;
}

} // namespace kavrel::cli
