// Entry point of TarnDesk; the show command and command line are not used.
#include "tray_app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return RunTarnDesk(instance);
}
