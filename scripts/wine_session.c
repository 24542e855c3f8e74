/* Keeps one Wine session alive for a test run: the first Wine process of a session starts
   the system processes (services, device host, desktop), and they inherit that process's
   standard handles. Started here with /dev/null, they never hold a test runner's pipe. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command, int show) {
    (void)instance;
    (void)previous;
    (void)command;
    (void)show;
    GetDesktopWindow(); /* starts the desktop process now, not inside the first GUI test */
    Sleep(INFINITE);
    return 0;
}
