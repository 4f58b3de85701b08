// The ETRN session: the entry function of the thread that Q_FLUSH starts.
// It connects, waits for a "220 " greeting, sends "EHLO <local host
// name>", on the last EHLO reply line ("250 ") sends "ETRN <domain>", then
// QUIT whatever the ETRN reply says, and ends on the QUIT reply. Nothing is
// logged and nothing is posted: the effect is the server's delivery.
//
// Endings: a greeting or an EHLO reply line beginning with "5", the QUIT
// reply, a receive failure, the server's closing, or no data within the
// receive wait (the last command is then sent once more). Every ending
// closes the socket with linger on, 600 seconds.
#pragma once

#include "qflushworker.h"
#include "transport.h"

#include <functional>
#include <memory>
#include <string>

namespace etrn {

struct EtrnSessionOptions {
    // The receive wait; the library uses 120 seconds.
    int receiveWaitSeconds = 120;
    int receiveWaitMicroseconds = 0;
    // The session socket; WSocket unless a test gives another. May return null.
    std::function<std::unique_ptr<net::Transport>()> makeSocket;
    // The name sent with EHLO; the local host name unless a test gives another.
    std::function<std::string()> localName;
};

// Runs one session on the worker, on the calling thread: -1 when connect
// fails, 0 otherwise. Sets worker.done at its end. Never throws.
int runEtrnSession(q_flush& worker, const EtrnSessionOptions& options);

// The WThread entry function of the library.
int etrnThreadEntry(void* worker);

}  // namespace etrn
