#include "dialup.h"

#include "rasrecords.h"

#include <atomic>
#include <cstring>

namespace tarn {
namespace {

using RasHandle = HANDLE;  // HRASCONN
using RasNotifier = void WINAPI(UINT message, int state, DWORD error);
using RasDialFn = DWORD WINAPI(void* extensions, const char* phoneBook, RasDialParams* params,
                               DWORD notifierType, void* notifier, RasHandle* connection);
using RasHangUpFn = DWORD WINAPI(RasHandle connection);
using RasGetConnectStatusFn = DWORD WINAPI(RasHandle connection, RasConnStatus* status);
using RasGetEntryDialParamsFn = DWORD WINAPI(const char* phoneBook, RasDialParams* params,
                                             BOOL* passwordStored);

// Library-wide state. Written by the exports on the host's thread; the
// notification window is also read by the notifier on the RAS thread.
HMODULE rasLibrary = nullptr;
bool rasLoaded = false;
RasHandle connection = nullptr;  // written by RasDialA through its address
std::atomic<HWND> notifyWindow{nullptr};

// The named function of rasapi32.dll, loading the library first if needed;
// nullptr when it cannot be loaded or lacks the function.
template <typename F>
F* rasFunction(const char* name)
{
    if (!rasLoaded) {
        rasLibrary = LoadLibraryExA("rasapi32.dll", nullptr, 0);
        rasLoaded = rasLibrary != nullptr;
        if (!rasLoaded)
            return nullptr;
    }
    return reinterpret_cast<F*>(GetProcAddress(rasLibrary, name));
}

bool fitsDialString(const char* s) { return s && std::strlen(s) <= kDialStringMax; }

// Entry name given, phone and callback numbers empty (the entry's own are
// used), domain "*" (the one stored with the entry).
void prepareParams(RasDialParams& p, const char* entry)
{
    std::memset(&p, 0, sizeof p);
    p.size = sizeof p;
    std::strcpy(p.entryName, entry);
    std::strcpy(p.domain, "*");
}

// Runs on a thread of the Remote Access Service: posts and nothing else.
void WINAPI onDialEvent(UINT, int state, DWORD error)
{
    PostMessageA(notifyWindow.load(), kDialProgressMessage, static_cast<WPARAM>(state),
                 static_cast<LPARAM>(error));
}

}  // namespace

int dial(HWND window, const char* entry, const char* user, const char* password)
{
    auto rasDial = rasFunction<RasDialFn>("RasDialA");
    if (!rasDial)
        return kRasUnavailable;
    if (!fitsDialString(entry) || !fitsDialString(user) || !fitsDialString(password))
        return kRasBufferInvalid;
    RasDialParams params;
    prepareParams(params, entry);
    std::strcpy(params.userName, user);
    std::strcpy(params.password, password);
    connection = nullptr;
    notifyWindow = window;
    return static_cast<int>(rasDial(nullptr, nullptr, &params, 0,
                                    reinterpret_cast<void*>(&onDialEvent), &connection));
}

int hangUp()
{
    auto rasHangUp = rasFunction<RasHangUpFn>("RasHangUpA");
    if (!rasHangUp)
        return kRasUnavailable;
    int result = static_cast<int>(rasHangUp(connection));
    Sleep(kHangUpSettleMs);
    return result;
}

int connectStatus(int& error, int& state)
{
    auto rasStatus = rasFunction<RasGetConnectStatusFn>("RasGetConnectStatusA");
    if (!rasStatus)
        return kRasUnavailable;
    RasConnStatus status;
    std::memset(&status, 0, sizeof status);
    status.size = sizeof status;
    int result = static_cast<int>(rasStatus(connection, &status));
    error = static_cast<int>(status.error);
    state = status.state;
    return result;
}

int dialParams(const char* entry, char* user, char* password)
{
    auto rasParams = rasFunction<RasGetEntryDialParamsFn>("RasGetEntryDialParamsA");
    if (!rasParams)
        return kRasParamsUnavailable;
    if (!fitsDialString(entry))
        return -10;
    RasDialParams params;
    prepareParams(params, entry);
    BOOL passwordStored = FALSE;
    int result = static_cast<int>(rasParams(nullptr, &params, &passwordStored));
    switch (result) {
    case 0:
        // The record's fields are NUL-terminated within their widths, and
        // the caller's buffers hold 257 bytes.
        params.userName[kRasUserNameWidth - 1] = '\0';
        params.password[kRasPasswordWidth - 1] = '\0';
        std::strcpy(user, params.userName);
        std::strcpy(password, params.password);
        return 0;
    case kRasBufferInvalid:
        return -10;
    case kRasCannotOpenPhonebook:
        return -11;
    case kRasCannotFindEntry:
        return -12;
    default:
        return result;
    }
}

}  // namespace tarn
