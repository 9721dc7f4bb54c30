#include "logger/archive/archive_import.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

#include "common/file_names.h"
#include "logger/export/csv_fields.h"
#include "logger/export/kvl_csv.h"
#include "logger/export/offset_stamps.h"
#include "logger/protocol/frame.h"
#include "logger/records/record_layout.h"

namespace kavrel::logger::archive {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

struct ParsedFile {
    ModuleStatus status;
    std::string moduleName, started, reason;
    std::vector<ArchivedRecord> records;
    std::vector<Hole> holes;
};

bool parseInteger(const std::string& text, std::int64_t& value) {
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && at == end && !text.empty();
}

std::optional<std::vector<std::uint8_t>> parseHex(const std::string& text) {
    if (text.size() % 2 != 0) return std::nullopt;
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        unsigned value = 0;
        const auto [at, error] = std::from_chars(text.data() + i, text.data() + i + 2, value, 16);
        if (error != std::errc() || at != text.data() + i + 2) return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
    return bytes;
}

// The column of each name the rows are read by.
struct Columns {
    std::size_t number = 0, time = 0, kind = 0, index = 0, correct = 0, lastNumber = 0, frame = 0;
};

std::string readHead(CsvReader& reader, ParsedFile& parsed, Columns& columns) {
    std::vector<std::string> first, names, units, kinds;
    if (!reader.next(first) || first.size() < kvl::kFirstLineFields || first[kvl::kFormat] != kKvlCsvFormat)
        return "to nie jest plik formatu kvl-csv";
    if (first[kvl::kVersion] != kKvlCsvVersion) return "nieznana wersja formatu kvl-csv: " + first[kvl::kVersion];
    if (!reader.next(names) || !reader.next(units) || !reader.next(kinds) || units.size() != names.size() ||
        kinds.size() != names.size())
        return "niepełny nagłówek pliku";
    const auto status = parseHex(first[kvl::kStatus]);
    if (!status || status->size() != kStatusFrameSize) return "nagłówek nie zawiera stanu modułu";
    parsed.status = decodeStatus(std::span<const std::uint8_t, kStatusFrameSize>(status->data(), kStatusFrameSize));
    parsed.moduleName = first[kvl::kModule];
    parsed.started = first[kvl::kStarted];
    parsed.reason = first[kvl::kReason];
    const std::pair<const char*, std::size_t*> wanted[] = {
        {"Nr", &columns.number},     {"Czas", &columns.time},        {"Rodzaj", &columns.kind},
        {"Pozycja", &columns.index}, {"Poprawność", &columns.correct}, {"Do nr", &columns.lastNumber},
        {"Ramka", &columns.frame},
    };
    for (const auto& [name, column] : wanted) {
        const auto at = std::find(names.begin(), names.end(), name);
        if (at == names.end()) return std::string("brak kolumny „") + name + "”";
        *column = static_cast<std::size_t>(at - names.begin());
    }
    return "";
}

std::string readRow(const std::vector<std::string>& row, std::size_t width, const Columns& c, ParsedFile& parsed) {
    if (row.size() != width) return "liczba pól inna niż w nagłówku";
    std::int64_t number = 0;
    if (!parseInteger(row[c.number], number)) return "niepoprawny numer rekordu";
    if (row[c.kind] == kvl::kLostRow) {
        std::int64_t last = 0;
        if (!parseInteger(row[c.lastNumber], last) || last < number) return "niepoprawny zakres utraconych numerów";
        parsed.holes.push_back({number, last, stampOfIsoTime(row[c.time])});
        return "";
    }
    std::int64_t index = 0;
    const auto frame = parseHex(row[c.frame]);
    if (!frame || frame->size() <= record::kKind) return "niepoprawna ramka rekordu";
    if (!parseInteger(row[c.index], index) || index < 0 || index > INT32_MAX) return "niepoprawna pozycja w pamięci";
    if (row[c.correct] != "0" && row[c.correct] != "1") return "poprawność to 0 albo 1";
    if (!row[c.time].empty() && stampOfIsoTime(row[c.time]).empty()) return "niepoprawny czas " + row[c.time];
    ArchivedRecord r;
    r.number = number;
    r.kind = (*frame)[record::kKind];
    r.stamp = stampOfIsoTime(row[c.time]);
    r.correct = row[c.correct] == "1";
    r.moduleIndex = static_cast<int>(index);
    r.frame = *frame;
    parsed.records.push_back(std::move(r));
    return "";
}

std::string parseFile(std::string_view text, ParsedFile& parsed) {
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    CsvReader reader(text, ',');
    Columns columns;
    if (std::string error = readHead(reader, parsed, columns); !error.empty()) return error;
    std::vector<std::string> names;
    CsvReader widthReader(text, ',');
    for (int i = 0; i < 2; ++i) widthReader.next(names);
    std::vector<std::string> row;
    while (reader.next(row)) {
        if (row.size() == 1 && row[0].empty()) continue;   // an empty last line
        if (std::string error = readRow(row, names.size(), columns, parsed); !error.empty())
            return "wiersz " + std::to_string(reader.line()) + ": " + error;
    }
    if (reader.malformed()) return "wiersz " + std::to_string(reader.line()) + ": cudzysłów bez końca";
    if (parsed.records.empty()) return "plik nie zawiera rekordów";
    return "";
}

bool readFileText(const std::filesystem::path& file, std::string& text) {
    std::FILE* in = openFile(file, "rb");
    if (!in) return false;
    char chunk[65536];
    while (const std::size_t n = std::fread(chunk, 1, sizeof chunk, in)) text.append(chunk, n);
    const bool read = !std::ferror(in);
    std::fclose(in);
    return read;
}

} // namespace

