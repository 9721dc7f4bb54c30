// kavrel monitor: the monitor's polling run on a terminal. The same poller as the
// window's: MSR? (and MSRX?) every tick, the CSV log with its header and a row per
// record period, three failed polls blanking the readings. One line per poll on stdout.
#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <optional>
#include <ostream>
#include <thread>

#include "cli/commands.h"
#include "cli/file_overlap.h"
#include "common/file_names.h"
#include "common/win1250.h"
#include "monitor/measurement_log.h"
#include "monitor/poller.h"

namespace kavrel::cli {
namespace {

using namespace kavrel::monitor;

std::atomic<bool> interrupted{false};

void onInterrupt(int) { interrupted = true; }

struct MonitorOptions {
    std::optional<std::string> settingsFile;
    std::optional<std::string> csvFile;
    std::optional<int> period;  // minutes, instead of the settings' record period
    long count = 0;             // 0: until interrupted
    int intervalMs = kPollPeriodMs;
    bool reconnect = true;      // --no-reconnect: a lost connection stays lost
};

bool toNumber(const std::string& text, long minimum, long maximum, long& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size() && value >= minimum && value <= maximum;
}

// Returns an error text, or "" when the arguments are good.
std::string parseOptions(std::span<const std::string> args, MonitorOptions& options) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--no-reconnect") {
            options.reconnect = false;
            continue;
        }
        if (arg != "--settings" && arg != "--csv" && arg != "--period" && arg != "--count" && arg != "--interval-ms")
            return "nieoczekiwany argument " + arg;
        if (i + 1 >= args.size()) return arg + " wymaga wartości";
        const std::string& value = args[++i];
        long number = 0;
        if (arg == "--settings") {
            options.settingsFile = value;
        } else if (arg == "--csv") {
            if (value.empty()) return "--csv wymaga nazwy pliku";
            options.csvFile = value;
        } else if (arg == "--period") {
            if (!toNumber(value, 1, 65535, number)) return "--period oczekuje minut 1..65535";
            options.period = static_cast<int>(number);
        } else if (arg == "--count") {
            if (!toNumber(value, 1, 1'000'000'000, number)) return "--count oczekuje liczby odczytów, co najmniej 1";
            options.count = number;
        } else {
            if (!toNumber(value, 0, 3'600'000, number)) return "--interval-ms oczekuje milisekund 0..3600000";
            options.intervalMs = static_cast<int>(number);
        }
    }
    return "";
}

// Messages go to the terminal observer; the display is printed after each tick.
class TerminalMonitorView final : public MonitorView {
public:
    explicit TerminalMonitorView(OperationObserver& observer) : observer_(observer) {}
    void refresh(const MonitorDisplay&) override {}
    void message(const std::string& text, MessageIcon icon) override { observer_.message(text, icon); }
    void messageDetail(const std::string& text) override { observer_.messageDetail(text); }

private:
    OperationObserver& observer_;
};

// "#3 1/3 | 12.34V 23.5°C ... | L2 HIGH | O1 O2 | GSM 23 | SMS 3 e-mail 1 | XL LOW HIGH ..."
std::string pollLine(long tick, const MonitorPoller& poller) {
    const MonitorDisplay& shown = poller.display();
    std::string line = "#" + std::to_string(tick) + " " + std::to_string(shown.rowNumber) + "/" +
                       std::to_string(shown.answeredPolls) + " |";
    if (!poller.lastPollAnswered()) {
        // The status changes only when the third failure in a row blanks the readings.
        const bool blanked = poller.state().failedPolls == kFailuresBeforeBlanking;
        return line + W(" brak odpowiedzi") + (blanked ? " | " + shown.statusText : "");
    }
    for (const auto& input : shown.lines) line += " " + (input.value.empty() ? "-" : input.value);
    line += " |";
    for (int i = 0; i < kInputLines; ++i)
        if (shown.lines[i].alarmShown) line += " L" + std::to_string(i + 1) + shown.lines[i].alarmText;
    if (shown.alarmStateShown) line += W(" Stan alarmowy");
    line += " | O:";
    for (int i = 0; i < kOutputLines; ++i) line += shown.outputs[i] ? " O" + std::to_string(i + 1) : "";
    line += " | GSM " + std::to_string(shown.gsmNumber) + (shown.noNetworkShown ? W(" Brak sieci GSM") : "");
    line += " | SMS " + std::to_string(shown.smsCount) + " e-mail " + std::to_string(shown.emailCount);
    if (poller.snapshot().extMode != 0) {
        line += " | XL";
        for (const auto& extended : shown.extended) line += " " + (extended.value.empty() ? "-" : extended.value);
    }
    return line;
}

// A name that stays in the working folder: no folder part, no drive, no "." or "..", no
// control characters. A settings file is data that may come from anywhere; the results file
// it names is written by the command line only when it is such a name.
bool isPlainFileName(const std::string& utf8) {
    if (utf8.empty() || utf8 == "." || utf8 == "..") return false;
    return std::none_of(utf8.begin(), utf8.end(), [](char c) {
        return c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20;
    });
}

// The CSV log when --csv does not name one: the settings' results file, said on stderr, or
// nothing (refused with a message) when it is not a plain name.
std::optional<std::filesystem::path> logFromSettings(CliContext& context, const std::string& settingsFile,
                                                     const MonitorSettings& settings) {
    const std::string name = cp1250::toUtf8(settings.resultsFile);
    if (!isPlainFileName(name)) {
        context.err << "kavrel monitor: plik ustawień " << settingsFile << " wskazuje dziennik „" << name
                    << "”, który nie jest zwykłą nazwą pliku w folderze roboczym; podaj dziennik opcją --csv PLIK.\n";
        return std::nullopt;
    }
    context.err << "Dziennik CSV: " << name << " w folderze roboczym (z pliku ustawień " << settingsFile << ")\n";
    return pathFromUtf8(name);
}

// Waits for the next tick in short steps so that Ctrl-C ends the run at once.
void waitForTick(int milliseconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!interrupted && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::min(std::chrono::milliseconds(50),
                                             std::chrono::duration_cast<std::chrono::milliseconds>(
                                                 until - std::chrono::steady_clock::now())));
}

} // namespace

