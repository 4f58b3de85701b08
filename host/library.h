// Loading a library of the system as any host does: LoadLibraryA by name
// (the folder of tarnwick.exe comes first in the search order), exports
// through GetProcAddress. The export signatures are in hostcontract.h.
#pragma once

#include "hostcontract.h"

#include <windows.h>

#include <string>

// The system's text for a Windows error number, without its line end
// ("The specified module could not be found."); "error N" when it has none.
std::string windowsErrorText(DWORD error);

//
// A network library (tarnpop, postgate, qflush) is loaded with KeepLoaded and
// never unloaded by this process: its worker thread runs the library's code
// until after the session's last progress pair, and nothing tells the host
// when that thread has left. Loading it again later finds the same module.
class Library {
public:
    enum Lifetime { UnloadAtEnd, KeepLoaded };

    // Loads the library; when it will not load, says so on stderr with the
    // file's name and the system's reason.
    explicit Library(const char* name, Lifetime lifetime = UnloadAtEnd);
    ~Library()
    {
        if (module_ && !keep_)
            FreeLibrary(module_);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    bool loaded() const { return module_ != nullptr; }

    // The export by name, or nullptr with a message on stderr.
    template <typename F>
    F* get(const char* exportName) const
    {
        return reinterpret_cast<F*>(address(exportName));
    }

private:
    FARPROC address(const char* exportName) const;

    std::string name_;
    HMODULE module_;
    bool keep_;
};
