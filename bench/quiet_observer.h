// The benchmarks' observer: it shows nothing, since the figures are what a benchmark prints,
// and keeps the last message for the line that says why a run failed.
#pragma once

#include <string>

#include "common/observer.h"

namespace kavrel::bench {

struct QuietObserver final : OperationObserver {
    void status(const std::string&) override {}
    void appendStatus(const std::string& text) override { last = text; }
    void progress(int) override {}
    void message(const std::string& text, MessageIcon) override { last = text; }
    bool askYesNo(const std::string&) override { return false; }

    std::string last;
};

} // namespace kavrel::bench
