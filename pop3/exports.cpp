// tarnpop.dll: POP3 retrieval for the host application.
//
// Conventions of the exports:
//   - extern "C", __stdcall, by the names and ordinals of tarnpop.def:
//     LibMain (1, the library's entry routine; the host does not call it),
//     getPopMail (2), initPopMail (3).
//   - Strings are NUL-terminated single-byte strings, copied before the
//     export returns; a null string counts as empty.
//   - initPopMail(window, eventBase, folder, hostName, hostAddress, logFile,
//     logLevel) returns 1. The folder is at most 414 characters and the log
//     file path at most 199; past them the session refuses to write
//     messages (folder) or the log stays silent (log path).
//   - getPopMail(user, password) returns -1000 before initPopMail, else -1;
//     the outcome comes as progress messages eventBase + 1023 (wParam,
//     lParam) to the window, ending with (0, 500) or a set-up failure pair
//     (see pop3session.h), and as lines in the session log. A getPopMail
//     while a session of the library still runs, one started before a
//     repeated initPopMail included, is refused (-1, logged at level 1).
//   - No exception leaves an export.
#include "poplibrary.h"

#include <windows.h>

#define TARNPOP_EXPORT extern "C" __stdcall

namespace {
pop3::ApplicationClass theApp;

std::string text(const char* s) { return s ? s : ""; }
}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    try {
        if (reason == DLL_PROCESS_ATTACH)
            theApp.processAttach();
        else if (reason == DLL_PROCESS_DETACH)
            theApp.processDetach();
    } catch (...) {
    }
    return TRUE;
}

TARNPOP_EXPORT int initPopMail(HWND hostWindow, int eventBase, const char* folder,
                               const char* hostName, const char* hostAddress,
                               const char* logFile, int logLevel)
{
    try {
        pop3::InitSettings s;
        s.hostWindow = hostWindow;
        s.eventBase = eventBase;
        s.folder = text(folder);
        s.hostName = text(hostName);
        s.hostAddress = text(hostAddress);
        s.logFile = text(logFile);
        s.logLevel = logLevel;
        return pop3::initPopMail(s);
    } catch (...) {
        return 1;
    }
}

TARNPOP_EXPORT int getPopMail(const char* userName, const char* password)
{
    try {
        return pop3::getPopMail(text(userName), text(password));
    } catch (...) {
        return -1;
    }
}
