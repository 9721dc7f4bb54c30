// Where the fleet's poll records go (the database, the MQTT publisher). The poll loop calls
// these on its own thread and must never wait on them: a sink takes a copy and does its
// slow work (disk, network) on a thread of its own.
#pragma once

#include <vector>

#include "fleet/poll_record.h"

namespace kavrel::fleet {

class PollSink {
public:
    virtual ~PollSink() = default;
    // One poll finished, or one tick was skipped.
    virtual void record(const PollRecord& record) = 0;
    // A round (one interval of the schedule) is over: what was recorded belongs together.
    virtual void endRound() = 0;
    // The poller is ending: everything recorded is to be kept; returns when it is.
    virtual void finish() = 0;
};

// Hands every call to each of several sinks.
class SinkFan final : public PollSink {
public:
    void add(PollSink& sink) { sinks_.push_back(&sink); }
    void record(const PollRecord& r) override {
        for (auto* s : sinks_) s->record(r);
    }
    void endRound() override {
        for (auto* s : sinks_) s->endRound();
    }
    void finish() override {
        for (auto* s : sinks_) s->finish();
    }

private:
    std::vector<PollSink*> sinks_;
};

} // namespace kavrel::fleet
