#include "common/ini_file_store.h"

#include <fstream>
#include <map>
#include <sstream>

#include "common/file_names.h"
#include "common/hex_digit.h"
#include "common/replace_file.h"
#include "common/win1250.h"

namespace kavrel {
namespace {

using Values = std::map<std::string, StoreValue, std::less<>>;
using Sections = std::map<std::string, Values, std::less<>>;

constexpr std::string_view kNumberTag = "dword:";
constexpr std::string_view kTextTag = "sz:";
constexpr const char* kHexDigits = "0123456789ABCDEF";

// Escapes what would end or break a line, and '=' (which ends a name).
std::string escaped(std::string_view cp1250Text) {
    std::string out;
    for (const char c : cp1250::toUtf8(cp1250Text)) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') out += "\\\\";
        else if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (byte < 0x20 || c == '=') {
            out += "\\x";
            out += kHexDigits[byte >> 4];
            out += kHexDigits[byte & 0x0F];
        } else out += c;
    }
    return out;
}

std::string unescaped(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        if (next == 'r') out += '\r';
        else if (next == 'n') out += '\n';
        else if (next == 'x' && i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 && hexDigit(text[i + 2]) >= 0) {
            out += static_cast<char>(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2]));
            i += 2;
        } else out += next;
    }
    return cp1250::fromUtf8(out);
}

std::optional<StoreValue> parsedValue(std::string_view text) {
    if (text.substr(0, kNumberTag.size()) == kNumberTag) {
        const std::string digits(text.substr(kNumberTag.size()));
        if (digits.empty() || digits.size() > 10 || digits.find_first_not_of("0123456789") != std::string::npos)
            return std::nullopt;
        const unsigned long long number = std::stoull(digits);
        if (number > 0xFFFFFFFFull) return std::nullopt;
        return StoreValue{static_cast<std::uint32_t>(number)};
    }
    if (text.substr(0, kTextTag.size()) == kTextTag) return StoreValue{unescaped(text.substr(kTextTag.size()))};
    return std::nullopt;   // a line edited by hand into no known form is left out
}

// A missing or unreadable file holds no sections.
Sections load(const std::filesystem::path& file) {
    Sections sections;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    Values* current = nullptr;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            current = &sections[cp1250::fromUtf8(std::string_view(line).substr(1, line.size() - 2))];
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!current || equals == std::string::npos || line[0] == ';') continue;
        if (auto value = parsedValue(std::string_view(line).substr(equals + 1)))
            (*current)[unescaped(std::string_view(line).substr(0, equals))] = std::move(*value);
    }
    return sections;
}

bool save(const std::filesystem::path& file, const Sections& sections) {
    std::ostringstream out;
    for (const auto& [section, values] : sections) {
        out << '[' << cp1250::toUtf8(section) << "]\r\n";   // key paths: fixed names, no line breaks
        for (const auto& [name, value] : values) {
            out << escaped(name) << '=';
            if (const auto* number = std::get_if<std::uint32_t>(&value)) out << kNumberTag << *number;
            else out << kTextTag << escaped(std::get<std::string>(value));
            out << "\r\n";
        }
        out << "\r\n";
    }
    std::error_code ignored;
    std::filesystem::create_directories(file.parent_path(), ignored);
    // Not flushed to the disk: settings are rewritten often (one value at a time), and a cut
    // leaves the previous file whole either way.
    return replaceFile(file, out.str(), false) == ReplaceResult::Ok;
}

} // namespace

IniFileStore::IniFileStore(std::filesystem::path folder) : folder_(std::move(folder)) {}

std::filesystem::path IniFileStore::fileFor(std::string_view keyPath) const {
    std::size_t start = 0;
    for (int part = 0; part < 2; ++part) {
        const std::size_t slash = keyPath.find('\\', start);
        if (slash == std::string_view::npos) return {};
        start = slash + 1;
    }
    const std::string_view program = keyPath.substr(start, keyPath.find('\\', start) - start);
    if (program.empty() || program.find_first_of("/:*?\"<>|") != std::string_view::npos || program == "." || program == "..")
        return {};
    return folder_ / pathFromUtf8(cp1250::toUtf8(program) + ".ini");
}

bool IniFileStore::keyExists(std::string_view keyPath) const {
    const auto file = fileFor(keyPath);
    if (file.empty()) return false;
    const Sections sections = load(file);
    return sections.find(keyPath) != sections.end();
}

bool IniFileStore::createKey(std::string_view keyPath) {
    const auto file = fileFor(keyPath);
    if (file.empty()) return false;
    Sections sections = load(file);
    if (sections.find(keyPath) != sections.end()) return true;
    sections[std::string(keyPath)];
    return save(file, sections);
}

std::optional<StoreValue> IniFileStore::read(std::string_view keyPath, std::string_view name) const {
    const auto file = fileFor(keyPath);
    if (file.empty()) return std::nullopt;
    const Sections sections = load(file);
    const auto section = sections.find(keyPath);
    if (section == sections.end()) return std::nullopt;
    const auto value = section->second.find(name);
    if (value == section->second.end()) return std::nullopt;
    return value->second;
}

bool IniFileStore::write(std::string_view keyPath, std::string_view name, const StoreValue& value) {
    const auto file = fileFor(keyPath);
    if (file.empty()) return false;
    Sections sections = load(file);
    sections[std::string(keyPath)][std::string(name)] = value;
    return save(file, sections);
}

} // namespace kavrel
