// pop3worker: the settings and state of the POP3 library's sessions. One
// worker per initPopMail; each getPopMail runs one session on it (the
// worker thread, pop3session.h).
//
// Ownership of the fields, as the threads share them:
//   - set by initPopMail before any session: hostWindow, eventBase, host
//     name and address, useHostName, folder, port, log;
//   - set by getPopMail before it starts the thread: userName, password,
//     busy (true);
//   - worker thread only while a session runs: everything else, and busy
//     (false just before the session's last progress message).
#pragma once

#include "logger.h"
#include "transport.h"
#include "wthread.h"

#include <atomic>
#include <memory>
#include <string>

namespace pop3 {

// Widths of the design, as limits.
constexpr std::size_t kFolderMax = 414;       // folder characters (415 with the NUL)
constexpr std::size_t kMessagePathSize = 256;  // "%s\\%d.msg" including the NUL
constexpr int kDefaultPort = 110;

// Session states: what the session waits for.
enum Pop3State {
    kWaitGreeting = 101,  // the server greeting
    kWaitUser = 102,      // the reply to USER
    kWaitPass = 104,      // the reply to PASS
    kWaitRetr = 105,      // the lines of a RETR reply: status, message lines, dot line
    kWaitQuit = 107,      // the reply to QUIT
    kWaitDele = 109,      // the reply to DELE
    kWaitStat = 110,      // the reply to STAT
};

class pop3worker {
public:
    pop3worker() = default;
    virtual ~pop3worker() = default;  // destroys the session socket with it
    pop3worker(const pop3worker&) = delete;
    pop3worker& operator=(const pop3worker&) = delete;

    void* hostWindow = nullptr;  // HWND of the host's progress window
    int eventBase = 0;           // progress messages are eventBase + 1023
    std::string hostName;        // resolved when hostAddress is empty
    std::string hostAddress;     // dotted IPv4, or empty
    bool useHostName = true;
    std::string folder;          // message folder; at most kFolderMax characters
    std::string userName;
    std::string password;
    std::string command;         // last command built, CR LF included
    bool firstLine = false;      // the next line is the status line of a RETR reply
    net::WThread thread;
    int state = kWaitGreeting;
    int port = kDefaultPort;
    bool stop = false;
    int messageCount = 0;        // from STAT
    int messageNumber = 0;       // 1 to messageCount
    net::ByteBuffer receiveBuffer;  // 500 bytes while a session runs
    net::ByteBuffer sendBuffer;     // bytes of the last command sent

    net::logger* log = nullptr;               // the logger of the init that made this worker
    std::unique_ptr<net::Transport> socket;   // the session socket of the last session
    std::atomic<bool> busy{false};            // a session runs on this worker
};

}  // namespace pop3
