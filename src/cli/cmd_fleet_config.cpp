// kavrel fleet config apply|drift: one template to many modules in stages that stop on
// failure, and the differences of a fleet from a template.
#include <algorithm>
#include <ostream>

#include "cli/commands.h"
#include "cli/config_journal.h"
#include "cli/fleet_config.h"
#include "cli/fleet_template_inputs.h"
#include "cli/json_output.h"
#include "common/file_names.h"
#include "config/model/backup_store.h"
#include "config/model/version_notes.h"
#include "config/model/write_journal.h"
#include "fleet/rollout/config_rollout.h"

namespace kavrel::cli {
namespace {

constexpr const char* kApply = "kavrel fleet config apply";

struct ApplyOptions {
    TemplateInputs inputs;
    fleet::StagePlan plan;
    bool dryRun = false, yes = false, json = false;
    std::string resume;
    int timeoutMs = 0;
    int parallel = 4;
};

int usage(CliContext& context, const std::string& problem) {
    context.err << "kavrel fleet config: " << problem << "\n" << helpText(fleetConfigUsage());
    return kExitUsage;
}

bool positive(const std::string& text, int& value, int most) {
    try {
        std::size_t used = 0;
        value = std::stoi(text, &used);
        return used == text.size() && value >= 1 && value <= most;
    } catch (const std::exception&) {
        return false;
    }
}

// Parses the options; "" when they are good, else what is wrong.
std::string parseApply(std::span<const std::string> args, ApplyOptions& o) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        int number = 0;
        if (arg == "--dry-run") o.dryRun = true;
        else if (arg == "--yes") o.yes = true;
        else if (arg == "--json") o.json = true;
        else if (arg == "--hosts" && hasValue) o.inputs.hostsPath = args[++i];
        else if (arg == "--fields" && hasValue) o.inputs.fieldsArgument = args[++i];
        else if (arg == "--values" && hasValue) o.inputs.valuesPath = args[++i];
        else if (arg == "--resume" && hasValue) o.resume = args[++i];
        else if (arg == "--canary" && hasValue && positive(args[i + 1], number, 100000)) o.plan.canary = static_cast<std::size_t>(number), ++i;
        else if (arg == "--batch" && hasValue && fleet::parseBatch(args[i + 1], o.plan)) ++i;
        else if (arg == "--stop-at" && hasValue && fleet::parseStopAt(args[i + 1], o.plan.stopAtPercent)) ++i;
        else if (arg == "--timeout" && hasValue && positive(args[i + 1], o.timeoutMs, 600000)) ++i;
        else if (arg == "--parallel" && hasValue && positive(args[i + 1], o.parallel, 64)) ++i;
        else if (o.inputs.templatePath.empty() && arg.rfind("--", 0) != 0) o.inputs.templatePath = arg;
        else return "apply: nieoczekiwany albo niepoprawny argument " + arg;
    }
    if (!o.resume.empty()) {
        if (!o.inputs.templatePath.empty() || !o.inputs.hostsPath.empty())
            return "apply --resume bierze szablon i flotę ze stanu wdrożenia";
        return "";
    }
    if (o.inputs.templatePath.empty()) return "apply wymaga SZABLON.kvl";
    if (o.inputs.hostsPath.empty()) return "apply wymaga --hosts FLOTA.txt";
    return "";
}

// A resumed run takes what it was started with from its state file.
bool takeResumedSettings(CliContext& context, ApplyOptions& o, fleet::RolloutState& state) {
    const std::string folder = config::backupFolder();
    const bool isPath = o.resume.find('/') != std::string::npos || o.resume.ends_with(".jsonl");
    const std::string path = isPath ? o.resume : fleet::rolloutPath(folder, o.resume);
    std::string error;
    auto loaded = fleet::loadRollout(path, error);
    if (!loaded) {
        context.err << kApply << ": " << error << "\n";
        return false;
    }
    state = std::move(*loaded);
    const fleet::RolloutSettings& s = state.settings;
    o.inputs.templatePath = s.templatePath;
    o.inputs.fieldsArgument = s.fields;
    o.inputs.valuesPath = s.valuesPath;
    o.inputs.hostsPath = s.hostsPath;
    o.plan = s.plan;
    o.yes = o.yes || s.yes;
    o.timeoutMs = s.timeoutMs;
    return true;
}

