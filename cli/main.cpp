// nomilo-rename: Nomilo's rename batch from a terminal, for scripts and servers.
#include "cli/RenameCommand.h"
#include "platform/process/DeferredTermination.h"

#include <cstdio>
#include <exception>
#include <malloc.h>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    // The command ends soon after its work: memory it frees stays with it for its next
    // allocation, instead of going back to the system and coming back page by page.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
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
