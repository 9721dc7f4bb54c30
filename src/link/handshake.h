// How every operation of the programs opens the module: the handshake lines, the version
// read, and the messages shown when the module cannot be reached. Each function leaves
// the link open on success (LinkResult::Ok) and closed on failure.
#pragma once

#include "common/observer.h"
#include "link/firmware_version.h"
#include "link/module_link.h"

namespace kavrel::link {

enum class HandshakePurpose { ReadSettings, WriteSettings };

// Configurator: "HALT!", "DEBUG=0", "HALT!", "VER?"; shows the version text and parses it.
LinkResult connectModule(ModuleLink& link, HandshakePurpose purpose, OperationObserver& observer,
                         FirmwareVersion& version);

void disconnectModule(ModuleLink& link);

// Configurator's version button: "HALT!", "VER?" only; the firmware version is left alone.
// Closes the link in every case.
LinkResult readModuleVersion(ModuleLink& link, OperationObserver& observer);

// Monitor: "DEBUG=0", "VER?"; the status reads "Wersja: " and the version text.
LinkResult openMonitorLink(ModuleLink& link, OperationObserver& observer);

// Logger: closes a link left open, opens (with the speed switch when asked) and sends
// "HALT! DEBUG=0" expecting 4 bytes that are not examined.
LinkResult openLoggerLink(ModuleLink& link, bool fastSpeed, OperationObserver& observer);

// The open failure text of the configurator ("Błąd otwarcia portu COM%d !" or the TCP text);
// a device named by its path is named by the path in place of "COM%d".
std::string openFailureText(const ModuleLink& link);

// Shows an open's message box, then the system's reason for it where there is one (the
// command line prints that on a line of its own).
void reportOpenFailure(const ModuleLink& link, OperationObserver& observer, const std::string& box, MessageIcon icon);

} // namespace kavrel::link
