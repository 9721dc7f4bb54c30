#include "fleet/fleet_poller.h"

#include <poll.h>

#include <algorithm>

namespace kavrel::fleet {
namespace {

// The longest the loop sleeps without looking at the stop request.
constexpr std::chrono::milliseconds kStopCheck{100};

double secondsBetween(Steady::time_point from, Steady::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

} // namespace

FleetPoller::FleetPoller(const std::vector<FleetModule>& modules, FleetTiming timing, PollSink& sink)
    : timing_(timing), sink_(sink) {
    slots_.reserve(modules.size());
    for (const auto& module : modules) {
        Slot slot;
        slot.exchange = std::make_unique<ModuleExchange>(module.host, module.port, timing.limits);
        slot.name = module.name;
        slots_.push_back(std::move(slot));
    }
}

FleetPoller::~FleetPoller() = default;

void FleetPoller::setTrace(const std::shared_ptr<link::WireTrace>& trace) {
    for (auto& slot : slots_) slot.exchange->setTrace(trace, slot.name);
}

void FleetPoller::finished(std::size_t index, Steady::time_point now) {
    Slot& slot = slots_[index];
    const ModuleExchange& exchange = *slot.exchange;
    PollRecord record;
    record.module = index;
    record.started = slot.beganWall;
    record.lateSeconds = secondsBetween(slot.due, slot.began);
    record.durationMs = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(now - slot.began).count());
    record.outcome = exchange.outcome();
    record.sequence = slot.polling;
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
    sink_.record(record);
}

void FleetPoller::startDue(Steady::time_point now, bool scheduling) {
    if (!scheduling) return;
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        Slot& slot = slots_[i];
        // Every tick that has come is either polled or skipped: a late loop (a stalled
        // machine) or a poll still running never lets ticks pile up.
        while (slot.nextDue <= now) {
            const Steady::time_point due = slot.nextDue;
            slot.nextDue += timing_.interval;
            ++slot.sequence;
            const bool anotherComes = slot.nextDue <= now;
            if (slot.exchange->busy() || anotherComes) {
                PollRecord skipped;
                skipped.module = i;
                skipped.started = std::chrono::system_clock::now() -
                                  std::chrono::duration_cast<std::chrono::system_clock::duration>(now - due);
                skipped.outcome = Outcome::Skipped;
                skipped.sequence = slot.sequence;
                ++stats_.skipped;
                sink_.record(skipped);
                continue;
            }
            slot.due = due;
            slot.began = now;
            slot.beganWall = std::chrono::system_clock::now();
            slot.polling = slot.sequence;
            ++stats_.polls;
            slot.exchange->begin(now);
            if (!slot.exchange->busy()) finished(i, now);
        }
    }
}

FleetRunStats FleetPoller::run(std::chrono::milliseconds duration, const StopRequest& request) {
    const Steady::time_point start = Steady::now();
    const auto count = static_cast<long long>(slots_.size());
    for (std::size_t i = 0; i < slots_.size(); ++i)
        slots_[i].nextDue = start + timing_.interval * static_cast<long long>(i) / std::max(1LL, count);
    const Steady::time_point end = duration.count() > 0 ? start + duration : Steady::time_point::max();
    Steady::time_point roundEnd = start + timing_.interval;
    std::vector<pollfd> fds;
    std::vector<std::size_t> owners;
    for (;;) {
        const Steady::time_point now = Steady::now();
        if (request.abandon) break;
        const bool scheduling = !request.stop && now < end;
        startDue(now, scheduling);
        if (now >= roundEnd) {
            sink_.endRound();
            while (roundEnd <= now) roundEnd += timing_.interval;
        }
        fds.clear();
        owners.clear();
        Steady::time_point wake = std::min({roundEnd, end, now + kStopCheck});
        for (std::size_t i = 0; i < slots_.size(); ++i) {
            const ModuleExchange& exchange = *slots_[i].exchange;
            if (scheduling) wake = std::min(wake, slots_[i].nextDue);
            if (!exchange.busy()) continue;
            wake = std::min(wake, exchange.deadline());
            fds.push_back({exchange.fd(), exchange.events(), 0});
            owners.push_back(i);
        }
        if (!scheduling && fds.empty()) break;
        const auto waitMs = std::chrono::ceil<std::chrono::milliseconds>(wake - now).count();
        const int ready = ::poll(fds.data(), fds.size(), static_cast<int>(std::clamp<long long>(waitMs, 0, 1000)));
        const Steady::time_point after = Steady::now();
        for (std::size_t k = 0; k < fds.size(); ++k) {
            ModuleExchange& exchange = *slots_[owners[k]].exchange;
            if (ready > 0 && fds[k].revents) exchange.onReady(fds[k].revents, after);
            if (exchange.busy()) exchange.onDeadline(after);
            if (!exchange.busy()) finished(owners[k], after);
        }
    }
    for (auto& slot : slots_) slot.exchange->close();
    sink_.endRound();
    return stats_;
}

} // namespace kavrel::fleet
