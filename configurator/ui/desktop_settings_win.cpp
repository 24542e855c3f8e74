#include "desktop_settings.h"

namespace {

constexpr DWORD kArrowCursorId = 32512; // OCR_NORMAL, the system's normal arrow

class SystemSettings final : public DesktopSettings {
  public:
    int PointerSpeed() override {
        int speed = 0;
        SystemParametersInfoW(SPI_GETMOUSESPEED, 0, &speed, 0);
        return speed;
    }
    void SetPointerSpeed(int speed) override {
        SystemParametersInfoW(SPI_SETMOUSESPEED, 0,
                              reinterpret_cast<void*>(static_cast<INT_PTR>(speed)),
                              SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);
    }
    void SetArrowCursor(HCURSOR cursor) override { SetSystemCursor(cursor, kArrowCursorId); }
    void ReloadSystemCursors() override { SystemParametersInfoW(SPI_SETCURSORS, 0, nullptr, 0); }
};

} // namespace

std::unique_ptr<DesktopSettings> CreateSystemDesktopSettings() {
    return std::make_unique<SystemSettings>();
}
