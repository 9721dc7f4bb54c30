#include "cli/commands.h"

namespace kavrel::cli {

const std::vector<Command>& commands() {
    static const std::vector<Command> table = {
        {"version", "read the module's version text",
         "usage: kavrel [CONNECTION] version\n"
         "Opens the module, says HALT! and VER?, prints the version text and, on a second line,\n"
         "the version code in hex with the E, L and variant flags.\n",
         runVersion},
        {"logger", "the module's memory: status, download, clear, set-period",
         "usage: kavrel [CONNECTION] logger ACTION [--fixed-speed]\n"
         "  status                      the memory state as Kavrel-Logger shows it\n"
         "  download -o NAME [--comma]  the history into NAME.csv and the event log into name.html;\n"
         "                              line descriptions from Kavrel-Logger.dat/.cfg in the working\n"
         "                              folder; --comma keeps commas and decimal points\n"
         "  clear [--yes]               erase the memory (asks on the terminal unless --yes)\n"
         "  set-period MINUTES [--clock] set the logging period (0..255), with --clock also the\n"
         "                              module clock from this computer\n"
         "Every action connects and reads the status first. --fixed-speed keeps a serial link at\n"
         "9600 baud instead of switching to 115200.\n",
         runLogger},
    };
    return table;
}

} // namespace kavrel::cli
