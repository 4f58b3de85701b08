// q_flush: one ETRN request. Every Q_FLUSH makes a worker of its own with
// its own thread and its own session socket, so overlapping requests never
// share a socket. All fields are set by Q_FLUSH before the thread starts
// and belong to the worker thread afterwards; done is set by the thread as
// its last act.
#pragma once

#include "transport.h"
#include "wthread.h"

#include <atomic>
#include <memory>
#include <string>

namespace etrn {

constexpr int kDefaultPort = 25;
constexpr std::size_t kReceiveSize = 500;

// Session states: what the session waits for.
enum EtrnState {
    kWaitGreeting = 101,  // the server greeting
    kWaitEhlo = 102,      // the lines of the reply to EHLO
    kWaitEtrn = 110,      // the reply to ETRN
    kWaitQuit = 107,      // the reply to QUIT
};

class q_flush {
public:
    q_flush() = default;
    virtual ~q_flush() = default;
    q_flush(const q_flush&) = delete;
    q_flush& operator=(const q_flush&) = delete;

    std::string hostName;     // resolved when hostAddress is empty
    std::string hostAddress;  // dotted IPv4, or empty
    bool useHostName = true;
    std::string domain;       // the argument of ETRN
    std::string command;      // last command built, CR LF included
    net::WThread thread;
    int state = kWaitGreeting;
    int port = kDefaultPort;
    bool stop = false;
    net::ByteBuffer receiveBuffer;  // 500 bytes while the session runs
    net::ByteBuffer sendBuffer;     // bytes of the last command sent

    std::unique_ptr<net::Transport> socket;  // this worker's session socket
    std::atomic<bool> done{false};           // the session has ended
};

}  // namespace etrn
