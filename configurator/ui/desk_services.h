// What TarnDesk's dialogs stand on, handed to each by the application object that owns it.
#pragma once

#include "desktop_settings.h"
#include "model/memory_image.h"
#include "mouse/mouse_session.h"
#include "recorder.h"
#include "settings/text_files.h"

#include <windows.h>

struct DeskServices {
    HINSTANCE instance;
    MouseSession& session;
    const TextSettings& texts;
    // The program's header block: the last one read whole from the mouse, with the
    // resolutions moved in the Settings dialog since.
    HeaderBlock& headerBlock;
    DesktopSettings& desktop;
    // The recorder's memory of the last key, kept for the program's run.
    KeyRepeatMemory& keys;
};
