#include "cli/commands.h"

#include <algorithm>

namespace kavrel::cli {

const std::vector<Command>& commands() {
    static const std::vector<Command> table = {
        {"version", "read the module's version text",
         "usage: kavrel [CONNECTION] version [--json]\n"
         "Opens the module, says HALT! and VER?, prints the version text and, on a second line,\n"
         "the version code in hex with the E, L and variant flags.\n"
         "  --json   one JSON object instead: \"version\" (the text), \"versionCode\" (a number,\n"
         "           54 for V3.6), \"e\" and \"l\" (true or false), \"variant\" (a letter or null)\n"
         "The tool's own version is 'kavrel --version'.\n",
         runVersion},
        {"ping", "time the module's answers to VER? (a slow or unsteady link)",
         "usage: kavrel [CONNECTION] ping [--count N]\n"
         "Opens the module and says VER? N times (default 5), one after the other, printing each\n"
         "round trip and then their minimum, median and maximum in milliseconds.\n"
         "Exits 1 when the module cannot be opened or a VER? went unanswered.\n",
         runPing},
        {"monitor", "poll the live measurements and append them to the CSV log",
         "usage: kavrel [CONNECTION] monitor [--settings FILE.cfg] [--csv FILE] [--period MIN]\n"
         "                                  [--count N] [--interval-ms MS] [--no-reconnect]\n"
         "Polls the module as Kavrel-Monitor does: DEBUG=0 and VER? first, then MSR? (and MSRX? when the\n"
         "module has extended lines) once per tick, one line per poll on stdout. The CSV log gets a header\n"
         "at the start and a row at the first answered poll and then once per record period; each tick\n"
         "counts as 5 seconds of that period.\n"
         "  --settings FILE.cfg  monitor settings file (default: KavrelM-DEFAULT.CFG when present)\n"
         "  --csv FILE           the CSV log (default: the settings' results file, test1.csv)\n"
         "  --period MIN         minutes between CSV rows instead of the settings' period (1..65535)\n"
         "  --count N            stop after N polls (default: poll until Ctrl-C)\n"
         "  --interval-ms MS     real wait between polls (default 5000)\n"
         "  --no-reconnect       a connection that goes away (an adapter unplugged, a TCP peer\n"
         "                       restarted) stays lost; by default each later poll first opens it\n"
         "                       again (DEBUG=0, VER?) until the module answers\n"
         "The connection option (or the saved connection) decides the port, not the settings file.\n"
         "Exits 1 when the module cannot be opened or no poll was answered.\n",
         runMonitor},
        {"config", "read, write, dump and compare module configurations (.kvl)", configUsage(), runConfig},
        {"logger", "the module's memory: status, download, print, chart, clear, set-period, archive",
         "usage: kavrel [CONNECTION] logger ACTION [--fixed-speed]\n"
         "  status [--json]             the memory state as Kavrel-Logger shows it; --json prints one\n"
         "                              JSON object: \"version\" (\"V3.6\"), \"storedRecords\",\n"
         "                              \"recordCapacity\", \"fillPercent\", \"loggingPeriodMinutes\",\n"
         "                              \"memoryHours\" (numbers), \"clock\" (\"2026-12-08 14:05:09\"),\n"
         "                              \"loggingEnabled\", \"cyclicBuffer\", \"extendedLines\" (true/false)\n"
         "  download -o NAME [--comma]  the history into NAME.csv and the event log into name.html;\n"
         "                              line descriptions from Kavrel-Logger.dat/.cfg in the working\n"
         "                              folder; --comma keeps commas and decimal points\n"
         "  print --pdf FILE [--period P] the history of a recent period as Kavrel-Logger prints it,\n"
         "                              into a PDF file; P: 0 day, 1 week, 2 month (default),\n"
         "                              3 quarter, 4 year, 5 the whole memory; columns move apart\n"
         "                              and shrink to the page unless --fixed-columns;\n"
         "                              --archive ARCHIVE.db [--name NAME] prints the archive's\n"
         "                              history instead, with no module\n"
         "                              --segment N: tylko ten segment archiwum (numery podaje\n"
         "                              archive status), gdy pod jedną nazwą są dwa moduły\n"
         "  chart HISTORY.csv -o FILE.png [--lines L1,T2,...] [--from YYYY-MM-DD] [--to YYYY-MM-DD]\n"
         "        [--size WxH]          the history chart of a history file (from download) as a PNG\n"
         "                              picture, or a PDF page when FILE ends in .pdf; --lines takes\n"
         "                              column headings without their unit (default: the lines\n"
         "                              whose values vary, at most eight; the error for a name not\n"
         "                              there lists every line); needs no module;\n"
         "                              --archive ARCHIVE.db [--name NAME] instead of HISTORY.csv\n"
         "                              draws the archive's history\n"
         "                              --segment N: tylko ten segment archiwum (numery podaje\n"
         "                              archive status), gdy pod jedną nazwą są dwa moduły\n"
         "  clear [--yes]               erase the memory (asks on the terminal unless --yes)\n"
         "  clear --archived ARCHIVE.db [--name NAME] [--yes]\n"
         "                              download what is new into the archive, then erase the memory\n"
         "                              only if the archive holds every record and none was added\n"
         "  archive update ARCHIVE.db [--name NAME]\n"
         "                              download only the records the archive does not hold (goes on\n"
         "                              after a cut); prints records fetched, holes and time\n"
         "  archive export ARCHIVE.db -o NAME [--comma] [--from DATE] [--to DATE] [--name NAME]\n"
         "                [--segment N]  NAME.csv and name.html from the archive, as a download writes\n"
         "                              them; DATE is YYYY-MM-DD (inclusive); no module needed\n"
         "  archive status ARCHIVE.db [--name NAME]\n"
         "                              modules, segments, record ranges and holes of the archive\n"
         "  set-period MINUTES [--clock] set the logging period (0..255), with --clock also the\n"
         "                              module clock from this computer\n"
         "Every action but archive export and status connects and reads the status first.\n"
         "--fixed-speed keeps a serial link at 9600 baud instead of switching to 115200.\n"
         "Exit status: 0 done, 1 failed, 2 usage error, 3 (archive update, clear --archived)\n"
         "records were archived, but the module had overwritten some before (\"Utracone rekordy\").\n",
         runLogger},
#ifdef KAVREL_CLI_PORTS
        {"ports", "list the serial ports and map COM numbers to devices", portsUsage(), runPorts},
#endif
#ifdef KAVREL_CLI_FLEET
        {"fleet", "poll many modules at once over TCP into SQLite and MQTT", fleetUsage(), runFleet},
#endif
    };
    return table;
}

bool drawsPages(std::span<const std::string> args) {
    const auto logger = std::find(args.begin(), args.end(), "logger");
    return logger != args.end() && logger + 1 != args.end() && (logger[1] == "print" || logger[1] == "chart");
}

} // namespace kavrel::cli
