#include "platform/files/EnteredFolders.h"

#include <algorithm>
#include <deque>
#include <mutex>

namespace nomilo {

namespace {

// Newest first. The UI thread is the only user; the lock keeps a stray caller harmless.
std::mutex enteredLock;
std::deque<std::string> entered;

} // namespace

void RecordEnteredFolder(const std::string& folder) {
    const std::lock_guard lock(enteredLock);
    // The file list enters the same folder on every read: that must stay cheap.
    if (!entered.empty() && entered.front() == folder)
        return;
    const auto known = std::find(entered.begin(), entered.end(), folder);
    if (known != entered.end())
        entered.erase(known);
    entered.push_front(folder);
    if (entered.size() > kEnteredFoldersKept)
        entered.pop_back();
}

std::vector<std::string> EnteredFolders() {
    const std::lock_guard lock(enteredLock);
    return {entered.begin(), entered.end()};
}

void ForgetEnteredFolders() {
    const std::lock_guard lock(enteredLock);
    entered.clear();
}

} // namespace nomilo
