// Button-action dispatcher: turns a released button mask into desktop actions.
// Runs only on the agent's window thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct HWND__; // the Win32 window handle type (HWND), without pulling in <windows.h>

// 1 while action 29 holds the left button down; toggled only by action 29.
extern bool dragLocked;

// Runs the action of every button whose bit is set (bit n-1 = button n), buttons 1 to 10 in
// ascending order, each to completion; bits above 9 are ignored.
void RunButtonActions(uint32_t mask);

// Sibling tools: found by window class, started by file name from the agent's own folder
// (tapsmith and chordwell with the button number as their argument).
inline constexpr const wchar_t* kVeerlineClass = L"veerlineClass";
inline constexpr const wchar_t* kScaladoClass = L"scaladoClass";
inline constexpr const wchar_t* kLupinaClass = L"lupinaClass";
inline constexpr const wchar_t* kVeerlineFile = L"veerline.exe";
inline constexpr const wchar_t* kScaladoFile = L"scalado.exe";
inline constexpr const wchar_t* kLupinaFile = L"lupina.exe";
inline constexpr const wchar_t* kTapsmithFile = L"tapsmith.exe";
inline constexpr const wchar_t* kChordwellFile = L"chordwell.exe";

inline constexpr int kNavigateBack = 4;
inline constexpr int kNavigateForward = 5;

// ---- Windows-free decisions, shared by the glue and the native tests ----

// Buttons (1..10) of a mask in the order their actions run; returns how many were written.
size_t ButtonsOfMask(uint32_t mask, int (&buttons)[10]);

// One keybd_event: virtual key, key up or down, scan code from the keyboard layout or 0.
struct KeyStroke {
    uint8_t vk;
    bool up;
    bool zeroScan;
};
inline constexpr size_t kMaxKeyStrokes = 6;
struct KeySequence {
    KeyStroke strokes[kMaxKeyStrokes];
    size_t count;
};
// The keys of a pure key action (8-22 keys, 24, 30); count 0 for every other code.
KeySequence KeysOfAction(uint32_t code);

// Browser generation of a window by its class and, when asked for, its title.
bool BrowserNeedsTitle(const wchar_t* className);
uint32_t BrowserGenerationOf(const wchar_t* className, const wchar_t* title);

enum class NavigationMethod { BrowserKey, FrameCommand, HelpCommand, AppCommand };
NavigationMethod NavigationMethodOf(const wchar_t* className, uint32_t generation);

// The command line that starts a sibling tool: its full path in the agent's folder, quoted
// so that no part of a folder name with blanks is taken for the program, then the
// arguments, if any. The folder ends in a backslash.
std::wstring ToolCommandLine(std::wstring_view folder, std::wstring_view file,
                             std::wstring_view arguments);

// "Software\Orvane\Stilbe\Settings\<button>" into out; false when it does not fit.
bool FormatButtonKeyName(int button, wchar_t* out, size_t outCount);
// "homepage" and "application" are read with a byte limit of 255.
inline constexpr size_t kButtonValueByteLimit = 255;
// A button's registry string value as read (type, bytes): true and a terminated copy in out
// when it is a string type of at most kButtonValueByteLimit bytes holding some text, with or
// without its terminator (RegistryStringValue); false otherwise.
bool DecodeRegistryString(uint32_t type, const uint8_t* data, size_t size, wchar_t* out,
                          size_t outCount);

// ---- Win32 side (actions_win.cpp) ----

void CloseTool(const wchar_t* windowClass);
// Starts the tool `file` from the agent's own folder, and only from there: a tool that is not
// installed starts nothing, wherever else a file of its name may lie.
void StartTool(const wchar_t* file, const wchar_t* arguments, int show);
void ToggleTool(const wchar_t* windowClass, const wchar_t* file);
void BrowserNavigate(int direction); // kNavigateBack or kNavigateForward
uint32_t ClassifyBrowser(HWND__* window);
// Brings forward every process of the snapshot that has a module at this path, compared as
// the file system compares names (without case); closes the snapshot.
void ActivateProcessByPath(const wchar_t* path, void* processSnapshot);
