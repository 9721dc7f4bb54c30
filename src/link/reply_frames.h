// Where the module's replies end. The module frames every reply of the text protocol:
// "OK" CR for an action or assignment, "OK" CR + version text + CR for "VER?", lines ended by
// CR and a closing CR "OK" CR for a query, and one line ended by CR for a measurement poll.
// The TCP receive loops and the fast serial reads end on the same rules.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kavrel::link {

enum class ReplyFrame {
    None,         // no recognisable end: a serial read ends only at the pause
    Command,      // ends with "OK" CR
    Version,      // begins with "OK" CR and has a CR after it (the end of the version text)
    Query,        // ends with CR "OK" CR
    ShortQuery,   // at least four bytes ending with CR
};

// True when the bytes received so far form the reply's complete frame.
bool frameComplete(ReplyFrame frame, const std::uint8_t* data, std::size_t count);

// The bytes of "OK" CR lines in front of a version reply's own "OK" line: answers to earlier
// lines that came late ("OK" CR "OK" CR "Kavrel V3.6EL" CR). No version text is "OK", so
// they are never read as one; the frame and the text begin behind them.
std::size_t strayOkBytes(const std::uint8_t* data, std::size_t count);

// Where the version text of a complete Version frame ends: the index of its closing CR.
std::size_t versionTextEnd(const std::uint8_t* data, std::size_t count);

} // namespace kavrel::link
