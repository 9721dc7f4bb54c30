#include "config/model/write_journal.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <system_error>

#include "common/file_names.h"
#include "common/hex_digit.h"
#include "common/regular_file.h"
#include "common/replace_file.h"
#include "config/model/backup_store.h"

namespace kavrel::config {
namespace {

namespace fs = std::filesystem;

constexpr const char* kHeader = "Kavrel zapis 1";
constexpr std::size_t kJournalMax = 1024 * 1024;   // far more than the longest write

std::string escaped(const std::string& text) {
    std::string out;
    char hex[4];
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '%') {
            std::snprintf(hex, sizeof hex, "%%%02X", byte);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

bool unescaped(const std::string& text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return false;
        const int high = hexDigit(text[i + 1]), low = hexDigit(text[i + 2]);
        if (high < 0 || low < 0) return false;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return true;
}

std::string hexOf(std::span<const std::uint8_t> bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const std::uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 0x0F];
    }
    return out;
}

bool bytesOfHex(const std::string& hex, std::span<std::uint8_t> bytes) {
    if (hex.size() != bytes.size() * 2) return false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const int high = hexDigit(hex[2 * i]), low = hexDigit(hex[2 * i + 1]);
        if (high < 0 || low < 0) return false;
        bytes[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return true;
}

bool parseTime(const std::string& text, LocalDateTime& t) {
    return std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d", &t.year, &t.month, &t.day, &t.hour, &t.minute,
                       &t.second) == 6;
}

// Letters, digits, '.' and '-' stay; anything else becomes '_'. Two connections that
// meet in one name are told apart by the file's own "polaczenie" line.
std::string fileWord(const std::string& text) {
    std::string out;
    for (const char c : text) out += std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' ? c : '_';
    return out;
}

} // namespace

std::size_t WriteJournal::firstUnacknowledged() const {
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (!lines[i].acknowledged) return i;
    return lines.size();
}

std::size_t WriteJournal::acknowledgedCount() const {
    std::size_t count = 0;
    for (const auto& line : lines) count += line.acknowledged ? 1 : 0;
    return count;
}

std::string connectionIdentity(bool tcp, int comPort, const std::string& device, const std::string& address, int tcpPort) {
    if (tcp) return address + ":" + std::to_string(tcpPort);
    return "COM" + std::to_string(comPort) + (device.empty() ? "" : " " + device);
}

std::string settingsHash(const SettingsImage& image) {
    std::uint64_t hash = 14695981039346656037ULL;
    for (const std::uint8_t b : image.bytes()) {
        hash ^= b;
        hash *= 1099511628211ULL;
    }
    char text[20];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

std::string journalPath(const std::string& folder, const std::string& connection) {
    // No backup folder: no journal, rather than one in whatever folder is current.
    if (folder.empty()) return {};
    return pathToUtf8(pathFromUtf8(folder) / pathFromUtf8(fileWord(connection) + ".zapis"));
}

bool saveJournal(const std::string& path, const WriteJournal& journal, bool flush) {
    std::string text = std::string(kHeader) + "\n";
    text += "polaczenie " + escaped(journal.connection) + "\n";
    text += "wersja " + escaped(journal.versionText) + "\n";
    text += "cel " + settingsHash(journal.target) + "\n";
    text += "rekord " + hexOf(journal.target.bytes()) + "\n";
    if (!journal.backupPath.empty()) text += "kopia " + escaped(journal.backupPath) + "\n";
    text += "czas " + backupTimeText(journal.started) + "\n";
    text += "akcje";
    for (const auto& action : journal.actions) text += " " + action;
    text += "\n";
    for (const auto& line : journal.lines) text += (line.acknowledged ? "+ " : "- ") + escaped(line.text) + "\n";
    std::error_code error;
    fs::create_directories(pathFromUtf8(path).parent_path(), error);
    return replaceFile(pathFromUtf8(path), text, flush) == ReplaceResult::Ok;
}

JournalLoad loadJournal(const std::string& path, WriteJournal& journal) {
    std::string content;
    switch (readRegularFile(pathFromUtf8(path), kJournalMax, content)) {
    case FileRead::Ok: break;
    case FileRead::NotOpened: {
        std::error_code error;
        return fs::exists(pathFromUtf8(path), error) ? JournalLoad::Damaged : JournalLoad::Missing;
    }
    default: return JournalLoad::Damaged;
    }
    journal = {};
    std::istringstream in(content);
    std::string line;
    if (!std::getline(in, line) || line != kHeader) return JournalLoad::Damaged;
    std::string hash;
    bool haveRecord = false;
    while (std::getline(in, line)) {
        const auto space = line.find(' ');
        const std::string key = line.substr(0, space);
        const std::string value = space == std::string::npos ? "" : line.substr(space + 1);
        std::string text;
        if (key == "+" || key == "-") {
            if (!unescaped(value, text)) return JournalLoad::Damaged;
            journal.lines.push_back({text, key == "+"});
        } else if (key == "polaczenie" || key == "wersja" || key == "kopia") {
            if (!unescaped(value, text)) return JournalLoad::Damaged;
            (key == "polaczenie" ? journal.connection : key == "wersja" ? journal.versionText : journal.backupPath) = text;
        } else if (key == "cel") {
            hash = value;
        } else if (key == "rekord") {
            haveRecord = bytesOfHex(value, journal.target.bytes());
        } else if (key == "czas") {
            if (!parseTime(value, journal.started)) return JournalLoad::Damaged;
        } else if (key == "akcje") {
            std::istringstream words(value);
            for (std::string word; words >> word;) journal.actions.push_back(word);
        }
        // Other items are from a later program: ignored, as the ones above would be by it.
    }
    if (!haveRecord || hash != settingsHash(journal.target) || journal.connection.empty()) return JournalLoad::Damaged;
    return JournalLoad::Ok;
}

bool removeJournal(const std::string& path) {
    std::error_code error;
    fs::remove(pathFromUtf8(path), error);
    return !fs::exists(pathFromUtf8(path), error);
}

} // namespace kavrel::config
