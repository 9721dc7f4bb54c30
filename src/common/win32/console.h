// The Windows edge of a console program: the command line as UTF-8 (as argv is on Linux),
// and standard output and error that show the program's UTF-8 texts in a console.
#pragma once

#include <string>
#include <vector>

namespace kavrel::win32 {

// The program's arguments without its name, decoded from the UTF-16 command line to UTF-8,
// so that a Polish file name reaches the program whatever the ANSI code page is.
std::vector<std::string> utf8Arguments();

// Where standard output or error is a console, std::cout or std::cerr writes through
// WriteConsoleW from now on: Polish letters show whatever the console's code page and font,
// and the console's code page is never changed. A file or a pipe gets the same UTF-8 bytes
// as before, through the C runtime.
void useWideConsole();

} // namespace kavrel::win32
