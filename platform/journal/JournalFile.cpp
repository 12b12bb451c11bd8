#include "platform/journal/JournalFile.h"

#include "platform/files/FileIO.h"
#include "platform/files/MoveFile.h"
#include "platform/files/UserFolders.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nomilo {

namespace {

// The layout: the magic line, the boot id line, the phase line ('R' running, 'E' ended), the
// step count, one mark per step, then the folder and each step's old and new name, every one
// ended by a NUL.
constexpr std::string_view kMagic = "Nomilo rename journal 1\n";
constexpr char kRunning = 'R';
constexpr char kEnded = 'E';

// The kernel's id of the current boot of the machine; "-" when it cannot be told.
std::string BootId() {
    FileDescriptor fd(open("/proc/sys/kernel/random/boot_id", O_RDONLY | O_CLOEXEC));
    const auto text = fd.Valid() ? ReadAll(fd.Get(), 64) : std::nullopt;
    if (!text || text->size() < 2 || text->find('\0') != std::string::npos)
        return "-";
    return text->substr(0, text->find('\n'));
}

bool IsMark(char c) {
    return std::string_view(".>+-<=!").find(c) != std::string_view::npos;
}

// The text of a new journal.
std::string JournalText(const std::string& folder, const std::vector<JournalStep>& steps) {
    std::size_t size = kMagic.size() + 64 + steps.size() + folder.size() + 2;
    for (const JournalStep& step : steps)
        size += step.oldName.size() + step.newName.size() + 2;
    std::string text;
    text.reserve(size);
    text.append(kMagic).append(BootId()).append(1, '\n').append(1, kRunning).append(1, '\n');
    text.append(std::to_string(steps.size())).append(1, '\n');
    text.append(steps.size(), jmPlanned).append(1, '\n');
    text.append(folder).append(1, '\0');
    for (const JournalStep& step : steps)
        text.append(step.oldName).append(1, '\0').append(step.newName).append(1, '\0');
    return text;
}

// The lock beside the journal, taken without waiting; -1 when it is held or cannot be made.
int TakeLock(const std::string& path) {
    const int fd = open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Reads texts ended by `end` off the front of `rest`.
struct Reader {
    std::string_view rest;
    bool Take(std::string_view expected) {
        if (!rest.starts_with(expected))
            return false;
        rest.remove_prefix(expected.size());
        return true;
    }
    std::optional<std::string_view> Until(char end) {
        const std::size_t at = rest.find(end);
        if (at == std::string_view::npos)
            return std::nullopt;
        const std::string_view text = rest.substr(0, at);
        rest.remove_prefix(at + 1);
        return text;
    }
};

} // namespace

std::string JournalFile::DefaultPath() {
    return XdgBaseFolder("XDG_STATE_HOME", "/.local/state").value_or("/.local/state") +
           "/nomilo/last-rename.journal";
}

std::unique_ptr<JournalFile> JournalFile::Locked(const std::string& path) {
    std::unique_ptr<JournalFile> journal(new JournalFile);
    journal->path_ = path;
    journal->lock_ = TakeLock(path);
    if (journal->lock_ < 0)
        return nullptr;
    return journal;
}

std::unique_ptr<JournalFile> JournalFile::Create(const std::string& path,
                                                 const std::string& folder,
                                                 const std::vector<JournalStep>& steps) {
    const std::string parent = ParentOf(path);
    if (!MakeFolders(parent))
        return nullptr;
    std::unique_ptr<JournalFile> journal = Locked(path);
    if (!journal)
        return nullptr;

    // Under the lock no other process is writing one: a temporary left now is a killed writing's.
    RemoveStaleTemporaries(path);
    const std::string text = JournalText(folder, steps);
    std::string temporary = TemporaryTemplate(path);
    FileDescriptor fd(mkostemp(temporary.data(), O_CLOEXEC));
    const bool written = fd.Valid() && WriteAll(fd.Get(), text) && fsync(fd.Get()) == 0 &&
                         journal->Map(fd.Get(), text.size()) &&
                         rename(temporary.c_str(), path.c_str()) == 0;
    if (!written) {
        if (fd.Valid())
            unlink(temporary.c_str());
        // An older journal would now take back some other batch than the last one.
        unlink(path.c_str());
        return nullptr;
    }
    SyncFolder(parent);
    return journal;
}

std::unique_ptr<JournalFile> JournalFile::Open(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return nullptr;
    std::unique_ptr<JournalFile> journal = Locked(path);
    if (!journal)
        return nullptr;
    // Opened under the lock, so that no other process replaces it meanwhile.
    FileDescriptor fd(open(path.c_str(), O_RDWR | O_CLOEXEC));
    if (!fd.Valid() || fstat(fd.Get(), &st) != 0 ||
        !journal->Map(fd.Get(), static_cast<std::size_t>(st.st_size)))
        return nullptr;
    return journal;
}

bool JournalFile::Map(int fd, std::size_t size) {
    if (size < kMagic.size())
        return false;
    void* map = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (map == MAP_FAILED)
        return false;
    map_ = static_cast<char*>(map);
    size_ = size;

    Reader reader{std::string_view(map_, size_)};
    if (!reader.Take(kMagic))
        return false;
    const auto bootId = reader.Until('\n');
    if (!bootId || reader.rest.size() < 2 || reader.rest[1] != '\n')
        return false;
    sameBoot_ = *bootId != "-" && *bootId == BootId();
    ended_ = map_ + (reader.rest.data() - map_);
    if (*ended_ != kRunning && *ended_ != kEnded)
        return false;
    reader.rest.remove_prefix(2);
    const auto countText = reader.Until('\n');
    std::size_t count = 0;
    if (!countText ||
        std::from_chars(countText->data(), countText->data() + countText->size(), count).ptr !=
            countText->data() + countText->size() ||
        count > reader.rest.size())
        return false;
    marks_ = map_ + (reader.rest.data() - map_);
    const auto marks = reader.Until('\n');
    if (!marks || marks->size() != count || !std::all_of(marks->begin(), marks->end(), IsMark))
        return false;
    const auto folder = reader.Until('\0');
    if (!folder || !folder->starts_with('/'))
        return false;
    folder_ = *folder;
    steps_.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const auto oldName = reader.Until('\0');
        const auto newName = oldName ? reader.Until('\0') : std::nullopt;
        if (!newName || !IsBareName(*oldName) || !IsBareName(*newName))
            return false;
        steps_.push_back({*oldName, *newName});
    }
    return reader.rest.empty();
}

JournalFile::~JournalFile() {
    if (map_)
        munmap(map_, size_);
    if (lock_ >= 0)
        close(lock_);
}

bool JournalFile::Ended() const {
    return *ended_ == kEnded;
}

void JournalFile::SetEnded() {
    *ended_ = kEnded;
}

void JournalFile::Discard() {
    unlink(path_.c_str());
}

} // namespace nomilo
