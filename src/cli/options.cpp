#include "cli/options.h"

#include <algorithm>
#include <ostream>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#endif

#include "common/win1250.h"
#include "link/connection_settings.h"
#include "link/ports/serial_device.h"

namespace kavrel::cli {
namespace {

bool parsePositive(const std::string& text, int maximum, int& value) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    value = std::stoi(text);
    return value >= 1 && value <= maximum;
}

CommandLine usageError(std::string error, bool showUsage = false) {
    CommandLine line;
    line.action = CommandLine::Action::UsageError;
    line.error = std::move(error);
    line.showUsage = showUsage;
    return line;
}

// Applies one option that takes a value; an error text, or "" when it was accepted.
std::string applyOption(CommandLine& line, const std::string& option, const std::string& value,
                        const HostResolver& resolve) {
    ConnectionChoice& connection = line.connection;
    if (option == "--tcp") {
        const auto colon = value.rfind(':');
        const std::string host = value.substr(0, colon);
        connection.tcp = true;
        connection.tcpPort = 23;
        if (colon != std::string::npos && !parsePositive(value.substr(colon + 1), 65535, connection.tcpPort))
            return "kavrel: błędny port TCP w " + value + "\n";
        const std::optional<std::string> address = resolve(host);
        if (!address) return "kavrel: nieznany host " + host + "\n";
        connection.address = *address;
    } else if (option == "--com") {
        connection.tcp = false;
        if (!parsePositive(value, 255, connection.comPort)) return "kavrel: --com oczekuje numeru portu 1..255\n";
    } else {  // --device
        connection.tcp = false;
        connection.devicePath = value;
    }
    return "";
}

const Command* findCommand(const std::string& name) {
    for (const auto& command : commands())
        if (name == command.name) return &command;
    return nullptr;
}

bool isHelp(const std::string& arg) { return arg == "--help" || arg == "-h"; }

bool isConnectionOption(const std::string& arg) {
    return arg == "--tcp" || arg == "--com" || arg == "--device" || arg == "--gap-timing";
}

// "--name=value" as the two words "--name" "value", so that both spellings work for the
// tool's options and the commands' alike.
std::vector<std::string> splitAssignments(std::span<const std::string> args) {
    std::vector<std::string> words;
    for (const std::string& arg : args) {
        const auto equals = arg.find('=');
        if (arg.size() > 2 && arg.rfind("--", 0) == 0 && equals != std::string::npos && equals > 2) {
            words.push_back(arg.substr(0, equals));
            words.push_back(arg.substr(equals + 1));
        } else {
            words.push_back(arg);
        }
    }
    return words;
}

} // namespace

std::optional<std::string> resolveHost(const std::string& host) {
#ifdef _WIN32
    // The resolver needs Winsock started; the link starts its own for each connection.
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) return std::nullopt;
    struct Cleanup {
        ~Cleanup() { ::WSACleanup(); }
    } cleanup;
#endif
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return std::nullopt;
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr, text, sizeof text);
    ::freeaddrinfo(found);
    return std::string(text);
}

CommandLine parseCommandLine(std::span<const std::string> givenArgs, const HostResolver& resolve) {
    const std::vector<std::string> args = splitAssignments(givenArgs);
    CommandLine line;
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (isHelp(arg)) {
            line.action = CommandLine::Action::Help;
            return line;
        }
        if (arg == "--version" || arg == "-V") {
            line.action = CommandLine::Action::Version;
            return line;
        }
        if (arg.rfind("--", 0) != 0) break;  // the command
        if (arg == "--gap-timing") {
            line.connection.gapTiming = true;
            continue;
        }
        // Every other option takes a value, even one this tool does not know.
        if (i + 1 >= args.size()) return usageError("kavrel: " + arg + " wymaga wartości\n");
        const std::string& value = args[++i];
        if (arg == "--trace") {
            line.traceFile = value;
            continue;
        }
        if (arg != "--tcp" && arg != "--com" && arg != "--device")
            return usageError("kavrel: nieznana opcja " + arg + "\n", true);
        if (std::string error = applyOption(line, arg, value, resolve); !error.empty()) return usageError(std::move(error));
        line.connectionChosen = true;
    }
    if (i >= args.size()) return usageError("", true);

    line.command = findCommand(args[i]);
    if (!line.command) return usageError("kavrel: nieznane polecenie " + args[i] + "\n", true);
    line.commandArgs.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
    // "--help" after the command, its subcommand or any of its arguments asks for its usage.
    if (std::any_of(line.commandArgs.begin(), line.commandArgs.end(), isHelp)) {
        line.action = CommandLine::Action::CommandHelp;
        return line;
    }
    if (std::find(line.commandArgs.begin(), line.commandArgs.end(), "--trace") != line.commandArgs.end())
        return usageError("kavrel: --trace jest opcją narzędzia: podaj ją przed poleceniem, na przykład\n"
                          "  kavrel --trace FILE ... " + std::string(line.command->name) + " ...\n");
    const auto misplaced = std::find_if(line.commandArgs.begin(), line.commandArgs.end(), isConnectionOption);
    if (misplaced != line.commandArgs.end())
        return usageError("kavrel: " + *misplaced + " jest opcją połączenia: podaj ją przed poleceniem, na przykład\n"
                          "  kavrel " + *misplaced + (*misplaced == "--gap-timing" ? "" : " ...") + " " +
                          line.command->name + " ...\n");
    return line;
}

