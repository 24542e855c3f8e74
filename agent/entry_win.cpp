// Entry point of TarnAgent: the whole process lives in agent_app.
#include "agent_app.h"
#include "crash_dumps_win.h"
#include "program_files_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    RestrictDllSearchToSystem(); // before anything can load a DLL
    InstallCrashDumps(L"TarnAgent");
    return AgentMain(instance);
}
