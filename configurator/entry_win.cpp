// Entry point of TarnDesk: with arguments a command-line run, without them the tray program;
// the show command is not used. The tray program keeps its single-instance hand-over to
// itself (DeskApp::Run), so a command-line run never counts as a second start of the tray.
#include "app/desk_app.h"
#include "ui/command_line.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // What this machine provides for talking to the mouse, for the process's life.
    const std::unique_ptr<MouseInterfaceSet> interfaces = CreateSystemMouseInterfaces();
    const std::unique_ptr<PacingWait> wait = CreateSystemPacingWait();
    const std::unique_ptr<TransferLock> lock = CreateSystemTransferLock();
    const Command command = ParseCommandLine(ProgramArguments());
    if (command.kind != CommandKind::Tray) {
        MouseSession session(*interfaces, *wait, *lock);
        return RunCommandLine(session, command);
    }
    const std::unique_ptr<DesktopSettings> desktop = CreateSystemDesktopSettings();
    DeskApp app(instance, *interfaces, *wait, *lock, *desktop);
    return app.Run();
}
