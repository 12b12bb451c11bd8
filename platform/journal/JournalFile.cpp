#include "platform/journal/JournalFile.h"

#include "platform/files/FileIO.h"
#include "platform/files/UserFolders.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace nomilo {

namespace {

// The header, one line each: the magic, the boot id ("-" when it cannot be told), the batch id,
// the folder's identity (device, inode, time made, whether its volume keeps inode numbers), the
// step count, the size of the names, the checksum (8 hex digits, CRC-32 of the header up to its
// line and of the names). Then newlines up to the records, which start at a multiple of their
// size, so that no record spans two sectors or pages of the disk.
constexpr std::string_view kMagic = "Nomilo rename journal 2\n";
constexpr std::size_t kRecordSize = 32;

// A record: its state (8 bytes, stored in one piece), then the file's identity and link counts.
//   state: [0] mark or phase, [1] way, [2] 1 when the identity is known, [3] 0, [4..7] check
// The identity is the inode and the time it was made, or where the volume does not keep inode
// numbers the size and the modification time.
enum : std::size_t {
    kFirst = 8,   // inode, or size
    kSecond = 16, // time made, or modification time
    kLinks = 24,
    kLinksBeforeUndo = 28,
};

// The kernel's id of the current boot of the machine; "-" when it cannot be told.
std::string BootId() {
    FileDescriptor fd(open("/proc/sys/kernel/random/boot_id", O_RDONLY | O_CLOEXEC));
    const auto text = fd.Valid() ? ReadAll(fd.Get(), 64) : std::nullopt;
    if (!text || text->size() < 2 ||
        text->find_first_of(std::string_view("\0 ", 2)) != std::string::npos)
        return "-";
    return text->substr(0, text->find('\n'));
}

std::string NewBatchId() {
    unsigned char bytes[16] = {};
    if (getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
        const auto now = std::chrono::system_clock::now().time_since_epoch().count();
        std::memcpy(bytes, &now, sizeof now);
        const pid_t pid = getpid();
        std::memcpy(bytes + sizeof now, &pid, sizeof pid);
    }
    std::string id;
    for (const unsigned char byte : bytes) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", byte);
        id += hex;
    }
    return id;
}

std::uint32_t Crc(std::uint32_t crc, const void* data, std::size_t size) {
    // zlib takes the length as uInt: a long text goes in pieces.
    const auto* bytes = static_cast<const Bytef*>(data);
    while (size > 0) {
        const auto piece = static_cast<uInt>(std::min<std::size_t>(size, 1u << 30));
        crc = static_cast<std::uint32_t>(crc32(crc, bytes, piece));
        bytes += piece;
        size -= piece;
    }
    return crc;
}

bool IsMark(char c) {
    return std::string_view(":>+-;<=!x").find(c) != std::string_view::npos;
}
bool IsPhase(char c) {
    return c == 'R' || c == 'E' || c == 'V';
}
bool IsWay(char c) {
    return c == 0 || c == 'r' || c == 'l' || c == 'p';
}

// The check of a record: its index, its state (`state`, 4 bytes) and the fields its mark
// vouches for (those at `record`). While a record is being written the mark it then has leaves
// the fields in writing out. One CRC over all of it: each call of zlib's costs about as much
// as a record's bytes.
std::uint32_t RecordCheck(std::uint32_t salt, std::uint64_t index, const char* state,
                          const char* record) {
    std::size_t fields = kRecordSize - kFirst;
    if (state[0] == jmPreparing)
        fields = 0;
    else if (state[0] == jmPreparingUndo)
        fields = kLinksBeforeUndo - kFirst;
    char checked[sizeof index + 4 + kRecordSize - kFirst];
    std::memcpy(checked, &index, sizeof index);
    std::memcpy(checked + sizeof index, state, 4);
    std::memcpy(checked + sizeof index + 4, record + kFirst, fields);
    return Crc(salt, checked, sizeof index + 4 + fields);
}

template <typename T> T Field(const char* record, std::size_t offset) {
    T value;
    std::memcpy(&value, record + offset, sizeof value);
    return value;
}
template <typename T> void SetField(char* record, std::size_t offset, T value) {
    std::memcpy(record + offset, &value, sizeof value);
}

