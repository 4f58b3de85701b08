// qflush.dll: the ETRN trigger for the host application.
//
// Conventions of the exports:
//   - extern "C", __stdcall, by the names and ordinals of qflush.def:
//     LibMain (1, the library's entry routine; the host does not call it),
//     Q_FLUSH (2).
//   - Q_FLUSH(hostName, hostAddress, domain): NUL-terminated single-byte
//     strings, copied before it returns (a null string counts as empty).
//     Returns 0 as soon as the session's thread was asked to start. The
//     server port is the registry value "smtp_out" of
//     HKEY_LOCAL_MACHINE\software\tarnwick\ports, 25 without it.
//   - Nothing is logged and nothing is posted; no exception leaves an
//     export.
#include "qflushlibrary.h"

#include <windows.h>

#define QFLUSH_EXPORT extern "C" __stdcall

namespace {
std::string text(const char* s) { return s ? s : ""; }
}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    try {
        if (reason == DLL_PROCESS_DETACH)
            etrn::releaseFinished();
    } catch (...) {
    }
    return TRUE;
}

QFLUSH_EXPORT int Q_FLUSH(const char* hostName, const char* hostAddress, const char* domain)
{
    try {
        return etrn::qFlush(text(hostName), text(hostAddress), text(domain));
    } catch (...) {
        return 0;
    }
}
