// The POP3 session: the entry function of the worker thread that getPopMail
// starts. It connects, logs in with USER and PASS, asks STAT for the number
// of messages, then for each message in turn RETR (into "%s\\%d.msg" in
// the worker's folder) and DELE, and ends with QUIT. Progress goes to the
// host window as pairs (notifyHost), every command and reply to the session
// log at level 9.
//
// Progress pairs (wParam, lParam):
//   (0, 1) connected            (0, 2) password accepted, STAT sent
//   (count, 4) STAT answered    (n, 5) RETR n about to be sent
//   (0, 10) QUIT accepted       (0, 500) session over (common ending)
//   (50, -1) greeting refused   (2, -1) USER refused   (3, -1) PASS refused
//   (4, -1) STAT or DELE refused
//   (100, -1) connect failed, or no data within the receive wait
//   (101, -1) receive error or connection reset
//   (0, -1000) socket not created, port not set, descriptor not opened
// The session's last pair is (0, 500), or (100, -1) after a failed connect,
// or (0, -1000).
//
// A message is deleted on the server only once its file has been written
// and closed completely. Only CR LF "." CR LF ends a message, wherever the
// receives split it.
//
// The server applies the DELEs of a session only at QUIT, so once the
// password was accepted every ending that leaves the connection usable (a
// refused reply, a message file that cannot be created, written or
// closed, a reply without line end past the limit) sends QUIT and reads
// its reply, after the rest of a RETR reply in progress: the messages
// stored whole are then gone from the server, the others stay. Such a QUIT
// gives no (0, 10) and no "Session Complete". A message the server refuses
// to RETR is left there with its (n, 5) only, and the session goes on with
// the next one.
#pragma once

#include "messagefile.h"
#include "pop3worker.h"
#include "transport.h"

#include <functional>
#include <memory>
#include <string>

namespace pop3 {

struct Pop3SessionOptions {
    // The receive wait; the libraries use 120 seconds.
    int receiveWaitSeconds = 120;
    int receiveWaitMicroseconds = 0;
    // The session socket; WSocket unless a test gives another. May return
    // null (the socket could not be created).
    std::function<std::unique_ptr<net::Transport>()> makeSocket;
    // The message files; createMessageFile unless a test gives another.
    std::function<std::unique_ptr<MessageFile>(const std::string& path)> createFile;
};

// Runs one session on the worker (on the calling thread). 0 after every
// ending but a failed connect, which gives -1. Never throws.
int runPop3Session(pop3worker& worker, const Pop3SessionOptions& options);

// The WThread entry function of the libraries: runPop3Session with the
// 120-second wait, WSocket and the real message files.
int pop3ThreadEntry(void* worker);

// The count of a STAT reply ("+OK 7 12345" gives 7).
int parseStatCount(const std::string& reply);

}  // namespace pop3