// Writes the state of `record`: the mark, way and known flag with the check over them and the
// fields, in one 8-byte store, so that a process killed at any moment leaves the record either
// as it was or as it is now.
void StoreState(char* record, std::uint32_t salt, std::uint64_t index, char mark, char way,
                bool known) {
    char state[8] = {mark, way, static_cast<char>(known), 0, 0, 0, 0, 0};
    const std::uint32_t check = RecordCheck(salt, index, state, record);
    std::memcpy(state + 4, &check, sizeof check);
    std::uint64_t word;
    std::memcpy(&word, state, sizeof word);
    __atomic_store_n(reinterpret_cast<std::uint64_t*>(record), word, __ATOMIC_RELEASE);
}

bool RecordIntact(std::uint32_t salt, std::uint64_t index, const char* record, bool phase) {
    if (!phase && record[0] == jmPlanned)
        return std::all_of(record, record + kRecordSize, [](char c) { return c == 0; });
    if (!(phase ? IsPhase(record[0]) : IsMark(record[0])) || !IsWay(record[1]) ||
        (record[2] != 0 && record[2] != 1) || record[3] != 0)
        return false;
    return Field<std::uint32_t>(record, 4) == RecordCheck(salt, index, record, record);
}

constexpr std::uint64_t kPhaseIndex = ~std::uint64_t{0};

// A name as the journal holds it: its length, a space, its bytes, a newline.
void AppendName(std::string& text, std::string_view name) {
    char length[24];
    const auto [end, error] = std::to_chars(length, length + sizeof length, name.size());
    text.append(length, end).append(1, ' ').append(name).append(1, '\n');
}

// Where the bytes of a name AppendName appends at `at` begin.
std::size_t NameBytesAt(std::size_t at, std::size_t size) {
    char length[24];
    return at + static_cast<std::size_t>(std::to_chars(length, length + sizeof length, size).ptr -
                                         length) + 1;
}

// A new journal: its head (header, newlines, the record of its phase) and its names. The
// records of the steps, all planned, lie between the two.
struct TJournalText {
    std::string head;
    std::string names;
};

std::string IdentityText(const FolderIdentity& folderId) {
    return std::to_string(folderId.device) + ' ' + std::to_string(folderId.inode) + ' ' +
           std::to_string(folderId.born) + ' ' + (folderId.keepsInodes ? '1' : '0');
}

TJournalText JournalText(const std::string& boot, const std::string& batchId,
                         const std::string& folder, const FolderIdentity& folderId,
                         const std::vector<JournalStep>& steps,
                         const std::vector<JournalFolder>& subfolders) {
    TJournalText text;
    std::size_t namesSize = folder.size() + 8;
    for (const JournalStep& step : steps)
        namesSize += step.oldName.size() + step.newName.size() + 16;
    text.names.reserve(namesSize);
    AppendName(text.names, folder);
    for (const JournalStep& step : steps) {
        AppendName(text.names, step.oldName);
        AppendName(text.names, step.newName);
    }
    // A batch of one folder has none: its journal is as a program without subfolders writes it.
    for (const JournalFolder& subfolder : subfolders) {
        AppendName(text.names, subfolder.path);
        text.names += IdentityText(subfolder.identity) + '\n';
    }

    std::string& head = text.head;
    head = kMagic;
    head += "boot " + boot + "\nbatch " + batchId + "\nfolder " + IdentityText(folderId) +
            "\nsteps " + std::to_string(steps.size()) + "\nnames " +
            std::to_string(text.names.size()) + "\n";
    char check[16];
    std::snprintf(check, sizeof check, "%08x",
                  Crc(Crc(0, head.data(), head.size()), text.names.data(), text.names.size()));
    head += "check ";
    head += check;
    head += '\n';
    head.append((kRecordSize - head.size() % kRecordSize) % kRecordSize, '\n');
    const std::size_t phase = head.size();
    head.append(kRecordSize, '\0');
    StoreState(head.data() + phase, Crc(0, batchId.data(), batchId.size()), kPhaseIndex,
               static_cast<char>(JournalPhase::Running), 0, false);
    return text;
}

// Writes `text` at `offset` of `fd`.
bool WriteAt(int fd, std::string_view text, off_t offset) {
    return lseek(fd, offset, SEEK_SET) == offset && WriteAll(fd, text);
}

