#include "common/json_reader.h"

#include <cstdlib>

namespace kavrel {

const JsonValue& JsonValue::operator[](std::string_view key) const {
    static const JsonValue none;
    const auto found = members_.find(key);
    return found == members_.end() ? none : found->second;
}

// Recursive descent with a depth limit, so that a damaged file cannot exhaust the stack.
class JsonParser {
public:
    explicit JsonParser(std::string_view text) : text_(text) {}

    std::optional<JsonValue> whole() {
        JsonValue value;
        if (!parse(value, 0)) return std::nullopt;
        skipSpace();
        if (at_ != text_.size()) return std::nullopt;
        return value;
    }

private:
    static constexpr int kDeepest = 64;

    void skipSpace() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r'))
            ++at_;
    }
    bool take(char c) {
        skipSpace();
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    bool word(std::string_view w) {
        if (text_.substr(at_, w.size()) != w) return false;
        at_ += w.size();
        return true;
    }

    bool parse(JsonValue& value, int depth) {
        if (depth > kDeepest) return false;
        skipSpace();
        if (at_ >= text_.size()) return false;
        const char c = text_[at_];
        if (c == '{') return object(value, depth);
        if (c == '[') return array(value, depth);
        if (c == '"') {
            value.kind_ = JsonValue::Kind::Text;
            return string(value.text_);
        }
        if (word("null")) return true;
        if (word("true") || word("false")) {
            value.kind_ = JsonValue::Kind::Bool;
            value.bool_ = text_[at_ - 1] == 'e' && text_[at_ - 2] == 'u';
            return true;
        }
        return number(value);
    }

    bool number(JsonValue& value) {
        const std::size_t start = at_;
        while (at_ < text_.size() && std::string_view("+-0123456789.eE").find(text_[at_]) != std::string_view::npos) ++at_;
        if (at_ == start) return false;
        const std::string digits(text_.substr(start, at_ - start));
        char* end = nullptr;
        value.number_ = std::strtod(digits.c_str(), &end);
        value.kind_ = JsonValue::Kind::Number;
        return end == digits.c_str() + digits.size();
    }

    bool object(JsonValue& value, int depth) {
        value.kind_ = JsonValue::Kind::Object;
        ++at_;
        if (take('}')) return true;
        do {
            skipSpace();
            std::string key;
            if (at_ >= text_.size() || text_[at_] != '"' || !string(key) || !take(':')) return false;
            JsonValue member;
            if (!parse(member, depth + 1)) return false;
            value.members_.insert_or_assign(std::move(key), std::move(member));
        } while (take(','));
        return take('}');
    }

    bool array(JsonValue& value, int depth) {
        value.kind_ = JsonValue::Kind::Array;
        ++at_;
        if (take(']')) return true;
        do {
            JsonValue item;
            if (!parse(item, depth + 1)) return false;
            value.items_.push_back(std::move(item));
        } while (take(','));
        return take(']');
    }

    static void putUtf8(std::string& out, unsigned code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    bool hex4(unsigned& code) {
        if (at_ + 4 > text_.size()) return false;
        code = 0;
        for (int i = 0; i < 4; ++i) {
            const char h = text_[at_++];
            code <<= 4;
            if (h >= '0' && h <= '9') code |= static_cast<unsigned>(h - '0');
            else if (h >= 'a' && h <= 'f') code |= static_cast<unsigned>(h - 'a' + 10);
            else if (h >= 'A' && h <= 'F') code |= static_cast<unsigned>(h - 'A' + 10);
            else return false;
        }
        return true;
    }

    bool string(std::string& out) {
        ++at_;   // the opening quote
        while (at_ < text_.size()) {
            const char c = text_[at_++];
            if (c == '"') return true;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= text_.size()) return false;
            const char e = text_[at_++];
            switch (e) {
            case '"': case '\\': case '/': out += e; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                unsigned code = 0;
                if (!hex4(code)) return false;
                if (code >= 0xD800 && code < 0xDC00 && word("\\u")) {   // a surrogate pair
                    unsigned low = 0;
                    if (!hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                }
                putUtf8(out, code);
                break;
            }
            default: return false;
            }
        }
        return false;
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

std::optional<JsonValue> parseJson(std::string_view text) { return JsonParser(text).whole(); }

} // namespace kavrel
