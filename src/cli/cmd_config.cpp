// kavrel config read|write|dump|diff: what Kavrel-Config does with a module and with
// settings files, for scripts.
#include <ostream>

#include "cli/commands.h"
#include "common/win1250.h"
#include "config/model/settings_dump.h"
#include "config/model/settings_file.h"
#include "config/protocol/read_settings.h"
#include "config/protocol/write_settings.h"

namespace kavrel::cli {
namespace {

int usage(CliContext& context, const std::string& problem) {
    context.err << "kavrel config: " << problem << "\n" << configUsage();
    return kExitUsage;
}

// Loads a settings file, saying so on stderr when it cannot.
bool load(CliContext& context, const std::string& path, config::SettingsImage& image) {
    if (config::loadSettingsFile(path, image) == config::FileResult::Ok) return true;
    context.err << toTerminal(W("Błąd otwarcia pliku do odczytu")) << ": " << path << "\n";
    return false;
}

int runRead(CliContext& context, std::span<const std::string> args) {
    std::string output, base;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if ((args[i] == "-o" || args[i] == "--base") && i + 1 < args.size()) {
            std::string& target = args[i] == "-o" ? output : base;
            target = args[++i];
        } else {
            return usage(context, "read: unexpected " + args[i]);
        }
    }
    if (output.empty()) return usage(context, "read needs -o FILE.kvl");
    config::SettingsImage image;
    if (!base.empty() && !load(context, base, image)) return kExitFailure;
    link::ModuleLink moduleLink(link::LinkVariant::configurator());
    context.configure(moduleLink);
    if (config::readSettings(moduleLink, context.comPort(), image, context.observer) != link::kLinkOk)
        return kExitFailure;  // the output file is left as it was
    return config::saveSettingsToFile(output, image, context.observer) == config::FileResult::Ok ? kExitOk : kExitFailure;
}

int runWrite(CliContext& context, std::span<const std::string> args) {
    std::string input;
    config::ServiceChoice choice;
    for (const auto& arg : args) {
        if (arg == "--rtc") choice.setClock = true;
        else if (arg == "--restart") choice.restart = true;
        else if (arg == "--reset-counters") choice.resetCounters = true;
        else if (arg == "--erase-log") choice.eraseLog = true;
        else if (input.empty() && arg.rfind("--", 0) != 0) input = arg;
        else return usage(context, "write: unexpected " + arg);
    }
    if (input.empty()) return usage(context, "write needs FILE.kvl");
    config::SettingsImage image;
    if (!load(context, input, image)) return kExitFailure;
    link::ModuleLink moduleLink(link::LinkVariant::configurator());
    context.configure(moduleLink);
    config::SettingsImage readBack;
    const int result = config::writeSettings(moduleLink, context.comPort(), image, readBack, choice, context.observer,
                                             {context.clock, sleepMs});
    return result == link::kLinkOk ? kExitOk : kExitFailure;
}

int runDump(CliContext& context, std::span<const std::string> args) {
    if (args.size() != 1) return usage(context, "dump needs one FILE.kvl");
    config::SettingsImage image;
    if (!load(context, args[0], image)) return kExitFailure;
    for (const auto& line : config::dumpLines(image)) context.out << line << "\n";
    return kExitOk;
}

// Exits as diff(1) does: 0 when the records are the same, 1 when they differ.
int runDiff(CliContext& context, std::span<const std::string> args) {
    if (args.size() != 2) return usage(context, "diff needs two files");
    config::SettingsImage a, b;
    if (!load(context, args[0], a) || !load(context, args[1], b)) return kExitUsage;
    const auto lines = config::diffLines(a, b);
    for (const auto& line : lines) context.out << line << "\n";
    return lines.empty() ? kExitOk : kExitFailure;
}

} // namespace

const char* configUsage() {
    return "usage: kavrel [CONNECTION] config read -o FILE.kvl [--base FILE.kvl]\n"
           "       kavrel [CONNECTION] config write FILE.kvl [--rtc] [--restart] [--reset-counters] [--erase-log]\n"
           "       kavrel config dump FILE.kvl\n"
           "       kavrel config diff A.kvl B.kvl\n"
           "read   reads the module's configuration into FILE.kvl; the record starts from the --base\n"
           "       file (else from zeros) and is overlaid by what the module reports.\n"
           "write  sends FILE.kvl, reads it back to verify it, then runs the chosen service actions;\n"
           "       exits 0 only when all of that succeeded.\n"
           "dump   prints every field of FILE.kvl, one KEY = value line each (texts as UTF-8).\n"
           "diff   prints the fields in which A and B differ with their verification labels;\n"
           "       exits 0 when they are the same, 1 when they differ.\n"
           "Status texts and progress go to stderr.\n";
}

int runConfig(CliContext& context, std::span<const std::string> args) {
    if (args.empty()) return usage(context, "which one: read, write, dump or diff?");
    struct Sub {
        const char* name;
        int (*run)(CliContext&, std::span<const std::string>);
    };
    static const Sub subs[] = {{"read", runRead}, {"write", runWrite}, {"dump", runDump}, {"diff", runDiff}};
    for (const auto& sub : subs)
        if (args[0] == sub.name) return sub.run(context, args.subspan(1));
    return usage(context, "unknown subcommand " + args[0]);
}

} // namespace kavrel::cli
