// Loading a library of the system as any host does: LoadLibraryA by name
// (the folder of tarnwick.exe comes first in the search order), exports
// through GetProcAddress.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

//
// A network library (tarnpop, postgate, qflush) is loaded with KeepLoaded and
// never unloaded by this process: its worker thread runs the library's code
// until after the session's last progress pair, and nothing tells the host
// when that thread has left. Loading it again later finds the same module.
class Library {
public:
    enum Lifetime { UnloadAtEnd, KeepLoaded };

    explicit Library(const char* name, Lifetime lifetime = UnloadAtEnd)
        : name_(name), module_(LoadLibraryA(name)), keep_(lifetime == KeepLoaded)
    {
        if (!module_)
            std::fprintf(stderr, "tarnwick: cannot load %s (error %lu)\n", name, GetLastError());
    }
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
        FARPROC p = module_ ? GetProcAddress(module_, exportName) : nullptr;
        if (!p && module_)
            std::fprintf(stderr, "tarnwick: %s has no export %s\n", name_.c_str(), exportName);
        return reinterpret_cast<F*>(p);
    }

private:
    std::string name_;
    HMODULE module_;
    bool keep_;
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
// Dial-up exports of tarn32.
namespace tarn32 {
using Dial = int __stdcall(const int*, int, const char*, const char*, const char*, int);
using HangUp = int __stdcall();
using ConnectStatus = int __stdcall(int*, int*);
using DialParams = int __stdcall(const char*, char*, char*);
}  // namespace tarn32

namespace postgate {
using InitSmtpMail = int __stdcall(HWND, int, const char*, const char*, const char*, const char*,
                                   int, int, const char*);
using ConnectToHost = int __stdcall(const char*, const char*);
}  // namespace postgate

namespace qflush {
using QFlush = int __stdcall(const char*, const char*, const char*);
}  // namespace qflush
