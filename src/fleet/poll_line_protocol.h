// A poll as line protocol points: "kavrel_odczyt" per line with a number (tags modul,
// linia, nazwa, jednostka; fields wartosc and stan), and "kavrel_modul" per poll with
// its outcome, duration and GSM level, all at the poll's start in nanoseconds. Skipped ticks, which
// learnt nothing, give no point.
#pragma once

#include <string>

#include "fleet/fleet_list.h"
#include "fleet/poll_record.h"

namespace kavrel::fleet {

std::string pollLineProtocol(const PollRecord& record, const FleetModule& module);

} // namespace kavrel::fleet
