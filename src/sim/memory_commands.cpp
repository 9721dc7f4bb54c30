#include "sim/memory_commands.h"

#include <cstdio>

namespace kavrel::sim {
namespace {

constexpr int kBatchRecords = 6;   // a batch of the logger asks for six records
constexpr std::size_t kLongExtraBytes = 17;

Answer bytesAnswer(std::string bytes) { return Answer{std::move(bytes), false, false}; }

// "*RD_a,b" with two whole numbers and nothing after them.
bool parseRead(std::string_view line, int& first, int& count) {
    if (line.substr(0, 4) != "*RD_") return false;
    const std::string text(line.substr(4));
    int used = 0;
    return std::sscanf(text.c_str(), "%d,%d%n", &first, &count, &used) == 2 && used == static_cast<int>(text.size());
}

} // namespace

MemoryCommands::MemoryCommands(const SimOptions& options)
    : options_(options.memory), memory_(options.memory), loggingPeriod_(options.memory.loggingPeriod) {}

bool MemoryCommands::strikes(const FaultShot& fault, int target, int& used) {
    if (fault.target == 0 || fault.target != target) return false;
    if (fault.times >= 0 && used >= fault.times) return false;
    ++used;
    return true;
}

void MemoryCommands::grow() {
    if (options_.growPerSecond > 0) {
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started_;
        const auto due = static_cast<long long>(elapsed.count() * options_.growPerSecond);
        memory_.append(static_cast<int>(due - grownBySeconds_));
        grownBySeconds_ = due;
    }
    if (options_.clockSpeed > 0) {
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started_;
        const double periods = elapsed.count() * options_.clockSpeed / (60.0 * std::max(1, options_.loggingPeriod));
        const auto due = static_cast<long long>(periods * memory_.recordsPerPeriod());
        memory_.append(static_cast<int>(due - grownByClock_));
        grownByClock_ = due;
    }
    if (options_.pendingRecords) memory_.append(options_.pendingRecords->exchange(0));
}

std::optional<Answer> MemoryCommands::answer(std::string_view line, Session& session) {
    grow();
    // The logger says both handshake words on one line and reads four bytes back.
    if (line == "HALT! DEBUG=0") return bytesAnswer("OK\r\n");
    if (line == "*S115!") {
        session.baud = 115200;
        return Answer::nothing();
    }
    if (line == "*EOT!") {
        session.baud = 9600;
        return Answer::ok();
    }
    if (line == "*CLR=1,0") {
        memory_.clear();
        previousBatch_.clear();
        return Answer::ok();
    }
    if (line.substr(0, 5) == "LOGT=") return logging(line);
    int first = 0, count = 0;
    if (!parseRead(line, first, count)) return std::nullopt;
    if (options_.requestLog) options_.requestLog->emplace_back(line);
    if (count == 0) {
        // A new connection's status request: the cut link works again.
        cutPending_ = false;
        return status();
    }
    return records(first, count, session);
}

Answer MemoryCommands::status() {
    std::string frame = memory_.statusFrame(clock_, loggingPeriod_);
    const MemoryFaults& f = options_.faults;
    if (f.statusSwappedCrc) std::swap(frame[32], frame[33]);
    if (f.statusShortBytes > 0 && static_cast<std::size_t>(f.statusShortBytes) < frame.size() &&
        ++statusAnswers_ > f.statusShortAfter)
        frame.resize(static_cast<std::size_t>(f.statusShortBytes));
    return bytesAnswer(frame);
}

Answer MemoryCommands::records(int first, int count, const Session& session) {
    const MemoryFaults& f = options_.faults;
    if (count < 0 || count > 64) return Answer::nothing();
    // Faults of a batch strike a request for more than one record, by the batch's place
    // in a download (print mode starts one record later, in the same batch).
    const int batch = count > 1 ? (first - 1) / kBatchRecords + 1 : 0;
    if (count > 1) {
        // A cut lasts until the logger starts anew (its status request): the download's
        // own reconnections in between meet a dead link too.
        if (cutPending_) {
            Answer cut;
            cut.cut = true;
            return cut;
        }
        ++batchRequests_;
        if (f.cutEveryBatch > 0 && batchRequests_ % f.cutEveryBatch == 0) {
            cutPending_ = true;
            Answer cut;
            cut.cut = true;
            return cut;
        }
        if (options_.replaceAfterBatches > 0 && batchRequests_ == options_.replaceAfterBatches)
            memory_.replaceByAnotherModule();
    }
    if (batch > 0 && session.framing == Framing::Tcp && f.dropAtBatch == batch && dropUsed_ == 0) {
        ++dropUsed_;
        return Answer{"", false, true};
    }
    if (batch > 0 && strikes(f.repeatBatch, batch, repeatUsed_) && !previousBatch_.empty()) return bytesAnswer(previousBatch_);

    std::string reply;
    for (int number = first; number < first + count; ++number) {
        std::string frame = memory_.serve(number);
        if (strikes(f.crcError, number, crcUsed_)) frame.back() = static_cast<char>(frame.back() ^ 0x5A);
        if (strikes(f.wrongType, number, typeUsed_)) frame[0] = 'Q';
        if (strikes(f.badLength, number, lengthUsed_)) frame[1] = static_cast<char>(0x80 | static_cast<unsigned char>(frame[1]));
        reply += frame;
    }
    if (count > 1) previousBatch_ = reply;
    if (batch > 0 && strikes(f.shortBatch, batch, shortUsed_)) reply.resize(reply.size() / 2);
    if (batch > 0 && strikes(f.longBatch, batch, longUsed_)) reply.append(kLongExtraBytes, '\xEE');
    if (count > 1) memory_.append(options_.growPerBatch);
    return bytesAnswer(reply);
}

Answer MemoryCommands::logging(std::string_view line) {
    const std::string text(line);
    int period = 0, used = 0;
    LocalDateTime t = clock_;
    int year = 0;
    if (std::sscanf(text.c_str(), "LOGT=%d%n", &period, &used) == 1 && used == static_cast<int>(text.size())) {
        // period only
    } else if (std::sscanf(text.c_str(), "LOGT=%d TIME=%d/%d/%d,%d:%d:%d%n", &period, &year, &t.month, &t.day, &t.hour,
                           &t.minute, &t.second, &used) == 7 &&
               used == static_cast<int>(text.size())) {
        t.year = 2000 + year;
        if (year < 0 || year > 99 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 ||
            t.minute > 59 || t.second > 59)
            return bytesAnswer("ERROR\r");
        clock_ = t;
    } else {
        return bytesAnswer("ERROR\r");
    }
    if (period < 0 || period > 255) return bytesAnswer("ERROR\r");
    loggingPeriod_ = period;
    return Answer::ok();
}

} // namespace kavrel::sim
