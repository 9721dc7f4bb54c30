#include "logger/export/export_files.h"

#include <span>
#include <system_error>

#include "common/file_names.h"
#include "common/win1250.h"

#include "logger/export/csv_form.h"
#include "logger/export/export_names.h"
#include "logger/export/html_page.h"
#include "logger/records/event_row.h"
#include "logger/records/record_layout.h"
#include "logger/records/record_time.h"

namespace kavrel::logger {
namespace {

RecordTime timeOf(const RecordBytes& record) {
    return decodeRecordTime(std::span(record).subspan<record::kTime, 4>());
}

} // namespace

ExportFiles::ExportFiles(const LineDescriptions& descriptions, bool printMode, bool separateComma, CsvDialect dialect)
    : descriptions_(descriptions),
      full_(descriptions.fullExport != 0 && !printMode),
      semicolon_(semicolonForm(separateComma, printMode)),
      dialect_(printMode ? CsvDialect::Original : dialect) {}

std::filesystem::path besideFileName(const std::filesystem::path& name, std::string_view tag) {
    return name.parent_path() / pathFromUtf8(pathToUtf8(name.stem()) + std::string(tag) + pathToUtf8(name.extension()));
}

std::filesystem::path partialFileName(const std::filesystem::path& name) { return besideFileName(name, " (niepełny)"); }

ExportFiles::CreateResult ExportFiles::create(const std::filesystem::path& csv, const std::filesystem::path& html) {
    if (csv_.create(csv) != FileResult::Ok) return CreateResult::CsvNotCreated;
    if (html_.create(html) != FileResult::Ok) {
        (void)csv_.commitUnlessTargetExists();
        return CreateResult::HtmlNotCreated;
    }
    return CreateResult::FilesCreated;
}

std::string ExportFiles::createFiles(const std::filesystem::path& chosen) {
    const std::filesystem::path csv = csvFileName(chosen);
    switch (create(csv, htmlFileName(csv))) {
    case CreateResult::CsvNotCreated: return "Błąd otwarcia pliku CSV do zapisu.";
    case CreateResult::HtmlNotCreated: return "Błąd otwarcia pliku HTML do zapisu.";
    case CreateResult::FilesCreated: break;
    }
    return "";
}

void ExportFiles::writeHeaders(const ExportColumns& columns, const LocalDateTime& generated) {
    lines_ = columns.lines;
    history_.emplace(descriptions_, lines_, full_);
    const HeaderColumns headerColumns{columns.lines, columns.extendedLines, columns.energyMeter, full_};
    if (dialect_ == CsvDialect::Original) {
        writeCsv(csvHeader(descriptions_, headerColumns));
    } else {
        const CsvHeadings headings = csvHeadings(descriptions_, headerColumns);
        std::vector<std::string> all{"Lp", "Czas RTC"};
        for (const auto* part : {&headings.inputs, &headings.states, &headings.extended})
            all.insert(all.end(), part->begin(), part->end());
        csv_.write(dialectPreamble(dialect_) + dialectHeading(dialect_, all));
    }
    html_.write(htmlHead(generated));
}

void ExportFiles::downloadStarted() {
    history_.emplace(descriptions_, lines_, full_);
}

void ExportFiles::historyRecord(const RecordBytes& record, bool correct) {
    if (!history_) history_.emplace(descriptions_, lines_, full_);
    if (record[record::kKind] == record::kMeasurement) writeCsv(history_->measurement(record, timeOf(record), correct));
    else if (record[record::kKind] == record::kExtended) writeCsv(history_->extended(record));
}

void ExportFiles::eventRecord(const RecordBytes& record, bool correct) {
    html_.write(eventRow(record, timeOf(record), correct, lines_));
}

void ExportFiles::downloadEnded(DownloadEnd end) {
    if (end == DownloadEnd::Complete) {
        html_.write(kHtmlTail);
        for (TextOutput* output : {&csv_, &html_}) {
            const std::filesystem::path target = output->target();
            if (output->commit() || !output->isKept()) continue;
            // A file of that name that cannot be replaced (open in a spreadsheet): the
            // complete new one goes beside it rather than being lost.
            const std::filesystem::path kept = besideFileName(target, " (nowy)");
            if (output->keepAs(kept) && observer_)
                observer_->message(W("Nie można zastąpić pliku „" + pathToUtf8(target) + "”; dane zapisano w pliku „" +
                                     pathToUtf8(kept) + "”."),
                                   MessageIcon::Warning);
        }
        return;
    }
    const std::filesystem::path csvTarget = csv_.target(), htmlTarget = html_.target();
    const std::filesystem::path csvKept = keepPartial(csv_);
    const std::filesystem::path htmlKept = keepPartial(html_);
    if (observer_ && (csvKept != csvTarget || htmlKept != htmlTarget))
        observer_->message(W("Odczyt nie został ukończony. Odczytane rekordy zapisano w plikach „" + pathToUtf8(csvKept) +
                             "” i „" + pathToUtf8(htmlKept) + "”; poprzednie pliki o tej nazwie pozostały bez zmian."),
                           MessageIcon::Warning);
}

void ExportFiles::abandon() {
    (void)csv_.commitUnlessTargetExists();
    (void)html_.commitUnlessTargetExists();
}

std::filesystem::path ExportFiles::keepPartial(TextOutput& output) {
    const std::filesystem::path target = output.target();
    if (!output.isOpen()) return target;
    std::error_code error;
    if (!std::filesystem::exists(target, error)) {
        (void)output.commit();
        return target;
    }
    const std::filesystem::path kept = partialFileName(target);
    if (!output.keepAs(kept)) return target;
    return kept;
}

void ExportFiles::writeCsv(std::string_view text) {
    if (dialect_ != CsvDialect::Original) csv_.write(dialectText(dialect_, text));
    else csv_.write(semicolon_ ? toSemicolonForm(text) : std::string(text));
}

} // namespace kavrel::logger
