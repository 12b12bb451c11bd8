#pragma once

#include <cstddef>
#include <string>
#include <system_error>
#include <vector>

namespace nomilo {

class IMoveWitness;

// One rename a batch plans: entry `entry` of the file list, from its text to the new name (both
// paths in the list's folder where the entry lies in a folder below it: "2024/a.jpg").
struct TRenameStep {
    int entry = 0;
    std::string oldName;
    std::string newName;
};

// What a batch tells the record it keeps of itself (the undo journal): the whole plan before
// the first rename (every step of it, also those whose new name no file can have; it stays in
// place until End), each step as it starts and ends, and the end of the batch. Started, called
// before the step's rename, answers the witness the rename call is to tell its way to, if the
// record wants to hear it. Finished hears why the step was refused (RefusalOf tells the
// reason), or no error when it renamed.
class IBatchJournal {
public:
    virtual ~IBatchJournal() = default;
    virtual void Begin(const std::vector<TRenameStep>& plan) = 0;
    virtual IMoveWitness* Started(std::size_t step) = 0;
    virtual void Finished(std::size_t step, std::error_code refusal) = 0;
    virtual void End() = 0;
};

} // namespace nomilo
