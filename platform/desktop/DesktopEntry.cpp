#include "platform/desktop/internal/DesktopEntry.h"

#include "platform/text/Utf8Text.h"

#include <cstddef>

namespace nomilo {

namespace {

unsigned char Byte(char c) {
    return static_cast<unsigned char>(c);
}

bool IsControl(char c) {
    return Byte(c) < 32 || Byte(c) == 127;
}

bool IsFolderPlaceholder(std::string_view argument) {
    return argument == "%L" || argument == "%l" || argument == "%1";
}

// One argument of an Exec line, quoted: inside double quotes '"', '`', '$' and '\' take a
// backslash, and '%' is doubled where the launcher expands field codes in the whole line.
std::string QuoteExecArgument(std::string_view argument, PercentSigns percent) {
    std::string quoted = "\"";
    for (const char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        else if (c == '%' && percent == PercentSigns::Doubled)
            quoted += '%';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

} // namespace

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
    commandLine = commandLine.substr(0, commandLine.find('\0'));
    std::vector<std::string> arguments;
    std::size_t i = 0;
    const std::size_t n = commandLine.size();
    while (true) {
        while (true) {
            if (i < n && Byte(commandLine[i]) <= 32) {
                ++i;
            } else if (i + 1 < n && commandLine[i] == '"' && commandLine[i + 1] == '"') {
                i += 2;
            } else {
                break;
            }
        }
        if (i >= n)
            return arguments;
        std::string argument;
        bool quoted = false;
        for (; i < n; ++i) {
            const char c = commandLine[i];
            if (c == '"')
                quoted = !quoted;
            else if (!quoted && Byte(c) <= 32)
                break;
            else
                argument += c;
        }
        // Only a lone quote at the very end leaves nothing; that is no argument.
        if (!argument.empty())
            arguments.push_back(std::move(argument));
    }
}

std::vector<std::string> VerbCommandArguments(std::string_view commandLine) {
    static constexpr std::string_view kOpen = "\"", kClose = "\" \"%L\"";
    commandLine = commandLine.substr(0, commandLine.find('\0'));
    if (commandLine.size() > kOpen.size() + kClose.size() && commandLine.starts_with(kOpen) &&
        commandLine.ends_with(kClose)) {
        const std::string_view program =
            commandLine.substr(kOpen.size(), commandLine.size() - kOpen.size() - kClose.size());
        return {std::string(program), "%L"};
    }
    return SplitCommandLine(commandLine);
}

namespace {

// The arguments of `commandLine`, each given to `quote` but the first folder placeholder, which
// becomes `folderWord`; std::nullopt when the command names no program.
template <typename Quote>
std::optional<std::string> JoinCommand(std::string_view commandLine, std::string_view folderWord,
                                       Quote quote) {
    const std::vector<std::string> arguments = VerbCommandArguments(commandLine);
    if (arguments.empty() || IsFolderPlaceholder(arguments.front()))
        return std::nullopt;
    std::string line;
    bool folderGiven = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0)
            line += ' ';
        // One folder at most: a second placeholder is passed on as written.
        if (i > 0 && !folderGiven && IsFolderPlaceholder(arguments[i])) {
            line += folderWord;
            folderGiven = true;
        } else {
            line += quote(arguments[i]);
        }
    }
    return line;
}

// One argument in the POSIX shell's single quotes; a quote of its own ends the quoted stretch,
// is escaped and opens the next one.
std::string ShellQuote(std::string_view argument) {
    std::string quoted = "'";
    for (const char c : argument) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    quoted += '\'';
    return quoted;
}

} // namespace

std::optional<std::string> QuotedCommand(std::string_view commandLine, std::string_view folderCode,
                                         PercentSigns percent) {
    return JoinCommand(commandLine, folderCode,
                       [percent](std::string_view argument) {
                           return QuoteExecArgument(argument, percent);
                       });
}

std::optional<std::string> ShellCommand(std::string_view commandLine, std::string_view folderWord) {
    return JoinCommand(commandLine, folderWord, ShellQuote);
}

bool IsEntryText(std::string_view text) {
    if (!IsUtf8(text))
        return false;
    for (const char c : text)
        if (IsControl(c) && c != '\t' && c != '\n' && c != '\r')
            return false;
    return true;
}

std::optional<std::string> DesktopExecValue(std::string_view commandLine,
                                            std::string_view folderCode, PercentSigns percent) {
    const std::optional<std::string> command = QuotedCommand(commandLine, folderCode, percent);
    if (!command || !IsEntryText(*command))
        return std::nullopt;
    return EscapeDesktopString(*command);
}

std::string EscapeDesktopString(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (c) {
        case '\\':
            escaped += "\\\\";
            break;
        case '\t':
            escaped += "\\t";
            break;
        case '\n':
            escaped += "\\n";
            break;
        case '\r':
            escaped += "\\r";
            break;
        case ' ':
            escaped += i == 0 ? "\\s" : " ";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

std::string DesktopDisplayText(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t length = Utf8SequenceLength(text, i);
        if (length == 0) {
            shown += "\xEF\xBF\xBD";
            ++i;
        } else if (length == 1 && IsControl(text[i])) {
            shown += ' ';
            ++i;
        } else {
            shown.append(text.substr(i, length));
            i += length;
        }
    }
    return shown;
}

std::string StripAccelerator(std::string_view label) {
    std::string stripped;
    for (std::size_t i = 0; i < label.size(); ++i) {
        if (label[i] != '&') {
            stripped += label[i];
        } else if (i + 1 < label.size() && label[i + 1] == '&') {
            stripped += '&';
            ++i;
        }
    }
    return stripped;
}

std::string FileNamePart(std::string_view name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string part;
    for (const char c : name) {
        const unsigned char b = Byte(c);
        if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') ||
            b == '-') {
            part += c;
        } else {
            part += '_';
            part += kHex[b >> 4];
            part += kHex[b & 0x0F];
        }
    }
    return part;
}

} // namespace nomilo
