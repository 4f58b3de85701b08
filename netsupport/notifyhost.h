// notifyHost: a progress pair for the host's window. The message number is
// eventBase + 1023, wParam and lParam the pair. Always posted (never sent),
// so the worker never waits for the host; a failure to post is ignored.
// The window handle is passed as void* to keep <windows.h> out of callers'
// headers (it is an HWND).
#pragma once

namespace net {

constexpr int kProgressOffset = 1023;

void notifyHost(void* hostWindow, int eventBase, int wParam, int lParam);

}  // namespace net