link::Connection completeConnection(const CommandLine& line, SettingsStore& userSettings) {
    ConnectionChoice chosen = line.connection;
    if (!line.connectionChosen) {
        const link::ConnectionSettings saved = link::loadConnectionSettings(userSettings);
        chosen.tcp = saved.useTcp;
        chosen.address = saved.moduleAddress;
        chosen.tcpPort = static_cast<int>(saved.tcpPort);
        chosen.comPort = saved.comPort;
    }
    const bool gap = chosen.gapTiming || link::loadSerialTiming(userSettings) == link::SerialTiming::Gap;
    const link::SerialTiming timing = gap ? link::SerialTiming::Gap : link::SerialTiming::Fast;
    if (chosen.tcp) return link::Connection::tcp(chosen.address, static_cast<std::uint32_t>(chosen.tcpPort), timing);
    if (!chosen.devicePath.empty()) return link::Connection::serialDevice(chosen.devicePath, chosen.comPort, timing);
    return link::Connection::serialPort(chosen.comPort, link::serialDevicePath(chosen.comPort, &userSettings), timing);
}

void printVersion(std::ostream& out) { out << "kavrel " << KAVREL_TOOL_VERSION << "\n"; }

// The tool's options, in Polish and in English.
const HelpText kToolOptions{
    "użycie: kavrel [POŁĄCZENIE] POLECENIE [ARGUMENTY...]\n"
    "\nPOŁĄCZENIE (bez niego używane jest połączenie zapisane przez Kavrel-Config):\n"
    "  --tcp HOST[:PORT]   moduł przez TCP/IP (domyślnie port 23)\n"
#ifdef _WIN32
    "  --com N             port szeregowy COMn\n"
#else
    "  --com N             port szeregowy COMn (KAVREL_COMn, urządzenie, do którego przypisał go\n"
    "                      'kavrel ports', albo /dev/ttyS<n-1>)\n"
#endif
    "  --device ŚCIEŻKA    urządzenie szeregowe według ścieżki\n"
    "  --gap-timing        każda odpowiedź łącza szeregowego kończy się po 500 ms przerwy, nie na\n"
    "                      znaczniku końca (dla konwertera albo modułu, który źle znosi tryb szybki)\n"
    "\nPRZEBIEG TRANSMISJI:\n"
    "  --trace PLIK        zapisuje do PLIKU każdą linię wysłaną do modułu i każdą odpowiedź\n"
    "                      (UTF-8, milisekundy od otwarcia połączenia, '>' wysłane, '<' odebrane;\n"
    "                      '-' na standardowe wyjście błędów; tylko zwykły plik). KAVREL_TRACE=PLIK\n"
    "                      robi to samo w każdym programie, dopisując.\n"
    "\nPOLECENIA:\n",
    "usage: kavrel [CONNECTION] COMMAND [ARGS...]\n"
    "\nCONNECTION (without one, the connection saved by Kavrel-Config is used):\n"
    "  --tcp HOST[:PORT]   the module over TCP/IP (port 23 by default)\n"
#ifdef _WIN32
    "  --com N             serial port COMn\n"
#else
    "  --com N             serial port COMn (KAVREL_COMn, the device 'kavrel ports' maps\n"
    "                      it to, or /dev/ttyS<n-1>)\n"
#endif
    "  --device PATH       a serial device by its path\n"
    "  --gap-timing        end every serial reply at a 500 ms pause, not at its end mark\n"
    "                      (for a converter or module that misbehaves with the fast mode)\n"
    "\nTRACE:\n"
    "  --trace FILE        write every line sent to the module and every reply to FILE\n"
    "                      (UTF-8, milliseconds since each connection, '>' sent, '<' received;\n"
    "                      '-' for stderr; a regular file only). KAVREL_TRACE=FILE does the same\n"
    "                      for every program, appending.\n"
    "\nCOMMANDS:\n"};

const HelpText kToolEnding{
    "\nOpcje przyjmują wartość jako następne słowo albo po '=' (--tcp=HOST:PORT).\n"
    "'kavrel POLECENIE --help' opisuje polecenie; 'kavrel --version' (-V) wypisuje wersję narzędzia.\n",
    "\nOptions take their value as the next word or after '=' (--tcp=HOST:PORT).\n"
    "'kavrel COMMAND --help' describes a command; 'kavrel --version' (-V) prints the tool's version.\n"};

void printUsage(std::ostream& out) {
    out << helpText(kToolOptions);
    for (const auto& command : commands()) {
        std::string name = command.name;
        out << "  " << name << std::string(name.size() < 20 ? 20 - name.size() : 1, ' ') << helpText(command.summary)
            << "\n";
    }
    out << helpText(kToolEnding);
}

} // namespace kavrel::cli
