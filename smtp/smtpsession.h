// The SMTP session: the entry function of the worker thread that
// ConnectToHost starts. It connects to the relay, sends one message in one
// dialogue (greeting, HELO, MAIL FROM, one RCPT TO per recipient line of the
// envelope file, DATA, the message file, "\r\n.\r\n", QUIT), records every
// refusal in "smtp.bad" in the worker's folder, logs every command and reply
// at level 9 and posts progress pairs to the host window.
//
// Replies: the HELO reply is taken line by line as its lines arrive, MAIL
// FROM going out on its last "250" line. Every other reply is taken whole,
// once its last line (no hyphen after the code, replyend.h) has arrived,
// however many receives it took; its first characters decide. RCPT TO is
// accepted by 250, 251 and 252.
//
// Progress pairs (wParam, lParam):
//   (10, -1) socket not created, port not set or descriptor not opened
//   (100, -1) connect failed, or no data within the receive wait (120
//            seconds; 10 minutes for the reply to the end of the message)
//   (0, 1) connected        (50, 1) greeting accepted, HELO sent
//   (50, -1) greeting refused
//   (51, 1) sender accepted (51, -1) sender refused
//   (52, -1) one recipient refused   (52, 1) all recipients sent
//   (p, 99) p percent of the message file read, p a multiple of 5
//   (0, 100) content and end-of-data line sent
//   (-1, 10) message not accepted    (0, 10) QUIT answered with 2xx
//   (101, -1) a receive failed
//   (0, 500) session over; the last pair of every session that connected
//
// Envelope file: CR LF lines read in mode "r+b", 79 bytes at most per read
// (a longer line is read in pieces, each a line of its own); line 1 the
// sender, every further line one recipient, each used exactly as read.
// Message file: sent byte for byte, converted in no way.
// "smtp.bad": opened "w+b" at a session's first refusal; records
// "I said: %s Mailserver said: %s" from the refused command and the reply.
#pragma once

#include "contentfile.h"
#include "postgateworker.h"
#include "transport.h"

#include <functional>
#include <memory>
#include <string>

namespace smtp {

struct SmtpSessionOptions {
    // The receive wait; the library uses 120 seconds.
    int receiveWaitSeconds = 120;
    int receiveWaitMicroseconds = 0;
    // The wait for the reply to the end of the message (and for each part
    // of it); the library uses 10 minutes, as RFC 5321 asks of a client.
    int dataEndWaitSeconds = 600;
    int dataEndWaitMicroseconds = 0;
    // The session socket; WSocket unless a test gives another. May return
    // null (the socket could not be created).
    std::function<std::unique_ptr<net::Transport>()> makeSocket;
    // The message file; openContentFile unless a test gives another.
    std::function<std::unique_ptr<ContentFile>(const std::string& path)> openContent;
};

// Runs one session on the worker, on the calling thread. Never throws.
void runSmtpSession(postgate& worker, const SmtpSessionOptions& options);

// The WThread entry function of the library: runSmtpSession with the
// 120-second wait, WSocket and the real message file. Returns 0.
int smtpThreadEntry(void* worker);

// ASCII letters a to z to capitals; every other byte unchanged.
std::string upperAscii(std::string s);

// The next percentage pair of the content transfer: the percentage of
// total in size, cut towards zero; posted (true) when it differs from
// last (negative: none computed yet) and is a multiple of 5. last is
// updated.
bool progressStep(long total, long size, int& last, int& percent);

}  // namespace smtp
