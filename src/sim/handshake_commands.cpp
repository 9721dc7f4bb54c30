#include "sim/handshake_commands.h"

namespace kavrel::sim {
namespace {

// A line of nothing but "HALT!" and "DEBUG=0" (the logger says both on one line).
bool onlyHandshakeWords(std::string_view line) {
    bool any = false;
    while (!line.empty()) {
        const auto space = line.find(' ');
        const std::string_view word = line.substr(0, space);
        if (!word.empty()) {
            if (word != "HALT!" && word != "DEBUG=0") return false;
            any = true;
        }
        if (space == std::string_view::npos) break;
        line.remove_prefix(space + 1);
    }
    return any;
}

} // namespace

std::optional<Answer> HandshakeCommands::answer(std::string_view line, Session& session) {
    if (line == "VER?") {
        session.writing = false;  // every program's exchange starts with the version query
        return Answer{"OK\r" + versionText_ + "\r"};
    }
    if (onlyHandshakeWords(line)) {
        Answer answer = Answer::ok();
        answer.writeCommand = session.writing && line == "HALT!";
        return answer;
    }
    return std::nullopt;
}

} // namespace kavrel::sim
