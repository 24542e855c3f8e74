// Which device arrival makes the tray program read the mouse's memory again.
#pragma once

#include <string>
#include <string_view>

// "Vid_%s&Pid_%s&MI_02&Col01": the mouse's configuration interface.
std::wstring ArrivalPattern(std::wstring_view vendorId, std::wstring_view productId);
