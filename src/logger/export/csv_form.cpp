#include "logger/export/csv_form.h"

namespace kavrel::logger {

std::string toSemicolonForm(std::string_view line) {
    std::string converted(line);
    for (char& c : converted) {
        if (c == ',') c = ';';
        else if (c == '.') c = ',';
    }
    return converted;
}

} // namespace kavrel::logger
