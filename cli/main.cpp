// nomilo-rename: Nomilo's rename batch from a terminal, for scripts and servers.
#include "cli/RenameCommand.h"
#include "platform/process/DeferredTermination.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    // A pipe or a file takes the lines in large writes; a terminal gets each line as it comes.
    if (!nomilo::IsTerminal(1))
        std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
    try {
        return nomilo::RunRenameCommand(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& error) {
        std::fflush(stdout);
        std::fprintf(stderr, "nomilo-rename: %s\n", error.what());
        return nomilo::esFolder;
    }
}
