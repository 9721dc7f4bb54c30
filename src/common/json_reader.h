// A small reader of JSON texts, for the files the tools write themselves one object a line
// (the write history, a roll-out's state). Numbers are kept as doubles; texts are UTF-8 as
// they were written, with \uXXXX escapes turned back into UTF-8.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavrel {

class JsonValue {
public:
    enum class Kind { Null, Bool, Number, Text, Array, Object };

    Kind kind() const { return kind_; }
    bool isNull() const { return kind_ == Kind::Null; }
    // The member's value, or a null value when absent or this is no object.
    const JsonValue& operator[](std::string_view key) const;
    const std::vector<JsonValue>& items() const { return items_; }
    const std::map<std::string, JsonValue, std::less<>>& members() const { return members_; }
    // The text of a string, or `fallback` for anything else.
    std::string text(std::string fallback = {}) const { return kind_ == Kind::Text ? text_ : fallback; }
    double number(double fallback = 0) const { return kind_ == Kind::Number ? number_ : fallback; }
    bool boolean(bool fallback = false) const { return kind_ == Kind::Bool ? bool_ : fallback; }

private:
    friend class JsonParser;
    Kind kind_ = Kind::Null;
    bool bool_ = false;
    double number_ = 0;
    std::string text_;
    std::vector<JsonValue> items_;
    std::map<std::string, JsonValue, std::less<>> members_;
};

// The value of the whole text, or nullopt when it is no JSON (trailing bytes included).
std::optional<JsonValue> parseJson(std::string_view text);

} // namespace kavrel
