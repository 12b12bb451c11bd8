#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct UCollator;

namespace nomilo {

// The order in which both lists show names: by the user's locale with letter case ignored (the
// C locale: by code point, case folded); names the locale finds equal, such as "Photos" and
// "photos", by their bytes, so that no two different names are ever in doubt.
//
// Each name gets one collation key, worked out once as it is added; sorting then compares keys
// byte for byte. Names are bytes taken as UTF-8 (bytes that are not stand for U+FFFD).
class TNameKeys {
public:
    // With the user's locale as it is now (QLocale()).
    TNameKeys();
    ~TNameKeys();
    TNameKeys(const TNameKeys&) = delete;
    TNameKeys& operator=(const TNameKeys&) = delete;

    // Adds the key of `name`; answers the name's number (0 for the first one added, and so on).
    std::uint32_t Add(std::string_view name);
    std::size_t Size() const { return spans_.size(); }

    // Whether name number `a` comes before name number `b`.
    bool Less(std::uint32_t a, std::uint32_t b) const;
    // Whether the locale finds the two names equal, whatever their bytes.
    bool EqualByLocale(std::uint32_t a, std::uint32_t b) const;
    // The numbers of all names added, in order.
    std::vector<std::uint32_t> Order() const;

private:
    struct TSpan {
        std::size_t offset;
        std::uint32_t collationLength; // the locale's key, up to and including its 0 byte
        std::uint32_t length;          // that, and then the name's bytes
    };
    std::string_view Key(std::uint32_t name) const;

    UCollator* collator_ = nullptr; // none in the C locale
    std::string keys_;              // every key, one after the other
    std::vector<TSpan> spans_;
    std::vector<std::uint8_t> buffer_;
};

} // namespace nomilo
