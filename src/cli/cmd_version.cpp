#include <cstdio>
#include <ostream>

#include "cli/commands.h"
#include "cli/json_output.h"
#include "link/handshake.h"

namespace kavrel::cli {

int runVersion(CliContext& context, std::span<const std::string> args) {
    const bool json = args.size() == 1 && args[0] == "--json";
    if (!args.empty() && !json) {
        context.err << "kavrel version: nieoczekiwany argument " << args.front() << "\n";
        return kExitUsage;
    }
    link::ModuleLink moduleLink(link::LinkVariant::configurator(), context.connection);
    if (!context.traceInto(moduleLink)) return kExitFailure;
    if (link::readModuleVersion(moduleLink, context.observer) != link::LinkResult::Ok) return kExitFailure;
    const std::string text(moduleLink.versionText());
    const link::FirmwareVersion version = link::parseVersion(text);
    // On serial the text carries the reply's CR and NUL as two trailing spaces.
    const std::string shown = toTerminal(text.substr(0, text.find_last_not_of(' ') + 1));
    if (json) {
        JsonObject object;
        object.add("version", shown)
            .add("versionCode", static_cast<int>(version.versionCode))
            .add("e", version.eFlag)
            .add("l", version.lFlag)
            .add("variant", version.variantLetter ? std::optional<std::string>(std::string(1, version.variantLetter))
                                                  : std::nullopt);
        context.out << object.text() << "\n";
        return kExitOk;
    }
    char line[96];
    std::snprintf(line, sizeof line, "versionCode=0x%02X E=%d L=%d variant=%c", version.versionCode,
                  version.eFlag ? 1 : 0, version.lFlag ? 1 : 0, version.variantLetter ? version.variantLetter : '-');
    context.out << shown << "\n" << line << "\n";
    return kExitOk;
}

} // namespace kavrel::cli