// Makes the `size` bytes at `offset` of `fd` zeros that have their room on the disk, so that
// storing into them later never finds the disk full.
bool ReserveZeros(int fd, off_t offset, off_t size) {
    if (size == 0 || fallocate(fd, 0, offset, size) == 0)
        return true;
    if (errno != EOPNOTSUPP)
        return false;
    const std::string zeros(static_cast<std::size_t>(std::min<off_t>(size, 1 << 16)), '\0');
    for (off_t done = 0; done < size;) {
        const auto piece = std::min<off_t>(size - done, static_cast<off_t>(zeros.size()));
        if (!WriteAt(fd, std::string_view(zeros.data(), static_cast<std::size_t>(piece)),
                     offset + done))
            return false;
        done += piece;
    }
    return true;
}

// Reads texts off the front of `rest`.
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
    // A decimal number ended by `end`, written as the writer writes it.
    template <typename T> std::optional<T> Number(char end) {
        const auto text = Until(end);
        T value{};
        if (!text || text->empty() || (text->size() > 1 && (*text)[0] == '0'))
            return std::nullopt;
        const auto [ptr, error] = std::from_chars(text->data(), text->data() + text->size(), value);
        if (error != std::errc() || ptr != text->data() + text->size())
            return std::nullopt;
        return value;
    }
    // A line "KEY VALUE\n".
    std::optional<std::string_view> Line(std::string_view key) {
        return Take(key) && Take(" ") ? Until('\n') : std::nullopt;
    }
    std::optional<std::string_view> Name() {
        const auto size = Number<std::size_t>(' ');
        if (!size || *size >= rest.size() || rest[*size] != '\n')
            return std::nullopt;
        const std::string_view name = rest.substr(0, *size);
        rest.remove_prefix(*size + 1);
        return name;
    }
    // A folder's identity as IdentityText writes it, ended by `end`.
    std::optional<FolderIdentity> Identity(char end) {
        const auto device = Number<std::uint64_t>(' ');
        const auto inode = device ? Number<std::uint64_t>(' ') : std::nullopt;
        const auto born = inode ? Number<std::int64_t>(' ') : std::nullopt;
        const auto keeps = born ? Until(end) : std::nullopt;
        if (!keeps || (*keeps != "0" && *keeps != "1"))
            return std::nullopt;
        return FolderIdentity{*device, *inode, *born, *keeps == "1"};
    }
};

// Whether `path` names a folder below another one: relative, with no empty, "." or ".." part.
bool IsPathBelow(std::string_view path) {
    for (std::size_t start = 0;;) {
        const std::size_t slash = std::min(path.find('/', start), path.size());
        const std::string_view part = path.substr(start, slash - start);
        if (part.empty() || part == "." || part == ".." ||
            part.find('\0') != std::string_view::npos)
            return false;
        if (slash == path.size())
            return true;
        start = slash + 1;
    }
}

// The notes of batches that are no longer the last one (NoteStaleBatch): one batch id a line.
// More than this is no file of ours.
constexpr std::size_t kStaleNotesLimit = 1 << 20;

// Opens the stale notes beside the journal at `path` (with `flags`: O_CREAT makes them) as a
// regular file of the user's own that no one else may write, and waits for its lock, which is
// held only for a moment: the descriptor, or -1.
int OpenStaleNotes(const std::string& path, int flags) {
    const int fd = open((path + ".stale").c_str(),
                        flags | O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid() ||
        (st.st_mode & (S_IWGRP | S_IWOTH)) || flock(fd, LOCK_EX) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Whether `line` is a whole line of `text`.
bool HasLine(std::string_view text, std::string_view line) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        if (text.substr(at, end - at) == line)
            return true;
        at = end + 1;
    }
    return false;
}

bool IsHex(std::string_view text, std::size_t size) {
    return text.size() == size && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

JournalTrouble Trouble(JournalProblem problem, int error = 0) {
    return {problem, error ? std::error_code(error, std::generic_category()) : std::error_code()};
}

} // namespace

// --- JournalFile -------------------------------------------------------------------------------