std::string changeKeys(const fleet::ModuleOutcome& m) {
    std::string keys;
    for (const auto& change : m.changes) keys += (keys.empty() ? "" : ",") + change.key;
    return keys.empty() ? "-" : keys;
}

// Characters of a UTF-8 text, as a terminal lines them up ("nieosiągnięty" is 13, not 15).
std::size_t columns(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

void printTable(CliContext& context, const fleet::RolloutReport& report) {
    std::size_t nameWidth = 5, endpointWidth = 5, outcomeWidth = 5;
    for (const auto& m : report.modules) {
        nameWidth = std::max(nameWidth, columns(m.name));
        endpointWidth = std::max(endpointWidth, columns(m.endpoint));
        outcomeWidth = std::max(outcomeWidth, columns(m.outcome));
    }
    const auto pad = [](const std::string& text, std::size_t width) {
        const std::size_t used = columns(text);
        return text + std::string(width > used ? width - used : 0, ' ');
    };
    context.out << pad("MODUŁ", nameWidth) << "  " << pad("ADRES", endpointWidth) << "  " << pad("WYNIK", outcomeWidth)
                << "  ZMIANY\n";
    for (const auto& m : report.modules) {
        context.out << pad(m.name, nameWidth) << "  " << pad(m.endpoint, endpointWidth) << "  " << pad(m.outcome, outcomeWidth)
                    << "  " << changeKeys(m);
        if (!m.detail.empty()) context.out << "  (" << m.detail << ")";
        context.out << "\n";
    }
    for (const auto& m : report.modules)
        if (m.resumable) context.out << "Do dokończenia: kavrel --tcp " << m.connection << " config resume\n";
}

std::string reportJson(const fleet::RolloutReport& report, const std::string& run, bool dryRun) {
    std::string modules = "[";
    for (const auto& m : report.modules) {
        std::string changes = "[";
        for (const auto& c : m.changes) {
            if (changes.size() > 1) changes += ",";
            changes += JsonObject().add("key", c.key).add("before", c.before).add("after", c.after).text();
        }
        changes += "]";
        if (modules.size() > 1) modules += ",";
        modules += JsonObject()
                       .add("name", m.name)
                       .add("endpoint", m.endpoint)
                       .add("outcome", m.outcome)
                       .add("verified", m.outcome == fleet::outcome::kWritten)
                       .add("resumable", m.resumable)
                       .add("detail", m.detail)
                       .add("version", m.versionText.empty() ? std::optional<std::string>() : m.versionText)
                       .addRaw("changes", changes)
                       .text();
    }
    modules += "]";
    return JsonObject()
        .add("run", run.empty() ? std::optional<std::string>() : run)
        .add("dryRun", dryRun)
        .add("stopped", report.stopped)
        .add("stopReason", report.stopReason)
        .add("stages", static_cast<long long>(report.stages))
        .add("stagesRun", static_cast<long long>(report.stagesRun))
        .add("ok", report.allSucceeded())
        .addRaw("modules", modules)
        .text();
}

} // namespace

