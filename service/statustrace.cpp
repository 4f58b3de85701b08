// Test build only (tarnsvc_traced.exe): every status report is also appended,
// as one line "state exitcode milliseconds", to "tarnsvc.status" in the
// program's own folder, so that a test can read the reports in their order
// and timing. The reports themselves are those of the shipped program.
#include "ntservice.h"

#include <cstdio>
#include <cstring>

void traceStatusReport(const SERVICE_STATUS& status)
{
    char path[MAX_PATH + 32];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return;
    char* slash = std::strrchr(path, '\\');
    if (!slash)
        return;
    std::strcpy(slash + 1, "tarnsvc.status");
    if (FILE* f = std::fopen(path, "a")) {
        std::fprintf(f, "%lu %lu %lu\n", static_cast<unsigned long>(status.dwCurrentState),
                     static_cast<unsigned long>(status.dwWin32ExitCode),
                     static_cast<unsigned long>(GetTickCount()));
        std::fclose(f);
    }
}
