// kavrel ports --doctor [--json]: the port doctor's report for a technician, or the same
// for scripts, on both platforms.
#pragma once

#include <vector>

#include "cli/cli_context.h"
#include "link/ports/port_doctor.h"

namespace kavrel::cli {

// Writes the report (or its JSON) of `diagnoses`; exit 0, also when it found problems: the
// report is the result.
int printPortDoctor(CliContext& context, const std::vector<link::PortDiagnosis>& diagnoses, bool json);

} // namespace kavrel::cli
