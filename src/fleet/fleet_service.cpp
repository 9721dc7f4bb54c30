#include "fleet/fleet_service.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <map>
#include <utility>

#include "fleet/socket_waiter.h"

namespace kavrel::fleet {
namespace {

constexpr std::chrono::milliseconds kStopCheck{100};
constexpr int kPoll = -1;

double secondsBetween(Steady::time_point from, Steady::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

WallTime wallOf(Steady::time_point at, Steady::time_point now) {
    return std::chrono::system_clock::now() + std::chrono::duration_cast<std::chrono::system_clock::duration>(at - now);
}

bool sameLink(const FleetModule& a, const FleetModule& b) {
    return a.host == b.host && a.port == b.port && a.address == b.address && a.settingsFile == b.settingsFile &&
           a.labels == b.labels;
}

} // namespace

struct FleetService::Owner {
    std::unique_ptr<ModuleExchange> exchange;
    bool retired = false;
    long long generation = 0;
    Steady::time_point nextPoll{};
    Steady::time_point due{};        // the schedule of the poll under way
    Steady::time_point began{};
    WallTime beganWall{};
    long long sequence = 0;
    long long polling = 0;
    bool jobRunning = false;
    std::array<bool, kJobKinds> waiting{};
    std::array<int, kJobKinds> retries{};
    std::array<WallTime, kJobKinds> dueWall{};
};

bool parseDuration(const std::string& text, std::chrono::milliseconds& value) {
    if (text.empty()) return false;
    double number = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, number);
    if (error != std::errc{} || number <= 0) return false;
    double unit = 1;
    const std::string_view rest(stop, static_cast<std::size_t>(end - stop));
    if (rest == "" || rest == "s") unit = 1;
    else if (rest == "m") unit = 60;
    else if (rest == "h") unit = 3600;
    else if (rest == "d") unit = 86400;
    else return false;
    const double ms = number * unit * 1000;
    if (ms < 1 || ms > 366.0 * 86400 * 1000) return false;
    value = std::chrono::milliseconds(static_cast<long long>(ms));
    return true;
}

FleetService::FleetService(ModuleRegistry& registry, ServicePlan plan, PollSink& polls, JobRunner& runner,
                           JobSink& jobs, ServiceFigures& figures)
    : registry_(registry), plan_(std::move(plan)), polls_(polls), runner_(runner), jobSink_(jobs), figures_(figures) {
    plan_.jobs = std::max(1, plan_.jobs);
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    for (int i = 0; i < plan_.jobs; ++i) workers_.emplace_back([this] { worker(); });
}

FleetService::~FleetService() {
    {
        std::lock_guard lock(mutex_);
        workersEnd_ = true;
    }
    cut_ = true;
    work_.notify_all();
    for (auto& w : workers_)
        if (w.joinable()) w.join();
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

void FleetService::wakeLoop() {
    if (wakeFd_ < 0) return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(wakeFd_, &one, sizeof one);
}

void FleetService::worker() {
    for (;;) {
        JobRequest request;
        {
            std::unique_lock lock(mutex_);
            work_.wait(lock, [this] { return workersEnd_ || !handed_.empty(); });
            if (handed_.empty()) return;
            request = std::move(handed_.front());
            handed_.pop_front();
        }
        JobReport report = runner_.run(request, cut_);
        report.module = request.module;
        report.kind = request.kind;
        report.attempt = request.attempt;
        report.moduleName = request.target.name;
        jobSink_.jobDone(report);
        figures_.job(report);
        {
            std::lock_guard lock(mutex_);
            returned_.push_back(std::move(report));
        }
        wakeLoop();
    }
}

bool FleetService::ownsModule(std::size_t index, Steady::time_point now) const {
    return !plan_.ownership || plan_.ownership->owns(registry_.modules()[index].name, now);
}

void FleetService::schedule(std::size_t index, int what, Steady::time_point at) {
    heap_.push(Due{at, index, what, owners_[index]->generation});
}

void FleetService::publishJobState(std::size_t index) {
    const Owner& owner = *owners_[index];
    figures_.jobState(index, owner.jobRunning, owner.retries[0], owner.retries[1]);
}

void FleetService::setTrace(const std::shared_ptr<link::WireTrace>& trace) {
    trace_ = trace;
    for (std::size_t i = 0; i < owners_.size(); ++i)
        if (owners_[i]) owners_[i]->exchange->setTrace(trace, registry_.modules()[i].name);
}

void FleetService::startOwner(std::size_t index, Steady::time_point now, Steady::time_point firstPoll) {
    const FleetModule& module = registry_.modules()[index];
    if (owners_.size() <= index) owners_.resize(index + 1);
    auto owner = std::make_unique<Owner>();
    // The host text: a name is looked up again at every connect, an IPv6 address taken as is.
    owner->exchange = std::make_unique<ModuleExchange>(module.host, module.port, plan_.limits);
    if (trace_) owner->exchange->setTrace(trace_, module.name);
    owner->nextPoll = firstPoll;
    owners_[index] = std::move(owner);
    figures_.moduleAdded(index, module.name);
    schedule(index, kPoll, firstPoll);
    for (std::size_t k = 0; k < kJobKinds; ++k) {
        if (plan_.every[k].count() <= 0) continue;
        const auto kind = static_cast<JobKind>(k);
        Steady::time_point due = now;
        if (const auto last = jobSink_.lastSuccess(module.name, kind)) {
            const auto since = std::chrono::system_clock::now() - *last;
            const auto left = std::chrono::duration_cast<Steady::duration>(plan_.every[k] - since);
            if (left > Steady::duration::zero()) due = now + left;
        }
        schedule(index, static_cast<int>(k), due);
        jobSink_.scheduled({index, kind, wallOf(due, now), 0});
    }
}

void FleetService::retire(std::size_t index) {
    Owner& owner = *owners_[index];
    if (owner.retired) return;
    owner.retired = true;
    ++owner.generation;   // its heap entries are dropped as they come up
    owner.waiting = {};
    std::erase_if(waiting_, [index](const auto& w) { return w.first == index; });
    if (!owner.exchange->busy()) owner.exchange->close();
    figures_.moduleRemoved(index);
}

ReloadResult FleetService::apply(const FleetList& list, Steady::time_point now) {
    ReloadResult result;
    if (!list.error.empty()) {
        result.error = list.error;
        return result;
    }
    std::map<std::string, std::size_t> active;
    for (std::size_t i = 0; i < owners_.size(); ++i)
        if (owners_[i] && !owners_[i]->retired) active[registry_.modules()[i].name] = i;
    std::vector<const FleetModule*> toAdd;
    std::vector<std::size_t> toRetire;
    std::map<std::string, bool> listed;
    for (const FleetModule& module : list.modules) {
        listed[module.name] = true;
        const auto found = active.find(module.name);
        if (found == active.end()) {
            toAdd.push_back(&module);
            ++result.added;
        } else if (!sameLink(registry_.modules()[found->second], module)) {
            toAdd.push_back(&module);
            toRetire.push_back(found->second);
            ++result.changed;
        }
    }
    for (const auto& [name, index] : active)
        if (!listed.count(name)) {
            toRetire.push_back(index);
            ++result.removed;
        }
    if (registry_.size() + toAdd.size() > registry_.capacity()) {
        result.error = "za dużo zmian floty od uruchomienia (" + std::to_string(registry_.capacity()) +
                       " modułów łącznie); uruchom usługę ponownie";
        result.added = result.removed = result.changed = 0;
        return result;
    }
    for (const std::size_t index : toRetire) retire(index);
    const auto count = static_cast<long long>(std::max<std::size_t>(1, toAdd.size()));
    long long k = 0;
    for (const FleetModule* module : toAdd) {
        registry_.add(*module);
        startOwner(registry_.size() - 1, now, now + plan_.interval * (k++) / count);
    }
    result.applied = true;
    return result;
}

void FleetService::pollFinished(std::size_t index, Steady::time_point now) {
    Owner& owner = *owners_[index];
    const ModuleExchange& exchange = *owner.exchange;
    PollRecord record;
    record.module = index;
    record.started = owner.beganWall;
    record.lateSeconds = secondsBetween(owner.due, owner.began);
    record.durationMs =
        static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(now - owner.began).count());
    record.outcome = exchange.outcome();
    record.sequence = owner.polling;
    record.connectFailure = exchange.connectFailure();
    if (record.outcome == Outcome::Ok) {
        record.measurement = exchange.measurement();
        if (exchange.extendedAnswered()) record.extended = exchange.extended();
        record.incomplete = exchange.incomplete();
        ++stats_.answered;
    }
    if (record.outcome == Outcome::LocalError) {
        record.localError = exchange.localError();
        if (stats_.localErrors++ == 0) stats_.firstLocalError = record.localError;
    }
    figures_.poll(index, record.outcome, record.lateSeconds, unixMs(record.started));
    polls_.record(record);
    if (owner.retired) owner.exchange->close();
}

void FleetService::pollDue(std::size_t index, Steady::time_point, Steady::time_point now) {
    Owner& owner = *owners_[index];
    if (!ownsModule(index, now)) {
        // Another service polls it: its ticks pass here without a row, and the connection
        // is let go (a module takes one at a time; the new owner's would be refused).
        if (!owner.exchange->busy()) owner.exchange->close();
        while (owner.nextPoll <= now) {
            owner.nextPoll += plan_.interval;
            ++owner.sequence;
        }
        schedule(index, kPoll, owner.nextPoll);
        return;
    }
    // Every tick that has come is polled, skipped or busy: never a burst afterwards.
    while (owner.nextPoll <= now) {
        const Steady::time_point due = owner.nextPoll;
        owner.nextPoll += plan_.interval;
        ++owner.sequence;
        const bool anotherComes = owner.nextPoll <= now;
        if (owner.jobRunning || owner.exchange->busy() || anotherComes) {
            PollRecord tick;
            tick.module = index;
            tick.started = wallOf(due, now);
            tick.outcome = owner.jobRunning ? Outcome::Busy : Outcome::Skipped;
            tick.sequence = owner.sequence;
            ++(owner.jobRunning ? stats_.busy : stats_.skipped);
            figures_.poll(index, tick.outcome, 0, unixMs(tick.started));
            polls_.record(tick);
            continue;
        }
        owner.due = due;
        owner.began = now;
        owner.beganWall = std::chrono::system_clock::now();
        owner.polling = owner.sequence;
        ++stats_.polls;
        owner.exchange->begin(now);
        if (owner.exchange->busy()) polling_.push_back(index);
        else pollFinished(index, now);
    }
    schedule(index, kPoll, owner.nextPoll);
}

void FleetService::jobDue(std::size_t index, JobKind kind, Steady::time_point now) {
    Owner& owner = *owners_[index];
    const auto k = static_cast<std::size_t>(kind);
    if (owner.waiting[k]) return;
    if (!ownsModule(index, now)) {
        // The owner runs it; asked again, in case the module comes back to this service.
        schedule(index, static_cast<int>(kind), now + plan_.interval);
        return;
    }
    owner.waiting[k] = true;
    owner.dueWall[k] = wallOf(now, now);
    waiting_.emplace_back(index, kind);
}

void FleetService::dispatchJobs(Steady::time_point now) {
    (void)now;
    for (auto it = waiting_.begin(); it != waiting_.end() && running_ < plan_.jobs;) {
        const auto [index, kind] = *it;
        Owner& owner = *owners_[index];
        // One job at a time on a module's link, and never over a poll under way.
        const std::string& name = registry_.modules()[index].name;
        if (owner.jobRunning || owner.exchange->busy() || runningByName_.count(name)) {
            ++it;
            continue;
        }
        ++runningByName_[name];
        it = waiting_.erase(it);
        const auto k = static_cast<std::size_t>(kind);
        owner.waiting[k] = false;
        owner.jobRunning = true;
        owner.exchange->close();   // a GPRS module takes one TCP connection at a time
        ++running_;
        JobRequest request;
        request.module = index;
        request.kind = kind;
        request.target = registry_.modules()[index];
        request.folder = plan_.folders[k];
        request.attempt = owner.retries[k] + 1;
        request.due = owner.dueWall[k];
        {
            std::lock_guard lock(mutex_);
            handed_.push_back(std::move(request));
        }
        work_.notify_one();
        publishJobState(index);
    }
    figures_.queue(running_, static_cast<int>(waiting_.size()));
}

void FleetService::jobReturned(const JobReport& report, Steady::time_point now) {
    Owner& owner = *owners_[report.module];
    owner.jobRunning = false;
    --running_;
    if (const auto named = runningByName_.find(registry_.modules()[report.module].name);
        named != runningByName_.end() && --named->second <= 0)
        runningByName_.erase(named);
    const auto k = static_cast<std::size_t>(report.kind);
    ++stats_.jobs[k][static_cast<std::size_t>(report.outcome)];
    if (report.outcome == JobOutcome::Ok) owner.retries[k] = 0;
    else if (report.outcome == JobOutcome::Failed) ++owner.retries[k];
    publishJobState(report.module);
    if (owner.retired || report.outcome == JobOutcome::Cut || stopping_) return;
    Steady::time_point next;
    if (report.outcome == JobOutcome::Ok) {
        // The period runs from the job's start, so a long collection does not push the next one back.
        const auto took = std::chrono::duration_cast<Steady::duration>(report.ended - report.started);
        next = std::max(now, now - took + plan_.every[k]);
    } else {
        auto pause = plan_.firstRetry;
        for (int i = 1; i < owner.retries[k] && pause < plan_.every[k]; ++i) pause *= 2;
        next = now + std::min<Steady::duration>(pause, plan_.every[k]);
    }
    schedule(report.module, static_cast<int>(k), next);
    jobSink_.scheduled({report.module, report.kind, wallOf(next, now), owner.retries[k]});
}

ServiceRunStats FleetService::run(std::chrono::milliseconds duration, ServiceControl& control,
                                  const std::function<FleetList()>& reloadList,
                                  const std::function<void(const ReloadResult&)>& reloaded) {
    return runLoop(duration, control, &control.reload, reloadList, reloaded);
}

ServiceRunStats FleetService::run(std::chrono::milliseconds duration, const StopRequest& stop) {
    return runLoop(duration, stop, nullptr, {}, {});
}

ServiceRunStats FleetService::runLoop(std::chrono::milliseconds duration, const StopRequest& control,
                                      std::atomic<bool>* reload, const std::function<FleetList()>& reloadList,
                                      const std::function<void(const ReloadResult&)>& reloaded) {
    const Steady::time_point start = Steady::now();
    const auto count = static_cast<long long>(std::max<std::size_t>(1, registry_.size()));
    for (std::size_t i = 0; i < registry_.size(); ++i)
        startOwner(i, start, start + plan_.interval * static_cast<long long>(i) / count);
    const Steady::time_point end = duration.count() > 0 ? start + duration : Steady::time_point::max();
    Steady::time_point roundEnd = start + plan_.interval;
    // The eventfd under a tag no owner has; the owners' sockets under their index.
    constexpr std::size_t kWakeTag = static_cast<std::size_t>(-1);
    SocketWaiter waiter;
    if (wakeFd_ >= 0) waiter.watch(kWakeTag, wakeFd_, POLLIN, 0);
    std::vector<std::pair<std::size_t, short>> ready;
    std::vector<short> revents;   // by owner: what the last wait found ready
    std::deque<JobReport> reports;
    for (;;) {
        const Steady::time_point now = Steady::now();
        if (control.abandon) break;
        const bool scheduling = !control.stop && now < end;
        if (!scheduling && !stopping_) {
            stopping_ = true;
            cut_ = true;   // jobs under way end at their next batch
            for (const auto& [index, kind] : waiting_) owners_[index]->waiting[static_cast<std::size_t>(kind)] = false;
            waiting_.clear();
        }
        if (scheduling && reload && reload->exchange(false) && reloadList) {
            const ReloadResult result = apply(reloadList(), now);
            if (reloaded) reloaded(result);
        }
        {
            std::lock_guard lock(mutex_);
            reports.swap(returned_);
        }
        for (const JobReport& report : reports) jobReturned(report, now);
        reports.clear();
        while (scheduling && !heap_.empty() && heap_.top().at <= now) {
            const Due due = heap_.top();
            heap_.pop();
            const Owner& owner = *owners_[due.owner];
            if (owner.retired || due.generation != owner.generation) continue;
            if (due.what == kPoll) pollDue(due.owner, due.at, now);
            else jobDue(due.owner, static_cast<JobKind>(due.what), now);
        }
        if (scheduling && !waiting_.empty() && running_ < plan_.jobs) dispatchJobs(now);
        if (now >= roundEnd) {
            polls_.endRound();
            while (roundEnd <= now) roundEnd += plan_.interval;
        }
        if (!scheduling && polling_.empty() && running_ == 0) break;

        Steady::time_point wake = std::min({roundEnd, end, now + kStopCheck});
        if (scheduling && !heap_.empty()) wake = std::min(wake, heap_.top().at);
        for (const std::size_t index : polling_) {
            const ModuleExchange& exchange = *owners_[index]->exchange;
            wake = std::min(wake, exchange.deadline());
            if (exchange.fd() >= 0) waiter.watch(index, exchange.fd(), exchange.events(), exchange.descriptorSerial());
            else waiter.forget(index);
        }
        const auto waitMs = std::chrono::ceil<std::chrono::milliseconds>(wake - now).count();
        waiter.wait(static_cast<int>(std::clamp<long long>(waitMs, 0, 1000)), ready);
        const Steady::time_point after = Steady::now();
        if (revents.size() < owners_.size()) revents.resize(owners_.size(), 0);
        for (const auto& [tag, events] : ready) {
            if (tag == kWakeTag) {
                std::uint64_t value = 0;
                [[maybe_unused]] const auto got = ::read(wakeFd_, &value, sizeof value);
            } else if (tag < revents.size()) {
                revents[tag] = events;
            }
        }
        std::size_t kept = 0;
        for (std::size_t k = 0; k < polling_.size(); ++k) {
            const std::size_t index = polling_[k];
            ModuleExchange& exchange = *owners_[index]->exchange;
            if (const short events = std::exchange(revents[index], short{0})) exchange.onReady(events, after);
            if (exchange.busy()) exchange.onDeadline(after);
            if (exchange.busy()) {
                polling_[kept++] = index;
            } else {
                waiter.forget(index);
                pollFinished(index, after);
            }
        }
        // Readiness of a socket whose poll ended meanwhile is no news.
        for (const auto& [tag, events] : ready)
            if (tag < revents.size()) revents[tag] = 0;
        polling_.resize(kept);
    }
    for (auto& owner : owners_)
        if (owner) owner->exchange->close();
    polls_.endRound();
    return stats_;
}

} // namespace kavrel::fleet
