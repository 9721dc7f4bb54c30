// kavrel: the command-line tool for the Kavrel module.
#include <cstdio>
#include <iostream>
#include <memory>
#include <vector>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>

#include "common/win32/console.h"
#include "common/win32/registry_store.h"
#else
#include <QCoreApplication>
#include <QGuiApplication>
#include <arpa/inet.h>
#include <netdb.h>

#include "common/qt/qsettings_store.h"
#endif

#include "cli/commands.h"
#include "link/connection_settings.h"
#include "link/serial_device.h"

namespace {

using namespace kavrel;
using namespace kavrel::cli;

void printUsage(std::ostream& out) {
    out << "usage: kavrel [CONNECTION] COMMAND [ARGS...]\n"
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
           "\nCOMMANDS:\n";
    for (const auto& command : commands()) {
        std::string name = command.name;
        out << "  " << name << std::string(name.size() < 20 ? 20 - name.size() : 1, ' ') << command.summary << "\n";
    }
    out << "\n'kavrel COMMAND --help' describes a command.\n";
}

// HOST may be a name; the link takes dotted IPv4.
bool resolveHost(const std::string& host, std::string& dotted) {
#ifdef _WIN32
    // The resolver needs Winsock started; the link starts its own for each connection.
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
    struct Cleanup {
        ~Cleanup() { ::WSACleanup(); }
    } cleanup;
#endif
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return false;
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr, text, sizeof text);
    ::freeaddrinfo(found);
    dotted = text;
    return true;
}

bool parsePositive(const std::string& text, int maximum, int& value) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    value = std::stoi(text);
    return value >= 1 && value <= maximum;
}

} // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    (void)argc;
    (void)argv;
    win32::useUtf8Console();
    const std::vector<std::string> args = win32::utf8Arguments();
    RegistryStore userSettings;   // HKEY_CURRENT_USER, shared with the windows
#else
    const std::vector<std::string> args(argv + 1, argv + argc);
    // QSettings (the configurator's saved connection) needs an application; drawing pages
    // for a PDF needs fonts, which a GUI application on the offscreen platform provides
    // without a display.
    std::unique_ptr<QCoreApplication> application;
    if (drawsPages(args)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        application = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    QSettingsStore userSettings;
#endif

    ConnectionChoice connection;
    bool chosen = false;
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            printUsage(std::cout);
            return kExitOk;
        }
        if (arg.rfind("--", 0) != 0) break;
        if (arg == "--gap-timing") {
            connection.gapTiming = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            std::cerr << "kavrel: " << arg << " needs a value\n";
            return kExitUsage;
        }
        const std::string& value = args[++i];
        if (arg == "--tcp") {
            const auto colon = value.rfind(':');
            const std::string host = value.substr(0, colon);
            connection.tcp = true;
            connection.tcpPort = 23;
            if (colon != std::string::npos && !parsePositive(value.substr(colon + 1), 65535, connection.tcpPort)) {
                std::cerr << "kavrel: bad TCP port in " << value << "\n";
                return kExitUsage;
            }
            if (!resolveHost(host, connection.address)) {
                std::cerr << "kavrel: unknown host " << host << "\n";
                return kExitUsage;
            }
        } else if (arg == "--com") {
            connection.tcp = false;
            if (!parsePositive(value, 255, connection.comPort)) {
                std::cerr << "kavrel: --com expects a port number 1..255\n";
                return kExitUsage;
            }
        } else if (arg == "--device") {
            connection.tcp = false;
            connection.devicePath = value;
        } else {
            std::cerr << "kavrel: unknown option " << arg << "\n";
            printUsage(std::cerr);
            return kExitUsage;
        }
        chosen = true;
    }
    if (i >= args.size()) {
        printUsage(std::cerr);
        return kExitUsage;
    }

    if (!chosen) {
        const link::ConnectionSettings saved = link::loadConnectionSettings(userSettings);
        connection.tcp = saved.tcpMode;
        connection.address = saved.moduleAddress;
        connection.tcpPort = static_cast<int>(saved.tcpPort);
        connection.comPort = static_cast<int>(saved.comPort);
    }
    if (link::loadSerialTiming(userSettings) == link::SerialTiming::Gap) connection.gapTiming = true;
    if (!connection.tcp && connection.devicePath.empty())
        connection.devicePath = link::serialDevicePath(connection.comPort, &userSettings);

    const std::string name = args[i];
    const std::vector<std::string> rest(args.begin() + static_cast<long>(i) + 1, args.end());
    for (const auto& command : commands()) {
        if (name != command.name) continue;
        if (!rest.empty() && (rest[0] == "--help" || rest[0] == "-h")) {
            std::cout << command.usage;
            return kExitOk;
        }
        TerminalObserver observer(std::cerr, isTerminal(stderr));
        CliContext context{connection, std::cout, std::cerr, observer, {}};
        return command.run(context, rest);
    }
    std::cerr << "kavrel: unknown command " << name << "\n";
    printUsage(std::cerr);
    return kExitUsage;
}
