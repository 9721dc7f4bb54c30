#include "cli/help_text.h"

#include <cstdlib>
#include <cstring>

namespace kavrel::cli {

bool englishHelp() {
    const char* language = std::getenv(kHelpLanguageVariable);
    return language && std::strcmp(language, "en") == 0;
}

const char* helpText(const HelpText& text) { return englishHelp() ? text.en : text.pl; }

} // namespace kavrel::cli
