// What every program needs from its own installation before anything else runs: a DLL search
// that cannot be steered from a user-writable folder, and the folder the program lies in.
#pragma once

#include <windows.h>

#include <string>

// The programs start from the machine-wide Run key in every user's session, administrators'
// included, so a DLL found in their folder, the current folder or on PATH could run with the
// next administrator's rights. First call of each entry point: from here on DLLs load from
// system32 only. The DLLs that are not known DLLs are delay-loaded, so none loads before it.
// False when the system refused (the program runs on with the loader's usual search).
bool RestrictDllSearchToSystem();

// A system DLL by file name, from system32 whatever the process's search order (nullptr when
// it cannot be loaded). The caller frees it with FreeLibrary, or keeps it for the run.
HMODULE LoadSystemLibrary(const wchar_t* fileName);

// The folder of the running program, ending in a backslash, however long; empty when the
// module path cannot be read. Its files (pictures, language files, tools) are looked for
// here, never relative to the current folder.
std::wstring ProgramFolder();
