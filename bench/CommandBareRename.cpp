// The floor under any renaming command: reads the folder given with a bare readdir loop and
// renames every name that begins with FROM to TO and the rest of the name, with renameat2 and
// RENAME_NOREPLACE, in the names' byte order (on ext4 renames in name order run faster than in
// directory order, which is the order of the names' hashes). No journal, no output.
//   nomilo_command_bare FOLDER FROM TO
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 4)
        return 2;
    const std::string from = argv[2], to = argv[3];
    DIR* dir = opendir(argv[1]);
    if (!dir)
        return 3;
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir))
        if (std::strncmp(entry->d_name, from.c_str(), from.size()) == 0)
            names.emplace_back(entry->d_name);
    std::sort(names.begin(), names.end());
    const int folder = dirfd(dir);
    int status = 0;
    for (const std::string& name : names) {
        const std::string renamed = to + name.substr(from.size());
        if (renameat2(folder, name.c_str(), folder, renamed.c_str(), RENAME_NOREPLACE) != 0)
            status = 1;
    }
    closedir(dir);
    return status;
}
