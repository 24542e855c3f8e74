// Plugging the virtual mouse and loading the virtual filter drivers, as the system would for
// real hardware: a root-enumerated device installed through SetupAPI and a kernel service.
#pragma once

#include <windows.h>

#include <string>

namespace tarn::virt {

// Directory of the running tool, with a trailing backslash.
std::wstring ToolDirectory();

// Installs the root device with the given instance and hardware id and binds it to the INF's
// driver; returns once a HID interface whose path contains pathPattern is present (or after
// timeoutMs). Copies the INF's driver binary from sysPath into system32\drivers first.
bool PlugRootDevice(const std::wstring& instanceId, const std::wstring& hardwareId,
                    const std::wstring& infPath, const std::wstring& sysPath,
                    const std::wstring& sysName, const std::wstring& pathPattern, DWORD timeoutMs,
                    std::wstring* error);

// Removes the root device (DIF_REMOVE); returns once no HID interface matches pathPattern.
bool UnplugRootDevice(const std::wstring& instanceId, const std::wstring& pathPattern,
                      DWORD timeoutMs, std::wstring* error);

// True while the root device exists.
bool RootDeviceInstalled(const std::wstring& instanceId);

// The path of the first present HID interface containing pattern (case-insensitive), or "".
std::wstring FindHidInterface(const std::wstring& pattern);

// Creates (if needed) and starts a kernel-driver service for sysPath copied to
// system32\drivers\<sysName>. Stopping and deleting undo it.
bool StartKernelService(const std::wstring& service, const std::wstring& sysPath,
                        const std::wstring& sysName, std::wstring* error);
bool StopKernelService(const std::wstring& service, bool remove, std::wstring* error);

std::wstring LastErrorText(const wchar_t* what);

} // namespace tarn::virt
