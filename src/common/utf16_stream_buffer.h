// A stream buffer that takes UTF-8 and hands it on as UTF-16 in whole characters: what a
// Windows console writes with WriteConsoleW, so that Polish letters show whatever code page
// the console has. The sink is a function, so the buffer is the same on every platform.
#pragma once

#include <array>
#include <functional>
#include <streambuf>
#include <string>
#include <string_view>

namespace kavrel {

class Utf16StreamBuffer final : public std::streambuf {
public:
    // Writes the whole text, or says false.
    using Sink = std::function<bool(std::u16string_view)>;

    explicit Utf16StreamBuffer(Sink sink);
    // Hands on what is left; a character cut off at the end becomes U+FFFD.
    ~Utf16StreamBuffer() override;
    Utf16StreamBuffer(const Utf16StreamBuffer&) = delete;
    Utf16StreamBuffer& operator=(const Utf16StreamBuffer&) = delete;

protected:
    int_type overflow(int_type ch) override;
    int sync() override;

private:
    // Converts and hands on the buffered bytes up to the last whole character (all of them
    // when `final`); the bytes of a character not yet complete wait for the next piece.
    bool handOn(bool final);

    Sink sink_;
    std::array<char, 1024> buffer_{};
    std::string waiting_;
};

} // namespace kavrel
