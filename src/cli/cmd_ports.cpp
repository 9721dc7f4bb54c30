// kavrel ports (Linux): the serial ports of this computer with the COM numbers that open them,
// and the per-user COM number mapping the programs' port picker changes.
#include <cstdlib>
#include <optional>
#include <ostream>

#include "cli/commands.h"
#include "cli/json_output.h"
#include "cli/port_doctor_output.h"
#include "common/qt/qsettings_store.h"
#include "common/qt/qt_text.h"
#include "link/qt/serial_port_model.h"
#include "link/ports/port_access.h"
#include "link/ports/port_mapping.h"
#include "link/ports/stable_device_name.h"

namespace kavrel::cli {
namespace {

std::string field(const QString& text) { return text.isEmpty() ? std::string("-") : text.toStdString(); }

bool parseComNumber(const std::string& text, int& number) {
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    number = std::stoi(text);
    return number >= link::kFirstComNumber && number <= link::kLastComNumber;
}

int listPorts(CliContext& context, const SettingsStore& settings) {
    SerialPortModel ports(systemSerialPorts, &settings);
    for (int row = 0; row < ports.rowCount(); ++row) {
        const SerialPortEntry& port = ports.entry(row);
        context.out << field(port.device) << '\t' << field(comNumbersText(ports.comNumbers(row)).remove(QLatin1Char(' ')))
                    << '\t' << field(port.description) << '\t' << field(port.manufacturer) << '\t'
                    << field(port.serialNumber) << '\t' << field(port.usbId()) << '\t' << field(port.stableName)
                    << '\t' << field(QString::fromUtf8(link::portAccessMark(port.access))) << "\n";
    }
    return kExitOk;
}

const char* accessWord(link::PortAccess access) {
    switch (access) {
    case link::PortAccess::NoPermission: return "no-permission";
    case link::PortAccess::InUse: return "in-use";
    case link::PortAccess::Absent: return "absent";
    case link::PortAccess::Usable: break;
    }
    return "usable";
}

std::optional<std::string> jsonField(const QString& text) {
    return text.isEmpty() ? std::nullopt : std::optional<std::string>(text.toStdString());
}

// The same list for scripts: {"ports":[{...},...]}, unknown fields null.
int listPortsJson(CliContext& context, const SettingsStore& settings) {
    SerialPortModel ports(systemSerialPorts, &settings);
    std::string list = "[";
    for (int row = 0; row < ports.rowCount(); ++row) {
        const SerialPortEntry& port = ports.entry(row);
        std::string numbers = "[";
        for (const int number : ports.comNumbers(row)) numbers += (numbers.size() > 1 ? "," : "") + std::to_string(number);
        JsonObject object;
        object.add("device", port.device.toStdString())
            .addRaw("comNumbers", numbers + "]")
            .add("description", jsonField(port.description))
            .add("manufacturer", jsonField(port.manufacturer))
            .add("serialNumber", jsonField(port.serialNumber))
            .add("usbId", jsonField(port.usbId()))
            .add("stableName", jsonField(port.stableName))
            .add("access", std::string(accessWord(port.access)));
        list += (list.size() > 1 ? "," : "") + object.text();
    }
    context.out << JsonObject().addRaw("ports", list + "]").text() << "\n";
    return kExitOk;
}

int changeMapping(CliContext& context, SettingsStore& settings, int number, const std::string& device) {
    // An adapter is stored by the name that survives its replug, where it has one.
    const std::string stable = link::stableDeviceName(device, link::stableDeviceNames(link::serialByIdFolder()));
    const std::string stored = stable.empty() ? device : stable;
    if (!link::storeSerialDevicePath(settings, number, stored)) {
        context.err << "kavrel ports: ustawienia użytkownika nie przyjęły przypisania COM" << number << "\n";
        return kExitFailure;
    }
    const std::string variable = "KAVREL_COM" + std::to_string(number);
    if (const char* value = std::getenv(variable.c_str()); value && *value)
        context.err << "kavrel ports: uwaga: " << variable << "=" << value << " jest ustawione i ma pierwszeństwo przed przypisaniem\n";
    const std::string opened = link::serialDevicePath(number, &settings);
    context.out << "COM" << number << '\t' << opened << "\n";
    return kExitOk;
}

} // namespace

const HelpText& portsUsage() {
    static const HelpText text{
        "użycie: kavrel ports [--json | --doctor [--json] | --map N URZĄDZENIE | --unmap N]\n"
        "Wypisuje porty szeregowe tego komputera, po jednym w wierszu, z polami rozdzielonymi\n"
        "tabulatorem: urządzenie, numery COM, które je otwierają, opis, producent, numer seryjny,\n"
        "USB VID:PID, stała nazwa w /dev/serial/by-id, która przetrwa ponowne podłączenie, i znacznik,\n"
        "gdy ten użytkownik nie może otworzyć portu: \"brak uprawnień\" (dołącz do grupy dialout)\n"
        "albo \"zajęty przez inny program\" ('-', gdy nieznane albo brak).\n"
        "Urządzenia, do których przypisano numer COM, a których system nie wymienia (pseudoterminal\n"
        "symulatora, odłączony adapter), następują po znalezionych portach.\n"
        "  --json                lista jako jeden obiekt JSON: \"ports\", tablica obiektów z polami\n"
        "                        \"device\", \"comNumbers\" (tablica liczb), \"description\",\n"
        "                        \"manufacturer\", \"serialNumber\", \"usbId\", \"stableName\" (null,\n"
        "                        gdy nieznane) i \"access\" (usable, no-permission, in-use, absent)\n"
        "  --doctor [--json]     diagnoza adapterów USB: sterownik przypisany, wersje sterowników znane\n"
        "                        z problemów, czasomierz opóźnienia FTDI, grupa urządzenia, program,\n"
        "                        który trzyma port (ModemManager), z tym, co zrobić\n"
        "  --map N URZĄDZENIE    COM N otwiera odtąd URZĄDZENIE, w kavrel i w programach Kavrel\n"
        "                        (wartość COMN w Software\\Ostrevan\\Kavrel\\Porty ustawień użytkownika,\n"
        "                        tak jak zapisuje ją wybór portu w programach); adapter ze stałą nazwą\n"
        "                        jest zapisywany pod tą nazwą\n"
        "  --unmap N             COM N znów otwiera swoje domyślne urządzenie /dev/ttyS<N-1>\n"
        "Zmienna środowiska KAVREL_COMN ma pierwszeństwo przed przypisaniem; KAVREL_SERIAL_BY_ID\n"
        "wskazuje inny folder stałych nazw.\n",
        "usage: kavrel ports [--json | --doctor [--json] | --map N DEVICE | --unmap N]\n"
           "Lists the serial ports of this computer, one a line, with tab-separated fields: device,\n"
           "the COM numbers that open it, description, manufacturer, serial number, USB VID:PID,\n"
           "the stable name under /dev/serial/by-id that survives a replug, and a mark when this\n"
           "user cannot open the port: \"brak uprawnień\" (not allowed: join the group dialout) or\n"
           "\"zajęty przez inny program\" (held by another program) ('-' when unknown or none).\n"
           "Devices that a COM number is mapped to but that the system does not list (a\n"
           "simulator's pseudo-terminal, an unplugged adapter) follow the ports found.\n"
           "  --json           the list as one JSON object: \"ports\", an array of objects with\n"
           "                   \"device\", \"comNumbers\" (an array of numbers), \"description\",\n"
           "                   \"manufacturer\", \"serialNumber\", \"usbId\", \"stableName\" (null\n"
           "                   when unknown) and \"access\" (usable, no-permission, in-use, absent)\n"
           "  --doctor [--json] the USB adapters diagnosed: driver bound, driver versions known to\n"
           "                   fail, the FTDI latency timer, the device's group, a program holding\n"
           "                   the port (ModemManager), each with what to do\n"
           "  --map N DEVICE   COM N opens DEVICE from now on, in kavrel and in the Kavrel programs\n"
           "                   (the value COMN under Software\\Ostrevan\\Kavrel\\Porty of the user's\n"
           "                   settings, as the programs' port picker stores it); an adapter with a\n"
           "                   stable name is stored by that name\n"
           "  --unmap N        COM N opens its default device /dev/ttyS<N-1> again\n"
           "The environment variable KAVREL_COMN wins over a mapping; KAVREL_SERIAL_BY_ID names another\n"
           "folder of stable names.\n"};
    return text;
}

int runPorts(CliContext& context, std::span<const std::string> args) {
    QSettingsStore platformSettings;
    SettingsStore& settings = context.settings ? *context.settings : platformSettings;
    if (args.empty()) return listPorts(context, settings);
    if (args.size() == 1 && args[0] == "--json") return listPortsJson(context, settings);
    if (args[0] == "--doctor" && (args.size() == 1 || (args.size() == 2 && args[1] == "--json")))
        return printPortDoctor(context, link::diagnose(link::gatherPortFacts()), args.size() == 2);
    const bool map = args[0] == "--map";
    const std::size_t expected = map ? 3 : 2;
    int number = 0;
    if ((!map && args[0] != "--unmap") || args.size() != expected || !parseComNumber(args[1], number) ||
        (map && args[2].empty())) {
        context.err << helpText(portsUsage());
        return kExitUsage;
    }
    return changeMapping(context, settings, number, map ? args[2] : std::string());
}

} // namespace kavrel::cli
