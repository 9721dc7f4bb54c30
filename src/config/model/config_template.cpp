#include "config/model/config_template.h"

#include <algorithm>
#include <charconv>
#include <set>

#include "common/win1250.h"

namespace kavrel::config {
namespace {

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> linesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

bool choosable(const FieldInfo& info) { return info.kind != FieldKind::Reserved && !info.changesByItself; }

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

// Adds every element a key names (an element, or a family's stem); false when none.
bool addKey(std::string_view key, std::vector<ElementRef>& out, bool& volatileKey) {
    const std::string name = upper(key);
    bool found = false;
    for (const FieldInfo& info : fieldTable()) {
        if (info.kind == FieldKind::Reserved) continue;
        const bool family = info.numbering != Numbering::None && name == info.key;
        for (int number = info.first; number <= info.last(); ++number) {
            if (!family && fieldName(info, number) != name) continue;
            found = true;
            if (info.changesByItself) volatileKey = true;
            else out.push_back({&info, number, fieldName(info, number)});
        }
    }
    return found;
}

std::string where(const std::string& source, std::size_t line) {
    return line == 0 ? source + ": " : source + ":" + std::to_string(line) + ": ";
}

template <typename Number>
bool parseNumber(std::string_view text, Number& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

} // namespace

bool FieldSelection::includes(const FieldInfo& info, int number) const {
    return std::any_of(elements.begin(), elements.end(),
                       [&](const ElementRef& e) { return e.info == &info && e.number == number; });
}

ElementRef elementByKey(std::string_view key) {
    const std::string name = upper(trimmed(key));
    for (const FieldInfo& info : fieldTable()) {
        if (!choosable(info)) continue;
        for (int number = info.first; number <= info.last(); ++number)
            if (fieldName(info, number) == name) return {&info, number, name};
    }
    return {};
}

FieldListParse parseFieldList(std::string_view text, const std::string& source) {
    FieldListParse parse;
    std::vector<ElementRef> chosen;
    const auto lines = linesOf(text);
    for (std::size_t n = 0; n < lines.size(); ++n) {
        std::string_view line = lines[n];
        line = line.substr(0, line.find('#'));
        std::string word;
        const auto take = [&]() -> bool {
            const std::string key(trimmed(word));   // a copy: the word is reused for the next key
            word.clear();
            if (key.empty()) return true;
            bool volatileKey = false;
            if (!addKey(key, chosen, volatileKey)) {
                parse.error = where(source, lines.size() > 1 ? n + 1 : 0) + "nieznane pole " + std::string(key);
                return false;
            }
            if (volatileKey) {
                parse.error = where(source, lines.size() > 1 ? n + 1 : 0) + "pole " + std::string(key) +
                              " moduł zmienia sam: nie może należeć do szablonu";
                return false;
            }
            return true;
        };
        for (const char c : line) {
            if (c == ',' || c == ' ' || c == '\t' || c == ';') {
                if (!take()) return parse;
            } else {
                word += c;
            }
        }
        if (!take()) return parse;
    }
    // Record order, each element once, whatever order and repeats the list had.
    std::sort(chosen.begin(), chosen.end(), [](const ElementRef& a, const ElementRef& b) {
        return a.info->offsetOf(a.number) < b.info->offsetOf(b.number);
    });
    chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
    if (chosen.empty()) parse.error = where(source, 0) + "lista pól szablonu jest pusta";
    parse.selection.elements = std::move(chosen);
    return parse;
}

std::string putElementValue(SettingsImage& image, const ElementRef& element, const std::string& value) {
    const FieldInfo& info = *element.info;
    switch (info.kind) {
    case FieldKind::Text: {
        const std::string bytes = cp1250::fromUtf8(value);
        if (bytes.size() > info.size)
            return "tekst " + element.key + " ma " + std::to_string(bytes.size()) + " znaków, a mieści się " +
                   std::to_string(info.size);
        image.setText(info.id, element.number, bytes);
        return "";
    }
    case FieldKind::Byte: {
        unsigned number = 0;
        if (!parseNumber(value, number) || number > 255) return element.key + " przyjmuje liczbę 0..255, nie " + value;
        image.setByte(info.id, element.number, static_cast<std::uint8_t>(number));
        return "";
    }
    case FieldKind::Word: {
        unsigned number = 0;
        if (!parseNumber(value, number) || number > 65535) return element.key + " przyjmuje liczbę 0..65535, nie " + value;
        image.setWord(info.id, element.number, static_cast<std::uint16_t>(number));
        return "";
    }
    case FieldKind::SignedWord: {
        int number = 0;
        if (!parseNumber(value, number) || number < -32768 || number > 32767)
            return element.key + " przyjmuje liczbę -32768..32767, nie " + value;
        image.setWord(info.id, element.number, static_cast<std::uint16_t>(static_cast<std::int16_t>(number)));
        return "";
    }
    case FieldKind::HourMask:
    case FieldKind::Reserved: break;
    }
    return "wartości pola " + element.key + " nie można podać w pliku wartości";
}

ValuesParse parseModuleValues(std::string_view text, const FieldSelection& selection, const std::string& source) {
    ValuesParse parse;
    std::set<std::pair<std::string, std::string>> seen;
    const auto lines = linesOf(text);
    for (std::size_t n = 0; n < lines.size(); ++n) {
        std::string_view line = lines[n];
        if (n == 0 && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);   // a spreadsheet's byte order mark
        if (trimmed(line).empty() || trimmed(line).front() == '#') continue;
        const std::size_t first = line.find(';');
        const std::size_t second = first == std::string_view::npos ? first : line.find(';', first + 1);
        if (second == std::string_view::npos) {
            parse.error = where(source, n + 1) + "oczekiwano NAZWA;KLUCZ;WARTOŚĆ";
            return parse;
        }
        const std::string name(trimmed(line.substr(0, first)));
        const std::string key = upper(trimmed(line.substr(first + 1, second - first - 1)));
        std::string_view value = line.substr(second + 1);
        if (!value.empty() && value.back() == '\r') value.remove_suffix(1);
        if (n == 0 && (key == "KEY" || key == "KLUCZ")) continue;
        const ElementRef element = elementByKey(key);
        if (name.empty()) {
            parse.error = where(source, n + 1) + "brak nazwy modułu";
            return parse;
        }
        if (element.info == nullptr || !selection.includes(*element.info, element.number)) {
            parse.error = where(source, n + 1) + "pole " + key + " nie należy do pól szablonu";
            return parse;
        }
        if (!seen.insert({name, key}).second) {
            parse.error = where(source, n + 1) + "drugi raz wartość " + key + " dla modułu " + name;
            return parse;
        }
        SettingsImage scratch;
        if (const std::string problem = putElementValue(scratch, element, std::string(value)); !problem.empty()) {
            parse.error = where(source, n + 1) + problem;
            return parse;
        }
        parse.byModule[name].push_back({element, std::string(value)});
    }
    return parse;
}

SettingsImage templateTarget(const SettingsImage& module, const SettingsImage& templ, const FieldSelection& selection,
                             const std::vector<ModuleValue>& values) {
    SettingsImage target = module;
    for (const ElementRef& element : selection.elements) {
        const auto from = templ.element(element.info->id, element.number);
        std::copy(from.begin(), from.end(), target.element(element.info->id, element.number).begin());
    }
    for (const ModuleValue& value : values) (void)putElementValue(target, value.element, value.value);
    return target;
}

} // namespace kavrel::config
