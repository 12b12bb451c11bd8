#pragma once

#include "facts/FactsCache.h"
#include "facts/FactsReader.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace nomilo {

// Reads the facts of a file list's entries on a thread of its own, one list at a time: the
// window never waits for a file. It keeps the cache and the reader process for the program's
// life, so that a folder read again reads only what changed.
class TFactsWorker {
public:
    // Facts of some entries of job `job` (their positions and facts); `finished` once the job
    // is done. Called on the worker's thread.
    using TDelivery = std::function<void(std::uint64_t job,
                                         std::vector<std::pair<int, const TFileFacts*>> facts,
                                         bool finished)>;

    TFactsWorker(std::vector<std::string> readerCommand, TDelivery deliver);
    ~TFactsWorker();
    TFactsWorker(const TFactsWorker&) = delete;
    TFactsWorker& operator=(const TFactsWorker&) = delete;

    // Reads what `needs` asks of the entries `names` of `folder`, those at the positions of
    // `first` before the others (the rows in view). A job started before is given up. Answers
    // the job's number.
    std::uint64_t Start(std::string folder, std::vector<std::string> names, TFactNeeds needs,
                        std::vector<int> first);
    // Gives up the job that runs, if any.
    void Cancel();

private:
    struct TJob {
        std::uint64_t number = 0;
        std::string folder;
        std::vector<std::string> names;
        TFactNeeds needs = NeedsNothing;
        std::vector<int> first;
    };
    void Run();
    void Work(const TJob& job);
    bool Superseded(std::uint64_t job) const;

    TDelivery deliver_;
    TFactsCache cache_;                 // only the worker's thread touches these two
    TFactsReader reader_;
    mutable std::mutex lock_;
    std::condition_variable wake_;
    std::optional<TJob> next_;
    std::uint64_t latest_ = 0; // the number of the job last started or cancelled
    bool ending_ = false;
    std::thread thread_;
};

} // namespace nomilo