int runMonitor(CliContext& context, std::span<const std::string> args) {
    MonitorOptions options;
    if (const std::string error = parseOptions(args, options); !error.empty()) {
        context.err << "kavrel monitor: " << error << "\n";
        return kExitUsage;
    }

    const std::string settingsFile = options.settingsFile.value_or(std::string(kDefaultSettingsFile));
    if (!outputsSpareInputs(context, {settingsFile}, {options.csvFile.value_or(std::string())})) return kExitFailure;
    MonitorSettings settings;
    if (options.settingsFile) {
        const FileResult loaded = loadMonitorSettings(*options.settingsFile, settings);
        if (loaded != FileResult::Ok) {
            context.observer.message(loaded == FileResult::OpenFailed ? W("Błąd otwarcia pliku do odczytu ustawień")
                                                                  : W("Niepoprawny format pliku z ustawieniami"),
                                     MessageIcon::Error);
            return kExitFailure;
        }
    } else {
        (void)loadMonitorSettings(kDefaultSettingsFile, settings);   // absent or invalid: the defaults stay
    }
    std::filesystem::path logFile;
    if (options.csvFile) {
        logFile = pathFromUtf8(*options.csvFile);
    } else if (const auto fromSettings = logFromSettings(context, settingsFile, settings)) {
        logFile = *fromSettings;
    } else {
        return kExitFailure;
    }
    // The CSV log is appended to: never to the settings file it is read with.
    if (!options.csvFile && !outputsSpareInputs(context, {settingsFile}, {pathToUtf8(logFile)})) return kExitFailure;
    if (options.period) settings.recordPeriod = *options.period;
    // The connection chosen on the command line (or saved) wins over the file's port.
    settings.comPort = context.connection.comNumber();

    link::ModuleLink moduleLink(link::LinkVariant::monitor(), context.connection);

    if (!context.traceInto(moduleLink)) return kExitFailure;
    TerminalMonitorView view(context.observer);
    MonitorPoller poller(moduleLink, settings, view, context.clock);
    poller.setLogFile(logFile);
    poller.setReconnect(options.reconnect);

    interrupted = false;
    const auto previousHandler = std::signal(SIGINT, onInterrupt);
    int exitCode = kExitFailure;
    if (poller.startPolling()) {
        long answered = poller.lastPollAnswered() ? 1 : 0;
        context.out << toTerminal(poller.display().statusText) << "\n";
        context.out << toTerminal(pollLine(1, poller)) << std::endl;
        for (long tick = 2; !interrupted && (options.count == 0 || tick <= options.count); ++tick) {
            waitForTick(options.intervalMs);
            if (interrupted) break;
            poller.pollTick();
            answered += poller.lastPollAnswered() ? 1 : 0;
            context.out << toTerminal(pollLine(tick, poller)) << std::endl;
        }
        poller.stopPolling();
        const PollState& state = poller.state();
        context.err << toTerminal(W("Odpowiedzi: ") + std::to_string(answered) + W(", wiersze zapisu: ") +
                                  std::to_string(state.rowNumber))
                    << "\n";
        exitCode = answered > 0 ? kExitOk : kExitFailure;
    }
    std::signal(SIGINT, previousHandler);
    return exitCode;
}

} // namespace kavrel::cli