std::string JournalFile::DefaultPath() {
    return XdgBaseFolder("XDG_STATE_HOME", "/.local/state").value_or("/.local/state") +
           "/nomilo/last-rename.journal";
}

bool JournalFile::MapFile(int fd, std::size_t size) {
    void* map = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (map == MAP_FAILED)
        return false;
    map_ = static_cast<char*>(map);
    size_ = size;
    fd_ = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    return true;
}

void JournalFile::Lay(const std::string& boot, const std::string& batchId,
                      const std::string& folder, const FolderIdentity& folderId,
                      const std::vector<JournalStep>& steps,
                      const std::vector<JournalFolder>& subfolders, std::size_t recordsAt,
                      std::size_t namesAt) {
    batchId_ = batchId;
    salt_ = Crc(0, batchId_.data(), batchId_.size());
    records_ = map_ + recordsAt;
    folder_ = folder;
    folderId_ = folderId;
    sameBoot_ = boot != "-";
    // The names lie where JournalText put them, one after the other.
    std::size_t at = NameBytesAt(namesAt, folder.size()) + folder.size() + 1;
    const auto next = [&](std::string_view name) {
        const std::size_t bytes = NameBytesAt(at, name.size());
        at = bytes + name.size() + 1;
        return std::string_view(map_ + bytes, name.size());
    };
    steps_.reserve(steps.size());
    for (const JournalStep& step : steps) {
        const std::string_view oldName = next(step.oldName);
        steps_.push_back({oldName, next(step.newName)});
    }
    for (const JournalFolder& subfolder : subfolders) {
        const std::string_view path = next(subfolder.path);
        at += IdentityText(subfolder.identity).size() + 1;
        subfolders_.push_back({path, subfolder.identity});
        subfolderIds_.emplace(path, subfolder.identity);
    }
}

JournalProblem JournalFile::Read() {
    if (size_ < kMagic.size())
        return JournalProblem::Damaged;
    const std::string_view all(map_, size_);

    Reader reader{all};
    const auto boot = reader.Take(kMagic) ? reader.Line("boot") : std::nullopt;
    const auto batch = boot ? reader.Line("batch") : std::nullopt;
    if (!batch || !IsHex(*batch, 32) || boot->empty())
        return JournalProblem::Damaged;
    const auto folderId = reader.Take("folder ") ? reader.Identity('\n') : std::nullopt;
    if (!folderId)
        return JournalProblem::Damaged;
    const auto count = reader.Take("steps ") ? reader.Number<std::size_t>('\n') : std::nullopt;
    const auto namesSize =
        count && reader.Take("names ") ? reader.Number<std::size_t>('\n') : std::nullopt;
    const std::size_t checked = size_ - reader.rest.size();
    const auto check = namesSize ? reader.Line("check") : std::nullopt;
    if (!check || !IsHex(*check, 8) || *count > size_ / kRecordSize)
        return JournalProblem::Damaged;
    // The newlines up to the records.
    const std::size_t headerEnd = size_ - reader.rest.size();
    const std::size_t recordsAt = (headerEnd + kRecordSize - 1) / kRecordSize * kRecordSize;
    const std::size_t namesAt = recordsAt + (*count + 1) * kRecordSize;
    if (namesAt > size_ || size_ - namesAt != *namesSize ||
        all.substr(headerEnd, recordsAt - headerEnd).find_first_not_of('\n') !=
            std::string_view::npos)
        return JournalProblem::Damaged;
    char expected[16];
    std::snprintf(expected, sizeof expected, "%08x",
                  Crc(Crc(0, map_, checked), map_ + namesAt, *namesSize));
    if (*check != expected)
        return JournalProblem::Damaged;

    batchId_ = *batch;
    salt_ = Crc(0, batchId_.data(), batchId_.size());
    records_ = map_ + recordsAt;
    if (!RecordIntact(salt_, kPhaseIndex, records_, true))
        return JournalProblem::Damaged;
    for (std::size_t i = 0; i < *count; ++i)
        if (!RecordIntact(salt_, i, Record(i), false))
            return JournalProblem::Damaged;

    reader.rest = all.substr(namesAt);
    const auto folder = reader.Name();
    if (!folder || !folder->starts_with('/'))
        return JournalProblem::Damaged;
    steps_.reserve(*count);
    for (std::size_t i = 0; i < *count; ++i) {
        const auto oldName = reader.Name();
        const auto newName = oldName ? reader.Name() : std::nullopt;
        if (!newName)
            return JournalProblem::Damaged;
        steps_.push_back({*oldName, *newName});
    }
    while (!reader.rest.empty()) {
        const auto path = reader.Name();
        const auto identity = path && IsPathBelow(*path) ? reader.Identity('\n') : std::nullopt;
        if (!identity)
            return JournalProblem::Damaged;
        subfolders_.push_back({*path, *identity});
        subfolderIds_.emplace(*path, *identity);
    }
    folder_ = *folder;
    folderId_ = *folderId;
    sameBoot_ = *boot != "-" && *boot == BootId();
    return JournalProblem::None;
}

