// The memory download end to end against the simulator, and the cost of turning records
// into the CSV and HTML files.
//
//   DownloadPtyPaced/20000   a pseudo-terminal, the simulator pacing its output at 115200
//                            baud (8N1) once the logger switched the speed; wire_ratio is
//                            the records per second divided by the line's limit for the
//                            bytes the protocol must move (requests and replies)
//   DownloadTcp/20000        loopback TCP, no pacing: what the logger itself costs; three
//                            runs, each with its own time and rate, then their median,
//                            min and max
//   ExportPerRecord          decoding and writing one record of a mixed memory into the CSV
//                            and HTML files in TMPDIR (the label names its file system: a
//                            journalled disk costs about a third more than tmpfs), beside
//                            parse_bound_ns: the same records' number, time and raw values
//                            put into text in memory, measured in the same run, the least
//                            any export must do; export_to_bound is their ratio (both in
//                            this thread's processor time; export_wall_ns by the clock)
//                            On the 2-core development machine, shared and loaded: 490-810
//                            ns a record against a bound of 63-68 ns (7-13 times it); /tmp
//                            on ext4 600-810 ns, /dev/shm on tmpfs 490-700 ns
//   PeakHeap/N               the logger's peak heap during a TCP download with export of N
//                            records; it must not grow with N
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <charconv>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <string>

#include "common/bytes.h"
#include "file_system_name.h"
#include "heap_meter.h"
#include "logger/descriptions/line_descriptions.h"
#include "logger/download/download.h"
#include "logger/export/export_files.h"
#include "logger/protocol/session.h"
#include "logger/records/record_layout.h"
#include "logger/records/record_time.h"
#include "quiet_observer.h"
#include "sim/record_memory.h"
#include "support/sim_fixture.h"

namespace {

using namespace kavrel;
using kavrel::bench::QuietObserver;
using namespace kavrel::logger;

constexpr int kLineBaud = 115200;
constexpr double kBitsPerByte = 10.0;  // start, eight data bits, stop
constexpr int kFrameSize = 39;

struct CountingSink final : RecordSink {
    void historyRecord(const RecordBytes&, bool) override { ++records; }
    void eventRecord(const RecordBytes&, bool) override { ++records; }
    void downloadEnded(DownloadEnd end) override { complete = end == DownloadEnd::Complete; }
    long records = 0;
    bool complete = false;
};

// Request lines (with their CR) and replies of a download of `records` records.
double protocolBytes(int records) {
    const int n = std::min(kBatchRecords, records);
    double bytes = 0;
    for (int next = 0; next < records; next += n) {
        char request[48];
        bytes += std::snprintf(request, sizeof request, "*RD_%d,%d\r", next + 1, n) + static_cast<double>(n) * kFrameSize;
    }
    return bytes;
}

struct Bench {
    Bench(int records, bool serial, int paceBaud) : sim(options(records, paceBaud)) {
        if (serial) {
            sim.useSerial(link);
        } else {
            sim.useTcp(link);
        }
    }
    static sim::SimOptions options(int records, int paceBaud) {
        sim::SimOptions o;
        o.memory.records = records;
        o.memory.energyMeter = true;
        o.baud = paceBaud;
        return o;
    }
    // Seconds the download took, or a negative value when it failed.
    double download(RecordSink& sink) {
        if (connectSession(session) != StatusResult::Ok) return -1;
        DownloadState state;
        startDownload(state, false);
        const auto started = std::chrono::steady_clock::now();
        StepResult r = StepResult::Continue;
        while (r == StepResult::Continue) r = downloadStep(session, state, sink);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        disconnectSession(session);
        return r == StepResult::Complete ? seconds : -1;
    }

    testing::SimFixture sim;
    link::ModuleLink link{link::LinkVariant::logger()};
    QuietObserver observer;
    LoggerSession session{link, observer};
};

void reportDownload(benchmark::State& state, int records, double seconds, int lineBaud) {
    state.SetIterationTime(seconds);
    state.counters["records_per_s"] = records / seconds;
    if (lineBaud > 0) {
        const double limit = lineBaud / kBitsPerByte / (protocolBytes(records) / records);
        const double replyOnlyLimit = lineBaud / kBitsPerByte / kFrameSize;
        state.counters["wire_limit_records_per_s"] = limit;
        state.counters["wire_ratio"] = records / seconds / limit;
        state.counters["reply_only_ratio"] = records / seconds / replyOnlyLimit;
    }
}

void DownloadPtyPaced(benchmark::State& state) {
    const int records = static_cast<int>(state.range(0));
    for (auto _ : state) {
        Bench bench(records, true, kLineBaud);
        CountingSink sink;
        const double seconds = bench.download(sink);
        if (seconds < 0 || sink.records != records) return state.SkipWithError("download failed");
        reportDownload(state, records, seconds, kLineBaud);
    }
}
BENCHMARK(DownloadPtyPaced)->Arg(20000)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

void DownloadTcp(benchmark::State& state) {
    const int records = static_cast<int>(state.range(0));
    for (auto _ : state) {
        Bench bench(records, false, 0);
        CountingSink sink;
        const double seconds = bench.download(sink);
        if (seconds < 0 || sink.records != records) return state.SkipWithError("download failed");
        reportDownload(state, records, seconds, 0);
    }
}
// One download a run, three runs: each run's time and rate are printed from that run, and
// the aggregates (median, min, max) of both over the same three runs.
BENCHMARK(DownloadTcp)
    ->Arg(20000)
    ->Iterations(1)
    ->Repetitions(3)
    ->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
    ->ComputeStatistics("max", [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); })
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

