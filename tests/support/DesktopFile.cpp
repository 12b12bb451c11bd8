#include "tests/support/DesktopFile.h"

#include <algorithm>
#include <sstream>
#include <string_view>

namespace nomilo::test {

std::optional<DesktopGroups> ParseDesktopFile(const std::string& text) {
    DesktopGroups groups;
    std::string group;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line.front() == '#')
            continue;
        if (line.front() == '[') {
            if (line.back() != ']' || line.size() < 3)
                return std::nullopt;
            group = line.substr(1, line.size() - 2);
            if (!groups.emplace(group, std::map<std::string, std::string>()).second)
                return std::nullopt;
            continue;
        }
        const std::size_t equals = line.find('=');
        if (group.empty() || equals == std::string::npos || equals == 0)
            return std::nullopt;
        if (!groups[group].emplace(line.substr(0, equals), line.substr(equals + 1)).second)
            return std::nullopt;
    }
    return groups;
}

std::optional<std::string> UnescapeDesktopString(const std::string& value) {
    std::string text;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\') {
            text += value[i];
            continue;
        }
        if (++i == value.size())
            return std::nullopt;
        switch (value[i]) {
        case 's':
            text += ' ';
            break;
        case 'n':
            text += '\n';
            break;
        case 't':
            text += '\t';
            break;
        case 'r':
            text += '\r';
            break;
        case '\\':
            text += '\\';
            break;
        default:
            return std::nullopt;
        }
    }
    return text;
}

std::optional<std::vector<ExecArgument>> ParseExec(const std::string& exec) {
    static constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
    std::vector<ExecArgument> arguments;
    std::size_t i = 0;
    const std::size_t n = exec.size();
    while (true) {
        while (i < n && exec[i] == ' ')
            ++i;
        if (i == n)
            return arguments;
        ExecArgument argument;
        if (exec[i] == '"') {
            for (++i;; ++i) {
                if (i == n)
                    return std::nullopt; // the quote is never closed
                const char c = exec[i];
                if (c == '"')
                    break;
                if (c == '`' || c == '$')
                    return std::nullopt;
                if (c == '\\') {
                    if (++i == n || std::string_view("\"`$\\").find(exec[i]) == std::string::npos)
                        return std::nullopt;
                    argument.text += exec[i];
                } else if (c == '%') {
                    if (++i == n || exec[i] != '%')
                        return std::nullopt; // no field code inside quotes
                    argument.text += '%';
                } else {
                    argument.text += c;
                }
            }
            ++i;
            if (i < n && exec[i] != ' ')
                return std::nullopt;
        } else {
            const std::size_t end = std::min(exec.find(' ', i), n);
            const std::string word = exec.substr(i, end - i);
            i = end;
            if (word.size() == 2 && word[0] == '%' && word[1] != '%') {
                argument = ExecArgument{word, true};
            } else {
                for (std::size_t k = 0; k < word.size(); ++k) {
                    if (kReserved.find(word[k]) != std::string_view::npos)
                        return std::nullopt;
                    if (word[k] == '%' && (++k == word.size() || word[k] != '%'))
                        return std::nullopt;
                    argument.text += word[k];
                }
            }
        }
        arguments.push_back(std::move(argument));
    }
}

} // namespace nomilo::test
