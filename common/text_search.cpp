#include "text_search.h"

#include <algorithm>

namespace {

wchar_t FoldAscii(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

} // namespace

bool ContainsIgnoringCase(std::wstring_view text, std::wstring_view pattern) {
    if (pattern.empty()) {
        return false;
    }
    const auto match =
        std::search(text.begin(), text.end(), pattern.begin(), pattern.end(),
                    [](wchar_t a, wchar_t b) { return FoldAscii(a) == FoldAscii(b); });
    return match != text.end();
}
