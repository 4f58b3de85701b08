#include "notifyhost.h"

#include <windows.h>

namespace net {

void notifyHost(void* hostWindow, int eventBase, int wParam, int lParam)
{
    PostMessageA(static_cast<HWND>(hostWindow), static_cast<UINT>(eventBase + kProgressOffset),
                 static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
}

}  // namespace net
