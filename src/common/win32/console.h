// The Windows edge of a console program: the command line as UTF-8 (as argv is on Linux),
// and a console that shows UTF-8 output.
#pragma once

#include <string>
#include <vector>

namespace kavrel::win32 {

// The program's arguments without its name, decoded from the UTF-16 command line to UTF-8,
// so that a Polish file name reaches the program whatever the ANSI code page is.
std::vector<std::string> utf8Arguments();

// Switches the console (when there is one) to UTF-8 output for the program's run and puts
// the previous code page back at exit.
void useUtf8Console();

} // namespace kavrel::win32
