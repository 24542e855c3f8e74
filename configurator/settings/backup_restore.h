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
    // The tray's user stopped the transfer; never a command-line code.
    kExitStopped = 7,
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

// What a transfer of the whole memory tells a window that shows it, and asks it between blocks.
// Called on the thread that runs the transfer.
class TransferProgress {
  public:
    virtual ~TransferProgress() = default;
    // `done` of `total` blocks have moved.
    virtual void Moved(int done, int total) = 0;
    // The user asked to stop. A read stops before its next block; a write only before its
    // first, never between two (the mouse would hold half of the file).
    virtual bool StopAsked() = 0;
    // From here on the transfer cannot be stopped.
    virtual void Committed() {}
};

// Says so and returns false when no mouse is connected.
bool RequireMouse(MouseSession& session, Reporter& report);
// Says so and returns false when the hold did not get the mouse from another TarnDesk.
bool HoldsMouse(const SessionHold& hold, Reporter& report);
// The whole memory; `whole` says per block whether it arrived complete and `incomplete`
// names those that did not. With `progress`, each block is told as `first` + its number of
// `total`, and a stop asked for ends the read before its next block (`*stopped` set).
MemoryImage ReadImage(MouseSession& session, std::wstring* incomplete,
                      std::array<bool, kImageBlockCount>* whole = nullptr,
                      TransferProgress* progress = nullptr, int first = 0,
                      int total = kImageBlockCount, bool* stopped = nullptr);

// /export: the memory into FILE (written beside it and renamed over it).
// A stop asked for through `progress` ends it with kExitStopped and no file written.
int ExportMemory(MouseSession& session, const std::wstring& path, Reporter& report,
                 TransferProgress* progress = nullptr);
// The check /import makes of FILE before it writes anything: true when it would be written,
// else the refusal is told as /import tells it.
bool CheckImportFile(const MouseSession& session, const std::wstring& path, Reporter& report);
// The same check of a profile file (.tarnprofile), as /load makes it before it writes: true
// when it would be loaded, with the profile's name (UTF-8) in `name` when given, else the
// refusal is told as /load tells it.
bool CheckLibraryFile(const MouseSession& session, const std::wstring& path, Reporter& report,
                      std::string* name = nullptr);
// /import: FILE checked whole, written into the mouse, read back and compared; the cache
// takes only blocks read back whole and equal to the file. `header` is the program's header
// block: it becomes the file's, then what verified.
// A stop asked for through `progress` before the first block ends it with kExitStopped and
// nothing written; after that it runs to its end.
int ImportMemory(MouseSession& session, const std::wstring& path, HeaderBlock& header,
                 Reporter& report, TransferProgress* progress = nullptr);

// Writes `content` beside `path` and renames it over, so a failure leaves the file as it was.
// Empty on success, else the cause.
std::wstring ReplaceFileWith(const std::wstring& path, const std::string& content);
// Reads FILE whole (a profile file or a backup is small). Empty on success, else why not, in
// the words a refusal uses.
std::wstring ReadProfileFileText(const std::wstring& path, std::string* content,
                                 const Reporter& report);
// /save: profile `profile` (0..4) as the mouse holds it, with its header record, into FILE
// under `name` (written beside it and renamed over it).
int SaveLibraryProfile(MouseSession& session, int profile, const std::wstring& path,
                       const std::wstring& name, Reporter& report);
// /load: FILE checked whole, then written into profile `slot` (0..4) with the header as the
// mouse holds it but for that profile's record, read back and compared; the cache takes only
// what verified. `header` becomes what verified. A stop asked for through `progress` before the
// write ends it with kExitStopped and nothing written.
int LoadLibraryProfile(MouseSession& session, const std::wstring& path, int slot,
                       HeaderBlock& header, Reporter& report, TransferProgress* progress = nullptr);
