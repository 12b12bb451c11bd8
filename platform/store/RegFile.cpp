#include "platform/store/internal/RegFile.h"

#include "platform/text/AsciiText.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace nomilo {

namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kHeaderVersion5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16Bom = "\xFF\xFE";
// Hex data lines are wrapped once they pass this width, as the registry editor does.
constexpr std::size_t kHexLineWidth = 76;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool StartsWithIgnoreCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && SameRegName(s.substr(0, prefix.size()), prefix);
}

// 1 to `maxDigits` hexadecimal digits and nothing else.
std::optional<std::uint32_t> ParseHexNumber(std::string_view s, std::size_t maxDigits) {
    if (s.empty() || s.size() > maxDigits)
        return std::nullopt;
    std::uint32_t value = 0;
    for (char c : s) {
        const int digit = HexDigitValue(c);
        if (digit < 0)
            return std::nullopt;
        value = value << 4 | static_cast<std::uint32_t>(digit);
    }
    return value;
}

// A quoted text starting at s[0] == '"'. Answers the unescaped text and the rest after the
// closing quote, or std::nullopt when the quote is never closed. "\\" and "\"" are escapes; a
// backslash before any other byte is kept as it stands.
std::optional<std::pair<std::string, std::string_view>> ParseQuoted(std::string_view s) {
    std::string text;
    for (std::size_t i = 1; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"')
            return std::make_pair(std::move(text), s.substr(i + 1));
        if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
            text += s[++i];
            continue;
        }
        text += c;
    }
    return std::nullopt;
}

// Appends comma-separated bytes of one or two hexadecimal digits to `bytes`; a comma may end
// the list. False when the list does not parse.
bool AppendHexBytes(std::string_view s, std::string& bytes) {
    s = Trim(s);
    while (!s.empty()) {
        const std::size_t comma = s.find(',');
        const auto byte = ParseHexNumber(Trim(s.substr(0, comma)), 2);
        if (!byte)
            return false;
        bytes += static_cast<char>(*byte);
        if (comma == std::string_view::npos)
            break;
        s = Trim(s.substr(comma + 1));
    }
    return true;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Appends UTF-16LE `bytes` to `out` as UTF-8. False when they are no whole UTF-16 text (an odd
// byte count, a lone surrogate, which then stands as U+FFFD).
bool AppendUtf16AsUtf8(std::string_view bytes, std::string& out) {
    const std::size_t units = bytes.size() / 2;
    const auto unit = [bytes](std::size_t i) -> char32_t {
        return static_cast<unsigned char>(bytes[2 * i]) |
               static_cast<char32_t>(static_cast<unsigned char>(bytes[2 * i + 1])) << 8;
    };
    const auto isHigh = [](char32_t u) { return u >= 0xD800 && u <= 0xDBFF; };
    const auto isLow = [](char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; };
    bool whole = bytes.size() % 2 == 0;
    out.reserve(out.size() + units);
    for (std::size_t i = 0; i < units; ++i) {
        const char32_t u = unit(i);
        if (isHigh(u) && i + 1 < units && isLow(unit(i + 1))) {
            AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (unit(i + 1) - 0xDC00));
            ++i;
        } else if (isHigh(u) || isLow(u)) {
            AppendUtf8(out, 0xFFFD);
            whole = false;
        } else {
            AppendUtf8(out, u);
        }
    }
    return whole;
}

// The kinds whose data the version 5 format keeps in UTF-16: text, expandable text, multiple
// texts.
bool IsTextKind(std::uint32_t kind) {
    return kind == REG_SZ || kind == REG_EXPAND_SZ || kind == REG_MULTI_SZ;
}

class Parser {
public:
    explicit Parser(std::string_view text) {
        if (text.substr(0, kUtf16Bom.size()) == kUtf16Bom) {
            // The version 5 export in UTF-16: read as UTF-8 like every other text.
            if (!AppendUtf16AsUtf8(text.substr(kUtf16Bom.size()), decoded_))
                content_.damaged = true;
            text = decoded_;
        } else if (text.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
            text.remove_prefix(kUtf8Bom.size());
        }
        // Our own files always end with a line break; a file without one was cut short.
        if (!text.empty() && text.back() != '\n')
            content_.damaged = true;
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string_view::npos)
                end = text.size();
            std::string_view line = text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            lines_.push_back(line);
            start = end + 1;
        }
    }

    RegFileContent Run() {
        std::size_t i = 0;
        while (i < lines_.size() && Trim(lines_[i]).empty())
            ++i;
        if (i < lines_.size() && Trim(lines_[i]) == kHeader) {
            ++i;
        } else if (i < lines_.size() && Trim(lines_[i]) == kHeaderVersion5) {
            version5_ = true;
            ++i;
        } else if (i < lines_.size()) {
            content_.damaged = true;
        }
        for (; i < lines_.size(); ++i) {
            const std::string_view line = Trim(lines_[i]);
            if (line.empty() || line.front() == ';')
                continue;
            const bool parsed = line.front() == '[' ? Section(line) : Value(line, i);
            if (!parsed)
                content_.damaged = true;
        }
        return std::move(content_);
    }

