// Waiting for a network session's end, as the host contract asks: the host
// pumps its messages and hands each progress pair to the subcommand until
// the subcommand says the pair was the session's last. There is no give-up
// of the host's own: the library bounds every wait of the session itself
// (no data for 120 s, the reply to the end of a message), and a session
// the host stopped watching would still run, so the next one would run
// beside it. While no pair arrives the host says, every notice interval,
// that it is still waiting.
#pragma once

#include <windows.h>

#include <functional>

// The notice interval: the environment variable TARNWICK_WAIT_NOTICE_MS
// (milliseconds, at least 1) when set, else 30 seconds. Tests shorten it.
DWORD waitNoticeMs();

// Pumps the calling thread's messages until show(wParam, lParam) returns
// true for a message eventBase + 1023 to window. Other messages are
// dispatched. Prints "waiting for the session: no progress for N s" after
// each notice interval without a pair. idle, when given, runs after each
// round of messages (at least every 200 ms), for a display that changes
// between pairs.
void waitForLastPair(HWND window, int eventBase, const std::function<bool(int, int)>& show,
                     const std::function<void()>& idle = nullptr);
