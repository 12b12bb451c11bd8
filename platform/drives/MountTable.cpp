#include "platform/drives/internal/MountTable.h"

#include "platform/files/FileIO.h"

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nomilo {

namespace {

bool IsOctalDigit(char c) {
    return c >= '0' && c <= '7';
}

// The fields of one line, split at single spaces. The kernel separates fields by exactly one
// space, so two spaces in a row hold an empty field (an empty mount source).
std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t space = line.find(' ', start);
        if (space == std::string_view::npos) {
            fields.push_back(line.substr(start));
            return fields;
        }
        fields.push_back(line.substr(start, space - start));
        start = space + 1;
    }
}

std::optional<int> ParseId(std::string_view field) {
    if (field.empty() || field.front() < '0' || field.front() > '9')
        return std::nullopt;
    int value = 0;
    const char* end = field.data() + field.size();
    const auto [last, error] = std::from_chars(field.data(), end, value);
    if (error != std::errc() || last != end)
        return std::nullopt;
    return value;
}

std::optional<TMountEntry> ParseLine(std::string_view line) {
    const std::vector<std::string_view> fields = SplitFields(line);
    // id, parent, major:minor, root, mount point, options: then optional fields up to "-".
    constexpr std::size_t firstOptional = 6;
    std::size_t separator = firstOptional;
    while (separator < fields.size() && fields[separator] != "-")
        ++separator;
    if (separator + 2 >= fields.size())
        return std::nullopt; // no separator, or no type and source after it

    TMountEntry entry;
    const auto mountId = ParseId(fields[0]);
    const auto parentId = ParseId(fields[1]);
    auto root = UnescapeMountField(fields[3]);
    auto mountPoint = UnescapeMountField(fields[4]);
    auto fsType = UnescapeMountField(fields[separator + 1]);
    auto source = UnescapeMountField(fields[separator + 2]);
    if (!mountId || !parentId || !root || !mountPoint || !fsType || !source)
        return std::nullopt;
    if (mountPoint->empty() || mountPoint->front() != '/' || fsType->empty())
        return std::nullopt;
    entry.mountId = *mountId;
    entry.parentId = *parentId;
    entry.root = std::move(*root);
    entry.mountPoint = std::move(*mountPoint);
    entry.fsType = std::move(*fsType);
    entry.source = std::move(*source);
    return entry;
}

} // namespace

std::optional<std::string> UnescapeMountField(std::string_view field) {
    std::string text;
    text.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        const bool escape = field[i] == '\\' && field.size() - i >= 4 && field[i + 1] >= '0' &&
                            field[i + 1] <= '3' && IsOctalDigit(field[i + 2]) &&
                            IsOctalDigit(field[i + 3]);
        if (escape) {
            const int value =
                (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            if (value == 0)
                return std::nullopt;
            text.push_back(static_cast<char>(value));
            i += 3;
        } else if (field[i] == '\0') {
            return std::nullopt; // the kernel never writes one; the text is not a mount table
        } else {
            text.push_back(field[i]);
        }
    }
    return text;
}

std::vector<TMountEntry> ParseMountInfo(std::string_view text) {
    std::vector<TMountEntry> entries;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        if (auto entry = ParseLine(text.substr(start, end - start)))
            entries.push_back(std::move(*entry));
        start = end + 1;
    }
    return entries;
}

namespace {

constexpr const char* kMountInfo = "/proc/self/mountinfo";

// The identity of the process's mount namespace; 0 when it cannot be told.
ino_t MountNamespace() {
    struct stat st;
    return stat("/proc/self/ns/mnt", &st) == 0 ? st.st_ino : 0;
}

} // namespace

std::string ReadMountTable() {
    // The file reports size 0; it is read to its end.
    const FileDescriptor fd(open(kMountInfo, O_RDONLY | O_CLOEXEC));
    return fd.Valid() ? ReadAll(fd.Get()).value_or(std::string()) : std::string();
}

TMountTableWatch::~TMountTableWatch() {
    if (fd_ >= 0)
        close(fd_);
}

const std::string& TMountTableWatch::Text(bool& reread) {
    const ino_t mountNamespace = MountNamespace();
    if (fd_ >= 0 && mountNamespace != namespace_) {
        close(fd_); // opened in the namespace the process has left
        fd_ = -1;
    }
    if (fd_ < 0) {
        fd_ = open(kMountInfo, O_RDONLY | O_CLOEXEC);
        namespace_ = mountNamespace;
        reread = true;
    } else {
        pollfd change{fd_, POLLPRI, 0};
        reread = poll(&change, 1, 0) > 0 && (change.revents & (POLLPRI | POLLERR));
    }
    if (reread) {
        // Reading the file from its start takes the table as it is after the change reported.
        const bool rewound = fd_ >= 0 && lseek(fd_, 0, SEEK_SET) == 0;
        text_ = rewound ? ReadAll(fd_).value_or(std::string()) : std::string();
    }
    return text_;
}

} // namespace nomilo
