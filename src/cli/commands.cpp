#include "cli/commands.h"

#include <algorithm>

namespace kavrel::cli {

const std::vector<Command>& commands() {
    static const std::vector<Command> table = {
        {"version",
         {"tekst wersji modułu", "read the module's version text"},
         {"użycie: kavrel [POŁĄCZENIE] version [--json]\n"
          "Otwiera moduł, wysyła HALT! i VER?, wypisuje tekst wersji, a w drugim wierszu kod wersji\n"
          "szesnastkowo z flagami E, L i wariantem.\n"
          "  --json   zamiast tego jeden obiekt JSON: \"version\" (tekst), \"versionCode\" (liczba,\n"
          "           54 dla V3.6), \"e\" i \"l\" (true albo false), \"variant\" (litera albo null)\n"
          "Wersję samego narzędzia podaje 'kavrel --version'.\n",
          "usage: kavrel [CONNECTION] version [--json]\n"
          "Opens the module, says HALT! and VER?, prints the version text and, on a second line,\n"
          "the version code in hex with the E, L and variant flags.\n"
          "  --json   one JSON object instead: \"version\" (the text), \"versionCode\" (a number,\n"
          "           54 for V3.6), \"e\" and \"l\" (true or false), \"variant\" (a letter or null)\n"
          "The tool's own version is 'kavrel --version'.\n"},
         runVersion},
        {"ping",
         {"czasy odpowiedzi modułu na VER? (łącze wolne albo niestabilne)",
          "time the module's answers to VER? (a slow or unsteady link)"},
         {"użycie: kavrel [POŁĄCZENIE] ping [--count N]\n"
          "Otwiera moduł i wysyła VER? N razy (domyślnie 5), jedno po drugim; wypisuje czas każdej\n"
          "odpowiedzi, a na końcu najkrótszy, medianę i najdłuższy, w milisekundach.\n"
          "Kod wyjścia 1, gdy modułu nie da się otworzyć albo VER? zostało bez odpowiedzi.\n",
          "usage: kavrel [CONNECTION] ping [--count N]\n"
          "Opens the module and says VER? N times (default 5), one after the other, printing each\n"
          "round trip and then their minimum, median and maximum in milliseconds.\n"
          "Exits 1 when the module cannot be opened or a VER? went unanswered.\n"},
         runPing},
        {"monitor",
         {"odczyt bieżących pomiarów i zapis do dziennika CSV",
          "poll the live measurements and append them to the CSV log"},
         {"użycie: kavrel [POŁĄCZENIE] monitor [--settings PLIK.cfg] [--csv PLIK] [--period MIN]\n"
          "                                   [--count N] [--interval-ms MS] [--no-reconnect]\n"
          "Odpytuje moduł jak Kavrel-Monitor: najpierw DEBUG=0 i VER?, potem w każdym takcie MSR?\n"
          "(i MSRX?, gdy moduł ma linie rozszerzone), jeden wiersz na odczyt na standardowym wyjściu.\n"
          "Dziennik CSV dostaje nagłówek na początku, wiersz przy pierwszym udanym odczycie, a potem co\n"
          "okres zapisu; każdy takt liczy się jako 5 sekund tego okresu.\n"
          "  --settings PLIK.cfg  plik ustawień monitora (domyślnie KavrelM-DEFAULT.CFG, gdy jest)\n"
          "  --csv PLIK           dziennik CSV (domyślnie plik wyników z ustawień, test1.csv, tylko\n"
          "                       gdy jest samą nazwą pliku: zapisywany w folderze roboczym)\n"
          "  --period MIN         minuty między wierszami CSV zamiast okresu z ustawień (1..65535)\n"
          "  --count N            koniec po N odczytach (domyślnie: do Ctrl-C)\n"
          "  --interval-ms MS     rzeczywista przerwa między odczytami (domyślnie 5000)\n"
          "  --no-reconnect       utracone połączenie (odłączony adapter, restart drugiej strony TCP)\n"
          "                       pozostaje utracone; domyślnie każdy następny odczyt najpierw otwiera\n"
          "                       je ponownie (DEBUG=0, VER?), aż moduł odpowie\n"
          "O porcie decyduje opcja połączenia (albo zapisane połączenie), nie plik ustawień.\n"
          "Kod wyjścia 1, gdy modułu nie da się otworzyć albo żaden odczyt nie dostał odpowiedzi.\n",
          "usage: kavrel [CONNECTION] monitor [--settings FILE.cfg] [--csv FILE] [--period MIN]\n"
          "                                  [--count N] [--interval-ms MS] [--no-reconnect]\n"
          "Polls the module as Kavrel-Monitor does: DEBUG=0 and VER? first, then MSR? (and MSRX? when the\n"
          "module has extended lines) once per tick, one line per poll on stdout. The CSV log gets a header\n"
          "at the start and a row at the first answered poll and then once per record period; each tick\n"
          "counts as 5 seconds of that period.\n"
          "  --settings FILE.cfg  monitor settings file (default: KavrelM-DEFAULT.CFG when present)\n"
          "  --csv FILE           the CSV log (default: the settings' results file, test1.csv, only\n"
          "                       when it is a bare file name: written in the working folder)\n"
          "  --period MIN         minutes between CSV rows instead of the settings' period (1..65535)\n"
          "  --count N            stop after N polls (default: poll until Ctrl-C)\n"
          "  --interval-ms MS     real wait between polls (default 5000)\n"
          "  --no-reconnect       a connection that goes away (an adapter unplugged, a TCP peer\n"
          "                       restarted) stays lost; by default each later poll first opens it\n"
          "                       again (DEBUG=0, VER?) until the module answers\n"
          "The connection option (or the saved connection) decides the port, not the settings file.\n"
          "Exits 1 when the module cannot be opened or no poll was answered.\n"},
         runMonitor},
        {"config",
         {"odczyt, zapis, wypisanie i porównanie konfiguracji modułu (.kvl)",
          "read, write, dump and compare module configurations (.kvl)"},
         configUsage(), runConfig},
        {"logger",
         {"pamięć modułu: stan, odczyt, wydruk, wykres, kasowanie, okres, archiwum",
          "the module's memory: status, download, print, chart, clear, set-period, archive"},
         {"użycie: kavrel [POŁĄCZENIE] logger DZIAŁANIE [--fixed-speed]\n"
          "  status [--json]             stan pamięci, jak pokazuje go Kavrel-Logger; --json wypisuje\n"
          "                              jeden obiekt JSON: \"version\" (\"V3.6\"), \"storedRecords\",\n"
          "                              \"recordCapacity\", \"fillPercent\", \"loggingPeriodMinutes\",\n"
          "                              \"memoryHours\" (liczby), \"clock\" (\"2026-12-08 14:05:09\"),\n"
          "                              \"loggingEnabled\", \"cyclicBuffer\", \"extendedLines\" (true/false)\n"
          "  download -o NAZWA [--comma] historia do NAZWA.csv, dziennik zdarzeń do nazwa.html; opisy\n"
          "                              linii z Kavrel-Logger.dat/.cfg w bieżącym folderze; --comma\n"
          "                              zostawia przecinki i kropki dziesiętne; --format F (niżej)\n"
          "  print --pdf PLIK [--period P] historia ostatniego okresu, jak drukuje ją Kavrel-Logger,\n"
          "                              do pliku PDF; P: 0 dzień, 1 tydzień, 2 miesiąc (domyślnie),\n"
          "                              3 kwartał, 4 rok, 5 cała pamięć; kolumny rozsuwają się\n"
          "                              i zwężają do strony, chyba że --fixed-columns;\n"
          "                              --archive ARCHIWUM.db [--name NAZWA] drukuje zamiast tego\n"
          "                              historię z archiwum, bez modułu\n"
          "                              --segment N: tylko ten segment archiwum (numery podaje\n"
          "                              archive status), gdy pod jedną nazwą są dwa moduły\n"
          "  chart HISTORIA.csv -o PLIK.png [--lines L1,T2,...] [--from RRRR-MM-DD] [--to RRRR-MM-DD]\n"
          "        [--size SxW]          wykres historii z pliku historii (z download) jako obraz PNG\n"
          "                              albo strona PDF, gdy PLIK kończy się na .pdf; --lines bierze\n"
          "                              nagłówki kolumn bez jednostki (domyślnie: linie, których\n"
          "                              wartości się zmieniają, najwyżej osiem; błąd dla nazwy, której\n"
          "                              nie ma, wymienia wszystkie linie); nie potrzebuje modułu;\n"
          "                              --archive ARCHIWUM.db [--name NAZWA] zamiast HISTORIA.csv\n"
          "                              rysuje historię z archiwum\n"
          "                              --segment N: tylko ten segment archiwum (numery podaje\n"
          "                              archive status), gdy pod jedną nazwą są dwa moduły\n"
          "  clear [--yes]               kasuje pamięć (pyta w terminalu, chyba że --yes)\n"
          "  clear --archived ARCHIWUM.db [--name NAZWA] [--yes]\n"
          "                              dopisuje do archiwum to, co nowe, a potem kasuje pamięć tylko\n"
          "                              wtedy, gdy archiwum ma każdy rekord i żaden nie przybył\n"
          "  archive update ARCHIWUM.db [--name NAZWA]\n"
          "                              pobiera tylko rekordy, których archiwum nie ma (po przerwaniu\n"
          "                              wznawia); wypisuje pobrane rekordy, dziury i czas\n"
          "  archive export ARCHIWUM.db -o NAZWA [--comma] [--from DATA] [--to DATA] [--name NAZWA]\n"
          "                [--segment N]  NAZWA.csv i nazwa.html z archiwum, tak jak zapisuje je\n"
          "                [--format F]   download; DATA to RRRR-MM-DD (włącznie); bez modułu\n"
          "  archive import PLIK.csv --archive ARCHIWUM.db\n"
          "                              wczytuje eksport kvl-csv jako nowy segment archiwum (te same\n"
          "                              rekordy i dziury); ten sam plik nie wchodzi dwa razy\n"
          "  archive status ARCHIWUM.db [--name NAZWA]\n"
          "                              moduły, segmenty, zakresy rekordów i dziury archiwum\n"
          "  set-period MINUTY [--clock]  okres logowania (0..255), z --clock także zegar modułu\n"
          "                              według tego komputera\n"
          "Formaty (--format): csv (domyślny) historia CSV i dziennik HTML; kvl-csv jeden plik\n"
          "NAZWA.csv w UTF-8 z czterema wierszami nagłówka (format i wersja, moduł, oprogramowanie,\n"
          "narzędzie, okres; nazwy pól; jednostki; rodzaj kolumny: reading, state, counter, event),\n"
          "wiersz na każdy rekord pamięci z jego numerem, czasem ISO 8601 z przesunięciem od UTC\n"
          "i ramką, utracone numery jako wiersze \"luka\"; archive import czyta go z powrotem.\n"
          "lp: NAZWA.lp, line protocol bazy szeregów czasowych: kavrel_pomiar (punkt na linię, tagi\n"
          "modul, linia, nazwa, jednostka, pole wartosc), kavrel_stan, kavrel_rozszerzone,\n"
          "kavrel_zdarzenie (kod, nazwa, p1..p3, tekst), w każdym nr i poprawny, czas rekordu w ns;\n"
          "jsonl: NAZWA.jsonl, obiekt JSON na rekord z tymi samymi nazwami. Rekord bez czasu pomija.\n"
          "Dialekty historii CSV (--dialect, tylko csv): original (domyślny) jak dotąd, Windows-1250;\n"
          "rfc4180 UTF-8, przecinki i kropki dziesiętne, cudzysłowy tam, gdzie trzeba; excel UTF-8\n"
          "ze znacznikiem BOM, średniki i przecinki dziesiętne (polski i niemiecki arkusz).\n"
          "Każde działanie oprócz archive export, import i status łączy się z modułem i najpierw\n"
          "czyta stan.\n"
          "--fixed-speed zostawia łącze szeregowe na 9600 bodów zamiast przełączać na 115200.\n"
          "Kod wyjścia: 0 wykonane, 1 błąd, 2 błędny wiersz poleceń, 3 (archive update, clear\n"
          "--archived) rekordy zarchiwizowano, ale moduł nadpisał wcześniej część z nich\n"
          "(\"Utracone rekordy\").\n",
          "usage: kavrel [CONNECTION] logger ACTION [--fixed-speed]\n"
          "  status [--json]             the memory state as Kavrel-Logger shows it; --json prints one\n"
          "                              JSON object: \"version\" (\"V3.6\"), \"storedRecords\",\n"
          "                              \"recordCapacity\", \"fillPercent\", \"loggingPeriodMinutes\",\n"
          "                              \"memoryHours\" (numbers), \"clock\" (\"2026-12-08 14:05:09\"),\n"
          "                              \"loggingEnabled\", \"cyclicBuffer\", \"extendedLines\" (true/false)\n"
          "  download -o NAME [--comma]  the history into NAME.csv and the event log into name.html;\n"
          "                              line descriptions from Kavrel-Logger.dat/.cfg in the working\n"
          "                              folder; --comma keeps commas and decimal points; --format F\n"
          "  print --pdf FILE [--period P] the history of a recent period as Kavrel-Logger prints it,\n"
          "                              into a PDF file; P: 0 day, 1 week, 2 month (default),\n"
          "                              3 quarter, 4 year, 5 the whole memory; columns move apart\n"
          "                              and shrink to the page unless --fixed-columns;\n"
          "                              --archive ARCHIVE.db [--name NAME] prints the archive's\n"
          "                              history instead, with no module\n"
          "                              --segment N: only this archive segment (archive status\n"
          "                              lists them), when two modules share a name\n"
          "  chart HISTORY.csv -o FILE.png [--lines L1,T2,...] [--from YYYY-MM-DD] [--to YYYY-MM-DD]\n"
          "        [--size WxH]          the history chart of a history file (from download) as a PNG\n"
          "                              picture, or a PDF page when FILE ends in .pdf; --lines takes\n"
          "                              column headings without their unit (default: the lines\n"
          "                              whose values vary, at most eight; the error for a name not\n"
          "                              there lists every line); needs no module;\n"
          "                              --archive ARCHIVE.db [--name NAME] instead of HISTORY.csv\n"
          "                              draws the archive's history\n"
          "                              --segment N: only this archive segment (archive status\n"
          "                              lists them), when two modules share a name\n"
          "  clear [--yes]               erase the memory (asks on the terminal unless --yes)\n"
          "  clear --archived ARCHIVE.db [--name NAME] [--yes]\n"
          "                              download what is new into the archive, then erase the memory\n"
          "                              only if the archive holds every record and none was added\n"
          "  archive update ARCHIVE.db [--name NAME]\n"
          "                              download only the records the archive does not hold (goes on\n"
          "                              after a cut); prints records fetched, holes and time\n"
          "  archive export ARCHIVE.db -o NAME [--comma] [--from DATE] [--to DATE] [--name NAME]\n"
          "                [--segment N]  NAME.csv and name.html from the archive, as a download writes\n"
          "                [--format F]   them; DATE is YYYY-MM-DD (inclusive); no module needed\n"
          "  archive import FILE.csv --archive ARCHIVE.db\n"
          "                              read a kvl-csv export back as a new archive segment (the same\n"
          "                              records and holes); the same file does not go in twice\n"
          "  archive status ARCHIVE.db [--name NAME]\n"
          "                              modules, segments, record ranges and holes of the archive\n"
          "  set-period MINUTES [--clock] set the logging period (0..255), with --clock also the\n"
          "                              module clock from this computer\n"
          "Formats (--format): csv (default) the history CSV and the event log HTML; kvl-csv one\n"
          "UTF-8 file NAME.csv with four header lines (format and version, module, firmware, tool,\n"
          "period; field names; units; each column's kind: reading, state, counter, event), a row\n"
          "per memory record with its number, an ISO 8601 time with its UTC offset and its frame,\n"
          "lost numbers as \"luka\" rows; archive import reads it back.\n"
          "lp: NAME.lp, time-series line protocol: kavrel_pomiar (a point per line, tags modul,\n"
          "linia, nazwa, jednostka, field wartosc), kavrel_stan, kavrel_rozszerzone, kavrel_zdarzenie\n"
          "(kod, nazwa, p1..p3, tekst), each with nr and poprawny, the record's time in ns; jsonl:\n"
          "NAME.jsonl, a JSON object per record with the same names. A record without a time is left out.\n"
          "History CSV dialects (--dialect, csv only): original (default) as ever, Windows-1250;\n"
          "rfc4180 UTF-8, commas and decimal points, quoted where needed; excel UTF-8 with a byte\n"
          "order mark, semicolons and decimal commas (Polish and German spreadsheets).\n"
          "Every action but archive export, import and status connects and reads the status first.\n"
          "--fixed-speed keeps a serial link at 9600 baud instead of switching to 115200.\n"
          "Exit status: 0 done, 1 failed, 2 usage error, 3 (archive update, clear --archived)\n"
          "records were archived, but the module had overwritten some before (\"Utracone rekordy\").\n"},
         runLogger},
#ifdef KAVREL_CLI_PORTS
        {"ports",
         {"porty szeregowe i przypisanie numerów COM do urządzeń",
          "list the serial ports and map COM numbers to devices"},
         portsUsage(), runPorts},
#endif
#ifdef KAVREL_CLI_FLEET
        {"fleet",
         {"odczyt wielu modułów naraz przez TCP do SQLite i MQTT",
          "poll many modules at once over TCP into SQLite and MQTT"},
         fleetUsage(), runFleet},
#endif
    };
    return table;
}

bool drawsPages(std::span<const std::string> args) {
    const auto logger = std::find(args.begin(), args.end(), "logger");
    return logger != args.end() && logger + 1 != args.end() && (logger[1] == "print" || logger[1] == "chart");
}

} // namespace kavrel::cli