std::optional<FolderIdentity> JournalFile::SubfolderIdentity(std::string_view path) const {
    const auto found = subfolderIds_.find(path);
    if (found == subfolderIds_.end())
        return std::nullopt;
    return found->second;
}

JournalFile::~JournalFile() {
    if (map_)
        munmap(map_, size_);
    if (fd_ >= 0)
        close(fd_);
}

char* JournalFile::Record(std::size_t index) const {
    return records_ + (index == SIZE_MAX ? 0 : (index + 1) * kRecordSize);
}

JournalPhase JournalFile::Phase() const {
    return static_cast<JournalPhase>(Record(SIZE_MAX)[0]);
}

void JournalFile::SetPhase(JournalPhase phase) {
    StoreState(Record(SIZE_MAX), salt_, kPhaseIndex, static_cast<char>(phase), 0, false);
}

JournalMark JournalFile::Mark(std::size_t index) const {
    return static_cast<JournalMark>(Record(index)[0]);
}

MoveWay JournalFile::Way(std::size_t index) const {
    return static_cast<MoveWay>(Record(index)[1]);
}

std::optional<FileIdentity> JournalFile::File(std::size_t index) const {
    const char* record = Record(index);
    if (record[2] != 1)
        return std::nullopt;
    FileIdentity file;
    if (folderId_.keepsInodes) {
        file.inode = Field<std::uint64_t>(record, kFirst);
        file.born = Field<std::int64_t>(record, kSecond);
    } else {
        file.size = Field<std::int64_t>(record, kFirst);
        file.modified = Field<std::int64_t>(record, kSecond);
    }
    file.links = Field<std::uint32_t>(record, kLinks);
    return file;
}

std::uint32_t JournalFile::LinksBeforeUndo(std::size_t index) const {
    return Field<std::uint32_t>(Record(index), kLinksBeforeUndo);
}

void JournalFile::Store(std::size_t index, char mark, MoveWay way, bool known) {
    StoreState(Record(index), salt_, index, mark, static_cast<char>(way), known);
}

void JournalFile::Start(std::size_t index, const std::optional<FileIdentity>& file,
                        MoveWay way) {
    char* record = Record(index);
    Store(index, jmPreparing, MoveWay::Unknown, false);
    const FileIdentity identity = file.value_or(FileIdentity{});
    const bool byInode = folderId_.keepsInodes;
    SetField(record, kFirst, byInode ? identity.inode : static_cast<std::uint64_t>(identity.size));
    SetField(record, kSecond, byInode ? identity.born : identity.modified);
    SetField(record, kLinks, identity.links);
    SetField(record, kLinksBeforeUndo, std::uint32_t{0});
    Store(index, jmStarted, way, file.has_value());
}

void JournalFile::SetWay(std::size_t index, MoveWay way) {
    Store(index, Mark(index), way, Record(index)[2] == 1);
}

void JournalFile::SetMark(std::size_t index, JournalMark mark) {
    Store(index, mark, Way(index), Record(index)[2] == 1);
}

void JournalFile::StartUndo(std::size_t index, std::uint32_t links) {
    const bool known = Record(index)[2] == 1;
    Store(index, jmPreparingUndo, MoveWay::Unknown, known);
    SetField(Record(index), kLinksBeforeUndo, links);
    Store(index, jmUndoStarted, MoveWay::Unknown, known);
}

void JournalFile::Flush() {
    msync(map_, size_, MS_SYNC);
}

void JournalFile::StartWriteBack() {
    sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
}

