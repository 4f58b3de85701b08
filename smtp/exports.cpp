// postgate.dll: SMTP sending for the host application.
//
// Conventions of the exports:
//   - extern "C", __stdcall, by the names and ordinals of postgate.def:
//     LibMain (1, the library's entry routine; the host does not call it),
//     initSmtpMail (2), DestroyIt (3), ConnectToHost (4).
//   - Strings are NUL-terminated single-byte strings, copied before the
//     export returns; a null string counts as empty.
//   - initSmtpMail(window, eventBase, folder, hostName, hostAddress,
//     logFile, logLevel, port, heloDomain) returns 1. The folder holds at
//     most 199 characters (past that, or empty, refusals are not
//     recorded), the log file path at most 199 (past that the log stays
//     silent).
//   - ConnectToHost(envelopePath, messagePath) returns -1 before
//     initSmtpMail, 1 when the session started, 0 when it could not start
//     or a session still runs (refused). The outcome comes as progress
//     messages eventBase + 1023 (wParam, lParam) to the window, ending with
//     (0, 500) or a set-up failure pair (see smtpsession.h), as lines in
//     the session log and as records in "smtp.bad".
//   - DestroyIt does nothing.
//   - No exception leaves an export.
#include "smtplibrary.h"

#include <windows.h>

#define POSTGATE_EXPORT extern "C" __stdcall

namespace {
smtp::ApplicationClass theApp;

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

POSTGATE_EXPORT int initSmtpMail(HWND hostWindow, int eventBase, const char* folder,
                                 const char* hostName, const char* hostAddress,
                                 const char* logFile, int logLevel, int port,
                                 const char* heloDomain)
{
    try {
        smtp::InitSettings s;
        s.hostWindow = hostWindow;
        s.eventBase = eventBase;
        s.folder = text(folder);
        s.hostName = text(hostName);
        s.hostAddress = text(hostAddress);
        s.logFile = text(logFile);
        s.logLevel = logLevel;
        s.port = port;
        s.heloDomain = text(heloDomain);
        return smtp::initSmtpMail(s);
    } catch (...) {
        return 1;
    }
}

POSTGATE_EXPORT int ConnectToHost(const char* envelopePath, const char* messagePath)
{
    try {
        return smtp::connectToHost(text(envelopePath), text(messagePath));
    } catch (...) {
        return 0;
    }
}

POSTGATE_EXPORT void DestroyIt() {}
