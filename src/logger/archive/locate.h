// Finding where an archive goes on in a module's memory: the first index holding a record
// the archive does not have yet. Record numbers increase through the memory (index 1 the
// oldest), so the search reads single records at indexes chosen by the numbers seen so
// far (an interpolation, halving when it does not pay), and checks the record it lands
// on against the archived one of the same number.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "logger/archive/archive.h"
#include "logger/protocol/session.h"

namespace kavrel::logger::archive {

struct Location {
    enum class Kind {
        Continue,      // the archive goes on at `index` (numbers skipped before it are a hole)
        NewSegment,    // the memory does not continue the segment (`reason`); read it all
        Failed,        // a single record could not be read (the link is closed)
    };
    Kind kind = Kind::Continue;
    int index = 1;              // first index to fetch (count + 1: nothing new)
    // The frame the search saw at `index`, when it read it: a batch that starts with it
    // starts where the search left it, even though its number does not follow the archive's.
    std::vector<std::uint8_t> frame;
    std::string reason;         // UTF-8
    // `index` is the slot right after the archive's last one (nothing skipped): an
    // extended-line record there completes the archive's last measurement.
    bool follows = false;
    int requests = 0;           // single-record requests sent
};

class MemoryProbe {
public:
    MemoryProbe(LoggerSession& session, int recordCount) : session_(session), count_(recordCount) {}

    // The frame at an index, read once (cached); nothing when it cannot be read.
    const std::vector<std::uint8_t>* frameAt(int index);
    // The number that orders an index: its own for "P" and "Z", the number of the record
    // before it for the others (0 when none is found near it).
    std::optional<std::int64_t> orderNumber(int index);
    // The first "P" or "Z" record at `from` or a few slots after it.
    const std::vector<std::uint8_t>* firstNumbered(int from);
    // The frame already read at an index, without asking the module.
    const std::vector<std::uint8_t>* seen(int index) const {
        const auto it = frames_.find(index);
        return it == frames_.end() ? nullptr : &it->second;
    }
    int requests() const { return requests_; }
    int count() const { return count_; }

private:
    LoggerSession& session_;
    int count_;
    int requests_ = 0;
    std::map<int, std::vector<std::uint8_t>> frames_;
};

// Where to go on after `tail` in a memory of `recordCount` records.
Location locate(LoggerSession& session, int recordCount, const SegmentTail& tail);

} // namespace kavrel::logger::archive
