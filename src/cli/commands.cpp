#include "cli/commands.h"

namespace kavrel::cli {

const std::vector<Command>& commands() {
    static const std::vector<Command> table = {
        {"version", "read the module's version text",
         "usage: kavrel [CONNECTION] version\n"
         "Opens the module, says HALT! and VER?, prints the version text and, on a second line,\n"
         "the version code in hex with the E, L and variant flags.\n",
         runVersion},
        {"monitor", "poll the live measurements and append them to the CSV log",
         "usage: kavrel [CONNECTION] monitor [--settings FILE.cfg] [--csv FILE] [--period MIN]\n"
         "                                  [--count N] [--interval-ms MS]\n"
         "Polls the module as Kavrel-Monitor does: DEBUG=0 and VER? first, then MSR? (and MSRX? when the\n"
         "module has extended lines) once per tick, one line per poll on stdout. The CSV log gets a header\n"
         "at the start and a row at the first answered poll and then once per record period; each tick\n"
         "counts as 5 seconds of that period.\n"
         "  --settings FILE.cfg  monitor settings file (default: KavrelM-DEFAULT.CFG when present)\n"
         "  --csv FILE           the CSV log (default: the settings' results file, test1.csv)\n"
         "  --period MIN         minutes between CSV rows instead of the settings' period (1..65535)\n"
         "  --count N            stop after N polls (default: poll until Ctrl-C)\n"
         "  --interval-ms MS     real wait between polls (default 5000)\n"
         "The connection option (or the saved connection) decides the port, not the settings file.\n"
         "Exits 1 when the module cannot be opened or no poll was answered.\n",
         runMonitor},
        {"config", "read, write, dump and compare module configurations (.kvl)", configUsage(), runConfig},
    };
    return table;
}

} // namespace kavrel::cli
