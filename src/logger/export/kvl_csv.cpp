#include "logger/export/kvl_csv.h"

#include <algorithm>
#include <cstdio>

#include "common/bytes.h"
#include "common/win1250.h"
#include "logger/export/csv_fields.h"
#include "logger/export/export_files.h"
#include "logger/export/export_names.h"
#include "logger/export/record_texts.h"
#include "logger/protocol/frame.h"
#include "logger/records/event_row.h"
#include "logger/records/record_layout.h"

#ifndef KAVREL_TOOL_VERSION
#define KAVREL_TOOL_VERSION "0"
#endif

namespace kavrel::logger {
namespace {

// The columns before and after the line and state columns, with their unit and kind.
struct FixedColumn {
    const char* name;
    const char* unit;
    const char* kind;
};
constexpr FixedColumn kLeading[] = {
    {"Nr", "", "number"}, {"Czas", "ISO 8601", "time"}, {"Rodzaj", "", "record"}, {"Pozycja", "", "number"},
};
constexpr FixedColumn kTrailing[] = {
    {"Zdarzenie", "", "event"}, {"P1", "", "event"}, {"P2", "", "event"}, {"P3", "", "event"},
    {"Tekst", "", "event"}, {"Poprawność", "", "state"}, {"Do nr", "", "number"}, {"Ramka", "hex", "frame"},
};
constexpr std::size_t kLeadingCount = std::size(kLeading), kTrailingCount = std::size(kTrailing);

// The state columns that count rather than tell a state; GSM is the signal's level.
const char* stateKind(const std::string& heading) {
    if (heading == "SMS" || heading == "E-mail") return "counter";
    if (heading == "GSM") return "reading";
    return "state";
}

std::string hexOf(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (std::uint8_t b : bytes) text += {kDigits[b >> 4], kDigits[b & 15]};
    return text;
}

const char* kindWord(std::uint8_t kind) {
    switch (kind) {
    case record::kMeasurement: return "pomiar";
    case record::kExtended: return "rozszerzony";
    case record::kEvent: return "zdarzenie";
    default: return "pusty";
    }
}

std::string frameStamp(const RecordBytes& record) {
    if (isBlankTime(record)) return "";
    const RecordTime t = decodeRecordTime(std::span(record).subspan<record::kTime, 4>());
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return text;
}

} // namespace

std::string KvlCsvFile::createFiles(const std::filesystem::path& chosen) {
    if (csv_.create(csvFileName(chosen)) != FileResult::Ok) return "Błąd otwarcia pliku CSV do zapisu.";
    return "";
}

void KvlCsvFile::writeHeaders(const ExportColumns& columns, const LocalDateTime&) {
    lines_ = columns.lines;
    headings_ = csvHeadings(descriptions_, {columns.lines, columns.extendedLines, columns.energyMeter, true});
    headings_.states.pop_back();   // correctness is a column of every row, at the end
    history_.emplace(descriptions_, lines_, true);

    std::vector<std::string> first(kvl::kFirstLineFields);
    first[kvl::kFormat] = kKvlCsvFormat;
    first[kvl::kVersion] = kKvlCsvVersion;
    first[kvl::kModule] = source_.moduleName;
    first[kvl::kTool] = "kavrel";
    first[kvl::kToolVersion] = KAVREL_TOOL_VERSION;
    first[kvl::kFrom] = source_.from;
    first[kvl::kTo] = source_.to;
    if (source_.status) {
        first[kvl::kFirmware] = source_.status->versionText();
        first[kvl::kStatus] = hexOf(encodeStatus(*source_.status));
    }
    first[kvl::kStarted] = source_.started;
    first[kvl::kReason] = source_.reason;

    std::vector<std::string> names, units, kinds;
    const auto fixed = [&](const FixedColumn& c) {
        names.push_back(c.name), units.push_back(c.unit), kinds.push_back(c.kind);
    };
    const auto headed = [&](const std::string& heading, const char* kind) {
        const auto [name, unit] = headingNameAndUnit(heading);
        names.push_back(name), units.push_back(unit), kinds.push_back(kind);
    };
    for (const FixedColumn& c : kLeading) fixed(c);
    for (const std::string& h : headings_.inputs) headed(h, "reading");
    for (const std::string& h : headings_.states) headed(h, stateKind(h));
    for (const std::string& h : headings_.extended) headed(h, "reading");
    for (const FixedColumn& c : kTrailing) fixed(c);
    for (const auto* line : {&first, &names, &units, &kinds}) csv_.write(csvLine(*line, ',') + "\n");
}

std::vector<std::string> KvlCsvFile::emptyRow() const {
    return std::vector<std::string>(kLeadingCount + headings_.inputs.size() + headings_.states.size() +
                                    headings_.extended.size() + kTrailingCount);
}

void KvlCsvFile::downloadStarted() {
    history_.emplace(descriptions_, lines_, true);
    number_ = 0;
    measurementStamp_.clear();
}

void KvlCsvFile::recordSlot(int index, std::span<const std::uint8_t> frame, bool correct) {
    if (archived_ || frame.size() <= record::kKind) return;
    const std::uint8_t kind = frame[record::kKind];
    RecordBytes record{};
    std::copy_n(frame.begin(), std::min(frame.size(), record.size()), record.begin());
    // As the archive numbers them: a numbered record by its own number unless its check
    // failed (then the next one), every other slot by the numbered record before it.
    if (kind == record::kMeasurement || kind == record::kEvent) {
        number_ = correct && frame.size() >= record::kNumber + 4
                      ? static_cast<std::int32_t>(bytes::get32le(frame, record::kNumber))
                      : number_ + 1;
    }
    std::string stamp = kind == record::kExtended ? measurementStamp_ : frameStamp(record);
    if (kind == record::kMeasurement) measurementStamp_ = stamp;
    writeRow({number_, std::move(stamp), index}, frame, correct);
}

void KvlCsvFile::archivedSlot(const ArchivedPlace& place, std::span<const std::uint8_t> frame, bool correct) {
    archived_ = true;
    writeRow(place, frame, correct);
}

void KvlCsvFile::writeLostBefore(std::optional<std::int64_t> number) {
    const auto& lost = source_.lost;
    for (; nextLost_ < lost.size() && (!number || lost[nextLost_].last < *number); ++nextLost_) {
        // Numbers lost before the period exported are not this file's.
        if (!anyRow_ && number && !source_.from.empty()) continue;
        std::vector<std::string> row = emptyRow();
        row[0] = std::to_string(lost[nextLost_].first);
        row[1] = noticedStamps_.nextStamp(lost[nextLost_].noticed);
        row[2] = kvl::kLostRow;
        row[row.size() - 2] = std::to_string(lost[nextLost_].last);
        csv_.write(csvLine(row, ',') + "\n");
    }
}

void KvlCsvFile::writeRow(const ArchivedPlace& place, std::span<const std::uint8_t> frame, bool correct) {
    if (frame.size() <= record::kKind) return;
    const std::uint8_t kind = frame[record::kKind];
    if (kind == record::kMeasurement || kind == record::kEvent) writeLostBefore(place.number);
    anyRow_ = true;
    RecordBytes record{};
    std::copy_n(frame.begin(), std::min(frame.size(), record.size()), record.begin());

    std::vector<std::string> row = emptyRow();
    row[0] = std::to_string(place.number);
    row[1] = stamps_.nextStamp(place.stamp);
    row[2] = kindWord(kind);
    row[3] = std::to_string(place.index);
    const std::size_t states = kLeadingCount + headings_.inputs.size();
    const std::size_t extended = states + headings_.states.size();
    const std::size_t trailing = extended + headings_.extended.size();
    if (kind == record::kMeasurement) {
        std::string line = history_->measurement(record, decodeRecordTime(std::span(record).subspan<record::kTime, 4>()),
                                                 correct);
        if (!line.empty() && line.front() == '\n') line.erase(0, 1);
        const std::vector<std::string> values = splitPlainFields(line);
        // Number and time lead, correctness ends the values.
        for (std::size_t i = 2; i + 1 < values.size() && kLeadingCount + i - 2 < extended; ++i)
            row[kLeadingCount + i - 2] = cp1250::toUtf8(values[i]);
    } else if (kind == record::kExtended) {
        std::string line = history_->extended(record);
        if (!line.empty() && line.back() == '\n') line.pop_back();
        if (!line.empty() && line.front() == ',') line.erase(0, 1);
        const std::vector<std::string> values = line.empty() ? std::vector<std::string>{} : splitPlainFields(line);
        for (std::size_t i = 0; i < values.size() && extended + i < trailing; ++i)
            row[extended + i] = cp1250::toUtf8(values[i]);
    } else if (kind == record::kEvent) {
        const int code = record[event::kCode];
        const std::string& name = eventName(code);
        row[trailing] = name.empty() ? std::to_string(code) : cp1250::toUtf8(name);
        row[trailing + 1] = std::to_string(record[event::kP1]);
        row[trailing + 2] = std::to_string(record[event::kP2]);
        row[trailing + 3] = std::to_string(record[event::kP3]);
        row[trailing + 4] = eventText(record);
    }
    row[trailing + 5] = correct ? "1" : "0";
    row[trailing + 7] = hexOf(frame);
    csv_.write(csvLine(row, ',') + "\n");
}

void KvlCsvFile::downloadEnded(DownloadEnd end) {
    if (end == DownloadEnd::Complete) {
        // Numbers lost after the last record exported belong to a period not asked for.
        if (source_.to.empty()) writeLostBefore(std::nullopt);
        (void)csv_.commit();
        return;
    }
    // A failed download's rows never pass for a whole history (an import would take them as one).
    (void)csv_.keepAs(partialFileName(csv_.target()));
}

} // namespace kavrel::logger
