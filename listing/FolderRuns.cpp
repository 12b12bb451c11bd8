#include "listing/FolderRuns.h"

#include <algorithm>

namespace nomilo {

void TFolderRuns::Begin(std::string_view path, std::uint32_t first) {
    if (!runs_.empty() && runs_.back().first == first) {
        paths_.resize(runs_.back().pathOffset);
        runs_.pop_back();
    }
    const auto offset = static_cast<std::uint32_t>(paths_.size());
    paths_.append(path);
    runs_.push_back({first, offset, static_cast<std::uint32_t>(path.size())});
}

void TFolderRuns::Clear() {
    paths_ = std::string();
    runs_ = std::vector<TRun>();
}

TEntryFolder TFolderRuns::Of(std::uint32_t entry) const {
    const auto after =
        std::upper_bound(runs_.begin(), runs_.end(), entry,
                         [](std::uint32_t e, const TRun& run) { return e < run.first; });
    if (after == runs_.begin())
        return {};
    const auto run = static_cast<std::size_t>(after - runs_.begin()) - 1;
    return {static_cast<std::uint32_t>(run), Path(run)};
}

std::string_view TFolderRuns::Path(std::size_t run) const {
    return std::string_view(paths_).substr(runs_[run].pathOffset, runs_[run].pathLength);
}

std::vector<std::string> TFolderRuns::Paths() const {
    std::vector<std::string> paths;
    paths.reserve(runs_.size());
    for (std::size_t run = 0; run < runs_.size(); ++run)
        paths.emplace_back(Path(run));
    return paths;
}

} // namespace nomilo
