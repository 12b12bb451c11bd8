#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace nomilo {

// Why a rename rule cannot rename anything: the find text is no valid regular expression, the
// replace text is no valid substitution for it, or the expression failed on a name (it took
// too long, say).
struct TRuleError {
    enum TPart : std::uint8_t { FindText, ReplaceText };
    TPart part = FindText;
    std::string message;               // the expression engine's own words, in English
    std::optional<std::size_t> offset; // where in that text, in bytes as typed; none: anywhere
    bool inField = false;              // the fault is a field of the replace text, not the engine's
};

// Raised by a rule that cannot rename; a batch that meets it has renamed nothing.
class ERenameRule : public std::runtime_error {
public:
    explicit ERenameRule(TRuleError error)
        : std::runtime_error(error.message), error_(std::move(error)) {}
    const TRuleError& Error() const { return error_; }

private:
    TRuleError error_;
};

} // namespace nomilo
