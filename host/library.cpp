#include "library.h"

#include "report.h"

std::string windowsErrorText(DWORD error)
{
    char text[512] = "";
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             error, 0, text, sizeof text, nullptr);
    std::string s(text, n);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' '))
        s.pop_back();
    return s.empty() ? "error " + std::to_string(error) : s + " (error " + std::to_string(error) + ")";
}

Library::Library(const char* name, Lifetime lifetime)
    : name_(name), module_(LoadLibraryA(name)), keep_(lifetime == KeepLoaded)
{
    if (!module_) {
        DWORD error = GetLastError();
        char self[MAX_PATH] = "";
        GetModuleFileNameA(nullptr, self, MAX_PATH);
        std::string folder = self;
        folder = folder.substr(0, folder.find_last_of('\\') + 1);
        errorLine("cannot load %s (looked for beside %s first): %s", name, folder.c_str(),
                  windowsErrorText(error).c_str());
    }
}

FARPROC Library::address(const char* exportName) const
{
    FARPROC p = module_ ? GetProcAddress(module_, exportName) : nullptr;
    if (!p && module_)
        errorLine("%s has no export %s", name_.c_str(), exportName);
    return p;
}
