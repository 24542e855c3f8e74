// A button's assignment in words, as the command line's /show prints it: the function's name
// as the Settings dialog shows it, then the keys of a key, macro or string, or the target.
#pragma once

#include "button_assignment.h"

#include <array>
#include <string>

using FunctionNames = std::array<std::wstring, kFunctionCount>;

// "Ctrl (Down), C (Down), ..." for keys and macros; the key names run together for a string.
// Stops at the first event without a key, as the recorder does.
std::wstring EventListText(const std::vector<KeyEvent>& events, bool namesOnly);
// "Macro Key: A (Down), A (Up)", "String Key: \"AB1\"", "Select Profile: profile 3", ...
std::wstring DescribeButton(const ButtonAssignment& assignment, const FunctionNames& names);
