#include "fleet/alarms/alarm_service.h"

#include <chrono>

namespace kavrel::fleet::alarms {
namespace {
long long nowMs() { return unixMs(std::chrono::system_clock::now()); }
} // namespace

PollFact pollFact(const PollRecord& record, const FleetModule& module) {
    PollFact f;
    f.module = module.name;
    f.labels = module.labels;
    f.atMs = unixMs(record.started);
    switch (record.outcome) {
    case Outcome::Ok:
        f.answer = Answer::Yes;
        f.measurement = record.measurement;
        break;
    case Outcome::NoAnswer:
    case Outcome::Refused: f.answer = Answer::No; break;
    default: f.answer = Answer::Unknown; break;   // busy, skipped, a local error: nothing learnt of the module
    }
    return f;
}

std::optional<JobFact> jobFact(const JobReport& r) {
    if (r.outcome != JobOutcome::Ok) return std::nullopt;
    JobFact f;
    f.module = r.moduleName;
    f.atMs = unixMs(r.ended);
    if (r.kind == JobKind::Collect) {
        f.holes = r.holes;
        f.memoryFillPercent = r.memoryFillPercent;
        f.clockOffsetSeconds = r.clockOffsetSeconds;
    }
    else if (!r.firstBackup) f.changes = static_cast<int>(r.changes.size());
    return f;
}

AlarmService::AlarmService(RuleSet rules, const std::vector<FleetModule>& modules, const std::string& database,
                           std::vector<std::unique_ptr<Sender>> senders, Log log)
    : modules_(modules), database_(database), log_(std::move(log)), engine_(std::move(rules)) {
    engineStore_ = std::make_unique<AlarmStore>(database);
    deliveryStore_ = std::make_unique<AlarmStore>(database);
    if (!engineStore_->error().empty() || !deliveryStore_->error().empty()) {
        error_ = engineStore_->error().empty() ? deliveryStore_->error() : engineStore_->error();
        return;
    }
    engine_.restore(engineStore_->loadState());
    delivery_ = std::make_unique<AlarmDelivery>(*deliveryStore_, std::move(senders), log_);
    evaluatorThread_ = std::thread([this] { evaluator(); });
    deliveryThread_ = std::thread([this] { deliverer(); });
}

AlarmService::~AlarmService() { finish(); }

void AlarmService::record(const PollRecord& record) {
    if (record.module >= modules_.size()) return;
    PollFact fact = pollFact(record, modules_[record.module]);
    std::lock_guard lock(mutex_);
    queue_.emplace_back(std::move(fact));
    wake_.notify_one();
}

void AlarmService::jobDone(const JobReport& report) {
    auto fact = jobFact(report);
    if (!fact) return;
    std::lock_guard lock(mutex_);
    queue_.emplace_back(std::move(*fact));
    wake_.notify_one();
}

void AlarmService::evaluator() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait_for(lock, std::chrono::seconds(1), [this] { return ending_ || !queue_.empty(); });
        // A round's polls end within a moment of each other: taken together, they cost one
        // transaction instead of one each.
        if (!ending_ && !queue_.empty()) wake_.wait_for(lock, std::chrono::milliseconds(100), [this] { return ending_; });
        std::deque<std::variant<PollFact, JobFact>> facts;
        facts.swap(queue_);
        const bool last = ending_;
        lock.unlock();
        for (const auto& f : facts) {
            if (const auto* p = std::get_if<PollFact>(&f)) engine_.poll(*p);
            else engine_.job(std::get<JobFact>(f));
        }
        auto notes = engine_.advance(nowMs());
        const bool made = !notes.empty();
        for (auto& r : engine_.takeDirty()) unsavedState_.push_back(std::move(r));
        for (auto& e : engine_.takeEvents()) unsavedEvents_.push_back(std::move(e));
        for (auto& n : notes) unsavedNotes_.push_back(std::move(n));
        if (engineStore_->commit(unsavedState_, unsavedEvents_, unsavedNotes_)) {
            unsavedState_.clear();
            unsavedEvents_.clear();
            unsavedNotes_.clear();
        } else if (log_) {
            log_("alarmy: nie zapisano stanu w bazie (ponowię): " + engineStore_->error());
        }
        lock.lock();
        if (made) {
            newNotifications_ = true;
            wakeDelivery_.notify_one();
        }
        if (last && queue_.empty()) {
            if (!unsavedNotes_.empty() && log_)
                log_("alarmy: " + std::to_string(unsavedNotes_.size()) + " powiadomień nie zapisano w bazie: " +
                     engineStore_->error());
            return;
        }
    }
}

void AlarmService::deliverer() {
    std::unique_lock lock(mutex_);
    for (;;) {
        const bool last = deliveryEnding_;
        newNotifications_ = false;
        lock.unlock();
        const long long next = delivery_->pump(nowMs());
        lock.lock();
        if (last) return;
        const auto wait = next == 0 ? std::chrono::milliseconds(1000)
                                    : std::chrono::milliseconds(std::clamp<long long>(next - nowMs(), 0, 1000));
        wakeDelivery_.wait_for(lock, wait, [this] { return newNotifications_ || deliveryEnding_; });
    }
}

void AlarmService::finish() {
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
        wake_.notify_one();
    }
    if (evaluatorThread_.joinable()) evaluatorThread_.join();
    {
        std::lock_guard lock(mutex_);
        deliveryEnding_ = true;
        wakeDelivery_.notify_one();
    }
    if (deliveryThread_.joinable()) deliveryThread_.join();
}

} // namespace kavrel::fleet::alarms
