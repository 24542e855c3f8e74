// The virtual mouse as tests, benchmarks and the control tool drive it: plug and unplug,
// and report 6 on its configuration interface.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "vmouse_control.h"

namespace tarn::virt {

constexpr DWORD kPlugTimeoutMs = 20000;

// Installs the device with the driver and INF found in virtualDir (with a trailing
// backslash); returns once its HID interface is present.
bool PlugVirtualMouse(const std::wstring& virtualDir, std::wstring* error);
bool UnplugVirtualMouse(std::wstring* error);
bool VirtualMousePresent();

// One open handle on the configuration interface, for report 6. Never kept by the programs
// under test; these handles only serve the tests.
class MouseLink {
  public:
    MouseLink();
    ~MouseLink();
    MouseLink(const MouseLink&) = delete;
    MouseLink& operator=(const MouseLink&) = delete;

    bool Open() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Raw() const { return handle_; }
    bool Set(ControlReport report) const;
    bool Get(ControlReport* reply) const;

    bool Load(const MemoryImage& image) const;
    std::optional<MemoryImage> Dump() const;
    std::optional<MouseStatus> Status() const;
    bool Command(uint8_t command, uint8_t area = 0, int32_t argument = 0) const;

  private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// What the driver persisted, readable and writable while the mouse is unplugged.
bool StoredImage(MemoryImage* image, bool store);

} // namespace tarn::virt
