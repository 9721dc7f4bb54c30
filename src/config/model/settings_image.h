// The configurator's record of one module configuration: exactly the 3608 bytes that the
// settings file holds, with accessors by field (see field_table.h). Numbers are
// little-endian; texts are Windows-1250 bytes ended by 0, 0xFF or the end of the field.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "config/model/field_table.h"

namespace kavrel::config {

class SettingsImage {
public:
    using Bytes = std::array<std::uint8_t, kSettingsSize>;

    SettingsImage() { bytes_.fill(0); }

    std::span<const std::uint8_t, kSettingsSize> bytes() const { return bytes_; }
    std::span<std::uint8_t, kSettingsSize> bytes() { return bytes_; }
    void clear() { bytes_.fill(0); }

    // One element of a field; `number` is the element's own number (ICFG3: 3, NUM7: 7)
    // and is ignored for single fields. Out-of-range numbers are a programming error.
    std::span<const std::uint8_t> element(Field id, int number = 0) const;
    std::span<std::uint8_t> element(Field id, int number = 0);

    std::uint8_t byte(Field id, int number = 0) const { return element(id, number)[0]; }
    void setByte(Field id, int number, std::uint8_t value) { element(id, number)[0] = value; }
    void setByte(Field id, std::uint8_t value) { setByte(id, 0, value); }

    std::uint16_t word(Field id, int number = 0) const;
    std::int16_t signedWord(Field id, int number = 0) const { return static_cast<std::int16_t>(word(id, number)); }
    void setWord(Field id, int number, std::uint16_t value);
    void setWord(Field id, std::uint16_t value) { setWord(id, 0, value); }

    // The text of a text field: its bytes up to 0, 0xFF or the field's end.
    std::string text(Field id, int number = 0) const;
    // Copies at most the field's size and fills the rest with 0 (no terminator when full).
    void setText(Field id, int number, std::string_view text);
    void setText(Field id, std::string_view text) { setText(id, 0, text); }

    // Phone numbers 0..10 across their two fields.
    std::string phoneNumber(int number) const { return text(numberField(number), number); }
    void setPhoneNumber(int number, std::string_view value) { setText(numberField(number), number, value); }

    bool operator==(const SettingsImage&) const = default;

private:
    Bytes bytes_;
};

// Text out of a fixed field: bytes until 0, 0xFF or the field's end.
std::string textOfField(std::span<const std::uint8_t> field);
// Text into a fixed field: the first min(length, size) bytes, then 0 to the end.
void putTextIntoField(std::span<std::uint8_t> field, std::string_view text);

} // namespace kavrel::config
