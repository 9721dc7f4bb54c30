#include "fleet/influx_sink.h"

#include <chrono>
#include <deque>
#include <iostream>

#include "fleet/http_post.h"
#include "fleet/poll_line_protocol.h"

namespace kavrel::fleet {
namespace {

using Clock = std::chrono::steady_clock;

// The database name goes into the query: only characters that need no escaping there.
bool plainName(const std::string& name) {
    return !name.empty() && name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-.") ==
                                std::string::npos;
}

} // namespace

bool parseInfluxAddress(const std::string& text, InfluxOptions& options, std::string& error) {
    error = "--influx oczekuje http://HOST:PORT/BAZA";
    constexpr std::string_view kScheme = "http://";
    if (text.rfind(kScheme, 0) != 0) return false;
    const std::string rest = text.substr(kScheme.size());
    const std::size_t slash = rest.find('/');
    if (slash == std::string::npos || slash == 0) return false;
    const std::string authority = rest.substr(0, slash), database = rest.substr(slash + 1);
    if (!plainName(database)) {
        error = "--influx: nazwa bazy to litery, cyfry, _, - i .";
        return false;
    }
    const std::size_t colon = authority.rfind(':');
    std::string host = authority;
    int port = 8086;
    if (colon != std::string::npos) {
        host = authority.substr(0, colon);
        const std::string digits = authority.substr(colon + 1);
        if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
        port = std::stoi(digits);
        if (port < 1 || port > 65535) return false;
    }
    if (host.empty()) return false;
    options.host = host;
    options.port = port;
    options.database = database;
    error.clear();
    return true;
}

InfluxSink::InfluxSink(InfluxOptions options, const std::vector<FleetModule>& modules)
    : options_(std::move(options)), modules_(modules) {
    thread_ = std::thread([this] { worker(); });
}

InfluxSink::~InfluxSink() { finish(); }

void InfluxSink::record(const PollRecord& record) {
    if (record.module < modules_.size()) round_ += pollLineProtocol(record, modules_[record.module]);
}

void InfluxSink::endRound() {
    if (round_.empty()) return;
    {
        std::lock_guard lock(mutex_);
        incoming_.push_back(std::move(round_));
    }
    round_.clear();
    wake_.notify_one();
}

void InfluxSink::finish() {
    endRound();
    {
        std::lock_guard lock(mutex_);
        finishing_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
}

bool InfluxSink::post(const std::string& lines, bool& awayReported) {
    const HttpReply reply = httpPost(options_.host, options_.port, "/write?db=" + options_.database + "&precision=ns",
                                     lines, options_.requestTimeoutMs);
    const std::string where = options_.host + ":" + std::to_string(options_.port);
    if (reply.answered && reply.status >= 200 && reply.status < 300) {
        if (awayReported) std::cerr << "kavrel fleet: baza szeregów czasowych " << where << " znów przyjmuje dane\n";
        awayReported = false;
        ++sent_;
        return true;
    }
    if (reply.answered && reply.status == 400) {
        // Points it cannot parse: sent again they would be refused again, and hold back
        // every later round. A database not created yet (404) is waited for instead.
        std::cerr << "kavrel fleet: baza szeregów czasowych odrzuciła rundę (HTTP 400): " << reply.body << "\n";
        ++refused_;
        return true;
    }
    if (!awayReported)
        std::cerr << "kavrel fleet: baza szeregów czasowych " << where << " nie przyjmuje danych ("
                  << (reply.answered ? "HTTP " + std::to_string(reply.status) + " " + reply.body : reply.failure)
                  << "); rundy czekają w " << options_.spoolFile.string() << "\n";
    awayReported = true;
    return false;
}

void InfluxSink::worker() {
    MessageSpool spool(options_.spoolFile, options_.spoolLimitBytes);
    if (!spool.isOpen())
        std::cerr << "kavrel fleet: nie można otworzyć kolejki " << options_.spoolFile.string()
                  << "; rundy czekają w pamięci, dopóki baza jest niedostępna\n";
    std::deque<std::string> memory;   // only when the spool file cannot be used
    Clock::time_point nextAttempt = Clock::now();
    Clock::time_point finishBy = Clock::time_point::max();
    bool awayReported = false;
    for (;;) {
        bool finishing = false;
        {
            std::unique_lock lock(mutex_);
            const bool pending = spool.count() + memory.size() > 0;
            if (incoming_.empty() && !finishing_ && (!pending || Clock::now() < nextAttempt))
                wake_.wait_until(lock, pending ? nextAttempt : Clock::now() + std::chrono::milliseconds(200));
            for (auto& round : incoming_)
                if (!memory.empty() || !spool.isOpen() || !spool.append({"", round, false})) memory.push_back(std::move(round));
            incoming_.clear();
            finishing = finishing_;
        }
        spooled_ = spool.count() + memory.size();
        const Clock::time_point now = Clock::now();
        if (finishing && finishBy == Clock::time_point::max()) finishBy = now + std::chrono::milliseconds(options_.finishWaitMs);
        const bool drained = spool.count() == 0 && memory.empty();
        // A database that is away at the end is not waited for: the spool keeps the rest.
        if (finishing && (drained || now >= finishBy || awayReported)) break;
        if (drained || now < nextAttempt) continue;
        SpooledMessage head;
        const bool fromSpool = spool.count() > 0;
        if (fromSpool && !spool.peek(0, head)) {
            nextAttempt = Clock::now() + std::chrono::milliseconds(options_.retryPauseMs);
            continue;
        }
        const bool moved = post(fromSpool ? head.payload : memory.front(), awayReported);
        if (moved && fromSpool) spool.popFront();
        else if (moved) memory.pop_front();
        if (!moved) nextAttempt = Clock::now() + std::chrono::milliseconds(options_.retryPauseMs);
    }
    spooled_ = spool.count() + memory.size();
    if (spool.isOpen() && spool.count() == 0) {
        std::error_code ignored;
        std::filesystem::remove(options_.spoolFile, ignored);
    }
    if (spooled_ > 0)
        std::cerr << "kavrel fleet: " << spooled_ << " rund dla bazy szeregów czasowych zostaje w "
                  << options_.spoolFile.string() << " do następnego uruchomienia\n";
}

} // namespace kavrel::fleet
