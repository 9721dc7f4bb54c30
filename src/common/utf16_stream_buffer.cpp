#include "common/utf16_stream_buffer.h"

#include <utility>

#include "common/utf8.h"

namespace kavrel {

Utf16StreamBuffer::Utf16StreamBuffer(Sink sink) : sink_(std::move(sink)) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
}

Utf16StreamBuffer::~Utf16StreamBuffer() { handOn(true); }

Utf16StreamBuffer::int_type Utf16StreamBuffer::overflow(int_type ch) {
    if (!handOn(false)) return traits_type::eof();
    if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
    *pptr() = traits_type::to_char_type(ch);
    pbump(1);
    return ch;
}

int Utf16StreamBuffer::sync() { return handOn(false) ? 0 : -1; }

bool Utf16StreamBuffer::handOn(bool final) {
    waiting_.append(pbase(), pptr());
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    const std::string_view text(waiting_);
    const std::size_t whole = final ? text.size() : utf8::completeLength(text);
    if (whole == 0) return true;
    const std::u16string wide = utf8::toUtf16(text.substr(0, whole));
    waiting_.erase(0, whole);
    return sink_(wide);
}

} // namespace kavrel
