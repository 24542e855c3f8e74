// Numbers and sizes both tray programs (TarnDesk and TarnAgent) hand to the shell.
#pragma once

#include <cstdint>

// The notification-area callback message; lParam carries the mouse message.
inline constexpr uint32_t MSG_TRAY_NOTIFY = 3025;
// NOTIFYICONDATAW up to and including guidItem, as laid out on 64-bit Windows (mingw's
// sizeof is larger). Each program checks it against its headers where it fills the record.
inline constexpr uint32_t kTrayIconDataSize = 968;