private:
    // A section line: the key it names becomes the one the values below go to. In a version 5
    // file, "[-ROOT\path]" deletes the key with everything below it. False when it does not
    // parse.
    bool Section(std::string_view line) {
        section_ = nullptr;
        if (line.size() < 2 || line.back() != ']')
            return false;
        std::string_view inner = line.substr(1, line.size() - 2);
        const bool deletion = version5_ && !inner.empty() && inner.front() == '-';
        if (deletion)
            inner.remove_prefix(1);
        const std::size_t slash = inner.find('\\');
        const std::string_view rootName = inner.substr(0, slash);
        const std::string_view path =
            slash == std::string_view::npos ? std::string_view() : inner.substr(slash + 1);
        std::optional<RegRoot> root;
        for (RegRoot candidate : {RegRoot::CurrentUser, RegRoot::ClassesRoot})
            if (SameRegName(rootName, RootName(candidate)))
                root = candidate;
        if (!root || !IsKeyPath(path) || (slash != std::string_view::npos && path.empty()))
            return false;
        if (deletion)
            return DeleteKey(*root, path);
        RegKeyNode* node = &content_.tree.Root(*root);
        ForEachComponent(path, [&node](std::string_view name) { node = &node->AddSubkey(name); });
        section_ = node;
        return true;
    }

    // A deletion entry: the key goes with everything below it. False for a root.
    bool DeleteKey(RegRoot root, std::string_view path) {
        if (path.empty())
            return false;
        const std::size_t slash = path.rfind('\\');
        const bool topLevel = slash == std::string_view::npos;
        if (RegKeyNode* parent =
                content_.tree.Find(root, *SplitKeyPath(topLevel ? "" : path.substr(0, slash))))
            parent->RemoveSubkey(topLevel ? path : path.substr(slash + 1));
        return true;
    }

    // Hex data starting in `first`, going on in the following lines while a line ends in "\";
    // `i` moves past those lines.
    std::optional<std::string> HexData(std::string_view first, std::size_t& i) const {
        std::string bytes;
        std::string_view part = Trim(first);
        while (true) {
            const bool goesOn = !part.empty() && part.back() == '\\';
            if (goesOn)
                part.remove_suffix(1);
            if (!AppendHexBytes(part, bytes))
                return std::nullopt;
            if (!goesOn)
                return bytes;
            if (++i >= lines_.size())
                return std::nullopt;
            part = Trim(lines_[i]);
        }
    }

    // A value line; `i` moves past its continuation lines. In a version 5 file, `"name"=-`
    // deletes the value. False when it does not parse.
    bool Value(std::string_view line, std::size_t& i) {
        std::string name;
        std::string_view rest;
        if (line.front() == '@') {
            rest = line.substr(1);
        } else if (line.front() == '"') {
            auto quoted = ParseQuoted(line);
            if (!quoted)
                return false;
            name = std::move(quoted->first);
            rest = quoted->second;
        } else {
            return false;
        }
        rest = Trim(rest);
        if (rest.empty() || rest.front() != '=')
            return false;
        const std::string_view data = Trim(rest.substr(1));

        if (version5_ && data == "-") {
            if (!section_ || !IsValidValueName(name))
                return false;
            section_->Values().Remove(name);
            return true;
        }
        std::uint32_t kind = REG_SZ;
        std::string bytes;
        if (!data.empty() && data.front() == '"') {
            auto quoted = ParseQuoted(data);
            if (!quoted || !Trim(quoted->second).empty())
                return false;
            bytes = std::move(quoted->first);
            bytes += '\0';
        } else if (StartsWithIgnoreCase(data, "dword:")) {
            const auto number = ParseHexNumber(data.substr(6), 8);
            if (!number)
                return false;
            kind = REG_DWORD;
            for (int shift = 0; shift < 32; shift += 8)
                bytes += static_cast<char>(*number >> shift & 0xFF);
        } else if (StartsWithIgnoreCase(data, "hex")) {
            std::string_view after = data.substr(3);
            kind = REG_BINARY;
            if (!after.empty() && after.front() == '(') {
                const std::size_t close = after.find(')');
                if (close == std::string_view::npos)
                    return false;
                const auto number = ParseHexNumber(after.substr(1, close - 1), 8);
                if (!number)
                    return false;
                kind = *number;
                after = after.substr(close + 1);
            }
            if (after.empty() || after.front() != ':')
                return false;
            auto parsed = HexData(after.substr(1), i);
            if (!parsed)
                return false;
            if (version5_ && IsTextKind(kind)) {
                if (!AppendUtf16AsUtf8(*parsed, bytes))
                    return false;
            } else {
                bytes = std::move(*parsed);
            }
        } else {
            // Includes "-", the deletion entry, which a REGEDIT4 store never holds.
            return false;
        }
        if (!section_ || !IsValidValueName(name))
            return false;
        section_->SetValue(name, kind, std::move(bytes));
        return true;
    }

    std::string decoded_; // the text of a UTF-16 file
    std::vector<std::string_view> lines_;
    bool version5_ = false;
    RegFileContent content_;
    RegKeyNode* section_ = nullptr;
};

