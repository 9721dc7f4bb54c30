#include "link/handshake.h"

#include "common/win1250.h"
#include "link/command_words.h"

namespace kavrel::link {
namespace {

constexpr int kLoggerReopenPauseMs = 100;   // a port just closed is given time before it opens again

std::string portText(const Connection& connection) { return W("Błąd otwarcia portu ") + connection.portName() + " !"; }

// The logger's text names no port number; a device named by its path is named.
std::string loggerPortText(const Connection& connection) {
    return W("Błąd otwarcia portu ") + (connection.namedByPath() ? connection.device() : std::string("COM")) + "!";
}

struct HandshakeTexts {
    const char* noHaltAnswer;
    const char* noVersionAnswer;
    int progressAfterHalt;
};

HandshakeTexts textsFor(HandshakePurpose purpose) {
    if (purpose == HandshakePurpose::ReadSettings) return {"Brak odpowiedzi", "Brak odpowiedzi", 10};
    return {"Brak odpowiedzi z modułu Kavrel", "Brak odpowiedzi (VER)", 1};
}

void startOperation(OperationObserver& observer) {
    observer.version("");
    observer.status("");
    observer.progress(0);
}

void fail(OperationObserver& observer, const std::string& box, const std::string& status, MessageIcon icon) {
    observer.message(box, icon);
    observer.status(status);
}

// Opens the link for the configurator or the monitor. Time-outs refused by the serial
// driver are reported and the port is used as the driver left it.
LinkResult openLink(ModuleLink& link, OperationObserver& observer) {
    const LinkResult opened = link.open();
    if (opened == LinkResult::Ok && link.timeoutsRefused()) observer.message(W("Błąd wpisu timeouts !"), MessageIcon::None);
    return opened;
}

// The configurator's opening: a failure is shown in the box and as the status.
LinkResult openReporting(ModuleLink& link, OperationObserver& observer) {
    const LinkResult opened = openLink(link, observer);
    if (opened != LinkResult::Ok) {
        const std::string text = openFailureText(link);
        reportOpenFailure(link, observer, text, MessageIcon::Warning);
        observer.status(text);
    }
    return opened;
}

} // namespace

void reportOpenFailure(const ModuleLink& link, OperationObserver& observer, const std::string& box, MessageIcon icon) {
    observer.message(box, icon);
    if (const std::string reason = link.openFailureReason(); !reason.empty()) observer.messageDetail(reason);
}

std::string openFailureText(const ModuleLink& link) {
    return link.isSerial() ? portText(link.connection()) : W("Brak połączenia przez sieć LAN (TCP/IP)!");
}

LinkResult connectModule(ModuleLink& link, HandshakePurpose purpose, OperationObserver& observer,
                         FirmwareVersion& version) {
    const HandshakeTexts texts = textsFor(purpose);
    startOperation(observer);
    if (const LinkResult opened = openReporting(link, observer); opened != LinkResult::Ok) return opened;
    // The first two lines only wake the module and end a debug output; the third "HALT!" is the
    // one that must be answered.
    (void)link.sendCommand(command::kHalt);
    (void)link.sendCommand(command::kDebugOff);
    if (const LinkResult r = link.sendCommand(command::kHalt); r != LinkResult::Ok) {
        fail(observer, W(texts.noHaltAnswer), W("Błąd nawiązywania połączenia"), MessageIcon::Warning);
        link.close();
        return r;
    }
    observer.progress(texts.progressAfterHalt);
    if (const LinkResult r = link.sendCommand(command::kVersion); r != LinkResult::Ok) {
        fail(observer, W(texts.noVersionAnswer), W("Błąd odczytu wersji"), MessageIcon::Warning);
        link.close();
        return r;
    }
    const std::string text(link.versionText());
    observer.version(text);
    version = parseVersion(text);
    return LinkResult::Ok;
}

void disconnectModule(ModuleLink& link) { link.close(); }

LinkResult readModuleVersion(ModuleLink& link, OperationObserver& observer) {
    startOperation(observer);
    if (const LinkResult opened = openReporting(link, observer); opened != LinkResult::Ok) return opened;
    LinkResult result = link.sendCommand(command::kHalt);
    if (result != LinkResult::Ok) {
        fail(observer, W("Brak odpowiedzi z modułu Kavrel"), W("Błąd nawiązywania połączenia"), MessageIcon::Warning);
    } else {
        observer.progress(50);
        result = link.sendCommand(command::kVersion);
        if (result != LinkResult::Ok) {
            fail(observer, W("Brak odpowiedzi z modułu Kavrel"), W("Błąd odczytu wersji"), MessageIcon::Warning);
        } else {
            observer.version(std::string(link.versionText()));
            observer.progress(100);
            observer.status(W("Wersja modułu odczytana"));
        }
    }
    link.close();
    return result;
}

LinkResult openMonitorLink(ModuleLink& link, OperationObserver& observer) {
    if (const LinkResult opened = openLink(link, observer); opened != LinkResult::Ok) {
        reportOpenFailure(link, observer, link.isSerial() ? portText(link.connection()) : W("Błąd połączenia TCP/IP !"), MessageIcon::Error);
        return opened;
    }
    // Only ends a debug output; the "VER?" after it is the answer that counts.
    (void)link.sendCommand(command::kDebugOff);
    if (const LinkResult r = link.sendCommand(command::kVersion); r != LinkResult::Ok) {
        fail(observer, W("Brak odpowiedzi z Kavrel"), W("Brak komunikacji z modułem Kavrel"), MessageIcon::Error);
        link.close();
        return r;
    }
    observer.version(std::string(link.versionText()));
    observer.status(W("Wersja: ") + std::string(link.versionText()));
    return LinkResult::Ok;
}

LinkResult openLoggerLink(ModuleLink& link, bool fastSpeed, OperationObserver& observer) {
    if (link.isOpen()) {
        link.close();
        link.clock().sleep(kLoggerReopenPauseMs);
    }
    if (const LinkResult opened = link.open(fastSpeed); opened != LinkResult::Ok) {
        reportOpenFailure(link, observer,
                   link.isSerial() ? loggerPortText(link.connection()) : W("Brak połączenia przez sieć LAN (TCP/IP)!"),
                   MessageIcon::Error);
        return opened;
    }
    link.queryFixed(command::kHaltDebugOff, 4);
    return LinkResult::Ok;
}

} // namespace kavrel::link
