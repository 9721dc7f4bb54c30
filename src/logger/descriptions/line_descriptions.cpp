#include "logger/descriptions/line_descriptions.h"

#include <algorithm>
#include <climits>
#include <fstream>

#include "common/bytes.h"
#include "common/regular_file.h"
#include "common/replace_file.h"

namespace kavrel::logger {
namespace {

constexpr std::string_view kDataMagic = "KVRL-Log";
constexpr std::string_view kTextMagic = "Kavrel";
constexpr std::size_t kFullExportAt = 12;
constexpr std::size_t kEntriesAt = 16;
constexpr std::size_t kNameAt = 16;          // within an entry
constexpr std::size_t kNameField = 32;
constexpr std::size_t kIgnoredLineMax = 1023;  // the two comment lines are read in pieces this long
constexpr std::size_t kCommaSearch = 100;      // the name starts after a third comma within these

// A name from bytes: up to the first NUL, cut to what the 32-byte field can hold.
std::string nameFrom(std::string_view bytes) {
    const auto end = bytes.find('\0');
    return std::string(bytes.substr(0, std::min({end, bytes.size(), kLineNameMax})));
}

LineDescription entryFrom(std::span<const std::uint8_t> entry) {
    LineDescription d;
    d.kindOverride = static_cast<std::int32_t>(bytes::get32le(entry, 0));
    d.extra1 = static_cast<std::int32_t>(bytes::get32le(entry, 4));
    d.extra2 = static_cast<std::int32_t>(bytes::get32le(entry, 8));
    const auto name = entry.subspan(kNameAt, kNameField);
    d.name = nameFrom(std::string_view(reinterpret_cast<const char*>(name.data()), name.size()));
    return d;
}

// Reads text like the C library's line and number readers do, without their buffers.
class TextReader {
public:
    explicit TextReader(std::string_view text) : text_(text) {}

    bool atEnd() const { return at_ >= text_.size(); }

    void skipSpace() {
        while (!atEnd() && isSpace(text_[at_])) ++at_;
    }

    std::string_view word() {
        skipSpace();
        const auto start = at_;
        while (!atEnd() && !isSpace(text_[at_])) ++at_;
        return text_.substr(start, at_ - start);
    }

