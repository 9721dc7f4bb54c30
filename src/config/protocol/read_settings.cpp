#include "config/protocol/read_settings.h"

#include <array>

#include "common/win1250.h"
#include "config/protocol/reply_parser.h"
#include "link/handshake.h"

namespace kavrel::config {
namespace {

using link::FirmwareVersion;

bool always(const FirmwareVersion&) { return true; }
bool hasMail(const FirmwareVersion& v) { return (v.versionCode >= link::kV20 && v.eFlag) || v.versionCode >= link::kV27; }
bool hasMailAddresses(const FirmwareVersion& v) { return hasMail(v) && v.eFlag; }
bool hasExtendedLines(const FirmwareVersion& v) { return v.versionCode >= link::kV25; }
bool hasExtraNumbers(const FirmwareVersion& v) { return v.versionCode >= link::kV26; }

struct ReadStep {
    bool (*applies)(const FirmwareVersion&);
    bool haltFirst;        // "HALT!" before the query, its answer not examined
    int progressBefore;    // -1: none
    const char* query;
    FieldSet keys;         // what the reply is for: without one of them it counts as unanswered
    const char* noAnswerBox;
    const char* noAnswerStatus;
    int progressAfter;     // -1: none
};

constexpr std::array kReadSteps = {
    ReadStep{always, false, 30, "SET?", kSetReplyKeys, "Brak odpowiedzi", "Błąd odczytu ustawień modułu", -1},
    ReadStep{always, false, 50, "SMS?", kSmsReplyKeys, "Brak odpowiedzi", "Błąd odczytu treści SMS", -1},
    ReadStep{hasMail, true, 60, "APN?", kApnReplyKeys, "Brak odpowiedzi", "Błąd odczytu treści APN", 70},
    ReadStep{hasMailAddresses, false, -1, "EAD?", kEadReplyKeys, "Brak odpowiedzi", "Błąd odczytu treści EAD", -1},
    ReadStep{hasExtendedLines, true, 80, "XCFG?", kXcfgReplyKeys, "Brak odpowiedzi", "Błąd odczytu XCFG", -1},
    ReadStep{hasExtraNumbers, false, 90, "ECFG?", kEcfgReplyKeys, "Brak odpowiedzi na ECFG", "Błąd odczytu ECFG", -1},
};

} // namespace

int readSettings(link::ModuleLink& link, int comPort, SettingsImage& image, OperationObserver& observer) {
    FirmwareVersion version;
    if (const int opened = link::connectModule(link, comPort, link::HandshakePurpose::ReadSettings, observer, version);
        opened != link::kLinkOk)
        return opened;
    for (const ReadStep& step : kReadSteps) {
        if (!step.applies(version)) continue;
        if (step.haltFirst) link.sendCommand("HALT!");
        if (step.progressBefore >= 0) observer.progress(step.progressBefore);
        // A reply that names none of the query's keys (noise, a foreign device) is no answer:
        // taken as one, it would report a record of zeros as the module's settings.
        int r = link.query(step.query);
        if (r == link::kLinkOk) {
            SettingsImage parsed = image;
            if ((parseReply(link.receivedText(), parsed, version) & step.keys) != 0) image = parsed;
            else r = kNoSettingsInReply;
        }
        if (r != link::kLinkOk) {
            observer.message(W(step.noAnswerBox), MessageIcon::Warning);
            observer.status(W(step.noAnswerStatus));
            link::disconnectModule(link);
            return r;
        }
        if (step.progressAfter >= 0) observer.progress(step.progressAfter);
    }
    observer.progress(100);
    observer.status(W("Ustawienia modułu odczytane"));
    link::disconnectModule(link);
    return link::kLinkOk;
}

} // namespace kavrel::config
