// Test support for the dial-up exports: tarn32.dll with its four dial-up
// exports, the rasapi32.dll double loaded by its full path (tarn32's own
// load by name then finds it among the loaded modules), and a real window
// that collects the 0x401 progress messages.
#pragma once

#include "dll.h"
#include "rasdouble.h"

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace dialtest {

using Dial = int __stdcall(const int*, int, const char*, const char*, const char*, int);
using HangUp = int __stdcall();
using ConnectStatus = int __stdcall(int*, int*);
using DialParams = int __stdcall(const char*, char*, char*);

struct Tarn32Dialup {
    testsupport::Dll dll{"tarn32.dll"};
    Dial* dial = dll.get<Dial>("TARNDIAL");
    HangUp* hangUp = dll.get<HangUp>("TARNHANGUP");
    ConnectStatus* status = dll.get<ConnectStatus>("TarnGetConnectStatus");
    DialParams* params = dll.get<DialParams>("TarnGetDialParams");
    bool complete() const { return dial && hangUp && status && params; }
};

// The double from bin\<folder>\rasapi32.dll, with its test functions.
class RasDouble {
public:
    explicit RasDouble(const char* folder);
    bool loaded() const { return module_ != nullptr; }
    template <typename F>
    F* get(const char* name) const { return reinterpret_cast<F*>(GetProcAddress(module_, name)); }

    void reset() const { get<decltype(RasDoubleReset)>("RasDoubleReset")(); }
    void addEntry(const char* e, const char* u, const char* p) const
    {
        get<decltype(RasDoubleAddEntry)>("RasDoubleAddEntry")(e, u, p);
    }
    void setScript(const std::vector<int>& states, DWORD failError) const
    {
        get<decltype(RasDoubleSetDialScript)>("RasDoubleSetDialScript")(
            states.data(), static_cast<int>(states.size()), failError, 5);
    }
    void failNext(const char* function, DWORD code) const
    {
        get<decltype(RasDoubleFailNext)>("RasDoubleFailNext")(function, code);
    }
    int calls(const char* function) const { return get<decltype(RasDoubleCalls)>("RasDoubleCalls")(function); }
    RasDoubleDialSeen lastDial() const
    {
        RasDoubleDialSeen seen;
        get<decltype(RasDoubleLastDial)>("RasDoubleLastDial")(&seen);
        return seen;
    }

private:
    HMODULE module_;
};

// A hidden top-level window of the test thread that records every 0x401.
class ProgressWindow {
public:
    ProgressWindow();
    ~ProgressWindow();
    HWND handle() const { return hwnd_; }
    // Pumps the thread's messages until `done` holds for what has arrived,
    // or 10 seconds have passed. Returns whether `done` held.
    template <typename Pred>
    bool pumpUntil(Pred done)
    {
        DWORD start = GetTickCount();
        while (!done(events)) {
            if (GetTickCount() - start > 10000)
                return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
            MSG m;
            while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&m);
        }
        return true;
    }
    // Pumps for a while and returns what arrived meanwhile.
    void pumpFor(DWORD ms);

    std::vector<std::pair<int, int>> events;  // (wParam state, lParam error)

private:
    static LRESULT CALLBACK proc(HWND, UINT, WPARAM, LPARAM);
    HWND hwnd_;
};

}  // namespace dialtest