    // Up to and including the next line feed, or at most max characters.
    std::string_view line(std::size_t max = std::string_view::npos) {
        const auto start = at_;
        while (!atEnd() && at_ - start < max) {
            if (text_[at_++] == '\n') break;
        }
        return text_.substr(start, at_ - start);
    }

    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

private:
    std::string_view text_;
    std::size_t at_ = 0;
};

// One "%d": optional white space, sign and digits; false (value untouched) without digits.
// Values beyond 32 bits are held at the limit.
bool scanInt(std::string_view& in, std::int32_t& value) {
    std::size_t i = 0;
    while (i < in.size() && TextReader::isSpace(in[i])) ++i;
    bool negative = false;
    if (i < in.size() && (in[i] == '-' || in[i] == '+')) negative = in[i++] == '-';
    const auto digits = i;
    long long v = 0;
    while (i < in.size() && in[i] >= '0' && in[i] <= '9') {
        v = std::min<long long>(v * 10 + (in[i] - '0'), 1LL << 32);
        ++i;
    }
    if (i == digits) return false;
    v = negative ? -v : v;
    value = static_cast<std::int32_t>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
    in.remove_prefix(i);
    return true;
}

// "override,extra1,extra2,name": the numbers as far as they scan, the name after the
// third comma found within the line's first 100 characters.
LineDescription entryFromLine(std::string_view line) {
    LineDescription d;
    std::string_view numbers = line;
    std::int32_t* fields[] = {&d.kindOverride, &d.extra1, &d.extra2};
    for (std::size_t f = 0; f < 3; ++f) {
        if (!scanInt(numbers, *fields[f])) break;
        if (f < 2) {
            if (numbers.empty() || numbers.front() != ',') break;
            numbers.remove_prefix(1);
        }
    }

    std::size_t at = 0;
    for (int commas = 0; commas < 3; ++commas) {
        at = line.substr(0, kCommaSearch).find(',', at);
        if (at == std::string_view::npos) return d;
        ++at;
    }
    std::string_view name = line.substr(at);
    while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.remove_suffix(1);
    d.name = nameFrom(name);
    return d;
}

// The start of a regular file, at most limit bytes: what the loaders look at is far
// shorter, and a stray huge file must not be read whole. A folder, a FIFO, a device or a
// failed read counts as no file.
std::optional<std::string> readStart(const std::filesystem::path& file, std::size_t limit) {
    std::string bytes;
    if (readRegularFile(file, limit, bytes) != FileRead::Ok) return std::nullopt;
    return bytes;
}

constexpr std::size_t kTextReadLimit = 64 * 1024;

} // namespace

std::optional<LineDescriptions> parseDescriptionData(std::span<const std::uint8_t> data) {
    if (data.size() < kDataMagic.size() ||
        !std::equal(kDataMagic.begin(), kDataMagic.end(), data.begin()))
        return std::nullopt;
    LineDescriptions table;
    if (data.size() >= kFullExportAt + 4)
        table.fullExport = static_cast<std::int32_t>(bytes::get32le(data, kFullExportAt));
    for (std::size_t i = 0; i < kDescribedLines; ++i) {
        const std::size_t at = kEntriesAt + i * kDescriptionEntrySize;
        if (at + kDescriptionEntrySize > data.size()) break;
        table.lines[i] = entryFrom(data.subspan(at, kDescriptionEntrySize));
    }
    return table;
}

std::optional<LineDescriptions> parseDescriptionText(std::string_view text) {
    TextReader in(text);
    if (in.word() != kTextMagic) return std::nullopt;
    in.skipSpace();
    for (int ignored = 0; ignored < 2; ++ignored) in.line(kIgnoredLineMax);

    LineDescriptions table;
    table.loadedFromText = true;
    for (auto& entry : table.lines) {
        if (in.atEnd()) break;
        entry = entryFromLine(in.line());
    }
    return table;
}

std::vector<std::uint8_t> descriptionData(const LineDescriptions& table) {
    std::vector<std::uint8_t> data(kDescriptionDataSize, 0);
    std::copy(kDataMagic.begin(), kDataMagic.end(), data.begin());
    // bytes 8..15: a zero word and fullExport 0, the reduced CSV
    for (std::size_t i = 0; i < kDescribedLines; ++i) {
        const auto entry = std::span(data).subspan(kEntriesAt + i * kDescriptionEntrySize, kDescriptionEntrySize);
        const auto& d = table.lines[i];
        bytes::put32le(entry, 0, static_cast<std::uint32_t>(d.kindOverride));
        bytes::put32le(entry, 4, static_cast<std::uint32_t>(d.extra1));
        bytes::put32le(entry, 8, static_cast<std::uint32_t>(d.extra2));
        const auto name = std::string_view(d.name).substr(0, kLineNameMax);
        std::copy(name.begin(), name.end(), entry.begin() + kNameAt);
    }
    return data;
}

bool asksToWriteDescriptionData(std::span<const std::string> words) {
    constexpr std::size_t kWords = 10;
    constexpr std::size_t kWordLength = 255;
    const auto considered = words.subspan(0, std::min(words.size(), kWords));
    return std::any_of(considered.begin(), considered.end(), [](const std::string& word) {
        return std::string_view(word).substr(0, kWordLength).find("/wrdat") != std::string_view::npos;
    });
}

FileResult writeDescriptionData(const std::filesystem::path& file, const LineDescriptions& table) {
    const auto data = descriptionData(table);
    // Through a temporary file: a failed write keeps the old data file whole.
    return toFileResult(replaceFile(file, std::string_view(reinterpret_cast<const char*>(data.data()), data.size())));
}

LineDescriptions loadLineDescriptions(const std::filesystem::path& folder, bool writeData, bool* dataWriteFailed) {
    if (const auto bytes = readStart(folder / kDescriptionDataFile, kDescriptionDataSize)) {
        const auto* begin = reinterpret_cast<const std::uint8_t*>(bytes->data());
        return parseDescriptionData(std::span(begin, bytes->size())).value_or(LineDescriptions{});
    }

    LineDescriptions table;
    if (const auto text = readStart(folder / kDescriptionTextFile, kTextReadLimit))
        table = parseDescriptionText(*text).value_or(LineDescriptions{});

    if (writeData && table.loadedFromText) {
        const bool written = writeDescriptionData(folder / kDescriptionDataFile, table) == FileResult::Ok;
        if (dataWriteFailed) *dataWriteFailed = !written;
    }
    return table;
}

} // namespace kavrel::logger