// Whether the module already holds a segment with the file's records: the same segment of
// an archive export, or a numbered record of the same number and frame.
std::optional<std::int64_t> importedBefore(Archive& archive, std::int64_t module, const ParsedFile& parsed) {
    const auto numbered = std::find_if(parsed.records.begin(), parsed.records.end(), [](const ArchivedRecord& r) {
        return r.correct && (r.kind == record::kMeasurement || r.kind == record::kEvent);
    });
    for (const ModuleInfo& m : archive.modules(parsed.moduleName)) {
        if (m.id != module) continue;
        for (const SegmentInfo& s : m.segments) {
            if (!parsed.started.empty() && s.started == parsed.started && s.reason == parsed.reason) return s.id;
            if (numbered != parsed.records.end() && archive.findSlot(s.id, numbered->number, numbered->kind, numbered->frame))
                return s.id;
        }
    }
    return std::nullopt;
}

ImportOutcome importHistory(Archive& archive, const std::string& text, const std::string& name, const std::string& now) {
    ImportOutcome outcome;
    ParsedFile parsed;
    if (std::string error = parseFile(text, parsed); !error.empty()) {
        outcome.error = "Plik „" + name + "”: " + error + ".";
        return outcome;
    }
    const auto module = archive.module(identityOf(parsed.status, parsed.moduleName));
    if (!module) {
        outcome.error = "Błąd zapisu archiwum: " + archive.error();
        return outcome;
    }
    // The same file imported twice would hold its records twice.
    if (const auto earlier = importedBefore(archive, *module, parsed)) {
        outcome.error = "Archiwum zawiera już rekordy tego pliku (segment " + std::to_string(*earlier) + ").";
        return outcome;
    }
    if (parsed.started.empty()) {
        parsed.started = now;
        parsed.reason = "import z pliku " + name;
    }
    const auto segment = archive.newSegment(*module, parsed.status, parsed.reason, parsed.started);
    if (!segment || !archive.append(*segment, parsed.records, 0)) {
        outcome.error = "Błąd zapisu archiwum: " + archive.error();
        return outcome;
    }
    for (const Hole& hole : parsed.holes)
        if (!archive.noteHole(*segment, hole)) {
            outcome.error = "Błąd zapisu archiwum: " + archive.error();
            return outcome;
        }
    outcome.ok = true;
    outcome.segment = *segment;
    outcome.records = static_cast<long long>(parsed.records.size());
    outcome.holes = static_cast<long long>(parsed.holes.size());
    return outcome;
}

ImportOutcome importHistoryFile(Archive& archive, const std::filesystem::path& file, const std::string& now) {
    std::string text;
    if (!readFileText(file, text)) {
        ImportOutcome outcome;
        outcome.error = "Nie można odczytać pliku „" + pathToUtf8(file) + "”.";
        return outcome;
    }
    return importHistory(archive, text, pathToUtf8(file), now);
}

} // namespace kavrel::logger::archive
