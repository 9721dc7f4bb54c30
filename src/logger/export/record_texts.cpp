#include "logger/export/record_texts.h"

#include <algorithm>
#include <string_view>

#include "common/win1250.h"
#include "logger/records/record_layout.h"

namespace kavrel::logger {

std::pair<std::string, std::string> headingNameAndUnit(const std::string& heading) {
    const std::string text = cp1250::toUtf8(heading);
    const std::size_t open = text.rfind(" [");
    if (open == std::string::npos || text.back() != ']') return {text, ""};
    return {text.substr(0, open), text.substr(open + 2, text.size() - open - 3)};
}

std::string eventText(const RecordBytes& record) {
    const auto* text = reinterpret_cast<const char*>(record.data() + event::kText);
    return cp1250::toUtf8(std::string_view(text, std::find(text, text + event::kTextSize, '\0') - text));
}

} // namespace kavrel::logger
