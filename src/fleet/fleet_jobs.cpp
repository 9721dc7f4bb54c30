#include "fleet/fleet_jobs.h"

namespace kavrel::fleet {

const char* jobKindText(JobKind kind) { return kind == JobKind::Collect ? "collect" : "backup"; }

const char* jobKindLabel(JobKind kind) { return kind == JobKind::Collect ? "pobranie pamięci" : "kopia ustawień"; }

const char* jobOutcomeText(JobOutcome outcome) {
    switch (outcome) {
    case JobOutcome::Ok: return "ok";
    case JobOutcome::Failed: return "failed";
    case JobOutcome::Cut: return "cut";
    }
    return "?";
}

} // namespace kavrel::fleet
