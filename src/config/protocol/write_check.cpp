#include "config/protocol/write_check.h"

#include <algorithm>
#include <string_view>

#include "common/win1250.h"
#include "config/protocol/reviewed_write.h"

namespace kavrel::config {
namespace {

// A part of a byte field that a dialog offers as a list of choices.
struct ChoiceBits {
    Field field;
    const char* name;   // shown after the key
    int shift;
    int mask;
    int largest;        // the last choice the dialog offers
};

// The serial port's speed (1200..19200) and parity (none, even, odd) in SCFG.
constexpr ChoiceBits kChoiceBits[] = {
    {Field::Scfg, "prędkość", 5, 7, 5},
    {Field::Scfg, "parzystość", 3, 3, 2},
};

// The scaling dialog's factors are symmetric: -32768 cannot be entered.
constexpr int kScaleLimit = 32767;

// "KEY=value" up to the next blank, from the first line that assigns KEY; "" when none does.
std::string assignmentIn(const std::vector<WriteStep>& steps, const std::string& keyWithEquals) {
    for (const auto& step : steps) {
        const std::string& line = step.line;
        for (auto at = line.find(keyWithEquals); at != std::string::npos; at = line.find(keyWithEquals, at + 1)) {
            if (at != 0 && line[at - 1] != ' ') continue;
            const auto end = line.find(' ', at);
            return line.substr(at, end == std::string::npos ? std::string::npos : end - at);
        }
    }
    return {};
}

} // namespace

std::vector<std::string> keysSentDifferently(const SettingsImage& image, const link::FirmwareVersion& a,
                                             const link::FirmwareVersion& b) {
    const ElementFilter sentAtA = sentElements(image, a), sentAtB = sentElements(image, b);
    const auto linesA = writeSequence(image, a), linesB = writeSequence(image, b);
    std::vector<std::string> keys;
    for (const FieldInfo& info : fieldTable()) {
        if (info.kind == FieldKind::Reserved) continue;
        for (int number = info.first; number <= info.last(); ++number) {
            const bool atA = sentAtA(info, number), atB = sentAtB(info, number);
            // Sent at both: in the same form only when its assignment reads the same in
            // both writes (the balance-check code gains characters from version 3.6 on).
            const std::string key = fieldName(info, number) + "=";
            const bool differs = atA != atB || (atA && assignmentIn(linesA, key) != assignmentIn(linesB, key));
            if (differs) keys.push_back(fieldName(info, number));
        }
    }
    return keys;
}

std::vector<OutOfRangeValue> valuesOutsideDialogs(const SettingsImage& image) {
    std::vector<OutOfRangeValue> values;
    for (const Field field : {Field::Scla, Field::Sclb}) {
        const FieldInfo& info = fieldInfo(field);
        for (int n = info.first; n <= info.last(); ++n) {
            const int value = image.signedWord(field, n);
            if (value < -kScaleLimit || value > kScaleLimit)
                values.push_back({fieldName(info, n), std::to_string(value),
                                  std::to_string(-kScaleLimit) + ".." + std::to_string(kScaleLimit)});
        }
    }
    for (const ChoiceBits& bits : kChoiceBits) {
        const int byte = image.byte(bits.field);
        const int choice = (byte >> bits.shift) & bits.mask;
        if (choice > bits.largest)
            values.push_back({std::string(fieldInfo(bits.field).key) + " (" + W(bits.name) + ")", std::to_string(choice),
                              "0.." + std::to_string(bits.largest)});
    }
    return values;
}

bool sameVersionText(const std::string& a, const std::string& b) {
    auto trimmed = [](const std::string& text) { return text.substr(0, text.find_last_not_of(" \t\r\n") + 1); };
    return trimmed(a) == trimmed(b);
}

WriteCheck checkWrite(const SettingsImage& image, const std::vector<std::string>& fileVersions,
                      const std::string& moduleVersion) {
    WriteCheck check;
    check.moduleVersion = moduleVersion;
    const bool known = std::any_of(fileVersions.begin(), fileVersions.end(),
                                   [&](const std::string& v) { return sameVersionText(v, moduleVersion); });
    if (!fileVersions.empty() && !known) {
        check.fileVersion = fileVersions.back();
        check.versionKeys = keysSentDifferently(image, link::parseVersion(check.fileVersion), link::parseVersion(moduleVersion));
    }
    check.outOfRange = valuesOutsideDialogs(image);
    return check;
}

std::string writeCheckText(const WriteCheck& check) {
    std::string text;
    if (!check.versionKeys.empty()) {
        text += W("Plik odczytano z modułu ") + check.fileVersion + W(", moduł zgłasza ") + check.moduleVersion +
                ".\r\n" + W("Pola wysyłane inaczej w tych wersjach (") + std::to_string(check.versionKeys.size()) +
                "):\r\n";
        std::string row;
        for (const auto& key : check.versionKeys) {
            if (row.size() + key.size() > 70) {
                text += row + "\r\n";
                row.clear();
            }
            row += (row.empty() ? "" : " ") + key;
        }
        text += row + "\r\n";
    }
    if (!check.outOfRange.empty()) {
        text += W("Wartości spoza zakresu okien ustawień:\r\n");
        for (const auto& value : check.outOfRange)
            text += value.key + " = " + value.value + W(" (dozwolone ") + value.allowed + ")\r\n";
    }
    return text;
}

} // namespace kavrel::config
