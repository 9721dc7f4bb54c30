#include "link/open_failure.h"

#include "common/win1250.h"

namespace kavrel::link {
namespace {

std::string numbered(const OpenFailure& failure) {
    return systemErrorText(failure.code) + W(" (błąd systemu nr ") + std::to_string(failure.code) + ")";
}

} // namespace

OpenFailure tcpLimitPassed(int lastSystemCode) {
    return lastSystemCode != 0 ? tcpConnectFailure(lastSystemCode) : OpenFailure{OpenFailureKind::TimedOut, 0};
}

std::string openFailureReason(const OpenFailure& failure, const std::string& where) {
    const std::string place = cp1250::fromUtf8(where);
    switch (failure.kind) {
    case OpenFailureKind::None: return "";
    case OpenFailureKind::NoDevice: return W("Nie ma urządzenia ") + place;
    case OpenFailureKind::NoPermission: return W("Brak uprawnień do ") + place + ": " + permissionRemedy();
    case OpenFailureKind::InUse: return W("Port ") + place + W(" jest zajęty przez inny program");
    case OpenFailureKind::NotSerial: return place + W(" nie jest portem szeregowym");
    case OpenFailureKind::BadAddress: return W("Niepoprawny adres ") + place + W(": podaj adres IP w postaci 192.168.2.1");
    case OpenFailureKind::Refused: return W("Pod adresem ") + place + W(" nikt nie przyjmuje połączeń: sprawdź numer portu TCP");
    case OpenFailureKind::Unreachable: return W("Adres ") + place + W(" jest nieosiągalny: sprawdź adres i sieć");
    case OpenFailureKind::TimedOut: return W("Brak odpowiedzi z ") + place + W(": sprawdź adres, sieć i zasilanie modułu");
    case OpenFailureKind::NameNotFound: return W("Nazwa ") + place + W(" nie ma adresu: sprawdź nazwę i serwer DNS");
    case OpenFailureKind::Other: return W("Nie można otworzyć ") + place + ": " + numbered(failure);
    }
    return "";
}

} // namespace kavrel::link
