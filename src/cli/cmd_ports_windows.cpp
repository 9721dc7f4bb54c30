// kavrel ports on Windows: the COM ports present, as the programs' port picker lists them.
// COM n is the port COMn itself, so there is no mapping to change.
#include <cstdio>
#include <ostream>

#include "cli/commands.h"
#include "cli/port_doctor_output.h"
#include "link/ports/serial_port_info.h"

namespace kavrel::cli {
namespace {

std::string field(const std::string& text) { return text.empty() ? std::string("-") : text; }

std::string usbId(const link::SerialPortInfo& port) {
    if (!port.vendorId || !port.productId) return {};
    char text[10];
    std::snprintf(text, sizeof(text), "%04x:%04x", unsigned{*port.vendorId}, unsigned{*port.productId});
    return text;
}

} // namespace

const HelpText& portsUsage() {
    static const HelpText text{
        "użycie: kavrel ports [--doctor [--json]]\n"
        "Wypisuje porty COM tego komputera, po jednym w wierszu, z polami rozdzielonymi tabulatorem:\n"
        "port, numer COM, który go otwiera, opis (jak w Menedżerze urządzeń), producent, numer seryjny\n"
        "i USB VID:PID ('-', gdy nieznane). W Windows COM N to sam port COMN: podaj pokazany numer\n"
        "w --com, w Kavrel-Config i w pozostałych programach.\n"
        "  --doctor [--json]  diagnoza portów i adapterów: sterownik (brak, wyłączony, odrzucony: kod\n"
        "                     problemu z Menedżera urządzeń), dostawca i wersja sterownika (wersje\n"
        "                     znane z problemów), czasomierz opóźnienia FTDI, numery COM powyżej 255,\n"
        "                     z tym, co zrobić\n",
        "usage: kavrel ports [--doctor [--json]]\n"
           "Lists the COM ports of this computer, one a line, with tab-separated fields: port, the COM\n"
           "number that opens it, description (as Device Manager shows it), manufacturer, serial\n"
           "number and USB VID:PID ('-' when unknown). On Windows COM N is the port COMN itself:\n"
           "use the number shown with --com, in Kavrel-Config and in the other programs.\n"
           "  --doctor [--json]  the ports and adapters diagnosed: driver (missing, disabled, refused:\n"
           "                     Device Manager's problem code), driver provider and version (versions\n"
           "                     known to fail), the FTDI latency timer, COM numbers above 255, each\n"
           "                     with what to do\n"};
    return text;
}

int runPorts(CliContext& context, std::span<const std::string> args) {
    if (!args.empty() && args[0] == "--doctor" && (args.size() == 1 || (args.size() == 2 && args[1] == "--json")))
        return printPortDoctor(context, link::diagnose(link::gatherPortFacts()), args.size() == 2);
    if (!args.empty()) {
        if (args[0] == "--map" || args[0] == "--unmap")
            context.err << "kavrel ports: w Windows COM N to sam port COMN; nie ma czego przypisywać\n";
        context.err << helpText(portsUsage());
        return kExitUsage;
    }
    for (const link::SerialPortInfo& port : link::listSerialPorts())
        context.out << port.device << '\t' << port.device << '\t' << field(port.description) << '\t'
                    << field(port.manufacturer) << '\t' << field(port.serialNumber) << '\t' << field(usbId(port))
                    << "\n";
    return kExitOk;
}

} // namespace kavrel::cli
