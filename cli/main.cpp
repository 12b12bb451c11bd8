// nomilo-rename: Nomilo's rename batch from a terminal, for scripts and servers.
#include "cli/RenameCommand.h"
#include "facts/ReaderProcess.h"
#include "platform/process/DeferredTermination.h"

#include <cstdio>
#include <exception>
#include <malloc.h>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    // Started by itself to read files' data where a parser's fault cannot reach the command.
    if (argc == 2 && std::string(argv[1]) == nomilo::kReadFactsArgument)
        return nomilo::RunReaderProcess();
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
