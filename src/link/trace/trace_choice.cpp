#include "link/trace/trace_choice.h"

#include "common/win1250.h"

namespace kavrel::link {
namespace {

constexpr const char* kEnabledValue = "Zapisuj";
constexpr const char* kFileValue = "Plik";

} // namespace

TraceChoice loadTraceChoice(const SettingsStore& store) {
    TraceChoice choice;
    if (const auto enabled = store.read(kTraceChoiceKey, kEnabledValue))
        if (const auto number = storedNumber(*enabled)) choice.enabled = *number != 0;
    if (const auto file = store.read(kTraceChoiceKey, kFileValue))
        if (const auto* text = std::get_if<std::string>(&*file)) choice.file = *text;
    return choice;
}

bool saveTraceChoice(SettingsStore& store, const TraceChoice& choice) {
    return store.createKey(kTraceChoiceKey) && store.write(kTraceChoiceKey, kEnabledValue, std::uint32_t{choice.enabled ? 1u : 0u}) &&
           store.write(kTraceChoiceKey, kFileValue, choice.file);
}

std::shared_ptr<WireTrace> openChosenTrace(const TraceChoice& choice, std::string* reason) {
    if (!choice.enabled || choice.file.empty()) return nullptr;
    return WireTrace::toFile(cp1250::toUtf8(choice.file), WireTrace::Mode::Append, reason);
}

} // namespace kavrel::link
