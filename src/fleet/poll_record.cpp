#include "fleet/poll_record.h"

#include <cerrno>
#include <cstdio>
#include <ctime>

namespace kavrel::fleet {
namespace {

struct OutcomeNames {
    Outcome outcome;
    const char* text;
    const char* label;
};

constexpr OutcomeNames kNames[] = {
    {Outcome::Ok, "ok", "OK"},
    {Outcome::NoAnswer, "no answer", "brak odpowiedzi"},
    {Outcome::Refused, "refused", "odmowa"},
    {Outcome::Skipped, "skipped", "pominięty"},
    {Outcome::LocalError, "local error", "błąd lokalny"},
    {Outcome::Busy, "busy", "zajęty"},
};

struct ReasonNames {
    link::OpenFailureKind kind;
    const char* text;
    const char* label;
};

constexpr ReasonNames kReasons[] = {
    {link::OpenFailureKind::Refused, "refused", "odmowa połączenia"},
    {link::OpenFailureKind::Unreachable, "unreachable", "adres nieosiągalny"},
    {link::OpenFailureKind::TimedOut, "no answer", "brak odpowiedzi na połączenie"},
    {link::OpenFailureKind::NameNotFound, "name not found", "nieznana nazwa hosta"},
};

constexpr std::string_view kSystemError = "system error ";

} // namespace

std::string connectReasonText(const link::OpenFailure& failure) {
    if (!failure.failed()) return "";
    for (const auto& r : kReasons)
        if (r.kind == failure.kind) return r.text;
    return std::string(kSystemError) + std::to_string(failure.code);
}

std::string connectReasonLabel(const std::string& storedText) {
    for (const auto& r : kReasons)
        if (storedText == r.text) return r.label;
    if (storedText.starts_with(kSystemError)) return "błąd systemu " + storedText.substr(kSystemError.size());
    return storedText;
}

const char* outcomeText(Outcome outcome) {
    for (const auto& n : kNames)
        if (n.outcome == outcome) return n.text;
    return "?";
}

const char* outcomeLabel(Outcome outcome) {
    for (const auto& n : kNames)
        if (n.outcome == outcome) return n.label;
    return "?";
}

std::optional<Outcome> outcomeFromText(const std::string& text) {
    for (const auto& n : kNames)
        if (text == n.text) return n.outcome;
    return std::nullopt;
}

bool isLocalError(int error) {
    switch (error) {
    case EMFILE:
    case ENFILE:
    case ENOBUFS:
    case ENOMEM:
    case EADDRNOTAVAIL:   // no local port left
    case EAGAIN:          // the same, as connect() says it for TCP
        return true;
    default: return false;
    }
}

std::string localErrorText(int error) {
    switch (error) {
    case EMFILE: return "za dużo otwartych plików w tym programie (limit otwartych plików procesu)";
    case ENFILE: return "za dużo otwartych plików w systemie";
    case ENOBUFS:
    case ENOMEM: return "brak pamięci na gniazdo sieciowe";
    case EADDRNOTAVAIL:
    case EAGAIN: return "brak wolnych lokalnych portów TCP";
    default: return "błąd systemu " + std::to_string(error);
    }
}

long long unixMs(WallTime time) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
}

std::string utcText(WallTime time) {
    const long long ms = unixMs(time);
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm parts{};
    ::gmtime_r(&seconds, &parts);
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", parts.tm_year + 1900, parts.tm_mon + 1,
                  parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec, static_cast<int>(ms % 1000));
    return text;
}

std::string localText(long long ms) {
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm parts{};
    ::localtime_r(&seconds, &parts);
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", parts.tm_year + 1900, parts.tm_mon + 1,
                  parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
    return text;
}

} // namespace kavrel::fleet
