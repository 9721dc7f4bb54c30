// Every operation that can fail returns a scoped result enum marked [[nodiscard]], with 0 for
// success. The numbers are fixed: messages, exit codes and benchmarks show them, so an enum's
// number is taken in one way only, through toInt.
#pragma once

#include <type_traits>

namespace kavrel {

template <typename Result>
    requires std::is_enum_v<Result>
constexpr int toInt(Result result) {
    return static_cast<int>(static_cast<std::underlying_type_t<Result>>(result));
}

} // namespace kavrel