int runFleetConfigApply(CliContext& context, std::span<const std::string> args) {
    ApplyOptions o;
    if (const std::string problem = parseApply(args, o); !problem.empty()) return usage(context, problem);
    if (!backupFolderKnown(context)) return kExitFailure;
    const std::string folder = config::backupFolder();
    fleet::RolloutState resumed;
    if (!o.resume.empty() && !takeResumedSettings(context, o, resumed)) return kExitFailure;
    if (!loadTemplateInputs(context, kApply, o.inputs, false)) return kExitFailure;
    if (!o.resume.empty() && config::settingsHash(o.inputs.templ) != resumed.settings.templateHash) {
        context.err << kApply << ": szablon " << o.inputs.templatePath << " zmienił się od początku wdrożenia "
                    << resumed.settings.run << ": nic nie wysłano\n";
        return kExitFailure;
    }
    fleet::RolloutRequest request;
    request.modules = o.inputs.modules;
    request.values = o.inputs.values;
    request.plan = o.plan;
    request.dryRun = o.dryRun;
    request.parallel = o.parallel;
    request.inputs = {o.inputs.templ, o.inputs.fields, config::notedSettingsVersions(folder, o.inputs.templ), folder, "",
                      o.yes, o.timeoutMs};
    std::string run;
    if (!o.dryRun) {
        run = o.resume.empty() ? fleet::newRunId(context.clock.now()) : resumed.settings.run;
        request.inputs.run = run;
        request.statePath = fleet::rolloutPath(folder, run);
        if (o.resume.empty()) {
            const fleet::RolloutSettings settings{run, config::backupTimeText(context.clock.now()), o.inputs.templatePath,
                                                  config::settingsHash(o.inputs.templ), fieldKeys(o.inputs.fields),
                                                  o.inputs.valuesPath, o.inputs.hostsPath, o.plan, o.yes, o.timeoutMs};
            if (!fleet::createRollout(request.statePath, settings)) {
                context.err << kApply << ": nie można zapisać stanu wdrożenia " << request.statePath << "\n";
                return kExitFailure;
            }
        } else {
            request.resumed = &resumed;
        }
        context.err << "Wdrożenie " << run << " (stan: " << request.statePath << ")\n";
    }
    const fleet::RolloutReport report = fleet::runRollout(request, [&](const std::string& line) {
        context.err << line << std::endl;
    });
    if (o.json) context.out << reportJson(report, run, o.dryRun) << "\n";
    else printTable(context, report);
    if (!report.stateProblem.empty()) context.err << kApply << ": " << report.stateProblem << "\n";
    if (report.stopped)
        context.err << "Wdrożenie zatrzymane (" << report.stopReason << "); dalej: kavrel fleet config apply --resume "
                    << run << "\n";
    if (o.dryRun)
        return std::all_of(report.modules.begin(), report.modules.end(), [](const fleet::ModuleOutcome& m) {
                   return m.outcome == fleet::outcome::kWouldWrite || m.outcome == fleet::outcome::kUnchanged;
               })
                   ? kExitOk
                   : kExitFailure;
    return report.allSucceeded() ? kExitOk : kExitFailure;
}

int runFleetConfig(CliContext& context, std::span<const std::string> args) {
    if (!args.empty() && args[0] == "apply") return runFleetConfigApply(context, args.subspan(1));
    if (!args.empty() && args[0] == "drift") return runFleetConfigDrift(context, args.subspan(1));
    return usage(context, "oczekiwano apply albo drift");
}

} // namespace kavrel::cli

