#include "common/line_protocol.h"

namespace kavrel {
namespace {

std::string escaped(std::string_view text, std::string_view special) {
    std::string out;
    for (char c : text) {
        // A line break would end the point: it becomes a space.
        if (c == '\n' || c == '\r') c = ' ';
        if (special.find(c) != std::string_view::npos) out += '\\';
        out += c;
    }
    return out;
}

bool digits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

} // namespace

std::string lpMeasurement(std::string_view name) { return escaped(name, ", "); }
std::string lpKey(std::string_view text) { return escaped(text, ",= "); }
std::string lpString(std::string_view text) { return "\"" + escaped(text, "\"\\") + "\""; }

bool lpWholeNumber(std::string_view text) {
    if (!text.empty() && text.front() == '-') text.remove_prefix(1);
    return digits(text);
}

bool lpPlainNumber(std::string_view text) {
    if (!text.empty() && text.front() == '-') text.remove_prefix(1);
    const std::size_t point = text.find('.');
    if (point == std::string_view::npos) return digits(text);
    return digits(text.substr(0, point)) && digits(text.substr(point + 1));
}

} // namespace kavrel
