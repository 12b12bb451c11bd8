#pragma once

#include <string>
#include <string_view>

namespace nomilo {

// Texts compared and cased the way the user's desktop does it. All take bytes as UTF-8;
// bytes that are not UTF-8 stand for replacement characters, so two different texts can come
// out equal: callers that need identity compare bytes as well (CompareNamesByLocale does).

// `text` lower-cased by the user's locale (Unicode lower case), back as UTF-8.
std::string LowerCaseByLocale(std::string_view text);
// `text` upper-cased by the user's locale (Unicode upper case), back as UTF-8.
std::string UpperCaseByLocale(std::string_view text);

// Compares `a` and `b` by the user's locale: negative, zero or positive.
int CompareByLocale(std::string_view a, std::string_view b, bool ignoreCase = false);

// True when `text` is UTF-8 that decodes and encodes back to the same bytes.
bool IsLosslessUtf8(std::string_view text);

// Orders texts that were not valid UTF-8 where the locale cannot: called when the locale found
// `a` and `b` equal. Zero when both are lossless UTF-8 (the locale's word stands) or when the
// bytes are equal (ASCII letters folded when `ignoreCase`); otherwise a valid text comes
// before one that is not, and two texts that are not are ordered by their bytes.
int CompareLostBytes(std::string_view a, bool aLossless, std::string_view b, bool bLossless,
                     bool ignoreCase);

// CompareByLocale, except that two texts that differ byte for byte never compare equal merely
// because decoding lost their difference (see CompareLostBytes).
int CompareNamesByLocale(std::string_view a, std::string_view b, bool ignoreCase = false);

} // namespace nomilo
