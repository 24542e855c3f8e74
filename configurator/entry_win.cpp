// Entry point of TarnDesk; the show command and command line are not used. The tray program
// keeps its single-instance hand-over to itself (RunTarnDesk), so another mode started from
// here would not count as a second start of the tray.
#include "tray_app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return RunTarnDesk(instance);
}