namespace kavrel::cli {

const HelpText& fleetConfigUsage() {
    static const HelpText text{
        "        kavrel fleet config apply SZABLON.kvl --hosts FLOTA.txt --fields KLUCZE|PLIK [--values WARTOŚCI.csv]\n"
        "                           [--canary N] [--batch N|P%] [--stop-at P%] [--dry-run] [--yes] [--json]\n"
        "                           [--timeout MS] [--parallel N]\n"
        "        kavrel fleet config apply --resume WDROŻENIE [--json]\n"
        "        kavrel fleet config drift SZABLON.kvl (--hosts FLOTA.txt | --from-backups FOLDER [--hosts FLOTA.txt])\n"
        "                           [--fields KLUCZE|PLIK] [--values WARTOŚCI.csv] [--csv | --json] [--timeout MS]\n"
        "config apply: wdraża szablon na moduły floty. Z szablonu brane są tylko pola --fields (KLUCZ,KLUCZ,...\n"
        "albo plik kluczy; rdzeń rodziny, np. NUM, to wszystkie jej elementy); pozostałe pola każdy moduł\n"
        "zachowuje (odczytane tuż przed zapisem). WARTOŚCI.csv (NAZWA;KLUCZ;WARTOŚĆ) daje modułom własne\n"
        "wartości pól szablonu. Najpierw odczytuje każdy moduł i wypisuje, co się zmieni (--dry-run kończy\n"
        "tutaj), potem zapisuje --canary modułów, a resztę partiami po --batch (liczba albo odsetek floty).\n"
        "Każdy zapis ma kopię zapasową, dziennik (przerwany kończy kavrel --tcp ADRES config resume), historię\n"
        "i weryfikację. Etap, w którym nieudane zapisy sięgną --stop-at (domyślnie 10%) etapu, zatrzymuje\n"
        "wdrożenie; dalszych modułów nic nie dotyka. Stan wdrożenia (folder wdrozenia obok kopii) pozwala\n"
        "dokończyć je przez --resume WDROŻENIE bez ponownego zapisu modułów już zapisanych. Moduł z innym\n"
        "oprogramowaniem niż szablon jest wypisywany i bez --yes nie jest zapisywany. --timeout: limit\n"
        "połączenia i każdej odpowiedzi liczony od wysłania linii (bez niego limity Kavrel-Config, rosnące\n"
        "z czasem odpowiedzi łącza); --parallel: moduły zapisywane naraz (domyślnie 4).\n"
        "Kod wyjścia 0 tylko wtedy, gdy każdy moduł zapisano i zweryfikowano (albo już miał szablon).\n"
        "config drift: tabela moduł × pole różnic od szablonu (z wartościami modułów), odczytana z modułów\n"
        "albo z najnowszych kopii usługi floty (--from-backups FOLDER, bez łączenia się z modułami); pola,\n"
        "które moduł zmienia sam, nie są wypisywane. Kod wyjścia 0, gdy nie ma różnic.\n",
        "       kavrel fleet config apply TEMPLATE.kvl --hosts FLEET.txt --fields KEYS|FILE [--values VALUES.csv]\n"
        "                           [--canary N] [--batch N|P%] [--stop-at P%] [--dry-run] [--yes] [--json]\n"
        "                           [--timeout MS] [--parallel N]\n"
        "       kavrel fleet config apply --resume RUN [--json]\n"
        "       kavrel fleet config drift TEMPLATE.kvl (--hosts FLEET.txt | --from-backups DIR [--hosts FLEET.txt])\n"
        "                           [--fields KEYS|FILE] [--values VALUES.csv] [--csv | --json] [--timeout MS]\n"
        "config apply: rolls a template out to the fleet's modules. Only the --fields are taken from the\n"
        "template (KEY,KEY,... or a file of keys; a family's stem, e.g. NUM, is all its elements); every\n"
        "other field keeps each module's own value (read just before the write). VALUES.csv\n"
        "(NAME;KEY;VALUE) gives modules values of their own for template fields. Every module is read and\n"
        "its changes are listed first (--dry-run stops there), then --canary modules are written, then the\n"
        "rest in batches of --batch (a number or a share of the fleet). Every write has its backup, journal\n"
        "(a cut one is finished by kavrel --tcp ADDRESS config resume), history record and verification. A\n"
        "stage whose failures reach --stop-at (default 10%) of it stops the roll-out; later modules are\n"
        "not touched. The run's state (the wdrozenia folder beside the backups) lets --resume RUN go on\n"
        "without writing a module already written. A module on another firmware than the template is\n"
        "listed and not written without --yes. --timeout: connect and reply limit, counted from each line\n"
        "sent (without it, Kavrel-Config's limits, which grow with the link's round trips);\n"
        "--parallel: modules written at once (default 4). Exits 0 only when every module was written and\n"
        "verified (or held the template already).\n"
        "config drift: a module x field table of differences from the template (with the modules' values),\n"
        "read from the modules or from the fleet service's latest backups (--from-backups DIR, contacting no\n"
        "module); fields the module changes by itself are never listed. Exits 0 when there are none.\n"};
    return text;
}

} // namespace kavrel::cli
