// The copies between the mouse and the registry cache that the tray program makes by itself:
// the whole memory at start-up and after the mouse arrives, and the defaults of "Reset to
// Default".
#pragma once

#include "model/memory_image.h"
#include "mouse/mouse_session.h"

// Reads the five profile blocks and the header block into the cache. A block is stored only
// when it arrived whole, since the cache is the user's last good copy. `header` becomes the
// header read when it arrived whole, else the cached one; true when it is either. With
// neither, `header` is left as it was. A block that arrived whole and differs from a block the
// cache held whole means the mouse was changed elsewhere: the cache from before is kept in
// the history first, and `changedElsewhere` says so.
bool SyncCacheFromDevice(MouseSession& session, HeaderBlock& header,
                         bool* changedElsewhere = nullptr);
// Writes the default profiles, and with `writeHeader` the default resolution records in
// `header`, into the mouse as one crash-safe sequence, and all of them into the cache. False
// when a block did not reach the mouse whole; the cache gets the defaults either way (the
// user asked for them).
bool WriteDefaults(MouseSession& session, HeaderBlock& header, bool writeHeader);
