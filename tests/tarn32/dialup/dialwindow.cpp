#include "dialwindow.h"

#include "testdir.h"

namespace dialtest {

RasDouble::RasDouble(const char* folder)
    : module_(LoadLibraryA((testsupport::exeFolder() + "\\" + folder + "\\rasapi32.dll").c_str()))
{
}

ProgressWindow::ProgressWindow()
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "TarnDialTestWindow";
        RegisterClassA(&wc);
        registered = true;
    }
    hwnd_ = CreateWindowExA(0, "TarnDialTestWindow", "dial test", WS_OVERLAPPED, 0, 0, 10, 10,
                            nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

ProgressWindow::~ProgressWindow()
{
    if (hwnd_)
        DestroyWindow(hwnd_);
}

void ProgressWindow::pumpFor(DWORD ms)
{
    DWORD start = GetTickCount();
    pumpUntil([&](const auto&) { return GetTickCount() - start >= ms; });
}

LRESULT CALLBACK ProgressWindow::proc(HWND h, UINT msg, WPARAM w, LPARAM l)
{
    if (msg == WM_USER + 1) {
        auto* self = reinterpret_cast<ProgressWindow*>(GetWindowLongPtrA(h, GWLP_USERDATA));
        if (self)
            self->events.emplace_back(static_cast<int>(w), static_cast<int>(l));
        return 0;
    }
    return DefWindowProcA(h, msg, w, l);
}

}  // namespace dialtest
