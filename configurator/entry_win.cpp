// Entry point of TarnDesk: with arguments a command-line run, without them the tray program;
// the show command is not used.
#include "command_line.h"
#include "tray_app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    const Command command = ParseCommandLine(ProgramArguments());
    if (command.kind != CommandKind::Tray) {
        return RunCommandLine(command);
    }
    return RunTarnDesk(instance);
}
