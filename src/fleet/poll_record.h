// One poll of one module as the fleet records it: when it was due and began, how it ended,
// and (only when it was answered) what the module reported.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "link/open_failure.h"
#include "monitor/measurement.h"

namespace kavrel::fleet {

enum class Outcome {
    Ok,         // "MSR=" decoded
    NoAnswer,   // no connection in time, no reply in time, a closed connection or a reply that is no "MSR="
    Refused,    // the module's address refused the connection
    Skipped,    // the previous poll was still running when this one was due
    LocalError, // this computer could not make the poll (no file descriptor, no memory, no local port):
                // nothing is known of the module
    Busy,       // the fleet service's collection or backup of the module held its link: not polled
};

// The stored and published text of an outcome: "ok", "no answer", "refused", "skipped",
// "local error", "busy".
const char* outcomeText(Outcome outcome);
// The operator's word for it: "OK", "brak odpowiedzi", "odmowa", "pominięty", "błąd lokalny",
// "zajęty" (UTF-8).
const char* outcomeLabel(Outcome outcome);
std::optional<Outcome> outcomeFromText(const std::string& text);
// Whether a socket call's error lies with this computer rather than the module or the network.
bool isLocalError(int error);
// What a local error means, for the operator (UTF-8).
std::string localErrorText(int error);

// Why a connection was not made, as stored ("refused", "unreachable", "no answer",
// "name not found", "system error 113"); "" when it was made or not tried.
std::string connectReasonText(const link::OpenFailure& failure);
// The operator's words for it (UTF-8): "odmowa połączenia", "adres nieosiągalny", ...
std::string connectReasonLabel(const std::string& storedText);

using WallTime = std::chrono::system_clock::time_point;

// "2026-12-08T14:05:09.123Z": UTC, so that rows stay in order across a clock change.
std::string utcText(WallTime time);
long long unixMs(WallTime time);
// "2026-12-08 15:05:09" in the computer's time zone, for people.
std::string localText(long long unixMs);

struct PollRecord {
    std::size_t module = 0;       // index into the fleet list
    WallTime started;             // when the poll began (for a skipped tick: when it was due)
    double lateSeconds = 0;       // how long after its schedule it began
    int durationMs = 0;
    Outcome outcome = Outcome::NoAnswer;
    long long sequence = 0;       // the module's poll count in this run, skipped ticks included
    int localError = 0;           // errno of a LocalError
    link::OpenFailure connectFailure;   // the system's reason when the connection was not made
    bool incomplete = false;      // an answered poll whose reply lacked fields or was cut
    // Set only for Ok; a failed poll reports nothing rather than stale readings.
    std::optional<monitor::MeasurementSnapshot> measurement;
    std::optional<monitor::ExtendedReadings> extended;   // when "MSRX?" was answered
};

} // namespace kavrel::fleet
