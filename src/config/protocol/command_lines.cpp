#include "config/protocol/command_lines.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "common/win1250.h"
#include "link/command_words.h"

namespace kavrel::config {
namespace {

using link::FirmwareVersion;

std::string join(std::initializer_list<std::string> parts) {
    std::string line;
    for (const auto& part : parts) line += (line.empty() ? "" : " ") + part;
    return line;
}

std::string joinRange(const SettingsImage& s, Field id, int from, int to) {
    std::string line;
    for (int n = from; n <= to; ++n) line += (line.empty() ? "" : " ") + assignment(s, id, n);
    return line;
}

// "RCFG=1,2,3": one key whose values are the one-byte fields given, in order.
std::string valueList(const SettingsImage& s, std::initializer_list<Field> fields) {
    std::string line = std::string(fieldInfo(*fields.begin()).key) + "=";
    bool first = true;
    for (const Field id : fields) {
        line += (first ? "" : ",") + std::to_string(s.byte(id));
        first = false;
    }
    return line;
}

// "RPTHR=000,128,007", "ALMD=001,002": the three bytes of an hour mask, or every element of
// a numbered byte field, three digits each.
std::string threeDigitList(const SettingsImage& s, Field id) {
    const FieldInfo& info = fieldInfo(id);
    std::string line = std::string(info.key) + "=";
    char item[8];
    auto add = [&](std::uint8_t value) {
        std::snprintf(item, sizeof item, line.back() == '=' ? "%03d" : ",%03d", value);
        line += item;
    };
    if (info.kind == FieldKind::HourMask)
        for (std::size_t i = 0; i < 3; ++i) add(s.element(id)[i]);
    else
        for (int n = info.first; n <= info.last(); ++n) add(s.byte(id, n));
    return line;
}

std::string withNumber(const char* format, int n) {
    if (!std::strstr(format, "%d")) return W(format);
    char text[160];
    std::snprintf(text, sizeof text, format, n);
    return W(text);
}

using Format = std::string (*)(const SettingsImage&, const FirmwareVersion&, int n);
// A feature the settings switch on: its lines are sent only then.
using SwitchedOn = bool (*)(const SettingsImage&);

int apnLast(const FirmwareVersion& v) { return v.eFlag ? 6 : 2; }

struct Row {
    link::VersionTest applies = &FirmwareVersion::anyVersion;   // every firmware unless a row says
    SwitchedOn onlyIf = nullptr;  // nullptr: whatever the settings
    int first = 0;          // the line is sent for n = first..last
    int last = 0;
    Format format;
    const char* box = nullptr;  // UTF-8, "%d" takes n; nullptr: a "HALT!" whose answer is not examined
    const char* status = nullptr;
    int progressBase = -1;  // progress after the line: base + step * n
    int progressStep = 0;
    bool secondTry = false;
    int progressBefore = -1;
    int (*lastOf)(const FirmwareVersion&) = nullptr;
};

std::string halt(const SettingsImage&, const FirmwareVersion&, int) { return std::string(link::command::kHalt); }

#define KAVREL_NO_ANSWER "Brak odpowiedzi z modułu Kavrel "

const std::array kRows = {
    Row{.format = [](const SettingsImage& s, const FirmwareVersion&, int) {
            return join({assignment(s, Field::Pin), assignment(s, Field::Num, 0), assignment(s, Field::Num, 1)});
        },
        .box = "Brak odpowiedzi (PIN)", .status = "Błąd zapisu ustawień (1)", .progressBase = 10},
    Row{.format = [](const SettingsImage& s, const FirmwareVersion&, int) { return joinRange(s, Field::Num, 2, 3); },
        .box = "Brak odpowiedzi (NUM2)", .status = "Błąd zapisu ustawień (2)", .progressBase = 20},
    Row{.format = [](const SettingsImage& s, const FirmwareVersion&, int) { return joinRange(s, Field::Num, 4, 5); },
        .box = "Brak odpowiedzi (NUM 4)", .status = "Błąd zapisu ustawień (3)", .progressBase = 30},
    Row{.format = [](const SettingsImage& s, const FirmwareVersion&, int) {
            return join({assignment(s, Field::Trpt), assignment(s, Field::Scfg), assignment(s, Field::Hist1),
                         assignment(s, Field::Hist2)});
        },
        .box = "Brak odpowiedzi (TRPT)", .status = "Błąd zapisu ustawień (4)", .progressBase = 35},
    Row{.format = [](const SettingsImage& s, const FirmwareVersion&, int) {
            return join({valueList(s, {Field::Rcfg1, Field::Rcfg2, Field::Rcfg3}),
                         valueList(s, {Field::Clip1, Field::Clip2}), valueList(s, {Field::Ctrl1, Field::Ctrl2}),
                         assignment(s, Field::Csdc)});
        },
        .box = "Brak odpowiedzi (RCFG)", .status = "Błąd zapisu ustawień (5)", .progressBase = 45},
    Row{.format = [](const SettingsImage& s, const FirmwareVersion&, int) {
            return join({assignment(s, Field::Mcfg1), assignment(s, Field::Slim)});
        },
        .box = "Brak odpowiedzi", .status = "Błąd zapisu ustawień (6)", .progressBase = 47},
    Row{.format = [](const SettingsImage& s, const FirmwareVersion&, int) { return threeDigitList(s, Field::Rpthr); },
        .box = "Brak odpowiedzi (RPTHR)", .status = "Błąd zapisu ustawień (6a)", .progressBase = 48},
    Row{.format = [](const SettingsImage& s, const FirmwareVersion&, int) {
            return join({threeDigitList(s, Field::Almd), assignment(s, Field::Cops)});
        },
        .box = "Brak odpowiedzi (ALMD,COPS)", .status = "Błąd zapisu ustawień (6b)", .progressBase = 50},
    Row{.format = halt},
    Row{.first = 0, .last = 9,
        .format = [](const SettingsImage& s, const FirmwareVersion&, int n) { return assignment(s, Field::Sms, n); },
        .box = KAVREL_NO_ANSWER "(SMS%d)", .status = "Błąd zapisu treści SMS",
        .progressBase = 50, .progressStep = 2, .secondTry = true},
    Row{.format = halt},
    Row{.first = 1, .last = 8,
        .format = [](const SettingsImage& s, const FirmwareVersion&, int n) {
            return join({assignment(s, Field::Icfg, n), assignment(s, Field::Ulo, n), assignment(s, Field::Uhi, n),
                         assignment(s, Field::Scfgn, n)});
        },
        .box = KAVREL_NO_ANSWER "(ICFG%d)", .status = "Błąd zapisu ustawień wejść",
        .progressBase = 70, .progressStep = 2},
    Row{.format = halt},
    Row{.first = 1, .last = 6,
        .format = [](const SettingsImage& s, const FirmwareVersion&, int n) { return assignment(s, Field::Ocfg, n); },
        .box = KAVREL_NO_ANSWER "(OCFG%d)", .status = "Błąd zapisu ustawień wyjść",
        .progressBase = 86, .progressStep = 2},
    Row{.applies = &FirmwareVersion::fromV19,
        .format = [](const SettingsImage& s, const FirmwareVersion&, int) { return assignment(s, Field::Logt); },
        .box = KAVREL_NO_ANSWER "(LOGT)", .status = "Błąd zapisu LOGT"},
    Row{.applies = &FirmwareVersion::fromV19,
        .format = [](const SettingsImage& s, const FirmwareVersion&, int) { return threeDigitList(s, Field::Grdhr); },
        .box = "Brak odpowiedzi (GRDHR)", .status = "Błąd zapisu ustawień (GRDHR)"},
    Row{.applies = &FirmwareVersion::fromV22,
        .format = [](const SettingsImage& s, const FirmwareVersion&, int) { return joinRange(s, Field::Adel, 1, 4); },
        .box = KAVREL_NO_ANSWER "(ADEL1)", .status = "Błąd zapisu ADEL(1)", .progressBase = 90},
    Row{.applies = &FirmwareVersion::fromV22,
        .format = [](const SettingsImage& s, const FirmwareVersion&, int) { return joinRange(s, Field::Adel, 5, 8); },
        .box = KAVREL_NO_ANSWER "(ADEL5)", .status = "Błąd zapisu ADEL(5)", .progressBase = 100},
    Row{.applies = &FirmwareVersion::fromV20, .format = halt, .progressBase = 0},
    Row{.applies = &FirmwareVersion::fromV20, .first = 0, .last = 6,
        .format = [](const SettingsImage& s, const FirmwareVersion&, int n) { return assignment(s, Field::Apn, n); },
        .box = KAVREL_NO_ANSWER "(APN%d)", .status = "Błąd zapisu APN",
        .progressBase = 0, .progressStep = 5, .lastOf = apnLast},
    Row{.applies = &FirmwareVersion::fromV20WithE, .first = 0, .last = 5,
        .format = [](const SettingsImage& s, const FirmwareVersion&, int n) { return assignment(s, Field::Ead, n); },
        .box = KAVREL_NO_ANSWER "(EAD%d)", .status = "Błąd zapisu EAD", .progressBase = 30, .progressStep = 5},
    Row{.applies = &FirmwareVersion::fromV20WithE,
        .format = [](const SettingsImage& s, const FirmwareVersion&, int) { return joinRange(s, Field::Seml, 1, 4); },
        .box = KAVREL_NO_ANSWER "(SEML1)", .status = "Błąd zapisu SEML(1)", .progressBase = 70},
    Row{.applies = &FirmwareVersion::fromV20WithE,
        .format = [](const SettingsImage& s, const FirmwareVersion&, int) { return joinRange(s, Field::Seml, 5, 8); },
        .box = KAVREL_NO_ANSWER "(SEML5)", .status = "Błąd zapisu SEML(5)", .progressBase = 90},
    Row{.applies = &FirmwareVersion::fromV20WithE,
        .format = [](const SettingsImage& s, const FirmwareVersion&, int) {
            return join({assignment(s, Field::Slog), assignment(s, Field::Slgt)});
        },
        .box = KAVREL_NO_ANSWER "(SLOG)", .status = "Błąd zapisu SLOG"},
    Row{.applies = &FirmwareVersion::fromV25,
        .format = [](const SettingsImage& s, const FirmwareVersion&, int) {
            return join({assignment(s, Field::Mcfg2), assignment(s, Field::Sxml)});
        },
        .box = KAVREL_NO_ANSWER "(MCFG2)", .status = "Błąd zapisu MCFG"},
    Row{.applies = &FirmwareVersion::fromV25, .onlyIf = extendedLinesOn, .format = halt, .progressBase = 0},
    Row{.applies = &FirmwareVersion::fromV25, .onlyIf = extendedLinesOn,
        .format = [](const SettingsImage& s, const FirmwareVersion&, int) { return joinRange(s, Field::Xcfg, 1, 6); },
        .box = KAVREL_NO_ANSWER "(XCFG1)", .status = "Błąd zapisu XCFG1", .progressBase = 10},
    Row{.applies = &FirmwareVersion::fromV25, .onlyIf = extendedLinesOn,
        .format = [](const SettingsImage& s, const FirmwareVersion&, int) { return joinRange(s, Field::Xcfg, 7, 12); },
        .box = KAVREL_NO_ANSWER "(XCFG7)", .status = "Błąd zapisu XCFG7", .progressBase = 12},
    Row{.applies = &FirmwareVersion::fromV25, .onlyIf = extendedLinesOn,
        .format = [](const SettingsImage& s, const FirmwareVersion&, int) { return joinRange(s, Field::Xcfg, 13, 17); },
        .box = KAVREL_NO_ANSWER "(XCFG13)", .status = "Błąd zapisu XCFG13", .progressBase = 15},
    Row{.applies = &FirmwareVersion::fromV28, .onlyIf = extendedLinesOn,
        .format = [](const SettingsImage& s, const FirmwareVersion&, int) {
            return join({assignment(s, Field::Xtyp1), assignment(s, Field::Xlo1), assignment(s, Field::Xhi1),
                         assignment(s, Field::Xtyp9), assignment(s, Field::Xlo9), assignment(s, Field::Xhi9)});
        },
        .box = KAVREL_NO_ANSWER "(XTYP1)", .status = "Błąd zapisu XTYP1", .progressBase = 17},
    Row{.applies = &FirmwareVersion::fromV25, .onlyIf = extendedLinesOn, .first = 1, .last = 17,
        .format = [](const SettingsImage& s, const FirmwareVersion&, int n) { return assignment(s, Field::Xms, n); },
        .box = KAVREL_NO_ANSWER "(XMS%d)", .status = "Błąd zapisu XMS", .progressBase = 15, .progressStep = 5},
    Row{.applies = &FirmwareVersion::fromV26,
        .format = [](const SettingsImage& s, const FirmwareVersion&, int) { return joinRange(s, Field::NumExt, 6, 8); },
        .box = "Brak odpowiedzi (NUM6)", .status = "Błąd zapisu ustawień (NUM6)",
        .progressBase = 25, .progressBefore = 10},
    Row{.applies = &FirmwareVersion::fromV26,
        .format = [](const SettingsImage& s, const FirmwareVersion&, int) {
            return joinRange(s, Field::NumExt, 9, 10);
        },
        .box = "Brak odpowiedzi (NUM9)", .status = "Błąd zapisu ustawień (NUM9)", .progressBase = 50},
    Row{.applies = &FirmwareVersion::fromV26,
        .format = [](const SettingsImage& s, const FirmwareVersion&, int) { return assignment(s, Field::Atim); },
        .box = "Brak odpowiedzi (ATIM)", .status = "Błąd zapisu ustawień (ATIM)", .progressBase = 60},
    Row{.applies = &FirmwareVersion::fromV26, .first = 1, .last = 8,
        .format = [](const SettingsImage& s, const FirmwareVersion&, int n) {
            return join({assignment(s, Field::Ecfg, n), assignment(s, Field::Scla, n), assignment(s, Field::Sclb, n)});
        },
        .box = "Błąd zapisu ustawień (ECFG%d)", .status = "Błąd zapisu ustawień (ECFG%d)",
        .progressBase = 60, .progressStep = 5},
    Row{.applies = &FirmwareVersion::fromV27,
        .format = [](const SettingsImage& s, const FirmwareVersion&, int) {
            return join({assignment(s, Field::Thtp), assignment(s, Field::Nuid), assignment(s, Field::Tgac)});
        },
        .box = KAVREL_NO_ANSWER "(THTP)", .status = "Błąd zapisu THTP"},
    Row{.applies = &FirmwareVersion::fromV27, .onlyIf = httpNotificationsOn,
        .format = [](const SettingsImage& s, const FirmwareVersion&, int) { return assignment(s, Field::Url0); },
        .box = KAVREL_NO_ANSWER "(URL0)", .status = "Błąd zapisu URL0"},
    Row{.applies = &FirmwareVersion::fromV27, .onlyIf = httpNotificationsOn,
        .format = [](const SettingsImage& s, const FirmwareVersion&, int) { return assignment(s, Field::Url1); },
        .box = KAVREL_NO_ANSWER "(URL1)", .status = "Błąd zapisu URL1"},
    Row{.applies = &FirmwareVersion::fromV27,
        .format = [](const SettingsImage& s, const FirmwareVersion& v, int) {
            return std::string(fieldInfo(Field::Url2).key) + "=" + url2Text(s, v);
        },
        .box = KAVREL_NO_ANSWER "(URL2)", .status = "Błąd zapisu URL2"},
    Row{.applies = &FirmwareVersion::fromV36,
        .format = [](const SettingsImage& s, const FirmwareVersion&, int) { return joinRange(s, Field::Wkd, 1, 3); },
        .box = KAVREL_NO_ANSWER "(WKD1)", .status = "Błąd zapisu WKD"},
};

#undef KAVREL_NO_ANSWER

} // namespace

std::string valueText(const SettingsImage& image, Field id, int number) {
    switch (fieldInfo(id).kind) {
    case FieldKind::Text: {
        // A CR would end the command line early and let the rest of the text reach the
        // module as a command of its own; the module cannot hold one anyway.
        std::string text = image.text(id, number);
        std::replace(text.begin(), text.end(), '\r', ' ');
        return text;
    }
    case FieldKind::SignedWord: return std::to_string(image.signedWord(id, number));
    case FieldKind::Word: return std::to_string(image.word(id, number));
    default: return std::to_string(image.byte(id, number));
    }
}

std::string assignment(const SettingsImage& image, Field id, int number) {
    const FieldInfo& info = fieldInfo(id);
    return fieldName(info, info.count == 1 ? info.first : number) + "=" + valueText(image, id, number);
}

std::string url2Text(const SettingsImage& image, const FirmwareVersion& version) {
    std::string text = image.text(Field::Url2);
    if (!version.fromV36()) return text;
    const std::uint8_t first = image.byte(Field::Url2Ext, 0);
    if (first < 0x01 || first > 0x7F) return text;
    text += static_cast<char>(first);
    const std::uint8_t second = image.byte(Field::Url2Ext, 1);
    if (second != 0 && second != 0xFF) text += static_cast<char>(second);
    return text;
}

std::vector<WriteStep> writeSequence(const SettingsImage& image, const FirmwareVersion& version) {
    std::vector<WriteStep> steps;
    for (const Row& row : kRows) {
        if (!link::passes(version, row.applies) || (row.onlyIf && !row.onlyIf(image))) continue;
        const int last = row.lastOf ? row.lastOf(version) : row.last;
        for (int n = row.first; n <= last; ++n) {
            WriteStep step;
            step.line = row.format(image, version, n);
            step.halt = row.box == nullptr;
            step.secondTry = row.secondTry;
            if (row.box) {
                step.failureBox = withNumber(row.box, n);
                step.failureStatus = withNumber(row.status, n);
            }
            if (n == row.first) step.progressBefore = row.progressBefore;
            if (row.progressBase >= 0) step.progressAfter = row.progressBase + row.progressStep * n;
            steps.push_back(std::move(step));
        }
    }
    return steps;
}

} // namespace kavrel::config
