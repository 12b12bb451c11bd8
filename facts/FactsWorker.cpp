#include "facts/FactsWorker.h"

#include "facts/FolderFacts.h"

namespace nomilo {

namespace {

// Entries read between deliveries: the preview fills in a screenful at a time.
constexpr std::size_t kChunk = 64;

} // namespace

TFactsWorker::TFactsWorker(std::vector<std::string> readerCommand, TDelivery deliver)
    : deliver_(std::move(deliver)), reader_(std::move(readerCommand)),
      thread_([this] { Run(); }) {}

TFactsWorker::~TFactsWorker() {
    {
        std::lock_guard lock(lock_);
        ending_ = true;
        ++latest_;
    }
    wake_.notify_all();
    thread_.join();
}

std::uint64_t TFactsWorker::Start(std::string folder, std::vector<std::string> names,
                                  TFactNeeds needs, std::vector<int> first) {
    std::uint64_t number;
    {
        std::lock_guard lock(lock_);
        number = ++latest_;
        next_ = TJob{number, std::move(folder), std::move(names), needs, std::move(first)};
    }
    wake_.notify_all();
    return number;
}

void TFactsWorker::Cancel() {
    std::lock_guard lock(lock_);
    ++latest_;
    next_.reset();
}

bool TFactsWorker::Superseded(std::uint64_t job) const {
    std::lock_guard lock(lock_);
    return job != latest_;
}

void TFactsWorker::Run() {
    for (;;) {
        TJob job;
        {
            std::unique_lock lock(lock_);
            wake_.wait(lock, [this] { return ending_ || next_; });
            if (ending_)
                return;
            job = std::move(*next_);
            next_.reset();
        }
        Work(job);
    }
}

void TFactsWorker::Work(const TJob& job) {
    // The order: the rows in view, then every other entry in list order.
    std::vector<int> order;
    order.reserve(job.names.size());
    std::vector<char> taken(job.names.size(), 0);
    for (const int entry : job.first)
        if (entry >= 0 && static_cast<std::size_t>(entry) < job.names.size() && !taken[entry]) {
            taken[static_cast<std::size_t>(entry)] = 1;
            order.push_back(entry);
        }
    for (std::size_t i = 0; i < job.names.size(); ++i)
        if (!taken[i])
            order.push_back(static_cast<int>(i));
    const auto stop = [&] { return Superseded(job.number); };
    std::vector<std::pair<int, const TFileFacts*>> chunk;
    std::vector<std::string_view> names;
    for (std::size_t at = 0; at < order.size(); at += kChunk) {
        if (stop())
            return;
        const std::size_t end = std::min(order.size(), at + kChunk);
        names.clear();
        for (std::size_t i = at; i < end; ++i)
            names.push_back(job.names[static_cast<std::size_t>(order[i])]);
        chunk.clear();
        ReadFolderFacts(
            job.folder, names, job.needs, cache_, reader_,
            [&](std::size_t i, const TFileFacts* facts) { chunk.emplace_back(order[at + i], facts); },
            stop);
        if (stop())
            return;
        deliver_(job.number, std::move(chunk), end == order.size());
        chunk = {};
    }
    if (order.empty())
        deliver_(job.number, {}, true);
}

} // namespace nomilo
