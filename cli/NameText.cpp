#include "cli/NameText.h"

#include "platform/text/Utf8Text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace nomilo {

namespace {

constexpr char kHex[] = "0123456789abcdef";

// The code point of the UTF-8 sequence that starts `text`, and its length; length 0 when the
// bytes there are no valid sequence (overlong forms and surrogates included).
struct TCodePoint {
    std::uint32_t value = 0;
    std::size_t length = 0;
};

TCodePoint DecodeOne(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return {lead, 1};
    std::size_t length = 0;
    std::uint32_t value = 0, minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, value = lead & 0x1Fu, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, value = lead & 0x0Fu, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, value = lead & 0x07u, minimum = 0x10000;
    } else {
        return {};
    }
    if (text.size() < length)
        return {};
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return {};
        value = (value << 6) | (byte(i) & 0x3Fu);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return {};
    return {value, length};
}

// Characters that are not controls by their byte, but move or break the text around them.
bool TurnsOrBreaksText(std::uint32_t c) {
    return (c >= 0x80 && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
           (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// The escape both forms write for `c`, or nullptr.
const char* ShortEscape(std::uint32_t c) {
    switch (c) {
    case '\\':
        return "\\\\";
    case '\n':
        return "\\n";
    case '\t':
        return "\\t";
    case '\r':
        return "\\r";
    default:
        return nullptr;
    }
}

void AppendHexByte(std::string& out, unsigned char byte) {
    out += "\\x";
    out.push_back(kHex[byte >> 4]);
    out.push_back(kHex[byte & 0xF]);
}

void AppendUnicodeEscape(std::string& out, std::uint32_t c) {
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4)
        out.push_back(kHex[(c >> shift) & 0xF]);
}

} // namespace

// Whether every byte of `name` is printable ASCII other than the backslash, so that it stands
// for itself in every form: most names are. Eight bytes are checked at a time.
bool PlainAscii(std::string_view name) {
    constexpr std::uint64_t kOnes = 0x0101010101010101u, kHigh = 0x8080808080808080u;
    std::size_t i = 0;
    for (; i + 8 <= name.size(); i += 8) {
        std::uint64_t bytes;
        std::memcpy(&bytes, name.data() + i, 8);
        // The high bit of a byte of each word says: not ASCII (bytes), below 0x20 (below),
        // 0x7F (deleted), a backslash (backslash). No sum carries into the next byte.
        const std::uint64_t low = bytes & ~kHigh;
        const std::uint64_t below = ~(low + 0x60 * kOnes);
        const std::uint64_t deleted = low + kOnes;
        const std::uint64_t other = low ^ ('\\' * kOnes);
        const std::uint64_t backslash = ~((other + 0x7F * kOnes) | other);
        if ((bytes | below | deleted | backslash) & kHigh)
            return false;
    }
    for (; i < name.size(); ++i) {
        const char c = name[i];
        if (c < 0x20 || c > 0x7E || c == '\\')
            return false;
    }
    return true;
}

void AppendEscapedName(std::string& out, std::string_view name) {
    if (PlainAscii(name)) {
        out.append(name);
        return;
    }
    for (std::size_t i = 0; i < name.size();) {
        const TCodePoint point = DecodeOne(name.substr(i));
        if (point.length == 0) {
            AppendHexByte(out, static_cast<unsigned char>(name[i++]));
            continue;
        }
        const std::uint32_t c = point.value;
        if (const char* escape = ShortEscape(c))
            out += escape;
        else if (c < 0x20 || c == 0x7F)
            AppendHexByte(out, static_cast<unsigned char>(c));
        else if (TurnsOrBreaksText(c))
            AppendUnicodeEscape(out, c);
        else
            out.append(name.substr(i, point.length));
        i += point.length;
    }
}

std::string EscapedName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    AppendEscapedName(out, name);
    return out;
}

std::size_t CharacterCount(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++count)
        i += std::max<std::size_t>(DecodeOne(text.substr(i)).length, 1);
    return count;
}

std::string JsonString(std::string_view utf8) {
    std::string out = "\"";
    out.reserve(utf8.size() + 2);
    for (std::size_t i = 0; i < utf8.size();) {
        const TCodePoint point = DecodeOne(utf8.substr(i));
        const std::uint32_t c = point.length ? point.value : 0xFFFD;
        const std::size_t length = point.length ? point.length : 1;
        if (c == '"')
            out += "\\\"";
        else if (const char* escape = ShortEscape(c))
            out += escape;
        else if (c < 0x20 || c == 0x7F || TurnsOrBreaksText(c) || !point.length)
            AppendUnicodeEscape(out, c);
        else
            out.append(utf8.substr(i, length));
        i += length;
    }
    out.push_back('"');
    return out;
}

std::string JsonName(std::string_view name) {
    if (IsUtf8(name))
        return JsonString(name);
    std::string out = "[";
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (i)
            out.push_back(',');
        out += std::to_string(static_cast<unsigned char>(name[i]));
    }
    out.push_back(']');
    return out;
}

} // namespace nomilo
