#include "notifyhost.h"

#include <windows.h>

namespace net {

void notifyHost(void* hostWindow, int eventBase, int wParam, int lParam)
{
    // Unsigned: a host's event base near the top of the range wraps, as the
    // message number it names does, instead of overflowing.
    UINT message = static_cast<UINT>(eventBase) + static_cast<UINT>(kProgressOffset);
    PostMessageA(static_cast<HWND>(hostWindow), message,
                 static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
}

}  // namespace net
