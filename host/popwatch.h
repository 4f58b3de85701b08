// Watching one tarnpop session from its progress pairs (wParam, lParam):
// what each pair means to a person, how far the session got, and which
// pair is its last. fetch-pop, soak-pop and AUTO's fetch-pop steps all read
// a session through this one class. No Win32 here.
//
// Pairs: (0,1) connected; (0,2) password accepted; (N,4) N messages;
// (n,5) message n about to be retrieved; (0,10) QUIT accepted; (0,500) the
// session is over; (0,-1000) the socket could not be set up; (w,-1) a step
// failed: 50 greeting, 2 USER, 3 PASS, 4 STAT or DELE, 100 connect or no
// data, 101 receive error or reset.
#pragma once

#include <string>

class PopWatch {
public:
    // Takes the next pair. True when it is the session's last: (0, 500), a
    // set-up failure, or a failed connect (which ends without (0, 500)).
    bool take(int w, int l);

    // The pair as a line for a person ("connected", "password refused
    // (3, -1)"); empty for (n, 5), which the progress display shows.
    std::string describe(int w, int l) const;

    bool connected() const { return connected_; }
    bool complete() const { return complete_; }  // QUIT accepted
    bool failed() const { return failed_; }      // a failure pair came
    bool ended() const { return ended_; }
    int count() const { return count_; }         // from (N, 4); 0 before
    int current() const { return current_; }     // n of the latest (n, 5)
    // Messages the session finished: those before the current one, and the
    // current one once QUIT was accepted.
    int finished() const { return complete_ ? current_ : (current_ > 0 ? current_ - 1 : 0); }

    // Whether message n was stored whole. The session asks for message n + 1
    // only after the server accepted the deletion of n, which it sends only
    // after n's file was closed; the last message counts only when the
    // session ran to its normal end. Limit: a file of the last message that
    // failed in writing while the session still ended normally would count.
    bool storedWhole(int n) const
    {
        return n < current_ || (n == current_ && complete_ && !failed_ && current_ == count_);
    }

private:
    bool connected_ = false;
    bool complete_ = false;
    bool failed_ = false;
    bool ended_ = false;
    int count_ = 0;
    int current_ = 0;
};
