#include "sim/module.h"

#include "sim/command_sets.h"
#include "sim/memory_commands.h"

namespace kavrel::sim {
namespace {

bool startsWithAny(std::string_view line, const std::vector<std::string>& prefixes) {
    for (const auto& prefix : prefixes)
        if (!prefix.empty() && line.substr(0, prefix.size()) == prefix) return true;
    return false;
}

} // namespace

SimModule::SimModule(SimOptions options) : options_(std::move(options)), sets_(makeCommandSets(options_)) {
    // Appended to, so that the modules of one run (--modules) can share a file.
    if (!options_.lineLogFile.empty()) lineLogFile_.open(options_.lineLogFile, std::ios::binary | std::ios::app);
    for (const auto& set : sets_)
        if (const auto* memory = dynamic_cast<const MemoryCommands*>(set.get())) memory_ = memory;
}

std::vector<NumberRange> SimModule::overwrittenUnread() const {
    std::lock_guard lock(mutex_);
    return memory_ ? memory_->memory().overwrittenUnread() : std::vector<NumberRange>{};
}

std::optional<std::string> SimModule::numberedFrame(long long number) const {
    std::lock_guard lock(mutex_);
    return memory_ ? memory_->memory().numberedFrame(number) : std::nullopt;
}

SimModule::~SimModule() = default;

void SimModule::setFaults(const LinkFaults& faults) {
    std::lock_guard lock(mutex_);
    options_.faults = faults;
}

LinkFaults SimModule::faults() const {
    std::lock_guard lock(mutex_);
    return options_.faults;
}

Answer SimModule::answer(std::string_view line, Session& session) {
    std::lock_guard lock(mutex_);
    ++session.linesReceived;
    ++linesReceived_;
    if (options_.lineLog) options_.lineLog->emplace_back(line);
    if (lineLogFile_.is_open()) lineLogFile_ << line << '\n' << std::flush;   // seen by a reader at once
    const LinkFaults& faults = options_.faults;
    if (faults.silent || linesReceived_ <= faults.ignoreFirstLines || startsWithAny(line, faults.silentCommands))
        return Answer::nothing();
    for (auto& set : sets_) {
        if (auto answer = set->answer(line, session)) {
            for (auto& other : sets_)
                if (other != set && !answer->silent) other->noteAnsweredElsewhere(line);
            // The command was taken; its answer is lost with the link.
            if (answer->writeCommand && faults.cutAtWriteCommand > 0 && !cutDone_ &&
                ++writeCommands_ == faults.cutAtWriteCommand) {
                cutDone_ = true;
                return Answer{.silent = true, .cut = true};
            }
            if (faults.badSerialStart && session.framing == Framing::Serial && !answer->silent)
                answer->bytes.insert(0, "\r\n");
            return *answer;
        }
    }
    return Answer::nothing();
}

} // namespace kavrel::sim
