// Test support: an in-process TCP server on 127.0.0.1 that plays a script
// to one client: sends (split over several sends with pauses between them),
// reads the client's lines, goes silent, closes or resets the connection.
// Every byte the client sends is recorded, so a test can compare the exact
// command stream. Built on ws2_32 directly (the test, not the library).
#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

struct ScriptStep {
    enum Kind { Send, Expect, Pause, Close, Reset };
    Kind kind;
    std::string bytes;  // Send: bytes; Expect: the line wanted (recorded anyway)
    int ms = 0;         // Pause
};

ScriptStep sendBytes(const std::string& bytes);
// One line of the client, up to its CR LF. The script goes on whatever came;
// the test checks received() afterwards.
ScriptStep expectLine(const std::string& line);
ScriptStep pause(int ms);
// Graceful close: the client's next receive returns 0.
ScriptStep closeConnection();
// Abortive close: waits for the client's next bytes, leaves them unread and
// closes with linger 0, so the client's receive fails with 10054. Those
// bytes are not recorded. delayMs: a pause between their arrival and the
// reset, so that the client can be waiting in a receive (Wine reports the
// reset only to a receive that is blocked when it arrives).
ScriptStep resetConnection(int delayMs = 0);

// Makes a step list from a dialogue: each element either a server reply
// (sent) or, when it begins with "C:", a client line expected.
std::vector<ScriptStep> dialogue(const std::vector<std::string>& lines);

class ScriptServer {
public:
    // Listens on 127.0.0.1 and an ephemeral port and serves one connection
    // with the script in a thread of its own. After the last step (unless it
    // closed or reset) it keeps reading until the client closes.
    explicit ScriptServer(std::vector<ScriptStep> script);
    ~ScriptServer();
    ScriptServer(const ScriptServer&) = delete;
    ScriptServer& operator=(const ScriptServer&) = delete;

    int port() const { return port_; }
    // Waits for the script to end (at most timeoutMs), then everything the
    // client sent. Returns what arrived so far on time-out.
    std::string received(int timeoutMs = 30000);
    // True once the server accepted a connection.
    bool accepted() const { return accepted_; }

private:
    void run();
    bool readLine();

    std::vector<ScriptStep> script_;
    std::uintptr_t listener_;
    std::uintptr_t client_;
    int port_ = 0;
    std::atomic<bool> accepted_{false};
    std::atomic<bool> done_{false};
    std::string received_;
    std::size_t lineStart_ = 0;  // start of the next unread line in received_
    std::thread thread_;
};

// A port on 127.0.0.1 on which nothing listens (just released).
int unusedPort();

}  // namespace testsupport
