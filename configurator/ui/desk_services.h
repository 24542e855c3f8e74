// What TarnDesk's dialogs stand on, handed to each by the application object that owns it.
#pragma once

#include "desktop_settings.h"
#include "model/memory_image.h"
#include "mouse/mouse_session.h"
#include "recorder.h"
#include "settings/text_files.h"

#include <windows.h>

// The program's copies of the mouse's memory next to the mouse itself: another TarnDesk
// process (a command-line import, a restore) may have written the mouse since they were read.
class MemoryView {
  public:
    virtual ~MemoryView() = default;
    // Before a write, under the transfer lock: true when the program's copies are as new as
    // the mouse's last change by any TarnDesk process. Otherwise they are read anew from the
    // cache (an open Settings dialog too) and the answer is false.
    virtual bool CurrentBeforeWrite() = 0;
    // The program wrote the mouse itself.
    virtual void Wrote() = 0;
    // A block could not be stored in the cache; the user hears of it once.
    virtual void CacheStoreFailed() = 0;
};

struct DeskServices {
    HINSTANCE instance;
    MouseSession& session;
    const TextSettings& texts;
    // The program's header block: the last one read whole from the mouse, with the
    // resolutions moved in the Settings dialog since.
    HeaderBlock& headerBlock;
    // False while no header has been read whole (nor cached): nothing shows or writes it then.
    bool& headerKnown;
    DesktopSettings& desktop;
    // The recorder's memory of the last key, kept for the program's run.
    KeyRepeatMemory& keys;
    MemoryView& view;
    // Transfers started from the window thread and not yet ended. While another TarnDesk holds
    // the mouse the window thread keeps serving its windows; what they ask for meanwhile must
    // not start a second transfer (it would run in the middle of the first).
    int& transfersUnderWay;
};

// Counts a transfer under way for its scope.
class TransferUnderWay {
  public:
    explicit TransferUnderWay(int& count) : count_(count) { ++count_; }
    ~TransferUnderWay() { --count_; }
    TransferUnderWay(const TransferUnderWay&) = delete;
    TransferUnderWay& operator=(const TransferUnderWay&) = delete;

  private:
    int& count_;
};
