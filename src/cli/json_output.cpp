#include "cli/json_output.h"

namespace kavrel::cli {

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
