#include "config/model/settings_image.h"

#include <algorithm>
#include <cstdlib>

#include "common/bytes.h"

namespace kavrel::config {

std::string textOfField(std::span<const std::uint8_t> field) {
    std::string text;
    for (const std::uint8_t c : field) {
        if (c == 0 || c == 0xFF) break;
        text.push_back(static_cast<char>(c));
    }
    return text;
}

void putTextIntoField(std::span<std::uint8_t> field, std::string_view text) {
    const std::size_t n = std::min(text.size(), field.size());
    std::copy_n(text.begin(), n, field.begin());
    std::fill(field.begin() + static_cast<std::ptrdiff_t>(n), field.end(), std::uint8_t{0});
}

std::span<const std::uint8_t> SettingsImage::element(Field id, int number) const {
    const FieldInfo& f = fieldInfo(id);
    if (f.count == 1) number = f.first;
    if (!f.holds(number)) std::abort();  // a number outside the field is a programming error
    return std::span<const std::uint8_t>(bytes_).subspan(f.offsetOf(number), f.size);
}

std::span<std::uint8_t> SettingsImage::element(Field id, int number) {
    const FieldInfo& f = fieldInfo(id);
    if (f.count == 1) number = f.first;
    if (!f.holds(number)) std::abort();  // a number outside the field is a programming error
    return std::span<std::uint8_t>(bytes_).subspan(f.offsetOf(number), f.size);
}

std::uint16_t SettingsImage::word(Field id, int number) const { return bytes::get16le(element(id, number), 0); }

void SettingsImage::setWord(Field id, int number, std::uint16_t value) { bytes::put16le(element(id, number), 0, value); }

std::string SettingsImage::text(Field id, int number) const { return textOfField(element(id, number)); }

void SettingsImage::setText(Field id, int number, std::string_view text) { putTextIntoField(element(id, number), text); }

} // namespace kavrel::config
