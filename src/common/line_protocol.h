// The escaping of the time-series line protocol ("measurement,tag=v field=1 1700000000000000000"):
// shared by the logger's lp export and the fleet's time-series sink. Texts are UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace kavrel {

// A measurement name: commas and spaces escaped.
std::string lpMeasurement(std::string_view name);
// A tag key, a tag value or a field key: commas, equals signs and spaces escaped.
std::string lpKey(std::string_view text);
// A string field value, quotes included: quotes and backslashes escaped.
std::string lpString(std::string_view text);
// Whether the text is a plain decimal number the protocol takes as a float ("-4.9", "11").
bool lpPlainNumber(std::string_view text);
// Whether it is a whole number ("14", "-3"), written with the "i" of an integer field.
bool lpWholeNumber(std::string_view text);

} // namespace kavrel
