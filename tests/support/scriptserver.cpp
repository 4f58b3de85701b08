#include "scriptserver.h"

#include <winsock2.h>
#include <windows.h>

#include <chrono>

namespace testsupport {

namespace {

struct WinsockUp {
    WinsockUp()
    {
        WSADATA d;
        WSAStartup(MAKEWORD(2, 2), &d);
    }
};

void winsockUp() { static WinsockUp up; }

SOCKET listenLoopback(int* port)
{
    winsockUp();
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(s, 4);
    int size = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &size);
    *port = ntohs(a.sin_port);
    return s;
}

// Waits until s is readable, at most ms; true when readable.
bool readable(SOCKET s, int ms)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    return select(0, &set, nullptr, nullptr, &tv) > 0;
}

}  // namespace

ScriptStep sendBytes(const std::string& bytes) { return {ScriptStep::Send, bytes, 0}; }
ScriptStep expectLine(const std::string& line) { return {ScriptStep::Expect, line, 0}; }
ScriptStep pause(int ms) { return {ScriptStep::Pause, "", ms}; }
ScriptStep closeConnection() { return {ScriptStep::Close, "", 0}; }
ScriptStep resetConnection(int delayMs) { return {ScriptStep::Reset, "", delayMs}; }

std::vector<ScriptStep> dialogue(const std::vector<std::string>& lines)
{
    std::vector<ScriptStep> steps;
    for (const std::string& l : lines) {
        if (l.rfind("C:", 0) == 0)
            steps.push_back(expectLine(l.substr(2)));
        else
            steps.push_back(sendBytes(l));
    }
    return steps;
}

ScriptServer::ScriptServer(std::vector<ScriptStep> script)
    : script_(std::move(script)), client_(INVALID_SOCKET)
{
    listener_ = listenLoopback(&port_);
    thread_ = std::thread([this] { run(); });
}

ScriptServer::~ScriptServer()
{
    received(30000);
    if (thread_.joinable())
        thread_.join();
    if (client_ != INVALID_SOCKET)
        closesocket(client_);
    closesocket(listener_);
}

std::string ScriptServer::received(int timeoutMs)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done_ && std::chrono::steady_clock::now() < end)
        Sleep(10);
    if (done_ && thread_.joinable())
        thread_.join();
    return received_;
}

bool ScriptServer::readLine()
{
    for (;;) {
        std::size_t crlf = received_.find("\r\n", lineStart_);
        if (crlf != std::string::npos) {
            lineStart_ = crlf + 2;
            return true;
        }
        if (!readable(client_, 15000))
            return false;
        char buf[4096];
        int n = recv(client_, buf, sizeof buf, 0);
        if (n <= 0)
            return false;
        received_.append(buf, n);
    }
}

void ScriptServer::run()
{
    if (!readable(listener_, 30000)) {
        done_ = true;
        return;
    }
    client_ = accept(listener_, nullptr, nullptr);
    accepted_ = true;
    BOOL noDelay = TRUE;
    setsockopt(client_, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
               sizeof noDelay);
    bool open = true;
    for (const ScriptStep& step : script_) {
        if (!open)
            break;
        switch (step.kind) {
        case ScriptStep::Send: {
            std::size_t off = 0;
            while (off < step.bytes.size()) {
                int n = send(client_, step.bytes.data() + off,
                             static_cast<int>(step.bytes.size() - off), 0);
                if (n <= 0)
                    break;
                off += n;
            }
            break;
        }
        case ScriptStep::Expect:
            if (!readLine())
                open = false;
            break;
        case ScriptStep::Pause:
            Sleep(step.ms);
            break;
        case ScriptStep::Close:
            shutdown(client_, SD_SEND);
            // Keep reading what the client still sends until it closes.
            open = false;
            break;
        case ScriptStep::Reset: {
            // Closing with bytes still unread makes the system send a reset
            // whatever its linger emulation: wait for some, read none.
            readable(client_, 5000);
            Sleep(step.ms);
            linger l{1, 0};
            setsockopt(client_, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l),
                       sizeof l);
            closesocket(client_);
            client_ = INVALID_SOCKET;
            open = false;
            break;
        }
        }
    }
    // Drain: everything the client sends until it closes.
    while (client_ != INVALID_SOCKET && readable(client_, 15000)) {
        char buf[4096];
        int n = recv(client_, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        received_.append(buf, n);
    }
    done_ = true;
}

int unusedPort()
{
    int port = 0;
    SOCKET s = listenLoopback(&port);
    closesocket(s);
    return port;
}

}  // namespace testsupport
