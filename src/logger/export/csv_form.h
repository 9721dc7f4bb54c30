// The two forms of the history CSV. Lines are composed with "," between fields and "."
// as the decimal mark; unless the user asked for commas, they are written with ";" and
// a decimal comma, the form a Polish spreadsheet reads. Printing always reads the
// semicolon form.
#pragma once

#include <string>
#include <string_view>

namespace kavrel::logger {

// Whether the file gets the semicolon form.
inline bool semicolonForm(bool separateComma, bool printMode) { return !separateComma || printMode; }

// Every "," becomes ";" and every "." becomes ",", texts included.
std::string toSemicolonForm(std::string_view line);

} // namespace kavrel::logger
