#include "cli/commands.h"

namespace kavrel::cli {

const std::vector<Command>& commands() {
    static const std::vector<Command> table = {
        {"version", "read the module's version text",
         "usage: kavrel [CONNECTION] version\n"
         "Opens the module, says HALT! and VER?, prints the version text and, on a second line,\n"
         "the version code in hex with the E, L and variant flags.\n",
         runVersion},
        {"config", "read, write, dump and compare module configurations (.kvl)", configUsage(), runConfig},
    };
    return table;
}

} // namespace kavrel::cli
