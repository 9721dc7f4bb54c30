#include <gtest/gtest.h>

#include <string>

#include "common/json_text.h"

using kavrel::jsonString;

// The --json output and the fleet's MQTT messages write their texts through this one
// function: what a JSON reader and a terminal would misread is escaped, and nothing else.
TEST(JsonText, EscapesQuotesBackslashesAndControlsAndKeepsUtf8) {
    const struct {
        std::string text;
        std::string json;
    } cases[] = {
        {"", R"("")"},
        {R"(Linia "ł" C:\dane)", R"("Linia \"ł\" C:\\dane")"},
        {"a\nb\rc\td", R"("a\nb\rc\td")"},
        {std::string("\0\x01\x1F\x7F", 4), R"("\u0000\u0001\u001f\u007f")"},
        {"Żółć 12,5°C", R"("Żółć 12,5°C")"},
    };
    for (const auto& c : cases) EXPECT_EQ(jsonString(c.text), c.json) << c.json;
}
