#include "rename/Refusal.h"

#include <cerrno>

namespace nomilo {

namespace {

class TRefusalCategory final : public std::error_category {
public:
    const char* name() const noexcept override { return "nomilo refusal"; }
    std::string message(int reason) const override {
        const auto refusal = static_cast<TRefusal>(reason);
        if (refusal == TRefusal::Replaced)
            return "another file now has this name";
        if (refusal == TRefusal::FolderMoved)
            return kEnglishFolderMovedText;
        if (IsFieldRefusal(refusal))
            return kEnglishFieldRefusalTexts[reason - static_cast<int>(TRefusal::NoDateTaken)];
        return "refused";
    }
};

const TRefusalCategory kRefusalCategory;

} // namespace

std::error_code RefusalError(TRefusal reason) {
    return {static_cast<int>(reason), kRefusalCategory};
}

TRefusal RefusalOf(std::error_code error) {
    if (!error)
        return TRefusal::None;
    if (error.category() == kRefusalCategory)
        return static_cast<TRefusal>(error.value());
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
