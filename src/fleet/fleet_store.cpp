#include "fleet/fleet_store.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iostream>

#include "fleet/fleet_schema.h"
#include "fleet/poll_values.h"

namespace kavrel::fleet {
namespace {

constexpr std::chrono::seconds kRetryPause{1};
// A spool record holds this many polls at most (a round of thousands of modules is several).
constexpr std::size_t kPollsPerPiece = 256;

// Collects one value after another for a statement.
class RowBuilder {
public:
    explicit RowBuilder(SqlRow& row) : row_(row) {}
    void text(const std::string& value) { row_.emplace_back(value); }
    void textOrNull(const std::string& value) { value.empty() ? null() : text(value); }
    void integer(long long value) { row_.emplace_back(value); }
    void real(std::optional<double> value) { value ? (void)row_.emplace_back(*value) : null(); }
    void null() { row_.emplace_back(); }
    void skip(int count) {
        for (int i = 0; i < count; ++i) null();
    }

private:
    SqlRow& row_;
};

void bindReadings(RowBuilder& b, const PollRecord& record, const FleetModule& module);

void bindPoll(RowBuilder& b, const PollRecord& record, const FleetModule& module) {
    b.text(module.name);
    b.text(utcText(record.started));
    b.integer(unixMs(record.started));
    if (record.outcome == Outcome::Skipped || record.outcome == Outcome::Busy) {
        b.skip(2);
    } else {
        b.integer(static_cast<long long>(record.lateSeconds * 1000));
        b.integer(record.durationMs);
    }
    b.text(outcomeText(record.outcome));
    bindReadings(b, record, module);
    b.textOrNull(connectReasonText(record.connectFailure));
    if (record.measurement) b.integer(record.incomplete ? 1 : 0);
    else b.null();
}

void bindReadings(RowBuilder& b, const PollRecord& record, const FleetModule& module) {
    if (!record.measurement) {
        b.skip(static_cast<int>(readingColumns().size()));
        return;
    }
    const monitor::MeasurementSnapshot& m = *record.measurement;
    const PollValues values = pollValues(record, module.settings);
    // A reply that stopped early (or was cut) carries its first fields only: the others are
    // NULL, never the parser's 0 or "" for a field the module did not send.
    const auto sent = [&](int field) { return m.fieldsSent > field; };
    constexpr int kHighMaskField = 9;
    for (int i = 0; i < monitor::kInputLines; ++i) {
        const LineValue& line = values.lines[static_cast<std::size_t>(i)];
        b.text(line.name);
        if (sent(i)) {
            b.text(line.text);
            b.real(line.number);
        } else {
            b.skip(2);
        }
        sent(kHighMaskField) ? b.textOrNull(line.state) : b.null();
    }
    // outputs, alarm, GSM signal and network, SMS and e-mail counts, extended mode: fields 11, 10, 12, 13, 14, 17, 18.
    const std::pair<int, int> numbers[] = {{m.outputs, 11}, {m.alarm, 10},     {m.gsmSignal, 12}, {m.gsmNetwork, 13},
                                           {m.smsCount, 14}, {m.emailCount, 17}, {m.extMode, 18}};
    for (const auto& [number, field] : numbers) sent(field) ? b.integer(number) : b.null();
    for (const LineValue& line : values.extended) {
        if (values.extendedMode == 0) {
            b.skip(3);
            continue;
        }
        b.text(line.name);
        b.textOrNull(line.text);
        b.textOrNull(line.state);
    }
}

void bindModule(RowBuilder& state, const PollRecord& record, const FleetModule& module) {
    state.text(module.name);
    state.text(module.endpoint());
    state.text(outcomeText(record.outcome));
    state.text(utcText(record.started));
    state.integer(unixMs(record.started));
    // A poll this computer could not make is no attempt on the module.
    state.integer(record.outcome == Outcome::Skipped || record.outcome == Outcome::LocalError ||
                          record.outcome == Outcome::Busy
                      ? 0
                      : 1);
    state.integer(record.outcome == Outcome::NoAnswer || record.outcome == Outcome::Refused ? 1 : 0);
    state.integer(record.outcome == Outcome::Skipped ? 1 : 0);
    state.textOrNull(connectReasonText(record.connectFailure));
}

} // namespace

FleetStore::FleetStore(const std::string& path, const std::vector<FleetModule>& modules, StoreLimits limits)
    : modules_(modules), limits_(limits), spoolPath_(path + "-rounds.spool") {
    db_ = openSqlitePolls(path, limits_, openError_);
    start();
}

FleetStore::FleetStore(std::unique_ptr<PollDatabase> database, const std::string& openError,
                       const std::string& spoolPath, const std::vector<FleetModule>& modules, StoreLimits limits)
    : db_(std::move(database)), openError_(openError), modules_(modules), limits_(limits), spoolPath_(spoolPath) {
    if (!db_ && openError_.empty()) openError_ = "brak bazy";
    start();
}

void FleetStore::start() {
    tally_.spoolFile = spoolPath_;
    if (!db_) return;
    // Rounds an earlier run left in the spool are committed before this run's.
    std::error_code ignored;
    if (std::filesystem::exists(spoolPath_, ignored)) openSpool();
    thread_ = std::thread([this] { writer(); });
}

FleetStore::~FleetStore() {
    finish();
}

void FleetStore::record(const PollRecord& record) {
    std::lock_guard lock(mutex_);
    current_.push_back(record);
}

void FleetStore::endRound() {
    {
        std::lock_guard lock(mutex_);
        if (current_.empty()) return;
        rounds_.push_back(std::move(current_));
        current_.clear();
    }
    wake_.notify_one();
}

std::size_t FleetStore::waitingRounds() const {
    std::lock_guard lock(mutex_);
    return rounds_.size();
}

long long FleetStore::spooledPolls() const {
    std::lock_guard lock(mutex_);
    return tally_.waiting;
}

StoreTally FleetStore::tally() const {
    std::lock_guard lock(mutex_);
    return tally_;
}

void FleetStore::finish() {
    endRound();
    {
        std::lock_guard lock(mutex_);
        finishing_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
}

StoredPolls FleetStore::rowsOf(const std::vector<PollRecord>& round) const {
    StoredPolls rows(round.size());
    for (std::size_t i = 0; i < round.size(); ++i) {
        const FleetModule& module = modules_[round[i].module];
        RowBuilder poll(rows[i].poll);
        bindPoll(poll, round[i], module);
        RowBuilder state(rows[i].module);
        bindModule(state, round[i], module);
    }
    return rows;
}

bool FleetStore::openSpool() {
    if (spool_) return spool_->isOpen();
    // Two pollers on one database: each spools into a file of its own.
    spool_ = openOwnSpool(spoolPath_, limits_.spoolBytes);
    if (!spool_->isOpen()) return false;
    if (spool_->path() != spoolPath_) {
        spoolPath_ = spool_->path().string();
        std::lock_guard lock(mutex_);
        tally_.spoolFile = spoolPath_;
    }
    // What an earlier run left: its pieces' sizes, for the tally.
    long long waiting = 0;
    SpooledMessage piece;
    for (std::size_t i = 0; i < spool_->count() && spool_->peek(i, piece); ++i) {
        const auto polls = decodePolls(piece.payload);
        spooledCounts_.push_back(polls ? static_cast<long long>(polls->size()) : 0);
        waiting += spooledCounts_.back();
    }
    std::lock_guard lock(mutex_);
    tally_.waiting += waiting;
    return true;
}

void FleetStore::countSpoolDrops() {
    // The spool at its limit dropped its oldest pieces to take a new one.
    long long lost = 0;
    for (; dropsSeen_ < spool_->dropped() && !spooledCounts_.empty(); ++dropsSeen_) {
        lost += spooledCounts_.front();
        spooledCounts_.pop_front();
    }
    std::lock_guard lock(mutex_);
    tally_.waiting -= lost;
    tally_.lost += lost;
}

void FleetStore::spoolRound(const std::vector<PollRecord>& round) {
    const StoredPolls rows = rowsOf(round);
    long long lost = 0, kept = 0;
    const bool open = openSpool();
    for (std::size_t at = 0; at < rows.size(); at += kPollsPerPiece) {
        const StoredPolls piece(rows.begin() + static_cast<std::ptrdiff_t>(at),
                                rows.begin() + static_cast<std::ptrdiff_t>(std::min(rows.size(), at + kPollsPerPiece)));
        const auto n = static_cast<long long>(piece.size());
        if (open && spool_->append({"", encodePolls(piece), false})) {
            spooledCounts_.push_back(n);
            kept += n;
            countSpoolDrops();
        } else {
            lost += n;
        }
    }
    std::lock_guard lock(mutex_);
    tally_.waiting += kept;
    tally_.lost += lost;
    if (lost > 0)
        std::cerr << "kavrel fleet: odczytów (" << lost << ") nie da się też odłożyć w pliku " << spoolPath_
                  << "; zostały utracone\n";
}

void FleetStore::spoolRoundsBeyond(std::unique_lock<std::mutex>& lock, std::size_t keep) {
    while (rounds_.size() > keep) {
        const std::vector<PollRecord> oldest = std::move(rounds_.front());
        rounds_.pop_front();
        lock.unlock();
        spoolRound(oldest);
        lock.lock();
    }
}

void FleetStore::writer() {
    bool reported = false;
    int finalTries = 0;
    std::unique_lock lock(mutex_);
    const auto spooled = [this] { return spool_ && spool_->count() > 0; };
    for (;;) {
        wake_.wait(lock, [&] { return !rounds_.empty() || finishing_ || spooled(); });
        // Memory holds a bounded number of rounds: the oldest of the others go to disk.
        spoolRoundsBeyond(lock, limits_.roundsInMemory);
        const bool fromSpool = spooled();
        if (!fromSpool && rounds_.empty()) {
            if (!finishing_) continue;
            lock.unlock();
            commitFinalFigures();
            lock.lock();
            break;
        }
        // The spool holds the older rounds: it goes first.
        StoredPolls polls;
        std::vector<PollRecord> round;
        if (!fromSpool) round = rounds_.front();
        lock.unlock();
        bool readable = true;
        if (fromSpool) {
            SpooledMessage piece;
            std::optional<StoredPolls> decoded;
            if (spool_->peek(0, piece)) decoded = decodePolls(piece.payload);
            readable = decoded.has_value();
            if (decoded) polls = std::move(*decoded);
        } else {
            polls = rowsOf(round);
        }
        const bool written = readable && commit(polls);
        if (readable && !written) ++commitFailures_;
        spoolBytes_ = spool_ ? spool_->bytes() : 0;
        const std::string why = db_->lastError();
        const bool busy = db_->lastFailureBrief();
        lock.lock();
        if (written || !readable) {
            const long long n = fromSpool ? (spooledCounts_.empty() ? 0 : spooledCounts_.front())
                                          : static_cast<long long>(polls.size());
            if (fromSpool) {
                spool_->popFront();
                if (!spooledCounts_.empty()) spooledCounts_.pop_front();
                tally_.waiting -= n;
            } else {
                rounds_.pop_front();
            }
            (written ? tally_.stored : tally_.lost) += n;
            if (written) reported = false;
            if (written) {
                lock.unlock();
                thinned_ += db_->afterCommit();   // within its budget
                lock.lock();
            }
            continue;
        }
        if (!reported) std::cerr << "kavrel fleet: bazy nie da się teraz zapisać (" << why
                                 << "); odczyty czekają i zapis zostanie ponowiony\n";
        reported = true;
        tally_.reason = why;
        // At the end only a file held by another program is worth waiting for: a full or
        // failing disk is not mended in seconds, and the spool keeps the rest for the next run.
        if (finishing_ && (++finalTries >= limits_.finalTries || !busy)) {
            // What is left waits in the spool for the next run.
            spoolRoundsBeyond(lock, 0);
            break;
        }
        wake_.wait_for(lock, kRetryPause);
    }
    if (spool_ && spool_->count() == 0) {
        // Removed while still locked: no other process has begun to use it in between.
        std::error_code ignored;
        std::filesystem::remove(spoolPath_, ignored);
        spool_.reset();
    }
}

void FleetStore::commitFinalFigures() {
    // The figures as they stand at the end: the last drops come after the last round.
    bool counting = false;
    {
        std::lock_guard lock(figuresMutex_);
        counting = static_cast<bool>(figures_);
    }
    if (counting) commit({});
}

bool FleetStore::commit(const StoredPolls& polls) {
    std::vector<std::pair<std::string, long long>> now;
    {
        std::lock_guard lock(figuresMutex_);
        if (figures_) now = figures_();
    }
    FigureGrowth growth;
    for (const auto& [name, value] : now) {
        const auto at = figuresWritten_.find(name);
        const long long before = at == figuresWritten_.end() ? 0 : at->second;
        if (value != before) growth.emplace_back(name, value - before);
    }
    if (!db_->commit(polls, growth)) return false;
    for (const auto& [name, value] : now) figuresWritten_[name] = value;
    return true;
}

} // namespace kavrel::fleet