std::string Quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

// A text the quoted form carries byte for byte: one terminating zero, no other zero and no
// line break.
bool IsQuotableText(const RegValue& value) {
    const std::string& data = value.data;
    return value.kind == REG_SZ && !data.empty() && data.back() == '\0' &&
           data.find_first_of(std::string_view("\0\r\n", 3)) == data.size() - 1;
}

void AppendHex(std::string& out, std::uint32_t number, int digits) {
    static constexpr char kDigits[] = "0123456789abcdef";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        out += kDigits[number >> shift & 0xF];
}

void AppendValue(std::string& out, const RegValue& value) {
    const std::size_t lineStart = out.size();
    out += value.name.empty() ? std::string("@") : Quote(value.name);
    out += '=';
    if (IsQuotableText(value)) {
        out += Quote(std::string_view(value.data).substr(0, value.data.size() - 1));
    } else if (value.kind == REG_DWORD && value.data.size() == 4) {
        std::uint32_t number = 0;
        for (int i = 3; i >= 0; --i)
            number =
                number << 8 | static_cast<unsigned char>(value.data[static_cast<std::size_t>(i)]);
        out += "dword:";
        AppendHex(out, number, 8);
    } else {
        if (value.kind == REG_BINARY) {
            out += "hex:";
        } else {
            out += "hex(";
            std::string kind;
            AppendHex(kind, value.kind, 8);
            const std::size_t first = kind.find_first_not_of('0');
            out += first == std::string::npos ? "0" : kind.substr(first);
            out += "):";
        }
        std::size_t lineLength = out.size() - lineStart;
        for (std::size_t i = 0; i < value.data.size(); ++i) {
            AppendHex(out, static_cast<unsigned char>(value.data[i]), 2);
            lineLength += 2;
            if (i + 1 == value.data.size())
                break;
            out += ',';
            ++lineLength;
            if (lineLength >= kHexLineWidth) {
                out += "\\\n  ";
                lineLength = 2;
            }
        }
    }
    out += '\n';
}

void AppendSection(std::string& out, std::string_view path, const RegKeyNode& node) {
    out.append("\n[").append(path).append("]\n");
    for (const RegValue& value : node.Values())
        AppendValue(out, value);
}

// The sections of a root's tree in name order, walked without recursion; `path` is the root's
// name and holds the path of the key at hand on the way.
void AppendSections(std::string& out, const RegKeyNode& root, std::string path) {
    if (!root.Values().empty())
        AppendSection(out, path, root);
    struct Visit {
        const RegKeyNode* node;
        RegKeyNode::Subkeys::const_iterator next; // the next subkey to visit
        std::size_t pathLength;                    // of the node's path
    };
    std::vector<Visit> stack{{&root, root.SubkeyMap().begin(), path.size()}};
    while (!stack.empty()) {
        Visit& top = stack.back();
        if (top.next == top.node->SubkeyMap().end()) {
            stack.pop_back();
            continue;
        }
        const RegKeyNode& key = (top.next++)->second;
        path.resize(top.pathLength);
        path.append("\\").append(key.Name());
        if (!key.Values().empty() || key.SubkeyMap().empty())
            AppendSection(out, path, key);
        stack.push_back({&key, key.SubkeyMap().begin(), path.size()});
    }
}

} // namespace

RegFileContent ParseRegFile(std::string_view text) {
    return Parser(text).Run();
}

std::string FormatRegFile(const RegistryTree& tree) {
    std::string out(kHeader);
    out += '\n';
    for (RegRoot root : {RegRoot::CurrentUser, RegRoot::ClassesRoot})
        AppendSections(out, tree.Root(root), std::string(RootName(root)));
    return out;
}

} // namespace nomilo
