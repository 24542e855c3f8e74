// Entry point of TarnDesk: with arguments a command-line run, without them (or with "/open
// FILE") the tray program; the show command is not used. The tray program keeps its
// single-instance hand-over to itself (DeskApp::Run), so a command-line run never counts as a
// second start of the tray.
#include "app/desk_app.h"
#include "crash_dumps_win.h"
#include "program_files_win.h"
#include "settings/cache_journal.h"
#include "settings/history.h"
#include "ui/command_line.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    RestrictDllSearchToSystem(); // before anything can load a DLL
    InstallCrashDumps(L"TarnDesk");
    // What this machine provides for talking to the mouse, for the process's life.
    const std::unique_ptr<MouseInterfaceSet> interfaces = CreateSystemMouseInterfaces();
    const std::unique_ptr<PacingWait> wait = CreateSystemPacingWait();
    const Command command = ParseCommandLine(ProgramArguments());
    // "/open FILE" is the desktop opening a file: the tray handles it, this one or the running.
    if (command.kind != CommandKind::Tray && command.kind != CommandKind::Open) {
        const std::unique_ptr<TransferLock> lock = CreateSystemTransferLock();
        CacheJournal journal;
        MouseSession session(*interfaces, *wait, *lock);
        session.UseJournal(&journal);
        HistoryKeeper history;
        session.UseHistory(&history);
        return RunCommandLine(session, command);
    }
    // The tray talks to the mouse on its window thread: waiting for another TarnDesk, it
    // keeps its icon, menu and dialogs answering.
    const std::unique_ptr<TransferLock> lock = CreateSystemTransferLock(true);
    const std::unique_ptr<DesktopSettings> desktop = CreateSystemDesktopSettings();
    DeskApp app(instance, *interfaces, *wait, *lock, *desktop);
    return app.Run(command.kind == CommandKind::Open ? command.file : std::wstring());
}
