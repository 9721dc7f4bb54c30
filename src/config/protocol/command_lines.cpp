#include "config/protocol/command_lines.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "common/win1250.h"

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

std::string threeDigits(std::span<const std::uint8_t> bytes, std::size_t count) {
    std::string text;
    char item[8];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(item, sizeof item, i == 0 ? "%03d" : ",%03d", bytes[i]);
        text += item;
    }
    return text;
}

std::string withNumber(const char* format, int n) {
    if (!std::strstr(format, "%d")) return W(format);
    char text[160];
    std::snprintf(text, sizeof text, format, n);
    return W(text);
}

using Applies = bool (*)(const SettingsImage&, const FirmwareVersion&);
using Format = std::string (*)(const SettingsImage&, const FirmwareVersion&, int n);

bool always(const SettingsImage&, const FirmwareVersion&) { return true; }
bool from19(const SettingsImage&, const FirmwareVersion& v) { return v.versionCode >= link::kV19; }
bool from20(const SettingsImage&, const FirmwareVersion& v) { return v.versionCode >= link::kV20; }
bool from20E(const SettingsImage&, const FirmwareVersion& v) { return v.versionCode >= link::kV20 && v.eFlag; }
bool from22(const SettingsImage&, const FirmwareVersion& v) { return v.versionCode >= link::kV22; }
bool from25(const SettingsImage&, const FirmwareVersion& v) { return v.versionCode >= link::kV25; }
bool extension(const SettingsImage& s, const FirmwareVersion& v) {
    return v.versionCode >= link::kV25 && (s.byte(Field::Mcfg2) & 0x01);
}
bool extensionTypes(const SettingsImage& s, const FirmwareVersion& v) { return extension(s, v) && v.versionCode >= link::kV28; }
bool from26(const SettingsImage&, const FirmwareVersion& v) { return v.versionCode >= link::kV26; }
bool from27(const SettingsImage&, const FirmwareVersion& v) { return v.versionCode >= link::kV27; }
bool httpOn(const SettingsImage& s, const FirmwareVersion& v) {
    return v.versionCode >= link::kV27 && s.byte(Field::Thtp) != 0 && s.byte(Field::Thtp) != 255;
}
bool from36(const SettingsImage&, const FirmwareVersion& v) { return v.versionCode >= link::kV36; }

int apnLast(const FirmwareVersion& v) { return v.eFlag ? 6 : 2; }

struct Row {
    Applies applies;
    int first;
    int last;
    Format format;
    const char* box;      // UTF-8, "%d" takes n; nullptr: a "HALT!" whose answer is not examined
    const char* status;
    int progressBase = -1;  // progress after the line: base + step * n
    int progressStep = 0;
    bool secondTry = false;
    int progressBefore = -1;
    int (*lastOf)(const FirmwareVersion&) = nullptr;
};

std::string halt(const SettingsImage&, const FirmwareVersion&, int) { return "HALT!"; }

#define KAVREL_NO_ANSWER "Brak odpowiedzi z modułu Kavrel "

