// A host application that never shows its window, for the service tests:
// copied as tarnwick.exe beside tarnsvc.exe. It writes its process id to
// "host.pid" beside itself and then only waits to be ended.
#include <windows.h>

#include <cstdio>
#include <string>

int main()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p(path, n);
    p = p.substr(0, p.find_last_of('\\')) + "\\host.pid";
    if (FILE* f = std::fopen(p.c_str(), "w")) {
        std::fprintf(f, "%lu\n", static_cast<unsigned long>(GetCurrentProcessId()));
        std::fclose(f);
    }
    Sleep(600000);
    return 3;
}
