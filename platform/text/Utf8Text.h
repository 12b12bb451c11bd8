#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace nomilo {

// Well-formed UTF-8 as the Unicode standard defines it: no overlong forms, no surrogates,
// nothing past U+10FFFF. File names are bytes; these tell where their characters are.

// The length of the well-formed UTF-8 sequence that begins at `pos` (before the end of
// `text`), or 0 when the bytes there are none.
constexpr std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0; // no overlong forms
        else if (lead == 0xED)
            high = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F; // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (pos + length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char b = byte(pos + i);
        if (i == 1 ? (b < low || b > high) : (b < 0x80 || b > 0xBF))
            return 0;
    }
    return length;
}

// Whether `text` is well-formed UTF-8 from end to end.
inline bool IsUtf8(std::string_view text) {
    std::size_t i = 0;
    // Most names are ASCII: eight bytes at a time up to the first that is not.
    for (std::uint64_t word; i + sizeof word <= text.size(); i += sizeof word) {
        std::memcpy(&word, text.data() + i, sizeof word);
        if (word & 0x8080808080808080u)
            break;
    }
    while (i < text.size()) {
        const std::size_t length = Utf8SequenceLength(text, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

} // namespace nomilo
