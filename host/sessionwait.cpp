#include "sessionwait.h"

#include <cstdio>
#include <cstdlib>

DWORD waitNoticeMs()
{
    const char* text = std::getenv("TARNWICK_WAIT_NOTICE_MS");
    long ms = text ? std::strtol(text, nullptr, 10) : 0;
    return ms >= 1 ? static_cast<DWORD>(ms) : 30000;
}

void waitForLastPair(HWND window, int eventBase, const std::function<bool(int, int)>& show,
                     const std::function<void()>& idle)
{
    const DWORD notice = waitNoticeMs();
    const UINT progress = static_cast<UINT>(eventBase + 1023);
    DWORD last = GetTickCount();
    DWORD noticed = 0;  // notices printed since the last pair
    for (;;) {
        // One message per round: the wait below returns at once while the
        // queue holds input, so a pair costs one wait and one fetch rather
        // than a further fetch that finds the queue empty.
        MSG msg;
        bool took = PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD) != 0;
        if (took) {
            if (msg.hwnd == window && msg.message == progress) {
                last = GetTickCount();
                noticed = 0;
                if (show(static_cast<int>(msg.wParam), static_cast<int>(msg.lParam)))
                    return;
            } else {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
        // The idle work runs once the queue is empty, not after every pair.
        if (idle && !took)
            idle();
        DWORD quiet = GetTickCount() - last;
        if (quiet / notice > noticed) {
            noticed = quiet / notice;
            std::printf("waiting for the session: no progress for %lu s\n",
                        static_cast<unsigned long>(quiet / 1000));
            std::fflush(stdout);
        }
        DWORD untilNotice = notice - quiet % notice;
        MsgWaitForMultipleObjectsEx(0, nullptr, untilNotice < 200 ? untilNotice : 200, QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
}
