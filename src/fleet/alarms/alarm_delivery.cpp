#include "fleet/alarms/alarm_delivery.h"

#include <algorithm>

namespace kavrel::fleet::alarms {
namespace {
constexpr long long kFirstRetryMs = 10'000;
constexpr long long kLastRetryMs = 120'000;
constexpr int kPerPump = 100;   // then the caller's loop comes round again
} // namespace

AlarmDelivery::AlarmDelivery(AlarmStore& store, std::vector<std::unique_ptr<Sender>> senders, Log log)
    : store_(store), log_(std::move(log)) {
    for (auto& s : senders) {
        Destination d;
        d.name = s->name();
        d.sender = std::move(s);
        store_.ensureCursor(d.name);
        destinations_.push_back(std::move(d));
    }
}

long long AlarmDelivery::pump(long long nowMs) {
    long long nextDue = 0;
    for (Destination& d : destinations_) {
        if (d.retryAt > nowMs) {
            nextDue = nextDue == 0 ? d.retryAt : std::min(nextDue, d.retryAt);
            continue;
        }
        for (int i = 0; i < kPerPump; ++i) {
            const auto next = store_.next(d.name);
            if (!next) break;
            const int attempt = next->id == d.failedId ? d.failures + 1 : 1;
            const std::string error = d.sender->send(*next);
            store_.attempted(d.name, next->id, attempt, nowMs, error.empty(), error);
            if (log_)
                log_("alarm " + std::to_string(next->id) + " -> " + d.name + ": " +
                     (error.empty() ? std::string("dostarczony") : "nie dostarczony (próba " + std::to_string(attempt) + "): " + error));
            if (error.empty()) {
                d.failures = 0;
                d.failedId = 0;
                d.retryAt = 0;
                continue;
            }
            d.failedId = next->id;
            d.failures = attempt;
            d.retryAt = nowMs + std::min(kLastRetryMs, kFirstRetryMs << std::min(attempt - 1, 10));
            nextDue = nextDue == 0 ? d.retryAt : std::min(nextDue, d.retryAt);
            break;
        }
        if (d.retryAt <= nowMs && store_.next(d.name)) nextDue = nowMs;   // more than one pump's worth
    }
    return nextDue;
}

long long AlarmDelivery::waiting() const {
    long long most = 0;
    for (const Destination& d : destinations_) most = std::max(most, store_.waiting(d.name));
    return most;
}

} // namespace kavrel::fleet::alarms
