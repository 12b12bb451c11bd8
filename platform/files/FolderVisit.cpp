#include "platform/files/FolderVisit.h"

#include "platform/files/CurrentDir.h"
#include "platform/files/EInOutError.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace nomilo {

FolderVisit::FolderVisit(const std::string& folder)
    : previous_(open(".", O_PATH | O_DIRECTORY | O_CLOEXEC)) {
    if (!previous_.Valid())
        throw EInOutError::FromErrno(errno);
    SetCurrentDir(folder); // of any length; on refusal the current directory stays
}

FolderVisit::~FolderVisit() {
    fchdir(previous_.Get());
}

} // namespace nomilo
