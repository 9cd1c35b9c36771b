#include "ParentConsole.h"

#ifdef _WIN32
#include <cstdio>
#include <windows.h>

namespace {

// A handle inherited from a redirection (a file or a pipe) is kept, so that
// `detector-config --read a.bin > out.txt` still writes into out.txt.
bool Redirected(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

} // namespace

void AttachParentConsole() {
    const bool out = Redirected(STD_OUTPUT_HANDLE);
    const bool err = Redirected(STD_ERROR_HANDLE);
    if (out && err)
        return;
    if (!AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (!out && std::freopen("CONOUT$", "w", stdout) == nullptr)
        return;
    if (!err)
        std::freopen("CONOUT$", "w", stderr);
}

#else

void AttachParentConsole() {}

#endif
