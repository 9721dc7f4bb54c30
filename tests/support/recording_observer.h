// Records every call an operation makes to its observer, as UTF-8 lines, so that tests
// assert the exact texts and their order.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "common/observer.h"
#include "common/win1250.h"

namespace kavrel::testing {

class RecordingObserver : public OperationObserver {
public:
    void status(const std::string& text) override { calls.push_back("status: " + cp1250::toUtf8(text)); }
    void appendStatus(const std::string& text) override { calls.push_back("append: " + cp1250::toUtf8(text)); }
    void progress(int position) override { calls.push_back("progress: " + std::to_string(position)); }
    void message(const std::string& text, MessageIcon icon) override {
        static const char* const names[] = {"none", "information", "warning", "error", "question"};
        calls.push_back(std::string("message[") + names[static_cast<int>(icon)] + "]: " + cp1250::toUtf8(text));
    }
    bool askYesNo(const std::string& text) override {
        calls.push_back("ask: " + cp1250::toUtf8(text));
        if (answers.empty()) return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void version(const std::string& text) override { calls.push_back("version: " + cp1250::toUtf8(text)); }

    // Only the calls that start with the given prefix ("message", "status", ...).
    std::vector<std::string> only(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const auto& call : calls)
            if (call.rfind(prefix, 0) == 0) out.push_back(call);
        return out;
    }

    std::vector<std::string> calls;
    std::deque<bool> answers;   // what askYesNo answers, in order; false when empty
};

} // namespace kavrel::testing
