// JSON texts shared by the tool's --json output and the fleet's MQTT messages.
#pragma once

#include <string>
#include <string_view>

namespace kavrel {

// A JSON string literal of a UTF-8 text, quotes included. Quotes, backslashes and the
// control characters (DEL too, which a terminal would act on) are escaped; every other
// byte, UTF-8 sequences included, is kept as it is.
std::string jsonString(std::string_view utf8);

} // namespace kavrel
