#include "link/ports/port_doctor.h"

#include <array>
#include <cstdio>
#include <sstream>

namespace kavrel::link {
namespace {

// The configuration manager's problem codes (CM_PROB_*) a serial adapter shows in Device
// Manager, with what they mean to a technician and what to do.
struct ProblemCode {
    std::uint32_t code;
    const char* text;
    const char* remedy;
};
constexpr const char* kReinstall = "W Menedżerze urządzeń odinstaluj urządzenie (z usunięciem sterownika) i podłącz adapter ponownie.";
constexpr const char* kVendorDriver = "Zainstaluj sterownik producenta układu adaptera (FTDI, Prolific, WCH, Silicon Labs).";
constexpr std::array kProblemCodes{
    ProblemCode{1, "Urządzenie nie jest skonfigurowane", kVendorDriver},
    ProblemCode{3, "Sterownik jest uszkodzony albo zabrakło pamięci", kReinstall},
    ProblemCode{10, "Sterownik nie mógł uruchomić urządzenia", kVendorDriver},
    ProblemCode{14, "Urządzenie zadziała po ponownym uruchomieniu komputera", "Uruchom komputer ponownie."},
    ProblemCode{18, "Sterownik trzeba zainstalować ponownie", kReinstall},
    ProblemCode{19, "Wpis urządzenia w rejestrze jest uszkodzony", kReinstall},
    ProblemCode{22, "Urządzenie jest wyłączone", "W Menedżerze urządzeń: prawy przycisk na porcie → Włącz urządzenie."},
    ProblemCode{24, "Urządzenia nie ma albo nie działa", "Podłącz adapter ponownie, najlepiej do innego gniazda USB."},
    ProblemCode{28, "Brak sterownika", kVendorDriver},
    ProblemCode{29, "Urządzenie jest wyłączone w oprogramowaniu układowym", "Włącz port w ustawieniach BIOS/UEFI komputera."},
    ProblemCode{31, "Windows nie może załadować sterownika", kReinstall},
    ProblemCode{32, "Usługa sterownika jest wyłączona", kReinstall},
    ProblemCode{37, "Sterownik odmówił uruchomienia", kVendorDriver},
    ProblemCode{39, "Nie można załadować sterownika: jest uszkodzony albo go brak", kReinstall},
    ProblemCode{43, "Windows zatrzymał urządzenie, bo zgłosiło problem",
                "Zwykle podrobiony układ odrzucony przez sterownik: użyj innego adaptera albo sterownika zgodnego z układem."},
    ProblemCode{45, "Adapter nie jest podłączony", "Podłącz adapter."},
    ProblemCode{48, "Uruchomienie sterownika zostało zablokowane", "Zainstaluj nowszy sterownik od producenta układu."},
    ProblemCode{52, "Windows nie może zweryfikować podpisu sterownika", "Zainstaluj podpisany sterownik producenta układu."},
};

// Driver versions known to fail with common USB-serial chips, by VID:PID (PID 0: any).
struct KnownBadDriver {
    std::uint16_t vendorId;
    std::uint16_t productId;
    const char* firstVersion;
    const char* lastVersion;
    const char* text;
    const char* remedy;
};
constexpr const char* kCurrentFtdi = "Zainstaluj aktualny sterownik FTDI (2.12.28 lub nowszy).";
constexpr std::array kKnownBadDrivers{
    KnownBadDriver{0x067B, 0x2303, "3.4.25.218", "99999", 
                   "Sterowniki Prolific od wersji 3.4 odmawiają pracy z układami PL2303HXA/XA i ich podróbkami (\"PHASED OUT\", kod 10)",
                   "Jeśli port nie działa: zainstaluj sterownik Prolific 3.3.2.105 albo użyj adaptera z nowszym układem."},
    KnownBadDriver{0x0403, 0, "2.12.0", "2.12.0.99999",
                   "Sterownik FTDI 2.12.00 zeruje identyfikator PID podrobionych układów, które potem przestają działać", kCurrentFtdi},
    KnownBadDriver{0x0403, 0, "2.12.24", "2.12.24.99999",
                   "Sterownik FTDI 2.12.24 wysyła przez podrobione układy tekst \"NON GENUINE DEVICE FOUND!\" zamiast danych", kCurrentFtdi},
};

constexpr std::uint16_t kFtdiVendor = 0x0403;
constexpr int kHighestComNumber = 255;   // the highest the programs open
constexpr int kGoodLatencyMs = 2;

// Compares dotted versions part by part as numbers ("2.12.24.0" < "2.12.28"); a missing part is 0.
int compareVersions(const std::string& a, const std::string& b) {
    std::istringstream left(a), right(b);
    for (int part = 0; part < 4; ++part) {
        unsigned long x = 0, y = 0;
        char dot = 0;
        if (!(left >> x)) x = 0;
        if (!(right >> y)) y = 0;
        left >> dot;
        right >> dot;
        if (x != y) return x < y ? -1 : 1;
    }
    return 0;
}

std::string latencyRemedy(const PortFacts& facts) {
    if (facts.latencyPlace.empty()) return "Ustaw czasomierz opóźnienia (latency timer) portu na 1 ms.";
    if (facts.latencyPlace.front() == '/') return "echo 1 | sudo tee " + facts.latencyPlace;
    return "reg add \"" + facts.latencyPlace +
           "\" /v LatencyTimer /t REG_DWORD /d 1 /f  (jako administrator; potem podłącz adapter ponownie), albo "
           "Menedżer urządzeń → port → Właściwości → Ustawienia portu → Zaawansowane → Czasomierz opóźnienia: 1";
}

void addWindowsFindings(const PortFacts& facts, std::vector<PortFinding>& findings) {
    if (!facts.problemCode || *facts.problemCode == 0) return;
    const std::uint32_t code = *facts.problemCode;
    for (const ProblemCode& known : kProblemCodes) {
        if (known.code != code) continue;
        findings.push_back({FindingLevel::Problem, std::string(known.text) + " (kod " + std::to_string(code) + ").",
                            known.remedy});
        return;
    }
    findings.push_back({FindingLevel::Problem, "Urządzenie zgłasza problem (kod " + std::to_string(code) + ").", kReinstall});
}

void addDriverFindings(const PortFacts& facts, std::vector<PortFinding>& findings) {
    if (facts.vendorId == kFtdiVendor && facts.productId == 0x0000)
        findings.push_back({FindingLevel::Problem,
                            "Identyfikator PID 0000: podrobiony układ FTDI, zmieniony przez sterownik 2.12.00.",
                            "Użyj innego adaptera."});
    if (facts.driverVersion.empty() || !facts.vendorId) return;
    for (const KnownBadDriver& bad : kKnownBadDrivers) {
        if (bad.vendorId != *facts.vendorId || (bad.productId != 0 && facts.productId != bad.productId)) continue;
        if (compareVersions(facts.driverVersion, bad.firstVersion) < 0 ||
            compareVersions(facts.driverVersion, bad.lastVersion) > 0)
            continue;
        findings.push_back({FindingLevel::Warning, std::string(bad.text) + " (tu wersja " + facts.driverVersion + ").",
                            bad.remedy});
    }
}

void addLinuxFindings(const PortFacts& facts, std::vector<PortFinding>& findings) {
    if (!facts.userMayOpen) {
        const std::string group = facts.groupName.empty() ? std::string("dialout") : facts.groupName;
        findings.push_back({FindingLevel::Problem, "Brak uprawnień do " + facts.device + " (grupa " + group + ").",
                            "sudo usermod -aG " + group + " $USER, potem wyloguj się i zaloguj ponownie."});
    }
    if (!facts.heldBy.empty())
        findings.push_back({FindingLevel::Warning, "Port trzyma otwarty program " + facts.heldBy + ".",
                            facts.heldBy == "ModemManager"
                                ? "sudo systemctl stop ModemManager, albo reguła udev ENV{ID_MM_DEVICE_IGNORE}=\"1\" dla adaptera."
                                : "Zamknij " + facts.heldBy + "."});
}

} // namespace

std::vector<PortFinding> diagnose(const PortFacts& facts) {
    std::vector<PortFinding> findings;
    if (!facts.present) {
        findings.push_back({FindingLevel::Note, "Adapter nie jest podłączony (system pamięta go z wcześniej).",
                            "Podłącz adapter, żeby go sprawdzić."});
        return findings;
    }
    addWindowsFindings(facts, findings);
    if (facts.driver.empty() && !(facts.problemCode && *facts.problemCode != 0))
        findings.push_back({FindingLevel::Problem, "Żaden sterownik nie obsługuje urządzenia.", kVendorDriver});
    addDriverFindings(facts, findings);
    if (facts.vendorId == kFtdiVendor && facts.latencyMs && *facts.latencyMs > kGoodLatencyMs)
        findings.push_back({FindingLevel::Warning,
                            "Czasomierz opóźnienia (latency timer) adaptera FTDI: " + std::to_string(*facts.latencyMs) +
                                " ms; każda odpowiedź modułu dociera przez to później.",
                            latencyRemedy(facts)});
    if (facts.comNumber && *facts.comNumber > kHighestComNumber)
        findings.push_back({FindingLevel::Warning,
                            "Numer COM" + std::to_string(*facts.comNumber) + " jest większy niż 255: programy go nie otworzą.",
                            "Menedżer urządzeń → port → Właściwości → Ustawienia portu → Zaawansowane → Numer portu COM: "
                            "wybierz 255 lub mniej."});
    addLinuxFindings(facts, findings);
    if (findings.empty()) findings.push_back({FindingLevel::Ok, "Działa.", {}});
    return findings;
}

std::vector<PortDiagnosis> diagnose(const std::vector<PortFacts>& ports) {
    std::vector<PortDiagnosis> diagnoses;
    for (const PortFacts& facts : ports) diagnoses.push_back({facts, diagnose(facts)});
    return diagnoses;
}

const char* findingLevelWord(FindingLevel level) {
    switch (level) {
    case FindingLevel::Problem: return "problem";
    case FindingLevel::Warning: return "warning";
    case FindingLevel::Note: return "note";
    case FindingLevel::Ok: break;
    }
    return "ok";
}

namespace {

const char* levelMark(FindingLevel level) {
    switch (level) {
    case FindingLevel::Problem: return "BŁĄD ";
    case FindingLevel::Warning: return "UWAGA";
    case FindingLevel::Note: return "INFO ";
    case FindingLevel::Ok: break;
    }
    return "OK   ";
}

std::string factsLine(const PortFacts& facts) {
    std::string line;
    if (facts.vendorId && facts.productId) {
        char id[16];
        std::snprintf(id, sizeof(id), "USB %04x:%04x", unsigned{*facts.vendorId}, unsigned{*facts.productId});
        line = id;
    }
    const auto add = [&line](const std::string& part) { line += (line.empty() ? "" : ", ") + part; };
    if (!facts.driver.empty()) {
        std::string driver = "sterownik " + facts.driver;
        if (!facts.driverProvider.empty() || !facts.driverVersion.empty())
            driver += " (" + facts.driverProvider + (facts.driverProvider.empty() || facts.driverVersion.empty() ? "" : " ") +
                      facts.driverVersion + ")";
        add(driver);
    }
    if (facts.latencyMs) add("opóźnienie " + std::to_string(*facts.latencyMs) + " ms");
    if (!facts.groupName.empty()) add("grupa " + facts.groupName);
    return line;
}

} // namespace

std::string portDoctorReport(const std::vector<PortDiagnosis>& diagnoses) {
    if (diagnoses.empty()) return "Nie znaleziono żadnego portu szeregowego ani adaptera.\n";
    std::string report;
    for (const PortDiagnosis& port : diagnoses) {
        if (!report.empty()) report += "\n";
        report += port.facts.device + (port.facts.description.empty() ? "" : "  " + port.facts.description) + "\n";
        if (const std::string facts = factsLine(port.facts); !facts.empty()) report += "  " + facts + "\n";
        for (const PortFinding& finding : port.findings) {
            report += std::string("  ") + levelMark(finding.level) + " " + finding.text + "\n";
            if (!finding.remedy.empty()) report += "        → " + finding.remedy + "\n";
        }
    }
    return report;
}

} // namespace kavrel::link
