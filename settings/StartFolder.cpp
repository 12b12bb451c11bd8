#include "settings/StartFolder.h"

namespace nomilo {

std::string StartFolder(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i)
        if (argv[i] && argv[i][0] != '\0')
            return argv[i];
    return std::string();
}

std::string StartFolder(const std::vector<std::string>& arguments) {
    for (std::size_t i = 1; i < arguments.size(); ++i)
        if (!arguments[i].empty())
            return arguments[i];
    return std::string();
}

} // namespace nomilo
