// Loading a library of the system as any host does: LoadLibraryA by name
// (the folder of tarnwick.exe comes first in the search order), exports
// through GetProcAddress.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

class Library {
public:
    explicit Library(const char* name) : name_(name), module_(LoadLibraryA(name))
    {
        if (!module_)
            std::fprintf(stderr, "tarnwick: cannot load %s (error %lu)\n", name, GetLastError());
    }
    ~Library()
    {
        if (module_)
            FreeLibrary(module_);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    bool loaded() const { return module_ != nullptr; }

    // The export by name, or nullptr with a message on stderr.
    template <typename F>
    F* get(const char* exportName) const
    {
        FARPROC p = module_ ? GetProcAddress(module_, exportName) : nullptr;
        if (!p && module_)
            std::fprintf(stderr, "tarnwick: %s has no export %s\n", name_.c_str(), exportName);
        return reinterpret_cast<F*>(p);
    }

private:
    std::string name_;
    HMODULE module_;
};

// Signatures of the exports, as the host declares them.
namespace tarn32 {
using FolderOp = int __stdcall(const char*);
using FileRename = int __stdcall(const char*, const char*);
using FindFile = int __stdcall(const char*, char*, const char*);
using ImpMail = int __stdcall(char*, char*, const char*, const char*, int);
using Read = int __stdcall(const char*, int, int, int, char*, char*);
using Write = int __stdcall(const char*, int, int*, int*, const char*, char*);
using FileAttach = int __stdcall(const char*, const char*, const char*, char*, int);
using ExpMail = int __stdcall(const char*, const char*, const char*, const char*, const char*, int);
using GenUucp = int __stdcall(const char*, const char*, const char*, const char*, char*, int);
using WriteUucp = int __stdcall(const char*, int*, int*, const char*, char*);
using MimeDecode = int __stdcall(const char*, const char*);
using WriteQuoted = int __stdcall(const char*, const char*, char*, int);
using MimeEncode = int __stdcall(const char*, const char*, const char*);
using DecodeIso = int __stdcall(const char*, const char*, char*);
using UuEncode = int __stdcall(const char*, const char*, const char*, const char*, int);
using ImpNews = int __stdcall(char*, char*, const char*, const char*, int, int);
using ExpNews = int __stdcall(char*, char*, const char*, int, int, int);
}  // namespace tarn32

namespace tarnpop {
using InitPopMail = int __stdcall(HWND, int, const char*, const char*, const char*, const char*, int);
using GetPopMail = int __stdcall(const char*, const char*);
}  // namespace tarnpop
