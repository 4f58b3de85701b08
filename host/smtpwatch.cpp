#include "smtpwatch.h"

bool SmtpWatch::take(int w, int l)
{
    if (w == 0 && l == 1) {
        connected_ = true;
    } else if (l == 99) {
        percent_ = w;
    } else if (w == 0 && l == 100) {
        contentSent_ = true;
    } else if (w == 0 && l == 500) {
        ended_ = true;
    } else if (w == 52 && l == -1) {
        refusals_ = true;
        ++refusedRecipients_;
    } else if (w == 51 && l == -1) {
        refusals_ = true;
        failed_ = true;
    } else if (w == -1 && l == 10) {
        notAccepted_ = true;
    } else if (w == 10 && l == -1) {
        failed_ = true;
        ended_ = true;
    } else if (w == 100 && l == -1) {
        failed_ = true;
        ended_ = !connected_;
    } else if (l == -1) {
        failed_ = true;
    }
    return ended_;
}

std::string SmtpWatch::describe(int w, int l) const
{
    if (w == 0 && l == 1)
        return "connected";
    if (l == 99)
        return "";
    if (w == 0 && l == 100)
        return "content sent";
    if (w == 0 && l == 500)
        return "session over";
    if (w == 50 && l == 1)
        return "greeting accepted, HELO sent";
    if (w == 51 && l == 1)
        return "sender accepted";
    if (w == 52 && l == 1)
        return "all recipients sent";
    if (w == 52 && l == -1)
        return "a recipient was refused";
    if (w == 51 && l == -1)
        return "failed: sender refused";
    if (w == 50 && l == -1)
        return "failed: greeting not accepted";
    if (w == -1 && l == 10)
        return "failed: the relay did not accept the message";
    if (w == 0 && l == 10)
        return "quit accepted";
    if (w == 10 && l == -1)
        return "failed: the socket could not be set up";
    if (w == 100 && l == -1)
        return std::string("failed: ") + (connected_ ? "no data for 120 seconds" : "connect failed");
    if (w == 101 && l == -1)
        return "failed: receive error or connection reset";
    return "progress (" + std::to_string(w) + ", " + std::to_string(l) + ")";
}
