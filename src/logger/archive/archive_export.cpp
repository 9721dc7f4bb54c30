#include "logger/archive/archive_export.h"

#include "logger/download/download.h"
#include "logger/protocol/frame.h"
#include "logger/export/write_export.h"
#include "logger/records/record_layout.h"

namespace kavrel::logger::archive {
namespace {

// A frame stored as intact must still pass its check and be of the kind stored beside it:
// otherwise the file was changed after it was written, and its values are not the module's.
bool damaged(const ArchivedRecord& r, int recordLength) {
    if (r.frame.size() <= record::kKind || r.frame[record::kKind] != r.kind) return true;
    if (!r.correct || isBlankSlot(r.frame)) return false;
    return checkFrame(r.frame, kRecordType, recordLength, r.frame.size()) != FrameCheck::Valid;
}

} // namespace

std::optional<std::int64_t> chooseSegment(Archive& archive, const ExportChoice& choice, std::string& error) {
    const std::vector<ModuleInfo> modules = archive.modules(choice.moduleName);
    if (modules.empty()) {
        error = choice.moduleName ? "Archiwum nie zawiera modułu „" + *choice.moduleName + "”." : "Archiwum jest puste.";
        return std::nullopt;
    }
    if (choice.segment) {
        for (const ModuleInfo& m : modules)
            for (const SegmentInfo& s : m.segments)
                if (s.id == *choice.segment) return s.id;
        error = "Archiwum nie zawiera segmentu " + std::to_string(*choice.segment) + ".";
        return std::nullopt;
    }
    if (modules.size() > 1) {
        // Modules of one name (another memory or firmware under it) differ only by their segments.
        error = choice.moduleName ? "Archiwum zawiera kilka modułów o nazwie „" + *choice.moduleName + "” (" +
                                        std::to_string(modules.size()) +
                                        "): wskaż segment numerem (--segment N; numery podaje archive status)."
                                  : "Archiwum zawiera kilka modułów (" + std::to_string(modules.size()) +
                                        "): wskaż moduł nazwą lub segment numerem.";
        return std::nullopt;
    }
    if (modules.front().segments.empty()) {
        error = "Moduł nie ma jeszcze rekordów w archiwum.";
        return std::nullopt;
    }
    return modules.front().segments.back().id;
}

namespace {

// What the self-describing formats say of the segment in their head.
ExportSource sourceOf(Archive& archive, std::int64_t segment, const ModuleStatus& status, const ExportChoice& choice) {
    ExportSource source;
    source.status = status;
    source.from = choice.from;
    source.to = choice.to;
    const SegmentInfo info = archive.segmentInfo(segment);
    source.started = info.started;
    source.reason = info.reason;
    for (const Hole& hole : info.holes) source.lost.push_back({hole.first, hole.last, hole.noticed});
    for (const ModuleInfo& m : archive.modules())
        for (const SegmentInfo& s : m.segments)
            if (s.id == segment) source.moduleName = m.identity.name;
    return source;
}

} // namespace

ExportOutcome exportArchive(Archive& archive, const ExportChoice& choice, const std::filesystem::path& name,
                            const LineDescriptions& descriptions, const LocalDateTime& generated) {
    ExportOutcome outcome;
    const auto segment = chooseSegment(archive, choice, outcome.error);
    if (!segment) return outcome;
    const auto status = archive.segmentStatus(*segment);
    if (!status) {
        outcome.error = "Błąd odczytu archiwum: " + archive.error();
        return outcome;
    }
    std::unique_ptr<ExportSink> files =
        makeExportSink(choice.format, descriptions, 
                       {.printMode = choice.printMode, .separateComma = choice.separateComma, .dialect = choice.dialect});
    outcome.error = files->createFiles(name);
    if (!outcome.error.empty()) return outcome;
    outcome.files = files->files();
    files->describeSource(sourceOf(archive, *segment, *status, choice));
    files->writeHeaders({status->lineConfiguration, status->extendedLines(), status->energyMeter()}, generated);
    std::string damage;
    const RecordSource segmentRecords = [&](RecordSink& sink) {
        sink.downloadStarted();
        // The measurement whose line is still open for its extended-line record.
        std::optional<std::string> openStamp;
        const bool read = archive.forEach(*segment, choice.from, choice.to, [&](const ArchivedRecord& r) {
            if (damaged(r, status->recordLength)) {
                damage = "Archiwum jest uszkodzone: rekord na miejscu " + std::to_string(r.seq) + " segmentu " +
                         std::to_string(*segment) + " nie zgadza się ze swoją sumą kontrolną. Eksport przerwany.";
                return false;
            }
            files->archivedSlot({r.number, r.stamp, r.moduleIndex}, r.frame, r.correct);
            // An extended-line record whose measurement is lost completes no other one's line.
            const bool lost = r.kind == record::kExtended && openStamp && *openStamp != r.stamp;
            openStamp = r.kind == record::kMeasurement ? std::optional(r.stamp) : std::nullopt;
            if (lost) return true;
            (void)handOnRecord(sink, r.frame, r.correct);
            ++outcome.records;
            return true;
        });
        // A failed read ends nothing: what was written so far is dropped with its
        // temporaries, and an earlier export of that name stays.
        if (!read || !damage.empty()) return StepResult::Failed;
        sink.downloadEnded(DownloadEnd::Complete);
        return StepResult::Complete;
    };
    switch (writeExport(*files, segmentRecords)) {
    case ExportEnd::Failed:
    case ExportEnd::Cancelled:
        outcome.error = damage.empty() ? "Błąd odczytu archiwum: " + archive.error() : damage;
        return outcome;
    case ExportEnd::WriteFailed: outcome.error = kExportWriteFailedText; return outcome;
    case ExportEnd::Complete: break;
    }
    outcome.ok = true;
    return outcome;
}

} // namespace kavrel::logger::archive
