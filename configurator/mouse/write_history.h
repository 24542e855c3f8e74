// What a change of the mouse's memory was, and where the memory it replaces is kept before the
// first report of the write: every change can be undone from there.
#pragma once

#include <cstdint>
#include <string>

class MouseSession;

enum class ChangeCause : int32_t {
    Write,            // a write that named no cause
    Apply,            // the Settings dialog's Apply
    Button,           // a detail dialog's write (recorder, Select Profile)
    Reset,            // Reset to Default
    Restore,          // a snapshot of the history written back
    Import,           // a file written into the mouse
    ChangedElsewhere, // the mouse came back holding what another computer wrote
    LibraryLoad,      // a profile file loaded into one profile
};

struct ChangeReason {
    ChangeCause cause = ChangeCause::Write;
    // The profile (0..4) an Apply or a detail dialog wrote; -1 for none.
    int profile = -1;
};

class WriteHistory {
  public:
    virtual ~WriteHistory() = default;
    // Keeps the whole memory the write is about to replace; called under the write's hold.
    // Empty when kept, else why it could not be: then nothing is written.
    virtual std::wstring Keep(MouseSession& session, const ChangeReason& reason) = 0;
};
