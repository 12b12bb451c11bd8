#include "facts/FactsReader.h"

#include "facts/FactsWire.h"

#include <algorithm>
#include <system_error>

namespace nomilo {

namespace {

// Requests sent ahead of the answers: enough to keep the reader busy, few enough that they
// always fit the socket's buffer, so that writing never waits for a reader that hangs.
constexpr std::size_t kAhead = 32;
constexpr std::chrono::milliseconds kSlice(100);

} // namespace

TReadFacts UnreadableFacts() {
    TReadFacts read;
    read.status.error = -1;
    read.facts.present = TFileFacts::ContentUnreadable;
    return read;
}

TFactsReader::TFactsReader(std::vector<std::string> command, std::chrono::milliseconds timeLimit)
    : command_(std::move(command)), timeLimit_(timeLimit) {}

TFactsReader::~TFactsReader() = default;

bool TFactsReader::Start(const std::string& folder) {
    if (helper_ && folder_ == folder)
        return true;
    try {
        if (!helper_) {
            helper_ = std::make_unique<THelperProcess>(command_);
            ++starts_;
        }
    } catch (const std::system_error&) {
        return false;
    }
    const std::string request = EncodeRequest(kFolderRequest, NeedsNothing, folder);
    if (!helper_->Write(request.data(), request.size())) {
        helper_.reset();
        return false;
    }
    folder_ = folder;
    return true;
}

void TFactsReader::Read(const std::string& folder, const std::vector<TRequest>& requests,
                        const std::function<void(std::size_t, TReadFacts&&)>& answer,
                        const std::function<bool()>& stop) {
    std::size_t sent = 0, answered = 0;
    // The reader answers several requests in one write, so when it fails with several in flight
    // it is not known which file made it fail: up to here each is sent alone, then.
    std::size_t carefulUntil = 0;
    // The id of request 0 of this call: answers to earlier calls are dropped.
    std::uint32_t base = nextId_;
    TFrames frames;
    auto since = std::chrono::steady_clock::now(); // the last answer, or the oldest request after
    char bytes[1 << 16];
    // The reader is gone or stuck: the file it was reading is unreadable, the reader is started
    // again for the rest.
    const auto giveUp = [&] {
        helper_.reset();
        frames = TFrames();
        if (sent - answered > 1)
            carefulUntil = sent;
        else
            answer(answered++, UnreadableFacts());
        base = nextId_;
        sent = answered;
    };
    while (answered < requests.size()) {
        if (stop && stop())
            return;
        if (!Start(folder)) {
            // No reader can be started: nothing can be read.
            while (answered < requests.size())
                answer(answered++, UnreadableFacts());
            return;
        }
        if (sent == answered)
            since = std::chrono::steady_clock::now();
        // Once half the requests ahead are answered, as many again go in one write.
        const std::size_t ahead = answered < carefulUntil ? 1 : kAhead;
        std::string batch;
        const bool refill = sent - answered <= ahead / 2;
        for (; refill && sent < requests.size() && sent - answered < ahead; ++sent) {
            const std::uint32_t id = base + static_cast<std::uint32_t>(sent - answered);
            batch += EncodeRequest(id, requests[sent].needs, requests[sent].name);
            nextId_ = id + 1;
        }
        if (!batch.empty() && !helper_->Write(batch.data(), batch.size())) {
            giveUp();
            continue;
        }
        // The wait is cut into slices, so that a stop is heard while a file takes long.
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            since + timeLimit_ - std::chrono::steady_clock::now());
        const long got = helper_->Read(bytes, sizeof bytes,
                                       std::clamp(left, std::chrono::milliseconds(0), kSlice));
        if (got < 0 && left > kSlice)
            continue;
        if (got <= 0) {
            giveUp();
            continue;
        }
        frames.Add(bytes, static_cast<std::size_t>(got));
        std::string_view frame;
        bool garbled = false;
        while (!garbled && frames.Next(frame)) {
            std::uint32_t id = 0;
            TReadFacts read;
            if (!DecodeAnswer(frame, id, read)) {
                garbled = true;
                break;
            }
            if (id != base)
                continue; // an answer to a request given up before
            answer(answered++, std::move(read));
            ++base;
            since = std::chrono::steady_clock::now();
            if (answered == requests.size())
                break;
        }
        if (garbled || frames.Garbled())
            giveUp();
    }
}

} // namespace nomilo