std::vector<RecordBytes> mixedRecords(int count) {
    sim::MemoryOptions memory;
    memory.records = count;
    memory.energyMeter = true;
    const sim::RecordMemory source(memory);
    std::vector<RecordBytes> records(static_cast<std::size_t>(count));
    for (int k = 1; k <= count; ++k) {
        const std::string frame = source.frame(k);
        std::copy_n(reinterpret_cast<const std::uint8_t*>(frame.data()), kRecordBytes, records[k - 1].begin());
    }
    return records;
}

// This thread's processor time, system time included (the writes' own cost): on a shared
// machine the wall clock also counts other programs' turns.
double threadCpuNanoseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

// Nanoseconds a record of the simplest parse: number, time stamp and the eight raw values
// into one line of text in memory, no descriptions, no units, no file. Best of five passes.
double simpleParseNanoseconds(const std::vector<RecordBytes>& records) {
    double best = 0;
    for (int pass = 0; pass < 5; ++pass) {
        std::string text;
        text.reserve(records.size() * 80);
        const double started = threadCpuNanoseconds();
        for (const RecordBytes& r : records) {
            char line[160];
            char* at = line;
            const RecordTime t = decodeRecordTime(std::span(r).subspan<record::kTime, 4>());
            for (const long value : {static_cast<long>(static_cast<std::int32_t>(bytes::get32le(r, record::kNumber))),
                                     static_cast<long>(t.year), static_cast<long>(t.month), static_cast<long>(t.day),
                                     static_cast<long>(t.hour), static_cast<long>(t.minute), static_cast<long>(t.second)}) {
                at = std::to_chars(at, line + sizeof line, value).ptr;
                *at++ = ';';
            }
            for (std::size_t k = 0; k < 8; ++k) {
                at = std::to_chars(at, line + sizeof line, bytes::get16le(r, measurement::kValues + 2 * k)).ptr;
                *at++ = ';';
            }
            *at++ = '\n';
            text.append(line, at);
        }
        benchmark::DoNotOptimize(text.data());
        const double ns = (threadCpuNanoseconds() - started) / static_cast<double>(records.size());
        best = pass == 0 ? ns : std::min(best, ns);
    }
    return best;
}

void ExportPerRecord(benchmark::State& state) {
    const auto records = mixedRecords(6000);
    const LineDescriptions descriptions;
    const auto folder = std::filesystem::temp_directory_path();
    state.SetLabel("TMPDIR " + folder.string() + " on " + bench::fileSystemName(folder));
    const double bound = simpleParseNanoseconds(records);
    const auto started = std::chrono::steady_clock::now();
    const double cpuStarted = threadCpuNanoseconds();
    const LineConfiguration lines{0x40, 0xC0, 0xC1, 0x43, 0x44, 0x40, 0x00, 0x00};
    for (auto _ : state) {
        ExportFiles exporter(descriptions, false, false);
        if (exporter.create(folder / "kavrel_bench.csv", folder / "kavrel_bench.html") != ExportFiles::CreateResult::FilesCreated) {
            state.SkipWithError("the export files cannot be created");  // figures of files never written mean nothing
            break;
        }
        exporter.writeHeaders({lines, true, true}, LocalDateTime{});
        exporter.downloadStarted();
        for (const auto& r : records) {
            if (r[2] == 'Z') exporter.eventRecord(r, true);
            else exporter.historyRecord(r, true);
        }
        exporter.downloadEnded(DownloadEnd::Complete);
    }
    const auto exported = static_cast<double>(state.iterations() * static_cast<long long>(records.size()));
    const double exportNs = (threadCpuNanoseconds() - cpuStarted) / exported;
    state.SetItemsProcessed(state.iterations() * static_cast<long long>(records.size()));
    state.counters["export_ns"] = exportNs;
    state.counters["export_wall_ns"] =
        std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - started).count() / exported;
    state.counters["parse_bound_ns"] = bound;
    state.counters["export_to_bound"] = exportNs / bound;
    std::filesystem::remove(folder / "kavrel_bench.csv");
    std::filesystem::remove(folder / "kavrel_bench.html");
}
BENCHMARK(ExportPerRecord)->Unit(benchmark::kMillisecond);

void PeakHeap(benchmark::State& state) {
    const int records = static_cast<int>(state.range(0));
    const LineDescriptions descriptions;
    const auto folder = std::filesystem::temp_directory_path();
    for (auto _ : state) {
        Bench bench(records, false, 0);
        ExportFiles exporter(descriptions, false, false);
        if (exporter.create(folder / "kavrel_peak.csv", folder / "kavrel_peak.html") != ExportFiles::CreateResult::FilesCreated) {
            state.SkipWithError("the export files cannot be created");  // figures of files never written mean nothing
            break;
        }
        exporter.writeHeaders({{0x40, 0xC0, 0xC1, 0x43, 0x44, 0x40, 0, 0}, true, true}, LocalDateTime{});
        bench::startHeapMeter();
        const double seconds = bench.download(exporter);
        bench::stopHeapMeter();
        if (seconds < 0) return state.SkipWithError("download failed");
        state.SetIterationTime(seconds);
        state.counters["peak_heap_bytes"] = static_cast<double>(bench::peakHeapBytes());
    }
    std::filesystem::remove(folder / "kavrel_peak.csv");
    std::filesystem::remove(folder / "kavrel_peak.html");
}
BENCHMARK(PeakHeap)->Arg(2000)->Arg(20000)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
