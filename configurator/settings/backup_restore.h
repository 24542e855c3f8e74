// Backing up the mouse's whole memory into a .tarnprofiles file and writing one back, checked
// and read back: the engine behind the command line's /export and /import and the tray's
// "Back up profiles..." and "Restore profiles...".
#pragma once

#include "model/memory_image.h"
#include "mouse/mouse_session.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

class TextSettings;

// The command line's exit codes; the tray tells the same outcomes in words.
enum CommandExit : int {
    kExitDone = 0,
    kExitBadUsage = 1,
    kExitNoMouse = 2,
    kExitFileRefused = 3,
    kExitVerifyFailed = 4,
    kExitWriteFailed = 5,
};

// Where a run's messages go: the console, or the text of the tray's message box. `texts`
// gives them in the user's language; without it they stay in English.
class Reporter {
  public:
    explicit Reporter(const TextSettings* texts = nullptr) : texts_(texts) {}
    virtual ~Reporter() = default;
    virtual void Print(const std::wstring& text) = 0;
    virtual void Error(const std::wstring& text) = 0;
    // The message of `key` (`builtIn` when untranslated) with its "%s" filled in turn.
    std::wstring Text(const wchar_t* key, const wchar_t* builtIn,
                      std::initializer_list<std::wstring_view> values = {}) const;

  private:
    const TextSettings* texts_;
};

// Collects what a run says, as the tray shows it.
class CapturedReport final : public Reporter {
  public:
    using Reporter::Reporter;
    void Print(const std::wstring& text) override { text_ += text; }
    void Error(const std::wstring& text) override { text_ += text; }
    const std::wstring& Text() const { return text_; }

  private:
    std::wstring text_;
};

// Says so and returns false when no mouse is connected.
bool RequireMouse(MouseSession& session, Reporter& report);
// Says so and returns false when the hold did not get the mouse from another TarnDesk.
bool HoldsMouse(const SessionHold& hold, Reporter& report);
// The whole memory; `whole` says per block whether it arrived complete and `incomplete`
// names those that did not.
MemoryImage ReadImage(MouseSession& session, std::wstring* incomplete,
                      std::array<bool, kImageBlockCount>* whole = nullptr);

// /export: the memory into FILE (written beside it and renamed over it).
int ExportMemory(MouseSession& session, const std::wstring& path, Reporter& report);
// /import: FILE checked whole, written into the mouse, read back and compared; the cache
// takes only blocks read back whole and equal to the file. `header` is the program's header
// block: it becomes the file's, then what verified.
int ImportMemory(MouseSession& session, const std::wstring& path, HeaderBlock& header,
                 Reporter& report);