// --- JournalPlace ------------------------------------------------------------------------------

std::unique_ptr<JournalPlace> JournalPlace::Take(const std::string& path, bool makeFolders,
                                                 JournalTrouble& trouble) {
    trouble = {};
    if (makeFolders && !MakeFolders(ParentOf(path))) {
        trouble = Trouble(JournalProblem::NotWritten, errno);
        return nullptr;
    }
    std::unique_ptr<JournalPlace> place(new JournalPlace);
    place->path_ = path;
    place->lock_ = open((path + ".lock").c_str(),
                        O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (place->lock_ < 0) {
        if (errno != ENOENT || makeFolders)
            trouble = Trouble(JournalProblem::LockUnusable, errno);
        return nullptr;
    }
    // Another user's lock, or one others may replace, could keep the journal from us for good.
    struct stat st {};
    if (fstat(place->lock_, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid() ||
        (st.st_mode & (S_IWGRP | S_IWOTH))) {
        trouble = Trouble(JournalProblem::LockUnusable, EPERM);
        return nullptr;
    }
    if (flock(place->lock_, LOCK_EX | LOCK_NB) != 0) {
        trouble = errno == EWOULDBLOCK ? Trouble(JournalProblem::Busy)
                                       : Trouble(JournalProblem::LockUnusable, errno);
        return nullptr;
    }
    // Under the lock no other process is writing one: a temporary left now is a killed writing's.
    RemoveStaleTemporaries(path);
    return place;
}

JournalPlace::~JournalPlace() {
    if (lock_ >= 0)
        close(lock_);
}

std::unique_ptr<JournalFile> JournalPlace::Open(JournalTrouble& trouble) const {
    return OpenAt(path_, trouble);
}

std::unique_ptr<JournalFile> JournalPlace::OpenAt(const std::string& path,
                                                  JournalTrouble& trouble) const {
    trouble = {};
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) {
        if (errno != ENOENT)
            trouble = Trouble(JournalProblem::Unreadable, errno);
        return nullptr;
    }
    if (!S_ISREG(st.st_mode))
        trouble = Trouble(JournalProblem::NotRegular);
    else if (st.st_uid != geteuid())
        trouble = Trouble(JournalProblem::NotOwned);
    else if (st.st_mode & (S_IWGRP | S_IWOTH))
        trouble = Trouble(JournalProblem::WritableByOthers);
    if (trouble.problem != JournalProblem::None)
        return nullptr;
    const FileDescriptor fd(
        open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat opened {};
    if (!fd.Valid()) {
        trouble = errno == ELOOP ? Trouble(JournalProblem::NotRegular)
                                 : Trouble(JournalProblem::Unreadable, errno);
        return nullptr;
    }
    // Replaced between the look and the opening: what is open now is looked at again.
    if (fstat(fd.Get(), &opened) != 0 || opened.st_dev != st.st_dev || opened.st_ino != st.st_ino ||
        opened.st_uid != geteuid() || (opened.st_mode & (S_IWGRP | S_IWOTH))) {
        trouble = Trouble(JournalProblem::NotRegular);
        return nullptr;
    }
    std::unique_ptr<JournalFile> journal(new JournalFile);
    JournalProblem problem = JournalProblem::Damaged; // an empty file holds none
    if (opened.st_size > 0)
        problem = journal->MapFile(fd.Get(), static_cast<std::size_t>(opened.st_size))
                      ? journal->Read()
                      : JournalProblem::Unreadable;
    if (problem != JournalProblem::None) {
        trouble = Trouble(problem, problem == JournalProblem::Unreadable ? errno : 0);
        return nullptr;
    }
    return journal;
}

std::unique_ptr<JournalFile> JournalPlace::Create(const std::string& folder,
                                                  const FolderIdentity& folderId,
                                                  const std::vector<JournalStep>& steps,
                                                  JournalTrouble& trouble,
                                                  const std::vector<JournalFolder>& subfolders) {
    trouble = {};
    const std::string boot = BootId(), batchId = NewBatchId();
    const TJournalText text = JournalText(boot, batchId, folder, folderId, steps, subfolders);
    const auto recordsAt = static_cast<off_t>(text.head.size());
    const auto namesAt = recordsAt + static_cast<off_t>(steps.size() * kRecordSize);
    const auto size = namesAt + static_cast<off_t>(text.names.size());
    std::string temporary = TemporaryTemplate(path_);
    const FileDescriptor fd(mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd.Valid()) {
        trouble = Trouble(JournalProblem::NotWritten, errno);
        return nullptr;
    }
    std::unique_ptr<JournalFile> journal(new JournalFile);
    auto fail = [&](int error) -> std::unique_ptr<JournalFile> {
        unlink(temporary.c_str());
        trouble = Trouble(JournalProblem::NotWritten, error ? error : EIO);
        return nullptr;
    };
    // The steps' records are all zero bytes: their room is reserved, not written.
    if (ftruncate(fd.Get(), size) != 0 || !WriteAt(fd.Get(), text.head, 0) ||
        !ReserveZeros(fd.Get(), recordsAt, namesAt - recordsAt) ||
        !WriteAt(fd.Get(), text.names, namesAt) || fsync(fd.Get()) != 0)
        return fail(errno);
    if (!journal->MapFile(fd.Get(), static_cast<std::size_t>(size)))
        return fail(errno);
    // The batch's record ends the head; the steps' follow it.
    journal->Lay(boot, batchId, folder, folderId, steps, subfolders,
                 text.head.size() - kRecordSize, static_cast<std::size_t>(namesAt));
    // The journal there is kept aside until this batch has renamed something.
    struct stat st {};
    const bool setAside = lstat(path_.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    if (setAside && rename(path_.c_str(), PreviousPath().c_str()) != 0)
        return fail(errno);
    if (rename(temporary.c_str(), path_.c_str()) != 0) {
        const int error = errno;
        if (setAside)
            rename(PreviousPath().c_str(), path_.c_str());
        return fail(error);
    }
    SyncFolder(ParentOf(path_));
    return journal;
}

void JournalPlace::VoidStaleJournals() {
    const FileDescriptor notes(OpenStaleNotes(path_, 0));
    if (!notes.Valid())
        return;
    const std::optional<std::string> text = ReadAll(notes.Get(), kStaleNotesLimit);
    for (const std::string& journalPath : {path_, PreviousPath()}) {
        const std::optional<std::string> batch = JournalBatchId(journalPath);
        if (!text || !batch || !HasLine(*text, *batch))
            continue;
        JournalTrouble trouble;
        const std::unique_ptr<JournalFile> journal = OpenAt(journalPath, trouble);
        if (journal && journal->Phase() != JournalPhase::Void) {
            journal->SetPhase(JournalPhase::Void);
            journal->Flush();
        }
    }
    // Every batch noted is void now, or its journal is gone for good.
    if (ftruncate(notes.Get(), 0) == 0)
        fsync(notes.Get());
}

bool JournalPlace::HasPrevious() const {
    struct stat st {};
    return lstat(PreviousPath().c_str(), &st) == 0;
}

void JournalPlace::RestorePrevious() {
    if (rename(PreviousPath().c_str(), path_.c_str()) == 0)
        SyncFolder(ParentOf(path_));
}

void JournalPlace::DropPrevious() {
    unlink(PreviousPath().c_str());
}

void JournalPlace::Discard() {
    unlink(path_.c_str());
}

std::optional<std::string> JournalBatchId(const std::string& path) {
    const FileDescriptor fd(
        open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    if (!fd.Valid() || fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid())
        return std::nullopt;
    char head[512];
    const ssize_t got = pread(fd.Get(), head, sizeof head, 0);
    Reader reader{std::string_view(head, got > 0 ? static_cast<std::size_t>(got) : 0)};
    const auto batch =
        reader.Take(kMagic) && reader.Line("boot") ? reader.Line("batch") : std::nullopt;
    if (!batch || !IsHex(*batch, 32))
        return std::nullopt;
    return std::string(*batch);
}

void NoteStaleBatch(const std::string& path, const std::string& batchId) {
    const FileDescriptor notes(OpenStaleNotes(path, O_CREAT));
    if (notes.Valid() && lseek(notes.Get(), 0, SEEK_END) >= 0 &&
        WriteAll(notes.Get(), batchId + '\n'))
        fsync(notes.Get());
}

} // namespace nomilo
