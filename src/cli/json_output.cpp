#include "cli/json_output.h"

#include <cstdio>

namespace kavrel::cli {

std::string jsonString(std::string_view utf8) {
    std::string out = "\"";
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (byte < 0x20 || byte == 0x7F) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

void JsonObject::key(std::string_view name) {
    if (text_.size() > 1) text_ += ',';
    text_ += jsonString(name);
    text_ += ':';
}

JsonObject& JsonObject::add(std::string_view name, std::string_view text) {
    key(name);
    text_ += jsonString(text);
    return *this;
}

JsonObject& JsonObject::add(std::string_view name, const std::optional<std::string>& text) {
    key(name);
    text_ += text ? jsonString(*text) : std::string("null");
    return *this;
}

JsonObject& JsonObject::add(std::string_view name, long long number) {
    key(name);
    text_ += std::to_string(number);
    return *this;
}

JsonObject& JsonObject::add(std::string_view name, bool value) {
    key(name);
    text_ += value ? "true" : "false";
    return *this;
}

JsonObject& JsonObject::addRaw(std::string_view name, std::string_view json) {
    key(name);
    text_ += json;
    return *this;
}

} // namespace kavrel::cli
