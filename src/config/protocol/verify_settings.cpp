#include "config/protocol/verify_settings.h"

#include <array>
#include <vector>

#include "common/win1250.h"
#include "config/protocol/command_lines.h"
#include "config/protocol/read_settings.h"
#include "config/protocol/queries.h"
#include "config/protocol/reply_parser.h"
#include "link/command_words.h"

namespace kavrel::config {
namespace {

using link::FirmwareVersion;

// 0 when equal; otherwise the 1-based position of the first differing character of a
// text (the comparison ends with the working text, so a longer read-back text is equal),
// or 1 for a number.
int difference(const SettingsImage& working, const SettingsImage& readBack, Field id, int number) {
    const auto w = working.element(id, number);
    const auto r = readBack.element(id, number);
    if (fieldInfo(id).kind != FieldKind::Text) return std::equal(w.begin(), w.end(), r.begin()) ? 0 : 1;
    for (std::size_t i = 0; i < w.size(); ++i) {
        if (w[i] == 0 || w[i] == 0xFF) return 0;
        if (w[i] != r[i]) return static_cast<int>(i) + 1;
    }
    return 0;
}

// ---- The comparison after "SET?".

struct Comparison {
    link::VersionTest applies = &FirmwareVersion::anyVersion;   // every firmware unless a row says
    std::array<Field, 3> fields;   // compared in this order for each number
    int fieldCount;
    int first = 0;                             // compared for each number first..last
    int last = 0;
    bool groupEndsAtFirstDifference = false;   // per-line groups: the first differing line ends it
};

constexpr Field kNone = Field::Pin;

constexpr std::array kSetComparisons = {
    Comparison{.fields = {Field::Pin}, .fieldCount = 1},
    Comparison{.fields = {Field::Num}, .fieldCount = 1, .last = 5},
    Comparison{.fields = {Field::Icfg, Field::Ulo, Field::Uhi}, .fieldCount = 3,
               .first = 1, .last = 8, .groupEndsAtFirstDifference = true},
    Comparison{.fields = {Field::Ocfg}, .fieldCount = 1,
               .first = 1, .last = 6, .groupEndsAtFirstDifference = true},
    Comparison{.fields = {Field::Trpt}, .fieldCount = 1},
    Comparison{.fields = {Field::Scfg}, .fieldCount = 1},
    Comparison{.fields = {Field::Hist1}, .fieldCount = 1},
    Comparison{.fields = {Field::Hist2}, .fieldCount = 1},
    Comparison{.fields = {Field::Rcfg1, Field::Clip1, Field::Ctrl1}, .fieldCount = 3},
    Comparison{.fields = {Field::Csdc, Field::Mcfg1}, .fieldCount = 2},
    Comparison{.applies = &FirmwareVersion::fromV25, .fields = {Field::Mcfg2}, .fieldCount = 1},
    Comparison{.applies = &FirmwareVersion::fromV17, .fields = {Field::Slim}, .fieldCount = 1},
    Comparison{.applies = &FirmwareVersion::fromV19, .fields = {Field::Logt}, .fieldCount = 1},
    Comparison{.applies = &FirmwareVersion::fromV22, .fields = {Field::Adel}, .fieldCount = 1,
               .first = 1, .last = 8, .groupEndsAtFirstDifference = true},
    Comparison{.applies = &FirmwareVersion::fromV20WithE, .fields = {Field::Rcfg2, Field::Slog, Field::Slgt},
               .fieldCount = 3},
    Comparison{.applies = &FirmwareVersion::fromV26, .fields = {Field::Atim, Field::Rcfg3, kNone}, .fieldCount = 2},
    Comparison{.applies = &FirmwareVersion::fromV26, .fields = {Field::Clip2, Field::Ctrl2, kNone}, .fieldCount = 2},
};

// ---- The blocks of texts and extended values after it.

enum class Mode {
    Resend,      // sent again, then the block starts over (at most three times)
    Note,        // sets the flag and the label, the block goes on
    FailAtOnce,  // sets the flag and the label, and the verification ends
};

struct Item {
    Field field;
    int number;
    Mode mode;
    int pauseBefore = 0;
    int pauseAfter = 0;
};

// The items a block compares once its reply is in: they may depend on that reply.
using ItemsFor = std::vector<Item> (*)(const SettingsImage& working, const SettingsImage& readBack,
                                       const FirmwareVersion& v);

struct Block {
    const char* haltBox;
    const char* haltStatus;
    int progressFirst;
    std::vector<Field> cleared;
    const char* query;
    const char* queryBox;
    const char* queryStatus;
    ItemsFor items;
};

void addRange(std::vector<Item>& items, Field id, int first, int last, Mode mode, int before, int after) {
    for (int n = first; n <= last; ++n) items.push_back({id, n, mode, before, after});
}

std::vector<Item> smsItems(const SettingsImage&, const SettingsImage&, const FirmwareVersion&) {
    std::vector<Item> items;
    addRange(items, Field::Sms, 0, 9, Mode::Resend, 200, 200);
    return items;
}

std::vector<Item> apnItems(const SettingsImage&, const SettingsImage&, const FirmwareVersion&) {
    std::vector<Item> items;
    addRange(items, Field::Apn, 0, 6, Mode::Resend, 200, 200);
    return items;
}

std::vector<Item> eadItems(const SettingsImage&, const SettingsImage&, const FirmwareVersion&) {
    std::vector<Item> items;
    addRange(items, Field::Ead, 0, 5, Mode::Resend, 200, 200);
    return items;
}

std::vector<Item> extendedItems(const SettingsImage&, const SettingsImage&, const FirmwareVersion& v) {
    std::vector<Item> items;
    for (int n = 1; n <= 17; ++n) {
        items.push_back({Field::Xms, n, Mode::Resend, 100, 200});
        items.push_back({Field::Xcfg, n, Mode::Resend, 100, 100});
    }
    items.push_back({Field::Sxml, 0, Mode::Resend, 100, 100});
    if (v.fromV28())
        for (const Field id : {Field::Xtyp1, Field::Xlo1, Field::Xhi1, Field::Xtyp9, Field::Xlo9, Field::Xhi9})
            items.push_back({id, 0, Mode::FailAtOnce});
    return items;
}

std::vector<Item> ecfgItems(const SettingsImage& working, const SettingsImage& readBack, const FirmwareVersion& v) {
    std::vector<Item> items;
    addRange(items, Field::NumExt, 6, 10, Mode::Note, 0, 0);
    if (v.fromV27()) {
        for (const Field id : {Field::Nuid, Field::Thtp, Field::Tgac, Field::Url2}) items.push_back({id, 0, Mode::Note});
        // The extension characters are compared only behind six matching characters.
        const bool sixMatched = working.text(Field::Url2).size() == 6 && difference(working, readBack, Field::Url2, 0) == 0;
        if (v.fromV36() && sixMatched)
            for (int n = 0; n < 2; ++n)
                if (working.byte(Field::Url2Ext, n) != 0) items.push_back({Field::Url2Ext, n, Mode::Note});
        if (httpNotificationsOn(working))
            for (const Field id : {Field::Url0, Field::Url1}) items.push_back({id, 0, Mode::Note});
    }
    for (int n = 1; n <= 8; ++n)
        for (const Field id : {Field::Ecfg, Field::Scla, Field::Sclb}) items.push_back({id, n, Mode::Resend, 100, 100});
    return items;
}

// The blocks the version and the working copy call for, in order.
std::vector<Block> blocksFor(const SettingsImage& working, const FirmwareVersion& v) {
    const char* const noHalt = "Błąd nawiązywania połączenia";
    std::vector<Block> blocks;
    blocks.push_back({"Brak odpowiedzi z modułu Kavrel (HALT 3)", noHalt, -1, {Field::Sms}, query::kSmsTexts,
                      "Brak odpowiedzi (SMS?)", "Błąd odczytu treści SMS", smsItems});
    if (v.fromV20WithE()) {
        blocks.push_back({"Brak odpowiedzi z modułu Kavrel (HALT 4)", noHalt, -1, {Field::Apn}, query::kMail,
                          "Brak odpowiedzi (APN?)", "Błąd odczytu treści APN", apnItems});
        blocks.push_back({"Brak odpowiedzi z modułu Kavrel (HALT 5)", noHalt, -1, {Field::Ead}, query::kMailAddresses,
                          "Brak odpowiedzi (EAD?)", "Błąd odczytu treści EAD", eadItems});
    }
    if (v.fromV25() && extendedLinesOn(working))
        blocks.push_back({"Brak odpowiedzi z modułu Kavrel (HALT 5)", noHalt, 70, {Field::Xms, Field::Xcfg, Field::Sxml},
                          query::kExtendedLines, "Brak odpowiedzi (XCFG?)", "Błąd odczytu XCFG", extendedItems});
    if (v.fromV26())
        blocks.push_back({"Brak odpowiedzi z modułu Kavrel (HALT 6)", "Błąd nawiązywania połączenia (6)", 70,
                          {Field::NumExt, Field::Ecfg, Field::Scla, Field::Sclb, Field::Cops}, query::kExtraNumbers,
                          "Brak odpowiedzi (ECFG?)", "Błąd odczytu ECFG?", ecfgItems});
    return blocks;
}

void clearFields(SettingsImage& image, const std::vector<Field>& fields) {
    for (const Field id : fields) {
        const FieldInfo& info = fieldInfo(id);
        for (int n = info.first; n <= info.last(); ++n) {
            auto element = image.element(id, n);
            std::fill(element.begin(), element.end(), std::uint8_t{0});
        }
    }
}

class Verifier {
public:
    Verifier(link::ModuleLink& link, const SettingsImage& working, SettingsImage& readBack, const FirmwareVersion& version,
             OperationObserver& observer, const Clock& clock)
        : link_(link), working_(working), readBack_(readBack), version_(version), observer_(observer), clock_(clock) {}

