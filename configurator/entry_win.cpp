// Entry point of TarnDesk: with arguments a command-line run, without them the tray program;
// the show command is not used. The tray program keeps its single-instance hand-over to
// itself (RunTarnDesk), so a command-line run never counts as a second start of the tray.
#include "command_line.h"
#include "crash_dumps_win.h"
#include "mouse_firmware.h"
#include "program_files_win.h"
#include "tray_app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    RestrictDllSearchToSystem(); // before anything can load a DLL
    InstallCrashDumps(L"TarnDesk");
    InstallSystemSeams(WindowsSeams());
    const Command command = ParseCommandLine(ProgramArguments());
    if (command.kind != CommandKind::Tray) {
        return RunCommandLine(command);
    }
    return RunTarnDesk(instance);
}