const std::array kRows = {
    Row{always, 0, 0,
        [](const SettingsImage& s, const FirmwareVersion&, int) {
            return join({assignment(s, Field::Pin), assignment(s, Field::Num, 0), assignment(s, Field::Num, 1)});
        },
        "Brak odpowiedzi (PIN)", "Błąd zapisu ustawień (1)", 10},
    Row{always, 0, 0, [](const SettingsImage& s, const FirmwareVersion&, int) { return joinRange(s, Field::Num, 2, 3); },
        "Brak odpowiedzi (NUM2)", "Błąd zapisu ustawień (2)", 20},
    Row{always, 0, 0, [](const SettingsImage& s, const FirmwareVersion&, int) { return joinRange(s, Field::Num, 4, 5); },
        "Brak odpowiedzi (NUM 4)", "Błąd zapisu ustawień (3)", 30},
    Row{always, 0, 0,
        [](const SettingsImage& s, const FirmwareVersion&, int) {
            return join({assignment(s, Field::Trpt), assignment(s, Field::Scfg), assignment(s, Field::Hist1),
                         assignment(s, Field::Hist2)});
        },
        "Brak odpowiedzi (TRPT)", "Błąd zapisu ustawień (4)", 35},
    Row{always, 0, 0,
        [](const SettingsImage& s, const FirmwareVersion&, int) {
            char line[96];
            std::snprintf(line, sizeof line, "RCFG=%d,%d,%d CLIP=%d,%d CTRL=%d,%d CSDC=%d", s.byte(Field::Rcfg1),
                          s.byte(Field::Rcfg2), s.byte(Field::Rcfg3), s.byte(Field::Clip1), s.byte(Field::Clip2),
                          s.byte(Field::Ctrl1), s.byte(Field::Ctrl2), s.byte(Field::Csdc));
            return std::string(line);
        },
        "Brak odpowiedzi (RCFG)", "Błąd zapisu ustawień (5)", 45},
    Row{always, 0, 0,
        [](const SettingsImage& s, const FirmwareVersion&, int) {
            return join({assignment(s, Field::Mcfg1), assignment(s, Field::Slim)});
        },
        "Brak odpowiedzi", "Błąd zapisu ustawień (6)", 47},
    Row{always, 0, 0,
        [](const SettingsImage& s, const FirmwareVersion&, int) { return "RPTHR=" + threeDigits(s.element(Field::Rpthr), 3); },
        "Brak odpowiedzi (RPTHR)", "Błąd zapisu ustawień (6a)", 48},
    Row{always, 0, 0,
        [](const SettingsImage& s, const FirmwareVersion&, int) {
            const std::array<std::uint8_t, 2> almd{s.byte(Field::Almd, 1), s.byte(Field::Almd, 2)};
            return "ALMD=" + threeDigits(almd, 2) + " " + assignment(s, Field::Cops);
        },
        "Brak odpowiedzi (ALMD,COPS)", "Błąd zapisu ustawień (6b)", 50},
    Row{always, 0, 0, halt, nullptr, nullptr},
    Row{always, 0, 9, [](const SettingsImage& s, const FirmwareVersion&, int n) { return assignment(s, Field::Sms, n); },
        KAVREL_NO_ANSWER "(SMS%d)", "Błąd zapisu treści SMS", 50, 2, true},
    Row{always, 0, 0, halt, nullptr, nullptr},
    Row{always, 1, 8,
        [](const SettingsImage& s, const FirmwareVersion&, int n) {
            return join({assignment(s, Field::Icfg, n), assignment(s, Field::Ulo, n), assignment(s, Field::Uhi, n),
                         assignment(s, Field::Scfgn, n)});
        },
        KAVREL_NO_ANSWER "(ICFG%d)", "Błąd zapisu ustawień wejść", 70, 2},
    Row{always, 0, 0, halt, nullptr, nullptr},
    Row{always, 1, 6, [](const SettingsImage& s, const FirmwareVersion&, int n) { return assignment(s, Field::Ocfg, n); },
        KAVREL_NO_ANSWER "(OCFG%d)", "Błąd zapisu ustawień wyjść", 86, 2},
    Row{from19, 0, 0, [](const SettingsImage& s, const FirmwareVersion&, int) { return assignment(s, Field::Logt); },
        KAVREL_NO_ANSWER "(LOGT)", "Błąd zapisu LOGT"},
    Row{from19, 0, 0,
        [](const SettingsImage& s, const FirmwareVersion&, int) { return "GRDHR=" + threeDigits(s.element(Field::Grdhr), 3); },
        "Brak odpowiedzi (GRDHR)", "Błąd zapisu ustawień (GRDHR)"},
    Row{from22, 0, 0, [](const SettingsImage& s, const FirmwareVersion&, int) { return joinRange(s, Field::Adel, 1, 4); },
        KAVREL_NO_ANSWER "(ADEL1)", "Błąd zapisu ADEL(1)", 90},
    Row{from22, 0, 0, [](const SettingsImage& s, const FirmwareVersion&, int) { return joinRange(s, Field::Adel, 5, 8); },
        KAVREL_NO_ANSWER "(ADEL5)", "Błąd zapisu ADEL(5)", 100},
    Row{from20, 0, 0, halt, nullptr, nullptr, 0},
    Row{from20, 0, 6, [](const SettingsImage& s, const FirmwareVersion&, int n) { return assignment(s, Field::Apn, n); },
        KAVREL_NO_ANSWER "(APN%d)", "Błąd zapisu APN", 0, 5, false, -1, apnLast},
    Row{from20E, 0, 5, [](const SettingsImage& s, const FirmwareVersion&, int n) { return assignment(s, Field::Ead, n); },
        KAVREL_NO_ANSWER "(EAD%d)", "Błąd zapisu EAD", 30, 5},
    Row{from20E, 0, 0, [](const SettingsImage& s, const FirmwareVersion&, int) { return joinRange(s, Field::Seml, 1, 4); },
        KAVREL_NO_ANSWER "(SEML1)", "Błąd zapisu SEML(1)", 70},
    Row{from20E, 0, 0, [](const SettingsImage& s, const FirmwareVersion&, int) { return joinRange(s, Field::Seml, 5, 8); },
        KAVREL_NO_ANSWER "(SEML5)", "Błąd zapisu SEML(5)", 90},
    Row{from20E, 0, 0,
        [](const SettingsImage& s, const FirmwareVersion&, int) { return join({assignment(s, Field::Slog), assignment(s, Field::Slgt)}); },
        KAVREL_NO_ANSWER "(SLOG)", "Błąd zapisu SLOG"},
    Row{from25, 0, 0,
        [](const SettingsImage& s, const FirmwareVersion&, int) { return join({assignment(s, Field::Mcfg2), assignment(s, Field::Sxml)}); },
        KAVREL_NO_ANSWER "(MCFG2)", "Błąd zapisu MCFG"},
    Row{extension, 0, 0, halt, nullptr, nullptr, 0},
    Row{extension, 0, 0, [](const SettingsImage& s, const FirmwareVersion&, int) { return joinRange(s, Field::Xcfg, 1, 6); },
        KAVREL_NO_ANSWER "(XCFG1)", "Błąd zapisu XCFG1", 10},
    Row{extension, 0, 0, [](const SettingsImage& s, const FirmwareVersion&, int) { return joinRange(s, Field::Xcfg, 7, 12); },
        KAVREL_NO_ANSWER "(XCFG7)", "Błąd zapisu XCFG7", 12},
    Row{extension, 0, 0, [](const SettingsImage& s, const FirmwareVersion&, int) { return joinRange(s, Field::Xcfg, 13, 17); },
        KAVREL_NO_ANSWER "(XCFG13)", "Błąd zapisu XCFG13", 15},
    Row{extensionTypes, 0, 0,
        [](const SettingsImage& s, const FirmwareVersion&, int) {
            return join({assignment(s, Field::Xtyp1), assignment(s, Field::Xlo1), assignment(s, Field::Xhi1),
                         assignment(s, Field::Xtyp9), assignment(s, Field::Xlo9), assignment(s, Field::Xhi9)});
        },
        KAVREL_NO_ANSWER "(XTYP1)", "Błąd zapisu XTYP1", 17},
    Row{extension, 1, 17, [](const SettingsImage& s, const FirmwareVersion&, int n) { return assignment(s, Field::Xms, n); },
        KAVREL_NO_ANSWER "(XMS%d)", "Błąd zapisu XMS", 15, 5},
    Row{from26, 0, 0, [](const SettingsImage& s, const FirmwareVersion&, int) { return joinRange(s, Field::NumExt, 6, 8); },
        "Brak odpowiedzi (NUM6)", "Błąd zapisu ustawień (NUM6)", 25, 0, false, 10},
    Row{from26, 0, 0, [](const SettingsImage& s, const FirmwareVersion&, int) { return joinRange(s, Field::NumExt, 9, 10); },
        "Brak odpowiedzi (NUM9)", "Błąd zapisu ustawień (NUM9)", 50},
    Row{from26, 0, 0, [](const SettingsImage& s, const FirmwareVersion&, int) { return assignment(s, Field::Atim); },
        "Brak odpowiedzi (ATIM)", "Błąd zapisu ustawień (ATIM)", 60},
    Row{from26, 1, 8,
        [](const SettingsImage& s, const FirmwareVersion&, int n) {
            return join({assignment(s, Field::Ecfg, n), assignment(s, Field::Scla, n), assignment(s, Field::Sclb, n)});
        },
        "Błąd zapisu ustawień (ECFG%d)", "Błąd zapisu ustawień (ECFG%d)", 60, 5},
    Row{from27, 0, 0,
        [](const SettingsImage& s, const FirmwareVersion&, int) {
            return join({assignment(s, Field::Thtp), assignment(s, Field::Nuid), assignment(s, Field::Tgac)});
        },
        KAVREL_NO_ANSWER "(THTP)", "Błąd zapisu THTP"},
    Row{httpOn, 0, 0, [](const SettingsImage& s, const FirmwareVersion&, int) { return assignment(s, Field::Url0); },
        KAVREL_NO_ANSWER "(URL0)", "Błąd zapisu URL0"},
    Row{httpOn, 0, 0, [](const SettingsImage& s, const FirmwareVersion&, int) { return assignment(s, Field::Url1); },
        KAVREL_NO_ANSWER "(URL1)", "Błąd zapisu URL1"},
    Row{from27, 0, 0, [](const SettingsImage& s, const FirmwareVersion& v, int) { return "URL2=" + url2Text(s, v); },
        KAVREL_NO_ANSWER "(URL2)", "Błąd zapisu URL2"},
    Row{from36, 0, 0, [](const SettingsImage& s, const FirmwareVersion&, int) { return joinRange(s, Field::Wkd, 1, 3); },
        KAVREL_NO_ANSWER "(WKD1)", "Błąd zapisu WKD"},
};

#undef KAVREL_NO_ANSWER

} // namespace

std::string valueText(const SettingsImage& image, Field id, int number) {
    switch (fieldInfo(id).kind) {
    case FieldKind::Text: return image.text(id, number);
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
    if (version.versionCode < link::kV36) return text;
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
        if (!row.applies(image, version)) continue;
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