    VerifyOutcome run() {
        if (link_.sendCommand(link::command::kHalt) != link::LinkResult::Ok)
            return fail("Brak odpowiedzi z modułu Kavrel (HALT 2)", "Błąd nawiązywania połączenia",
                        configResult(link::LinkResult::Failed));
        observer_.progress(10);
        readBack_.setByte(Field::Atim, 0);
        // The read-back copy may still hold an earlier write's values: a reply without one
        // of the keys asked for must not leave them to be compared as if the module had sent them.
        if (const link::LinkResult r = link_.query(query::kSettings); r != link::LinkResult::Ok)
            return fail("Brak odpowiedzi z modułu Kavrel (SET?)", "Błąd odczytu ustawień modułu", configResult(r));
        SettingsImage parsed = readBack_;
        if ((parseReply(link_.receivedText(), parsed, version_) & kSetReplyKeys) == 0)
            return fail("Brak odpowiedzi z modułu Kavrel (SET?)", "Błąd odczytu ustawień modułu",
                        ConfigResult::NoSettingsInReply);
        readBack_ = parsed;
        observer_.progress(50);
        verified_ = true;
        compareSetReply();
        if (verified_) {
            for (const Block& block : blocksFor(working_, version_)) {
                bool endVerification = false;
                if (const link::LinkResult blockResult = runBlock(block, endVerification);
                    blockResult != link::LinkResult::Ok)
                    return {configResult(blockResult), label_};
                if (endVerification) return finish();
            }
            extraChecks();
        }
        return finish();
    }

private:
    void mismatch(const FieldInfo& info, int number, int position) {
        verified_ = false;
        label_ = fieldLabel(info, number, position);
    }

