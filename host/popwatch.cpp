#include "popwatch.h"

namespace {
const char* failureText(int w, bool connected)
{
    switch (w) {
    case 50: return "greeting not accepted";
    case 2: return "user name refused";
    case 3: return "password refused";
    case 4: return "STAT or DELE refused";
    case 100: return connected ? "no data for 120 seconds" : "connect failed";
    case 101: return "receive error or connection reset";
    default: return "failed";
    }
}

std::string pair(int w, int l) { return "(" + std::to_string(w) + ", " + std::to_string(l) + ")"; }
}  // namespace

bool PopWatch::take(int w, int l)
{
    if (w == 0 && l == 1) {
        connected_ = true;
    } else if (l == 4) {
        count_ = w;
    } else if (l == 5) {
        current_ = w;
    } else if (w == 0 && l == 10) {
        complete_ = true;
    } else if (l == 500) {
        ended_ = true;
    } else if (l == -1000) {
        failed_ = true;
        ended_ = true;
    } else if (l == -1) {
        failed_ = true;
        ended_ = w == 100 && !connected_;
    }
    return ended_;
}

std::string PopWatch::describe(int w, int l) const
{
    if (w == 0 && l == 1)
        return "connected";
    if (l == 2)
        return "password accepted";
    if (l == 4)
        return std::to_string(w) + (w == 1 ? " message" : " messages");
    if (l == 5)
        return "";
    if (w == 0 && l == 10)
        return "quit accepted";
    if (l == 500)
        return "session over";
    if (l == -1000)
        return "failed: the socket could not be set up " + pair(w, l);
    if (l == -1)
        return std::string("failed: ") + failureText(w, connected_) + " " + pair(w, l);
    return "progress " + pair(w, l);
}
