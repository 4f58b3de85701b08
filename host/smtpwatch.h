// Watching one postgate session from its progress pairs (wParam, lParam):
// what each pair means to a person, whether the relay took the message,
// and which pair is the session's last. send-mail, send-to, soak-smtp and
// AUTO's sending steps all read a session through this one class. No
// Win32 here.
//
// Pairs: (0,1) connected; (50,1) greeting accepted; (51,1) sender accepted;
// (52,1) all recipients sent; (p,99) p percent of the message file read for
// sending; (0,100) content sent; (0,10) QUIT answered; (0,500) the session
// is over. Failures: (10,-1) socket not set up; (100,-1) connect failed or
// no data; (50,-1) greeting; (51,-1) sender refused; (52,-1) one recipient
// refused; (-1,10) message not accepted; (101,-1) receive failed.
#pragma once

#include <string>

class SmtpWatch {
public:
    // Takes the next pair. True when it is the session's last: (0, 500), or
    // a set-up or connect failure (which end without (0, 500)).
    bool take(int w, int l);

    // The pair as a line for a person; empty for (p, 99), which the
    // progress display shows.
    std::string describe(int w, int l) const;

    bool connected() const { return connected_; }
    bool contentSent() const { return contentSent_; }
    bool ended() const { return ended_; }
    // A refusal was recorded in smtp.bad (sender or a recipient).
    bool refusals() const { return refusals_; }
    int refusedRecipients() const { return refusedRecipients_; }
    int percent() const { return percent_; }  // of the latest (p, 99)
    // The relay took the message: the content went out and was not refused.
    bool delivered() const { return contentSent_ && !notAccepted_ && !failed_; }

private:
    bool connected_ = false;
    bool contentSent_ = false;
    bool notAccepted_ = false;
    bool failed_ = false;
    bool refusals_ = false;
    bool ended_ = false;
    int refusedRecipients_ = 0;
    int percent_ = 0;
};
