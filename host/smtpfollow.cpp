#include "smtpfollow.h"

#include "sessionwait.h"
#include "statusline.h"
#include "transfermeter.h"

#include <cstdio>

SmtpWatch followSmtpSession(HWND window, int eventBase, long long messageBytes, bool show)
{
    SmtpWatch watch;
    StatusLine status;
    DWORD contentStart = 0;
    auto pair = [&](int w, int l) {
        bool last = watch.take(w, l);
        if (w == 52 && l == 1)
            contentStart = GetTickCount();  // DATA and the content come next
        if (!show)
            return last;
        if (l == 99) {
            if (contentStart == 0)
                contentStart = GetTickCount();
            double seconds = (GetTickCount() - contentStart) / 1000.0;
            std::string text = "sending " + std::to_string(w) + "%";
            if (messageBytes >= 0)
                text += ": " + transferText(messageBytes * w / 100, messageBytes, seconds);
            status.show(text, w == 100);
            if (w == 100)
                status.end();
        } else {
            status.line(watch.describe(w, l));
        }
        return last;
    };
    waitForLastPair(window, eventBase, pair);
    std::fflush(stdout);
    return watch;
}
