#include "facts/ReaderProcess.h"

#include "facts/FactsWire.h"
#include "platform/files/FileContent.h"
#include "platform/process/HelperProcess.h"

#include <exiv2/exiv2.hpp>

#include <chrono>

namespace nomilo {

namespace {

// Room the parsers may take: a 100 MB tag fails to be read, it does not take the machine.
// The sanitizers' shadow memory needs far more address space than that.
// Answers written together: the program sends up to twice as many requests ahead.
constexpr std::size_t kAnswersTogether = 16;
constexpr std::chrono::milliseconds kLongestHold(20);

#if defined(__SANITIZE_ADDRESS__)
constexpr std::size_t kAddressSpace = 0;
#else
constexpr std::size_t kAddressSpace = std::size_t{2} << 30;
#endif

TReadFacts ReadNamed(int folder, const std::string& name, TFactNeeds needs) {
    // A FIFO, a device or a folder is never opened: only its status is read. An entry the
    // program saw as a regular file is opened at once (without waiting, should it have become a
    // FIFO since) and checked by its descriptor.
    TFileStatus status;
    if (!(needs & SeenRegular)) {
        status = StatusAt(folder, name.c_str(), true);
        if (!status.Regular() || !(needs & (NeedsImage | NeedsAudio)))
            return ReadContent(-1, name, status, needs);
    }
    const int file = OpenToRead(folder, name.c_str());
    const TFileStatus opened = file >= 0 ? StatusOf(file) : StatusAt(folder, name.c_str(), false);
    if (needs & SeenRegular)
        status = opened;
    TReadFacts read;
    if (file < 0 || !opened.Regular()) {
        read = ReadContent(-1, name, TFileStatus{}, NeedsNothing);
        read.status = status;
        AddTimes(read.facts, status);
        read.facts.present |= TFileFacts::ContentUnreadable;
    } else {
        read = ReadContent(file, name, opened, static_cast<TFactNeeds>(needs & ~SeenRegular));
    }
    CloseFile(file);
    return read;
}

} // namespace

int RunReaderProcess() {
    LimitHelper(kAddressSpace);
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
#if EXIV2_TEST_VERSION(0, 27, 4)
    Exiv2::enableBMFF(true);
#endif
    Exiv2::XmpParser::initialize();
    TFrames frames;
    int folder = -1;
    std::string name;
    std::string answers; // those not written yet
    std::size_t held = 0;  // how many
    auto written = std::chrono::steady_clock::now();
    char bytes[1 << 16];
    for (;;) {
        const long got = ReadRequests(bytes, sizeof bytes);
        if (got <= 0)
            return 0;
        frames.Add(bytes, static_cast<std::size_t>(got));
        std::string_view frame;
        while (frames.Next(frame)) {
            std::uint32_t id = 0;
            TFactNeeds needs = NeedsNothing;
            if (!DecodeRequest(frame, id, needs, name))
                return 2;
            if (id == kFolderRequest) {
                CloseFile(folder);
                folder = OpenFolder(name);
                continue;
            }
            answers += EncodeAnswer(id, ReadNamed(folder, name, needs));
            // Answers go a few together (one write, one wake of the program for several
            // files), and never wait long.
            const auto now = std::chrono::steady_clock::now();
            if (++held >= kAnswersTogether || now - written >= kLongestHold) {
                if (!WriteAnswer(answers.data(), answers.size()))
                    return 0;
                answers.clear();
                held = 0;
                written = now;
            }
        }
        if (frames.Garbled())
            return 2;
        if (held > 0 && !WriteAnswer(answers.data(), answers.size()))
            return 0;
        answers.clear();
        held = 0;
        written = std::chrono::steady_clock::now();
    }
}

std::vector<std::string> OwnReaderCommand() {
    // The running program itself, also once a package upgrade replaced its file: a path
    // would start the new program then, or nothing while the path names a deleted file.
    return {"/proc/self/exe", kReadFactsArgument};
}

} // namespace nomilo
