// Following one tarnpop session to its end, as the host contract asks: the
// progress pairs are read by PopWatch (popwatch.h) and, when shown, become
// lines and a changing progress line for a person: message n of N with the
// bytes written so far, the rate and the time left (from the messages
// finished; the pairs carry no sizes, so the bytes are those of the
// message file growing in the folder).
#pragma once

#include "popwatch.h"

#include <windows.h>

#include <functional>
#include <string>

struct PopFollowing {
    bool show = true;        // lines and progress on stdout
    // Called with every pair after the watch took it (soak samples).
    std::function<void(const PopWatch&, int, int)> onPair;
    // Called once for each message n, in order, as soon as the pairs show it
    // was stored whole (PopWatch::storedWhole), after its progress line:
    // while the session goes on, its file may be taken away.
    std::function<void(int)> onStored;
};

// Waits for the session's last pair on window (pairs eventBase + 1023) and
// returns what the pairs said. folder: where tarnpop writes n.msg.
PopWatch followPopSession(HWND window, int eventBase, const std::string& folder,
                          const PopFollowing& how = {});
