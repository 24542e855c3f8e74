// The system-wide settings the Settings dialog changes: the pointer speed (Apply) and, while
// the pointer rests on a click area, the arrow cursor of the whole desktop. The system's own
// are SystemParametersInfoW and SetSystemCursor; tests hand the dialog a recorder, since Wine
// keeps neither the speed nor the replaced cursor.
#pragma once

#include <windows.h>

#include <memory>

class DesktopSettings {
  public:
    virtual ~DesktopSettings() = default;
    virtual int PointerSpeed() = 0;              // SPI_GETMOUSESPEED, 1..20
    virtual void SetPointerSpeed(int speed) = 0; // SPI_SETMOUSESPEED, saved and broadcast
    // SetSystemCursor(cursor, OCR_NORMAL): the system owns `cursor` from then on.
    virtual void SetArrowCursor(HCURSOR cursor) = 0;
    virtual void ReloadSystemCursors() = 0; // SPI_SETCURSORS
};

std::unique_ptr<DesktopSettings> CreateSystemDesktopSettings();