    // Returns whether the element differed.
    bool compare(Field id, int number) {
        const int position = difference(working_, readBack_, id, number);
        if (position) mismatch(fieldInfo(id), number, position);
        return position != 0;
    }

    void compareSetReply() {
        for (const Comparison& c : kSetComparisons) {
            if (!link::passes(version_, c.applies)) continue;
            for (int n = c.first; n <= c.last; ++n) {
                bool differed = false;
                for (int f = 0; f < c.fieldCount; ++f) differed = compare(c.fields[static_cast<std::size_t>(f)], n) || differed;
                if (differed && c.groupEndsAtFirstDifference) break;
            }
        }
    }

    link::LinkResult runBlock(const Block& block, bool& endVerification) {
        int retries = 0;
        for (;;) {
            if (block.progressFirst >= 0) observer_.progress(block.progressFirst);
            if (link_.sendCommand(link::command::kHalt) != link::LinkResult::Ok) {
                (void)fail(block.haltBox, block.haltStatus, configResult(link::LinkResult::Failed));  // the status is what counts here
                return link::LinkResult::Failed;
            }
            clearFields(readBack_, block.cleared);
            if (const link::LinkResult r = link_.query(block.query); r != link::LinkResult::Ok) {
                (void)fail(block.queryBox, block.queryStatus, configResult(r));  // the status is what counts here
                return r;
            }
            parseReply(link_.receivedText(), readBack_, version_);
            observer_.progress(100);
            verified_ = true;
            bool again = false;
            const std::vector<Item> items = block.items(working_, readBack_, version_);
            for (const Item& item : items) {
                const int position = difference(working_, readBack_, item.field, item.number);
                if (!position) continue;
                mismatch(fieldInfo(item.field), item.number, position);
                if (item.mode == Mode::Note) continue;
                if (item.mode == Mode::FailAtOnce || ++retries >= 4) {
                    endVerification = true;
                    return link::LinkResult::Ok;
                }
                clock_.sleep(item.pauseBefore);
                (void)link_.sendCommand(assignment(working_, item.field, item.number));  // its answer is not examined
                clock_.sleep(item.pauseAfter);
                again = true;
                break;
            }
            if (!again) return link::LinkResult::Ok;
        }
    }

    void extraChecks() {
        if (version_.hasOperatorChoice()) compare(Field::Cops, 0);
        if (version_.fromV36())
            for (int n = 1; n <= 3; ++n) compare(Field::Wkd, n);
    }

    VerifyOutcome finish() {
        if (verified_) {
            observer_.appendStatus(W(",\r\nweryfikacja OK"));
            return {ConfigResult::Ok, ""};
        }
        observer_.appendStatus(W(",\r\nweryfikacja niepoprawna!"));
        observer_.message(W("Błąd weryfikacji ") + label_, MessageIcon::Error);
        return {ConfigResult::VerificationFailed, label_};
    }

    VerifyOutcome fail(const char* box, const char* status, ConfigResult result) {
        observer_.message(W(box), MessageIcon::Warning);
        observer_.status(W(status));
        return {result, label_};
    }

    link::ModuleLink& link_;
    const SettingsImage& working_;
    SettingsImage& readBack_;
    const FirmwareVersion& version_;
    OperationObserver& observer_;
    const Clock& clock_;
    bool verified_ = false;
    std::string label_;
};

} // namespace

VerifyOutcome verifySettings(link::ModuleLink& link, const SettingsImage& working, SettingsImage& readBack,
                             const FirmwareVersion& version, OperationObserver& observer, const Clock& clock) {
    return Verifier(link, working, readBack, version, observer, clock).run();
}

} // namespace kavrel::config
