#pragma once

#include <cstdint>

namespace nomilo {

// Where a text lies in a buffer that holds many texts one after the other.
struct TTextSpan {
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
};

} // namespace nomilo
