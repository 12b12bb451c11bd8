#pragma once

#include "facts/ReadFacts.h"
#include "platform/process/HelperProcess.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace nomilo {

// Reads files' data in a reader process (RunReaderProcess), where a parser that crashes or
// hangs on a hostile file cannot reach the program: a reader that ends, talks nonsense or takes
// longer than the time limit on one file is killed and started again, and that file's data is
// taken as unreadable. Requests go ahead of the answers a few at a time, so the reader never
// waits for the program. One reader serves one thread at a time.
class TFactsReader {
public:
    // `command` starts the reader process (OwnReaderCommand()).
    explicit TFactsReader(std::vector<std::string> command,
                          std::chrono::milliseconds timeLimit = std::chrono::seconds(5));
    ~TFactsReader();

    struct TRequest {
        std::string_view name; // in the folder
        TFactNeeds needs;
    };
    // Reads each request's file in `folder` (a path), and hands what was read to
    // `answer(request, read)`, in request order. A file the reader could not read has
    // `status.error` -1 and ContentUnreadable set. Stops early when `stop` (may be empty)
    // answers true between files.
    void Read(const std::string& folder, const std::vector<TRequest>& requests,
              const std::function<void(std::size_t, TReadFacts&&)>& answer,
              const std::function<bool()>& stop = {});

    // How often a reader was started, the first time included.
    std::size_t Starts() const { return starts_; }

private:
    bool Start(const std::string& folder);

    std::vector<std::string> command_;
    std::chrono::milliseconds timeLimit_;
    std::unique_ptr<THelperProcess> helper_;
    std::string folder_;     // the folder the running reader was told
    std::uint32_t nextId_ = 0; // ids of the requests sent so far; older answers are dropped
    std::size_t starts_ = 0;
};

// What a file whose data could not be read answers.
TReadFacts UnreadableFacts();

} // namespace nomilo
