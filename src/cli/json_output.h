// The --json output of the tool's commands: one JSON object on one line, written member
// by member. Texts are UTF-8; numbers stay numbers; an unknown value is null.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "common/json_text.h"

namespace kavrel::cli {

class JsonObject {
public:
    JsonObject& add(std::string_view key, std::string_view text);
    JsonObject& add(std::string_view key, const char* text) { return add(key, std::string_view(text)); }
    JsonObject& add(std::string_view key, const std::string& text) { return add(key, std::string_view(text)); }
    JsonObject& add(std::string_view key, const std::optional<std::string>& text);
    JsonObject& add(std::string_view key, long long number);
    JsonObject& add(std::string_view key, int number) { return add(key, static_cast<long long>(number)); }
    JsonObject& add(std::string_view key, bool value);
    // A value written already as JSON (an array, a nested object).
    JsonObject& addRaw(std::string_view key, std::string_view json);

    std::string text() const { return text_ + "}"; }

private:
    void key(std::string_view name);
    std::string text_ = "{";
};

} // namespace kavrel::cli
