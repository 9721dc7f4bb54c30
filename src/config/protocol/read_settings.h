// "Odczytaj z modułu": the configurator's read of the whole configuration.
#pragma once

#include <string>

#include "common/observer.h"
#include "config/model/settings_image.h"
#include "config/protocol/config_result.h"
#include "link/module_link.h"

namespace kavrel::config {

// Opens the link with the configurator's handshake, asks the queries the firmware
// version understands ("SET?", "SMS?", then "APN?", "EAD?", "XCFG?", "ECFG?" by version)
// and parses each reply into the record as it arrives, reporting progress 10..100. A
// read that stops part-way keeps what was parsed. The link is closed at the end.
// A reply that holds none of its query's keys counts as unanswered. Returns Ok on success,
// otherwise the failing step's link result or NoSettingsInReply. `versionText`, when given,
// gets the module's version text as the handshake reported it (Windows-1250): on a serial
// link the link's own copy is replaced by the next command's reply.
ConfigResult readSettings(link::ModuleLink& link, SettingsImage& image, OperationObserver& observer,
                          std::string* versionText = nullptr);

} // namespace kavrel::config
