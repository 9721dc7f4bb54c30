// A poll as the JSON message of `kavrel/NAME/pomiar`:
//   {"modul":"K01","czas":"2026-12-08T14:05:09.123Z","nr":17,"wynik":"ok",
//    "linie":[{"id":"L1","nazwa":"Linia L1","wartosc":12.34,"jednostka":"V","tekst":"12.34V","stan":"OK"},...],
//    "wyjscia":[true,false,...],"alarm":false,"gsm":23,"siec":true,"sms":3,"email":1,
//    "linie_xl":[{"id":"XL1","nazwa":"Linia XL1","tekst":"LOW","stan":"LOW"},...]}
// "id" names the line whatever the settings call it; "jednostka" is what follows the reading's
// number, present only with "wartosc".
// A poll that was not answered carries only "modul", "czas", "nr" and "wynik".
#pragma once

#include <string>

#include "fleet/fleet_list.h"
#include "fleet/poll_record.h"

namespace kavrel::fleet {

std::string pollJson(const PollRecord& record, const FleetModule& module);

} // namespace kavrel::fleet
