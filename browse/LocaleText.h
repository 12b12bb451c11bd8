#pragma once

#include <string>
#include <string_view>

namespace nomilo {

// Texts compared and cased the way the user's desktop does it. Both take bytes as UTF-8;
// bytes that are not UTF-8 stand for replacement characters, so two different texts can come
// out equal: callers that need identity compare bytes as well.

// `text` lower-cased by the user's locale (Unicode lower case), back as UTF-8.
std::string LowerCaseByLocale(std::string_view text);

// Compares `a` and `b` by the user's locale: negative, zero or positive.
int CompareByLocale(std::string_view a, std::string_view b, bool ignoreCase = false);

} // namespace nomilo
