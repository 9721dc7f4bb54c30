// The tool's help in its users' language, Polish, with the English beside it, from which the
// English manual page is made: one table holds both, so that neither page drifts from the
// tool.
#pragma once

namespace kavrel::cli {

struct HelpText {
    const char* pl;
    const char* en;
};

// The environment variable that asks for the English help ("en"); the build sets it to make
// the English manual page.
inline constexpr const char* kHelpLanguageVariable = "KAVREL_HELP_LANGUAGE";

// Whether the help is printed in English (KAVREL_HELP_LANGUAGE=en); Polish otherwise.
bool englishHelp();

// The text in the help's language.
const char* helpText(const HelpText& text);

} // namespace kavrel::cli
