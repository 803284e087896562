// The crash-dump handler: on a hardware fault it writes one dump of the
// process through "dbghelp.dll" and lets the fault go on to the host. The
// state is the process's, since the system calls the filter as a plain
// function: one handler per process, attached by the add-in object.
#pragma once

#include <windows.h>

#include <dbghelp.h>

#include <string>

class CMiniDumpHandler {
  public:
    // Loads "dbghelp.dll" and finds its dump function, names the dump file
    // "<baseName>.<seconds>.dmp" once (a second crash of the session
    // overwrites the first dump), and installs the filter as the process's
    // unhandled-exception filter, keeping the one it replaces. False, with
    // nothing changed, when the library or its function is missing.
    static bool Attach(const std::string& baseName, MINIDUMP_TYPE dumpType);
    // Puts the previous filter back and unloads the library.
    static void Detach();

    // Writes the dump when a dump function was found; always lets the search
    // for a handler go on.
    static LONG WINAPI Filter(EXCEPTION_POINTERS* pointers);
};
