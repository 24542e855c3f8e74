// Owners of the handles the three programs release: each holds one handle, releases it
// exactly once when it goes out of scope, and can be moved but not copied. A bare release
// call in a function body is the exception and says why.
#pragma once

#include <windows.h>

#include <utility>

// Win32 has two "no handle" values: CreateFileW and the snapshot functions fail with
// INVALID_HANDLE_VALUE, nearly everything else with nullptr. Neither is ever released.
inline bool IsValidHandle(HANDLE handle) {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

template <typename T, typename Traits> class Owned {
  public:
    Owned() = default;
    explicit Owned(T value) : value_(value) {}
    ~Owned() { Reset(); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Owned(Owned&& other) noexcept : value_(other.Release()) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }

    T Get() const { return value_; }
    bool Valid() const { return Traits::Valid(value_); }
    explicit operator bool() const { return Valid(); }
    // For functions that hand a new handle back through a pointer (RegOpenKeyExW).
    T* Put() {
        Reset();
        return &value_;
    }
    // Gives the handle up without releasing it.
    T Release() { return std::exchange(value_, T{}); }
    void Reset(T value = T{}) {
        const T old = std::exchange(value_, value);
        if (Traits::Valid(old)) {
            Traits::Close(old);
        }
    }

  private:
    T value_{};
};

struct KernelHandleTraits {
    static bool Valid(HANDLE handle) { return IsValidHandle(handle); }
    static void Close(HANDLE handle) { CloseHandle(handle); }
};
// Files, devices, events, threads, mutexes, timers, snapshots.
using UniqueHandle = Owned<HANDLE, KernelHandleTraits>;

struct RegistryKeyTraits {
    static bool Valid(HKEY key) { return key != nullptr; }
    static void Close(HKEY key) { RegCloseKey(key); }
};
using UniqueKey = Owned<HKEY, RegistryKeyTraits>;

template <typename Object> struct GdiObjectTraits {
    static bool Valid(Object object) { return object != nullptr; }
    static void Close(Object object) { DeleteObject(object); }
};
using UniqueBitmap = Owned<HBITMAP, GdiObjectTraits<HBITMAP>>;
using UniqueFont = Owned<HFONT, GdiObjectTraits<HFONT>>;
using UniqueBrush = Owned<HBRUSH, GdiObjectTraits<HBRUSH>>;

struct MemoryDcTraits {
    static bool Valid(HDC dc) { return dc != nullptr; }
    static void Close(HDC dc) { DeleteDC(dc); }
};
// A device context made by CreateCompatibleDC.
using UniqueMemoryDc = Owned<HDC, MemoryDcTraits>;

struct IconTraits {
    static bool Valid(HICON icon) { return icon != nullptr; }
    static void Close(HICON icon) { DestroyIcon(icon); }
};
using UniqueIcon = Owned<HICON, IconTraits>;

struct MenuTraits {
    static bool Valid(HMENU menu) { return menu != nullptr; }
    static void Close(HMENU menu) { DestroyMenu(menu); }
};
using UniqueMenu = Owned<HMENU, MenuTraits>;

struct HeapBlockTraits {
    static bool Valid(void* block) { return block != nullptr; }
    static void Close(void* block) { HeapFree(GetProcessHeap(), 0, block); }
};
// A block from HeapAlloc(GetProcessHeap(), ...).
using UniqueHeapBlock = Owned<void*, HeapBlockTraits>;

struct LocalBlockTraits {
    static bool Valid(void* block) { return block != nullptr; }
    static void Close(void* block) { LocalFree(block); }
};
// A block the system allocated with LocalAlloc for us (FormatMessageW, CommandLineToArgvW).
using UniqueLocalBlock = Owned<void*, LocalBlockTraits>;

struct HookTraits {
    static bool Valid(HHOOK hook) { return hook != nullptr; }
    static void Close(HHOOK hook) { UnhookWindowsHookEx(hook); }
};
using UniqueHook = Owned<HHOOK, HookTraits>;

struct FindTraits {
    static bool Valid(HANDLE find) { return IsValidHandle(find); }
    static void Close(HANDLE find) { FindClose(find); }
};
// A search from FindFirstFileW.
using UniqueFind = Owned<HANDLE, FindTraits>;

// A window's device context from GetDC, released to that window.
class WindowDc {
  public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() {
        if (dc_ != nullptr) {
            ReleaseDC(window_, dc_);
        }
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;

    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

  private:
    HWND window_;
    HDC dc_;
};

// One WM_PAINT's BeginPaint, ended with EndPaint at the scope's end. A window with nothing to
// draw still needs it: it validates the window, which would otherwise be painted again.
class PaintScope {
  public:
    explicit PaintScope(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
    ~PaintScope() { EndPaint(window_, &paint_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;

    HDC Dc() const { return dc_; }

  private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// An object selected into a device context for a scope; the previous one returns at its end.
class SelectedObject {
  public:
    SelectedObject(HDC dc, HGDIOBJ object)
        : dc_(dc),
          previous_(dc != nullptr && object != nullptr ? SelectObject(dc, object) : nullptr) {}
    ~SelectedObject() {
        if (previous_ != nullptr && previous_ != HGDI_ERROR) {
            SelectObject(dc_, previous_);
        }
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

  private:
    HDC dc_;
    HGDIOBJ previous_;
};
