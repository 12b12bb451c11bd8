#include "settings/StartFolder.h"

#include "platform/text/AsciiText.h"

namespace nomilo {

namespace {

// An argument as a path: a file URI decoded, anything else as it stands.
std::string ArgumentPath(const std::string& argument) {
    return FileUriPath(argument).value_or(argument);
}

} // namespace

std::optional<std::string> FileUriPath(std::string_view uri) {
    static constexpr std::string_view kScheme = "file://";
    if (!uri.starts_with(kScheme))
        return std::nullopt;
    uri.remove_prefix(kScheme.size());
    const std::size_t slash = uri.find('/');
    if (slash == std::string_view::npos)
        return std::nullopt;
    const std::string_view host = uri.substr(0, slash);
    if (!host.empty() && host != "localhost")
        return std::nullopt; // another machine's file
    uri.remove_prefix(slash);

    std::string path;
    path.reserve(uri.size());
    for (std::size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] != '%') {
            path += uri[i];
            continue;
        }
        const int high = i + 2 < uri.size() ? HexDigitValue(uri[i + 1]) : -1;
        const int low = i + 2 < uri.size() ? HexDigitValue(uri[i + 2]) : -1;
        if (high < 0 || low < 0 || (high == 0 && low == 0))
            return std::nullopt; // no byte, or NUL, which no path holds
        path += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return path;
}

std::string TCommandLine::StartFolder() const {
    return !selection && !paths.empty() ? paths.front() : std::string();
}

TCommandLine ReadCommandLine(const std::vector<std::string>& arguments) {
    TCommandLine commandLine;
    std::size_t first = 1;
    while (first < arguments.size() && arguments[first].empty())
        ++first;
    if (first < arguments.size() && arguments[first] == kSelectOption) {
        commandLine.selection = true;
        ++first;
    }
    for (std::size_t i = first; i < arguments.size(); ++i)
        if (!arguments[i].empty())
            commandLine.paths.push_back(ArgumentPath(arguments[i]));
    if (commandLine.paths.size() > 1)
        commandLine.selection = true;
    return commandLine;
}

TCommandLine ReadCommandLine(int argc, const char* const* argv) {
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i)
        arguments.emplace_back(argv[i] ? argv[i] : "");
    return ReadCommandLine(arguments);
}

} // namespace nomilo
