// The port doctor: what is wrong with a serial adapter beyond "COM5 cannot be opened", and
// what to do about it: a driver missing, refused or disabled (the configuration manager's
// problem codes), driver versions known to fail with common USB-serial chips, the FTDI
// latency timer that slows every exchange, COM numbers the programs cannot open, and on Linux
// the device's group and a modem manager holding the port. Texts are UTF-8 Polish.
#pragma once

#include <string>
#include <vector>

#include "link/ports/port_facts.h"

namespace kavrel::link {

enum class FindingLevel { Ok, Note, Warning, Problem };

struct PortFinding {
    FindingLevel level = FindingLevel::Ok;
    std::string text;     // what is the matter
    std::string remedy;   // what to do, one line; empty when nothing is to be done
};

struct PortDiagnosis {
    PortFacts facts;
    std::vector<PortFinding> findings;   // at least one: "Działa." when nothing is wrong
};

std::vector<PortFinding> diagnose(const PortFacts& facts);
std::vector<PortDiagnosis> diagnose(const std::vector<PortFacts>& ports);

// "problem", "warning", "note", "ok": the word of the JSON output.
const char* findingLevelWord(FindingLevel level);

// The report a technician reads: one block per device, its facts, then its findings.
std::string portDoctorReport(const std::vector<PortDiagnosis>& diagnoses);

} // namespace kavrel::link
