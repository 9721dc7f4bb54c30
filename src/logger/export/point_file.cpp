#include "logger/export/point_file.h"

#include <algorithm>

#include "common/bytes.h"
#include "common/win1250.h"
#include "logger/export/csv_fields.h"
#include "logger/export/export_files.h"
#include "logger/export/record_texts.h"
#include "logger/protocol/frame.h"
#include "logger/records/event_row.h"
#include "logger/records/record_layout.h"

namespace kavrel::logger {
namespace {

RecordTime timeOf(const RecordBytes& record) { return decodeRecordTime(std::span(record).subspan<record::kTime, 4>()); }

} // namespace

std::string PointFile::createFiles(const std::filesystem::path& chosen) {
    std::filesystem::path name = chosen;
    if (name.extension() != extension_) name += extension_;
    if (file_.create(name) != FileResult::Ok) return std::string("Błąd otwarcia pliku ") + (extension_ + 1) + " do zapisu.";
    return "";
}

void PointFile::writeHeaders(const ExportColumns& columns, const LocalDateTime&) {
    lines_ = columns.lines;
    headings_ = csvHeadings(descriptions_, {columns.lines, columns.extendedLines, columns.energyMeter, true});
    headings_.states.pop_back();   // correctness is a field of every point
    downloadStarted();
}

void PointFile::downloadStarted() {
    history_.emplace(descriptions_, lines_, true);
    measurementTime_.reset();
}

bool PointFile::place(RecordPoint& point, const RecordBytes& record, bool correct, bool ownTime) {
    point.module = module_;
    point.correct = correct;
    std::optional<RecordTime> time = measurementTime_;
    if (ownTime) time = isBlankTime(record) ? std::nullopt : std::optional(timeOf(record));
    if (!time) return false;
    point.isoTime = stamps_.next({time->year, time->month, time->day, time->hour, time->minute, time->second});
    long long ns = *stamps_.lastSeconds() * 1000000000LL;
    long long& last = lastNs_[point.kind];
    // Two records of a kind in one second would be one point to the database.
    if (ns <= last && ns / 1000000000LL == last / 1000000000LL) ns = last + 1;
    last = ns;
    point.unixNs = ns;
    return true;
}

void PointFile::readings(RecordPoint& point, const std::vector<std::string>& values, std::size_t from,
                         const std::vector<std::string>& headings, const std::vector<std::string>& ids) {
    for (std::size_t i = 0; i < headings.size() && from + i < values.size(); ++i) {
        const auto [name, unit] = headingNameAndUnit(headings[i]);
        point.readings.push_back({ids[i], name, unit, cp1250::toUtf8(values[from + i])});
    }
}

void PointFile::historyRecord(const RecordBytes& record, bool correct) {
    if (!history_) downloadStarted();
    RecordPoint point;
    if (record[record::kKind] == record::kMeasurement) {
        std::string line = history_->measurement(record, timeOf(record), correct);
        if (!line.empty() && line.front() == '\n') line.erase(0, 1);
        const std::vector<std::string> values = splitPlainFields(line);
        measurementNumber_ = static_cast<std::int32_t>(bytes::get32le(record, record::kNumber));
        measurementTime_ = isBlankTime(record) ? std::nullopt : std::optional(timeOf(record));
        point.kind = "pomiar";
        point.number = measurementNumber_;
        if (!place(point, record, correct, true)) return;
        readings(point, values, 2, headings_.inputs, headings_.inputIds);
        const std::size_t states = 2 + headings_.inputs.size();
        for (std::size_t i = 0; i < headings_.states.size() && states + i < values.size(); ++i)
            point.states.emplace_back(cp1250::toUtf8(headings_.states[i]), cp1250::toUtf8(values[states + i]));
    } else {
        std::string line = history_->extended(record);
        if (!line.empty() && line.back() == '\n') line.pop_back();
        if (line.empty()) return;   // the module logged no extended values
        point.kind = "rozszerzone";
        point.number = measurementNumber_;
        if (!place(point, record, correct, false)) return;
        readings(point, splitPlainFields(line.substr(1)), 0, headings_.extended, headings_.extendedIds);
    }
    file_.writeBytes(format_(point));
}

void PointFile::eventRecord(const RecordBytes& record, bool correct) {
    RecordPoint point;
    point.kind = "zdarzenie";
    point.number = static_cast<std::int32_t>(bytes::get32le(record, record::kNumber));
    if (!place(point, record, correct, true)) return;
    PointEvent event;
    event.code = record[event::kCode];
    event.p1 = record[event::kP1];
    event.p2 = record[event::kP2];
    event.p3 = record[event::kP3];
    const std::string& name = eventName(event.code);
    event.name = name.empty() ? std::to_string(event.code) : cp1250::toUtf8(name);
    event.text = eventText(record);
    point.event = std::move(event);
    file_.writeBytes(format_(point));
}

void PointFile::downloadEnded(DownloadEnd end) {
    if (end == DownloadEnd::Complete) (void)file_.commit();
    else (void)file_.keepAs(partialFileName(file_.target()));
}

} // namespace kavrel::logger
