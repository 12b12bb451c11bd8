#include "rename/Refusal.h"

#include <cerrno>

namespace nomilo {

TRefusal RefusalOf(std::error_code error) {
    if (!error)
        return TRefusal::None;
    if (error.category() != std::generic_category() && error.category() != std::system_category())
        return TRefusal::Other;
    switch (error.value()) {
    case EEXIST:
    case ENOTEMPTY:
        return TRefusal::Taken;
    case EINVAL:
        return TRefusal::NotAcceptable;
    case ENAMETOOLONG:
        return TRefusal::TooLong;
    case ENOENT:
        return TRefusal::Gone;
    case EACCES:
    case EPERM:
    case EROFS:
        return TRefusal::NoPermission;
    default:
        return TRefusal::Other;
    }
}

} // namespace nomilo
