#include "config/model/settings_dump.h"

#include "config/model/element_text.h"
#include "config/model/settings_compare.h"

namespace kavrel::config {
namespace {

template <typename Visit>
void forEachElement(Visit visit) {
    for (const FieldInfo& info : fieldTable())
        for (int number = info.first; number <= info.last(); ++number) visit(info, number);
}

} // namespace

std::vector<std::string> dumpLines(const SettingsImage& image) {
    std::vector<std::string> lines;
    forEachElement([&](const FieldInfo& info, int number) {
        lines.push_back(fieldName(info, number) + " = " + elementValueText(image, info, number));
    });
    return lines;
}

std::vector<std::string> diffLines(const SettingsImage& a, const SettingsImage& b) {
    std::vector<std::string> lines;
    for (const FieldChange& change : compareSettings(a, b, CompareMode::Bytes))
        lines.push_back(change.key + " " + (change.label.empty() ? "-" : change.label) + ": " + change.before + " -> " +
                        change.after);
    return lines;
}

} // namespace kavrel::config
