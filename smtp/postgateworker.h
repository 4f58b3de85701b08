// postgate: the settings and state of the SMTP library's sessions. One
// worker per initSmtpMail; each ConnectToHost runs one session on it (the
// worker thread, smtpsession.h), and one session sends one message.
//
// Ownership of the fields, as the threads share them:
//   - set by initSmtpMail before any session: hostWindow, eventBase,
//     hostName, hostAddress, useHostName, port, heloDomain, folder, log;
//   - set by ConnectToHost before it starts the thread: envelopePath,
//     messagePath, busy (true);
//   - worker thread only while a session runs: everything else, and busy
//     (false just before the session's last progress message).
// command, lastCommand and sendBuffer outlive a session: the time-out of
// the next session on the same worker may send sendBuffer again.
#pragma once

#include "logger.h"
#include "transport.h"
#include "wthread.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>

namespace smtp {

// Widths of the design, as limits.
constexpr std::size_t kFolderSize = 200;      // folder characters + NUL
constexpr std::size_t kEnvelopeLineSize = 80;  // one envelope read: 79 bytes + NUL
constexpr std::size_t kReceiveSize = 500;      // one receive
constexpr std::size_t kChunkSize = 1024;       // one content chunk

// Session states: what the session waits for. 106 is never entered.
enum SmtpState {
    AwaitGreeting = 100,  // the relay's greeting
    AwaitHelo = 101,      // the reply to HELO, line by line
    AwaitMailFrom = 102,  // the reply to MAIL FROM
    AwaitRcptTo = 103,    // the reply to the latest RCPT TO
    AwaitDataEnd = 104,   // the reply to the end-of-data line
    AwaitData = 105,      // the reply to DATA
    AwaitQuit = 107,      // the reply to QUIT
};

class __postgate_Base {
public:
    __postgate_Base() = default;
    virtual ~__postgate_Base() = default;
    __postgate_Base(const __postgate_Base&) = delete;
    __postgate_Base& operator=(const __postgate_Base&) = delete;
};

class postgate : public __postgate_Base {
public:
    postgate() = default;
    ~postgate() override;  // closes files a session left open

    void* hostWindow = nullptr;  // HWND of the host's progress window
    int eventBase = 0;           // progress messages are eventBase + 1023
    std::string hostName;        // resolved when hostAddress is empty
    std::string hostAddress;     // dotted IPv4, or empty
    bool useHostName = true;
    std::string command;         // the command being sent, CR LF included
    std::string lastCommand;     // last envelope command, quoted in "smtp.bad"
    net::WThread thread;
    int state = AwaitGreeting;
    int port = 25;               // low 16 bits used
    bool closeRequested = false;
    net::ByteBuffer receiveBuffer;  // 500 bytes while a session runs
    net::ByteBuffer sendBuffer;     // bytes of the last command sent
    std::FILE* envelopeFile = nullptr;
    std::FILE* refusalFile = nullptr;
    bool recipientAccepted = false;

    // Library-wide values of the exports, copied into the worker so that a
    // later initSmtpMail never changes them under a running session.
    std::string heloDomain;
    std::string folder;           // at most kFolderSize - 1 characters are used
    bool folderUnusable = false;  // empty or longer: refusals cannot be recorded
    std::string envelopePath;
    std::string messagePath;

    net::logger* log = nullptr;              // the logger of the init that made this worker
    std::unique_ptr<net::Transport> socket;  // the session socket of the last session
    std::atomic<bool> busy{false};           // a session runs on this worker
};

}  // namespace smtp
