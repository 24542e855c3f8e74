// The one case-insensitive substring search of the suite. Device paths, hardware ids and
// interface names are ASCII, so only the ASCII letters are folded.
#pragma once

#include <string_view>

// True when `text` contains `pattern`, ASCII letters compared without regard to case. An
// empty pattern is never found: a caller that would match everything with it has nothing
// to look for.
bool ContainsIgnoringCase(std::wstring_view text, std::wstring_view pattern);
