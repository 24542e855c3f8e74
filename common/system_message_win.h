// The system's own words for an error code, in the user's language.
#pragma once

#include <windows.h>

#include <string>

// FormatMessageW's text for `error`, without its line end and final full stop (it is set into
// sentences of ours); empty when the system has none.
std::wstring SystemErrorText(DWORD error);
