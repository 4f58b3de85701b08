// Exports: dial-up connection control (dialup.h). The dial's progress is
// posted to the host's window as 0x401 with the connection state in wParam
// and the error code in lParam.
#include "tarn32.h"

#include "dialup/dialup.h"

#include <windows.h>

TARN_EXPORT int TARNDIAL(const int* window, int, const char* entry, const char* user,
                         const char* password, int)
{
    try {
        HWND w = window ? reinterpret_cast<HWND>(static_cast<INT_PTR>(*window)) : nullptr;
        return tarn::dial(w, entry, user, password);
    } catch (...) {
        return tarn::kRasUnavailable;
    }
}

TARN_EXPORT int TARNHANGUP()
{
    try {
        return tarn::hangUp();
    } catch (...) {
        return tarn::kRasUnavailable;
    }
}

TARN_EXPORT int TarnGetConnectStatus(int* error, int* state)
{
    try {
        int e = 0;
        int s = 0;
        int result = tarn::connectStatus(e, s);
        if (result != tarn::kRasUnavailable) {
            if (error)
                *error = e;
            if (state)
                *state = s;
        }
        return result;
    } catch (...) {
        return tarn::kRasUnavailable;
    }
}

TARN_EXPORT int TarnGetDialParams(const char* entry, char* user, char* password)
{
    try {
        if (!user || !password)
            return -10;  // as RAS reports an invalid buffer
        return tarn::dialParams(entry, user, password);
    } catch (...) {
        return tarn::kRasParamsUnavailable;
    }
}
