#pragma once

#include "facts/ReadFacts.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace nomilo {

// The messages between the program and its reader process, each a frame: its length (4 bytes),
// then its bytes. A request holds an id, what to read and a name in the folder last named (a
// request with kFolderRequest names the folder by its path); an answer holds the id and what was
// read. Numbers are in the machine's own order: both ends are the same program.
inline constexpr std::uint32_t kFolderRequest = 0xFFFFFFFF;

std::string EncodeRequest(std::uint32_t id, TFactNeeds needs, std::string_view name);
bool DecodeRequest(std::string_view frame, std::uint32_t& id, TFactNeeds& needs,
                   std::string& name);
std::string EncodeAnswer(std::uint32_t id, const TReadFacts& read);
bool DecodeAnswer(std::string_view frame, std::uint32_t& id, TReadFacts& read);

// Bytes as they arrive, cut into frames.
class TFrames {
public:
    void Add(const char* bytes, std::size_t size) { buffer_.append(bytes, size); }
    // The next whole frame, valid until the next call; false when none is whole yet.
    bool Next(std::string_view& frame);
    // A frame announced longer than any the other end writes: it is not talking sense.
    bool Garbled() const { return garbled_; }

private:
    std::string buffer_;
    std::size_t used_ = 0;
    bool garbled_ = false;
};

} // namespace nomilo
