#pragma once

#include <string>
#include <string_view>

namespace zarvex {

// Unicode-aware comparisons of UTF-8 text (ICU).

// Equal when canonically equivalent ("é" precomposed equals "e" + combining acute).
bool canonicallyEqual(std::string_view a, std::string_view b);

// Equal ignoring case (full case folding) and canonical differences.
bool caseInsensitiveEqual(std::string_view a, std::string_view b);

// Ordering of the user's locale that ignores case but not accents:
// negative, zero or positive like strcmp.
int localizedCaseInsensitiveCompare(std::string_view a, std::string_view b);

}  // namespace zarvex
