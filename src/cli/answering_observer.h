// An observer that passes every report on to another one and answers the operation's
// questions itself, as a command line without a terminal must: by its options alone.
#pragma once

#include <functional>
#include <string>

#include "common/observer.h"

namespace kavrel::cli {

class AnsweringObserver final : public OperationObserver {
public:
    using Answer = std::function<bool(const std::string& question)>;
    AnsweringObserver(OperationObserver& inner, Answer answer) : inner_(inner), answer_(std::move(answer)) {}
    void status(const std::string& text) override { inner_.status(text); }
    void appendStatus(const std::string& text) override { inner_.appendStatus(text); }
    void progress(int position) override { inner_.progress(position); }
    void message(const std::string& text, MessageIcon icon) override { inner_.message(text, icon); }
    void messageDetail(const std::string& text) override { inner_.messageDetail(text); }
    void version(const std::string& text) override { inner_.version(text); }
    bool askYesNo(const std::string& text) override { return answer_(text); }

private:
    OperationObserver& inner_;
    Answer answer_;
};

} // namespace kavrel::cli
