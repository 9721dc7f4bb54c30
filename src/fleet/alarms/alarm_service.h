// The alarms inside `kavrel fleet serve`: the poll loop and the job workers hand copies of
// what they saw over (record(), jobDone()) and go on; one thread of its own runs the
// evaluator and stores its state, notifications and timeline in the fleet database, and
// another delivers from the spool. Neither the loop nor a job ever waits on a rule or on a
// delivery.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "fleet/alarms/alarm_delivery.h"
#include "fleet/alarms/alarm_engine.h"
#include "fleet/alarms/alarm_store.h"
#include "fleet/fleet_jobs.h"
#include "fleet/fleet_list.h"
#include "fleet/poll_sink.h"

namespace kavrel::fleet::alarms {

// The facts of a poll record and of a job report, as the evaluator takes them.
PollFact pollFact(const PollRecord& record, const FleetModule& module);
std::optional<JobFact> jobFact(const JobReport& report);

class AlarmService final : public PollSink {
public:
    using Log = std::function<void(const std::string&)>;
    // `modules` is the service's registry, read on the poll loop's thread only.
    AlarmService(RuleSet rules, const std::vector<FleetModule>& modules, const std::string& database,
                 std::vector<std::unique_ptr<Sender>> senders, Log log);
    ~AlarmService() override;
    AlarmService(const AlarmService&) = delete;
    AlarmService& operator=(const AlarmService&) = delete;

    const std::string& error() const { return error_; }

    void record(const PollRecord& record) override;
    void endRound() override {}
    // Evaluates what is queued, stores it and makes one more delivery round.
    void finish() override;
    // A job's report (on the worker's thread).
    void jobDone(const JobReport& report);

private:
    void evaluator();
    void deliverer();

    const std::vector<FleetModule>& modules_;
    std::string database_;
    Log log_;
    std::string error_;
    std::unique_ptr<AlarmStore> engineStore_, deliveryStore_;
    AlarmEngine engine_;
    std::unique_ptr<AlarmDelivery> delivery_;
    // A step the database did not take (locked for long, a full disk): kept and committed
    // with the next one, so that nothing the evaluator decided is lost. Evaluator thread only.
    std::vector<StateRow> unsavedState_;
    std::vector<AlarmEvent> unsavedEvents_;
    std::vector<Notification> unsavedNotes_;

    std::mutex mutex_;
    std::condition_variable wake_, wakeDelivery_;
    std::deque<std::variant<PollFact, JobFact>> queue_;
    bool ending_ = false, deliveryEnding_ = false, newNotifications_ = false;
    std::thread evaluatorThread_, deliveryThread_;
};

// Hands every job report to the next sink and to the alarms.
class AlarmJobTap final : public JobSink {
public:
    AlarmJobTap(JobSink& next, AlarmService* alarms) : next_(next), alarms_(alarms) {}
    void jobDone(const JobReport& r) override {
        next_.jobDone(r);
        if (alarms_) alarms_->jobDone(r);
    }
    void scheduled(const JobSchedule& s) override { next_.scheduled(s); }
    std::optional<WallTime> lastSuccess(const std::string& m, JobKind k) const override { return next_.lastSuccess(m, k); }
    void finish() override { next_.finish(); }

private:
    JobSink& next_;
    AlarmService* alarms_;
};

} // namespace kavrel::fleet::alarms
