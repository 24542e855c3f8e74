// TarnDesk's command line: what the arguments ask for, the usage text, the exit codes, and
// the text "/show" prints. Windows-free; the runs themselves are command_line_win.cpp.
#pragma once

#include "settings/backup_restore.h"
#include "model/button_text.h"
#include "mouse/mouse_session.h"
#include "settings/profile_file.h"
#include "text_rules.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

enum class CommandKind {
    Tray,
    Usage,
    Export,
    Import,
    Show,
    Select,
    Diagnostics,
    History,
    RestoreSnapshot,
    Diff,
    SaveProfile,
    LoadProfile,
    ShowFile,
    Open,
    BadUsage
};

struct Command {
    CommandKind kind = CommandKind::Tray;
    std::wstring file;    // Export, Import, Diff, SaveProfile, LoadProfile, ShowFile, Open
    std::wstring name;    // SaveProfile: the profile's name in the file
    int snapshot = 0;     // RestoreSnapshot: 1 is the newest
    int profile = 0;      // Select, SaveProfile, LoadProfile: 0..4 (the user writes 1..5)
    std::wstring problem; // BadUsage: what was wrong, in English
    // BadUsage: the problem's language key, its English pattern and the value for its "%s".
    const wchar_t* problemKey = nullptr;
    const wchar_t* problemPattern = nullptr;
    std::wstring problemValue;
};

// The problem of a BadUsage command in the user's language.
std::wstring ProblemText(const Command& command, const TextLookup& text);

// The arguments after the program name. None: the tray program. Options start with '/' or
// "--" (also '-'), in any case: export FILE, import FILE, show, select N, diagnostics, ?/help.
Command ParseCommandLine(const std::vector<std::wstring>& arguments);

std::wstring UsageText(const TextLookup& text = BuiltInText);

// The words /show and the recorder put around key names and targets.
ButtonWords ButtonWordsOf(const TextLookup& text);

// What /show prints for the memory image and the mouse's active profile (0..4; anything else
// is reported as the basic state). functionNames: the eleven names the Settings dialog shows.
std::wstring FormatShow(const MemoryImage& image, int activeProfile,
                        const FunctionNames& functionNames, const TextLookup& text = BuiltInText);
// What /show FILE prints for a profile file (its name and settings) or a backup (its five
// profiles). False, with `problem` set, when the file is neither or is refused.
bool FormatShowFile(std::string_view content, uint16_t vendorId, uint16_t productId,
                    const FunctionNames& functionNames, const TextLookup& text, std::wstring* shown,
                    std::wstring* problem);

// Runs a command-line command (not Tray or Open: those run the tray program) to its end: no window,
// no tray icon, output to the console the program was started from or to the redirected standard
// handles. Returns the exit code. Windows only (command_line_win.cpp).
int RunCommandLine(MouseSession& session, const Command& command);
// The program's arguments after its name, as the system splits them.
std::vector<std::wstring> ProgramArguments();
