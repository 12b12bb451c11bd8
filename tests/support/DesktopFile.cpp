#include "tests/support/DesktopFile.h"

#include <algorithm>
#include <string_view>

namespace nomilo::test {

namespace {

std::optional<std::string> UnescapeString(const std::string& value) {
    static constexpr std::string_view kEscapes = "s n\nt\tr\r\\\\";
    std::string text;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (static_cast<unsigned char>(value[i]) < 0x20)
            return std::nullopt; // control characters are written as escapes
        if (value[i] != '\\') {
            text += value[i];
            continue;
        }
        const std::size_t at = ++i < value.size() ? kEscapes.find(value[i]) : std::string::npos;
        if (at == std::string::npos || at % 2 != 0)
            return std::nullopt;
        text += kEscapes[at + 1];
    }
    return text;
}

} // namespace

std::optional<std::vector<ExecArgument>> ExecArguments(const std::string& value) {
    static constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
    const std::optional<std::string> unescaped = UnescapeString(value);
    if (!unescaped)
        return std::nullopt;
    const std::string& exec = *unescaped;
    std::vector<ExecArgument> arguments;
    for (std::size_t i = 0, n = exec.size();; ++i) {
        while (i < n && exec[i] == ' ')
            ++i;
        if (i == n)
            return arguments;
        ExecArgument argument;
        if (exec[i] == '"') {
            for (++i; i == n || exec[i] != '"'; ++i) {
                if (i == n || exec[i] == '`' || exec[i] == '$')
                    return std::nullopt; // never closed, or not escaped
                if (exec[i] == '\\' &&
                    (++i == n || std::string_view("\"`$\\").find(exec[i]) == std::string::npos))
                    return std::nullopt;
                if (exec[i] == '%' && (++i == n || exec[i] != '%'))
                    return std::nullopt; // no field code inside quotes
                argument.text += exec[i];
            }
            if (i + 1 < n && exec[i + 1] != ' ')
                return std::nullopt;
        } else {
            const std::size_t end = std::min(exec.find(' ', i), n);
            const std::string word = exec.substr(i, end - i);
            i = end - 1;
            if (word.size() == 2 && word[0] == '%' && word[1] != '%') {
                argument = ExecArgument{word, true};
            } else {
                for (std::size_t k = 0; k < word.size(); ++k) {
                    if (kReserved.find(word[k]) != std::string_view::npos ||
                        (word[k] == '%' && (++k == word.size() || word[k] != '%')))
                        return std::nullopt;
                    argument.text += word[k];
                }
            }
        }
        arguments.push_back(std::move(argument));
    }
}

} // namespace nomilo::test
