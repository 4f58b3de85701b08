// A Transport over a script of server events, for native tests and fuzzing
// of the session code: each event is a block of bytes the next receive
// returns, a peer close, a receive error or a wait that times out. Commands
// the session sends are kept, and each send may be checked by a callback.
#pragma once

#include "transport.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace nettest {

struct ServerEvent {
    enum Kind { kBytes, kClose, kReset, kSilence };
    Kind kind = kBytes;
    std::string bytes;
};

class ScriptedTransport : public net::Transport {
public:
    explicit ScriptedTransport(std::deque<ServerEvent> script, bool connects = true)
        : script_(std::move(script)), connects_(connects) {}

    bool setPort(int port) override { return port >= 0 && port <= 65535; }
    bool open() override { return true; }
    bool setHostName(const std::string&) override { return true; }
    bool setHostAddress(const std::string&) override { return true; }
    bool connect() override
    {
        if (!connects_)
            error_ = 10061;  // connection refused
        return connects_;
    }
    bool waitForData(int seconds, int) override
    {
        waits.push_back(seconds);
        // A finished script is a server that closed.
        if (!script_.empty() && script_.front().kind == ServerEvent::kSilence) {
            script_.pop_front();
            error_ = 10060;
            return false;
        }
        return true;
    }
    int receive(net::ByteBuffer& buffer, int maxCount) override
    {
        std::size_t room = maxCount < 0 ? buffer.size() : static_cast<std::size_t>(maxCount);
        if (maxCount >= 0 && room > buffer.size())
            return -1;
        if (script_.empty() || script_.front().kind == ServerEvent::kClose)
            return 0;
        if (script_.front().kind != ServerEvent::kBytes) {
            script_.pop_front();
            error_ = 10054;  // connection reset
            return -1;
        }
        std::string& front = script_.front().bytes;
        std::size_t n = front.size() < room ? front.size() : room;
        front.copy(buffer.data(), n);
        bytesReceived += n;
        front.erase(0, n);
        if (front.empty())
            script_.pop_front();
        return static_cast<int>(n);
    }
    int send(const net::ByteBuffer& buffer, int count) override
    {
        std::size_t n = count < 0 ? buffer.size() : static_cast<std::size_t>(count);
        if (n > buffer.size())
            return -1;
        sent.emplace_back(buffer.data(), n);
        if (onSend)
            onSend(sent.back());
        return static_cast<int>(n);
    }
    int lastError() const override { return error_; }
    bool close(bool, int) override
    {
        ++closes;
        return true;
    }

    // Events the session has not taken yet.
    std::size_t eventsLeft() const { return script_.size(); }

    std::vector<std::string> sent;
    std::vector<int> waits;  // the seconds of each waitForData, in order
    std::size_t bytesReceived = 0;  // server bytes the session has taken
    std::function<void(const std::string&)> onSend;
    int closes = 0;

private:
    std::deque<ServerEvent> script_;
    bool connects_;
    int error_ = 0;
};

}  // namespace nettest
