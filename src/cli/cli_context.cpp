#include "cli/cli_context.h"

#include <cerrno>
#include <cstring>
#include <iostream>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "common/win1250.h"
#include "link/trace/wire_trace.h"

namespace kavrel::cli {

std::string toTerminal(const std::string& cp1250Text) { return cp1250::toUtf8(cp1250Text); }

bool isTerminal(std::FILE* stream) {
#ifdef _WIN32
    return ::_isatty(::_fileno(stream)) != 0;
#else
    return ::isatty(::fileno(stream)) != 0;
#endif
}

bool finishStandardOutput(std::ostream& err) {
    errno = 0;
    std::cout.flush();
    const bool failed = !std::cout || std::fflush(stdout) != 0 || std::ferror(stdout) != 0;
    if (!failed) return true;
    const int reason = errno;
    err << "kavrel: nie można pisać na standardowe wyjście";
    if (reason != 0) err << ": " << std::strerror(reason);
    err << "\n";
    return false;
}

TerminalObserver::TerminalObserver(std::ostream& err, bool interactive) : err_(err), interactive_(interactive) {}

TerminalObserver::~TerminalObserver() { endProgressLine(); }

// A text after the progress line starts on a line of its own.
void TerminalObserver::endProgressLine() {
    if (!progressLineOpen_) return;
    err_ << "\n" << std::flush;
    progressLineOpen_ = false;
}

void TerminalObserver::status(const std::string& text) {
    // A status that repeats the message just shown is not printed twice.
    if (!text.empty() && text != lastShown_) {
        endProgressLine();
        err_ << toTerminal(text) << "\n";
    }
    lastShown_ = text;
}

void TerminalObserver::appendStatus(const std::string& text) {
    if (text.empty()) return;
    endProgressLine();
    err_ << toTerminal(text) << "\n";
}

// One line, rewritten in place after a carriage return; a terminal (or a console) shows
// the last value only.
void TerminalObserver::progress(int position) {
    if (!interactive_ || position == lastProgress_) return;
    lastProgress_ = position;
    char text[16];
    std::snprintf(text, sizeof text, "\r[%3d%%]", position);
    err_ << text << std::flush;
    progressLineOpen_ = true;
    if (position >= 100) endProgressLine();
}

void TerminalObserver::messageDetail(const std::string& text) {
    endProgressLine();
    err_ << toTerminal(text) << "\n";
}

void TerminalObserver::message(const std::string& text, MessageIcon icon) {
    if (icon == MessageIcon::Error || icon == MessageIcon::Warning) reportedError_ = true;
    endProgressLine();
    err_ << toTerminal(text) << "\n";
    lastShown_ = text;
}

bool TerminalObserver::askYesNo(const std::string& text) {
    endProgressLine();
    err_ << toTerminal(text) << " [t/N] " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    return !answer.empty() && (answer[0] == 't' || answer[0] == 'T' || answer[0] == 'y' || answer[0] == 'Y');
}

bool CliContext::openTrace(std::shared_ptr<link::WireTrace>& opened) const {
    if (!openTraceFile()) return false;
    opened = trace ? trace : link::WireTrace::fromEnvironment();
    return true;
}

bool CliContext::traceInto(link::ModuleLink& link) const {
    if (!openTraceFile()) return false;
    if (trace) link.setTrace(trace);
    return true;
}

bool CliContext::openTraceFile() const {
    if (!trace && !traceFile.empty()) {
        if (traceFile == "-") {
            trace = link::WireTrace::toStandardError();
        } else {
            std::string reason;
            trace = link::WireTrace::toFile(traceFile, link::WireTrace::Mode::Replace, &reason);
            if (!trace) {
                err << toTerminal(W("Błąd otwarcia pliku przebiegu transmisji")) << ": " << traceFile << ": " << reason
                    << "\n";
                return false;
            }
        }
    }
    return true;
}

std::string CliContext::traceTarget() const {
    if (!traceFile.empty()) return traceFile == "-" ? std::string() : traceFile;
    return link::WireTrace::environmentFile();
}

} // namespace kavrel::cli
