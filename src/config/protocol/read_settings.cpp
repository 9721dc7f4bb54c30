#include "config/protocol/read_settings.h"

#include <array>

#include "common/win1250.h"
#include "config/protocol/queries.h"
#include "config/protocol/reply_parser.h"
#include "link/command_words.h"
#include "link/handshake.h"

namespace kavrel::config {
namespace {

using link::FirmwareVersion;

struct ReadStep {
    link::VersionTest applies = &FirmwareVersion::anyVersion;   // every firmware unless a row says
    bool haltFirst = false;   // "HALT!" before the query, its answer not examined
    int progressBefore = -1;  // -1: none
    const char* query;
    FieldSet keys;            // what the reply is for: without one of them it counts as unanswered
    const char* noAnswerBox;
    const char* noAnswerStatus;
    int progressAfter = -1;   // -1: none
};

constexpr std::array kReadSteps = {
    ReadStep{.progressBefore = 30, .query = query::kSettings, .keys = kSetReplyKeys,
             .noAnswerBox = "Brak odpowiedzi", .noAnswerStatus = "Błąd odczytu ustawień modułu"},
    ReadStep{.progressBefore = 50, .query = query::kSmsTexts, .keys = kSmsReplyKeys,
             .noAnswerBox = "Brak odpowiedzi", .noAnswerStatus = "Błąd odczytu treści SMS"},
    ReadStep{.applies = &FirmwareVersion::hasMail, .haltFirst = true, .progressBefore = 60,
             .query = query::kMail, .keys = kApnReplyKeys,
             .noAnswerBox = "Brak odpowiedzi", .noAnswerStatus = "Błąd odczytu treści APN", .progressAfter = 70},
    ReadStep{.applies = &FirmwareVersion::hasMailAddresses, .query = query::kMailAddresses, .keys = kEadReplyKeys,
             .noAnswerBox = "Brak odpowiedzi", .noAnswerStatus = "Błąd odczytu treści EAD"},
    ReadStep{.applies = &FirmwareVersion::fromV25, .haltFirst = true, .progressBefore = 80,
             .query = query::kExtendedLines, .keys = kXcfgReplyKeys,
             .noAnswerBox = "Brak odpowiedzi", .noAnswerStatus = "Błąd odczytu XCFG"},
    ReadStep{.applies = &FirmwareVersion::fromV26, .progressBefore = 90,
             .query = query::kExtraNumbers, .keys = kEcfgReplyKeys,
             .noAnswerBox = "Brak odpowiedzi na ECFG", .noAnswerStatus = "Błąd odczytu ECFG"},
};

} // namespace

ConfigResult readSettings(link::ModuleLink& link, SettingsImage& image, OperationObserver& observer,
                          std::string* versionText) {
    FirmwareVersion version;
    if (const link::LinkResult opened =
            link::connectModule(link, link::HandshakePurpose::ReadSettings, observer, version);
        opened != link::LinkResult::Ok)
        return configResult(opened);
    if (versionText) *versionText = std::string(link.versionText());
    for (const ReadStep& step : kReadSteps) {
        if (!link::passes(version, step.applies)) continue;
        // Only stops the module's own output; the query after it is the answer that counts.
        if (step.haltFirst) (void)link.sendCommand(link::command::kHalt);
        if (step.progressBefore >= 0) observer.progress(step.progressBefore);
        // A reply that names none of the query's keys (noise, a foreign device) is no answer:
        // taken as one, it would report a record of zeros as the module's settings.
        ConfigResult r = configResult(link.query(step.query));
        if (r == ConfigResult::Ok) {
            SettingsImage parsed = image;
            if ((parseReply(link.receivedText(), parsed, version) & step.keys) != 0) image = parsed;
            else r = ConfigResult::NoSettingsInReply;
        }
        if (r != ConfigResult::Ok) {
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
    return ConfigResult::Ok;
}

} // namespace kavrel::config
