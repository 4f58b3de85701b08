// Dial-up connection control over the Remote Access Service. rasapi32.dll is
// loaded on the first call that needs it (a failed load is tried again on the
// next call) and kept for the life of the process; every call looks up its
// one RAS function by name. Library-wide state: the module, the connection
// handle of the last dial and the window that dial named.
//
// The dial's progress arrives on a thread of the Remote Access Service, which
// only posts 0x401 (state, error) to that window. All other calls run on the
// caller's thread, one at a time.
#pragma once

#include <windows.h>

namespace tarn {

// Result of the calls when rasapi32.dll cannot be loaded, or when it lacks
// the function a call needs (which is then never called).
constexpr int kRasUnavailable = -1000;
// The same for dialParams.
constexpr int kRasParamsUnavailable = -1;
// The message the dial's progress is posted as (WM_USER + 1).
constexpr UINT kDialProgressMessage = WM_USER + 1;
// Hang-up waits this long after RasHangUpA, whatever it returned.
constexpr DWORD kHangUpSettleMs = 3000;
// Longest entry, user name or password (without the NUL).
constexpr int kDialStringMax = 256;

// Starts dialing phone-book entry `entry` with the credentials given; the
// progress goes to `window`. 0 when dialing has started, a RAS error code,
// kRasUnavailable, or 610 (the buffer is invalid) for a string longer than
// kDialStringMax, without calling RAS.
int dial(HWND window, const char* entry, const char* user, const char* password);

// Hangs up the connection of the last dial (handle 0 before any dial), then
// waits kHangUpSettleMs. RasHangUpA's result, or kRasUnavailable (no wait).
int hangUp();

// Status of the connection of the last dial: RasGetConnectStatusA's result;
// on 0, error and state hold the connection's error code and state.
int connectStatus(int& error, int& state);

// Stored user name and password of a phone-book entry into user and
// password (at least 257 bytes each). 0; -10, -11, -12 for the RAS errors
// 610, 621, 623; any other RAS code unchanged; kRasParamsUnavailable. The
// buffers are written only on 0. An entry longer than kDialStringMax gives -10.
int dialParams(const char* entry, char* user, char* password);

}  // namespace tarn
