// The fleet service's jobs as the tools already do them for one module: a collection is
// `kavrel logger archive update` into FOLDER/NAME.db (only new records, holes kept and
// reported, a new segment when the memory no longer continues the archive), cut between
// batches when the service ends; a backup is `kavrel config read`, kept in FOLDER/NAME/ as a
// settings file named by the module's version and time (the backup folder's own names) only
// when it differs from the module's last one. Fields the module changes by itself (the field
// table's changesByItself) never count as a difference.
#pragma once

#include "fleet/fleet_jobs.h"
#include "link/connection.h"

namespace kavrel::fleet {

struct LinkJobOptions {
    link::SerialTiming timing = link::SerialTiming::Fast;
};

class LinkJobRunner final : public JobRunner {
public:
    explicit LinkJobRunner(LinkJobOptions options = {}) : options_(options) {}
    JobReport run(const JobRequest& request, const std::atomic<bool>& cut) override;

private:
    JobReport collect(const JobRequest& request, const std::atomic<bool>& cut);
    JobReport backup(const JobRequest& request);
    LinkJobOptions options_;
};

} // namespace kavrel::fleet
