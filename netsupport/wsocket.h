// WSocket: the session socket over Windows Sockets 1.1. WSOCK32.DLL is loaded
// by name at the first construction in the library, with every entry point
// looked up by name and version 1.1 required; it never appears in an import
// table. If any of that fails, the object still exists but every operation
// fails (false, or -1), so a session ends at its first call, setPort.
//
// States: Idle -> Resolving -> Resolved (setHostName) or Resolved
// (setHostAddress) -> Connecting -> Connected; any failure gives Error;
// close gives Idle with the initial field values again.
//
// Receives read ahead: one recv takes up to 64 KB, and each receive hands
// over at most the count asked for, from what was read ahead before the
// descriptor is asked again. On a connected socket waitForData is that recv,
// bounded by the wait through the receive time-out: its bytes, the peer's
// close or its failure are what the following receives hand over. The sessions still see receives of at most
// their 500 bytes, in the same order and with the same ends (0 once the peer
// has closed and everything read is handed over), while a large message
// costs a few system calls instead of one wait and one recv per 500 bytes.
//
// Used from the worker thread only.
#pragma once

#include "errortext.h"
#include "transport.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace net {

class WSocket : public Transport {
public:
    enum class State { Idle, Resolving, Resolved, Connecting, Connected, Closing, Error };

    WSocket();
    ~WSocket() override;  // closes a descriptor still open, without linger
    WSocket(const WSocket&) = delete;
    WSocket& operator=(const WSocket&) = delete;

    // True when WSOCK32.DLL loaded with every entry point and granted 1.1.
    static bool libraryUsable();
    // The local host name (gethostname), "" when it cannot be had. At most
    // 255 characters.
    static std::string localHostName();

    // Allowed in Idle, Resolving and Resolved; false otherwise, without a
    // socket library, or for a port outside 0 to 65535.
    bool setPort(int port) override;
    bool open() override;
    // Idle only. A failed lookup: Error, the lookup's error number, false.
    bool setHostName(const std::string& name) override;
    // Idle only.
    bool setHostAddress(const std::string& address) override;
    // Resolved only (a failed setHostName keeps its error for the log).
    // Binds to any address, port 0, when the descriptor has no local address.
    bool connect() override;
    bool waitForData(int seconds, int microseconds) override;
    int receive(ByteBuffer& buffer, int maxCount) override;
    int send(const ByteBuffer& buffer, int count) override;
    int lastError() const override { return lastError_; }
    bool close(bool linger, int lingerSeconds) override;

    static const char* errorText(int errorNumber) { return net::errorText(errorNumber); }

    State state() const { return state_; }
    // Remote address and port in host byte order (for diagnostics and tests).
    std::uint32_t remoteAddress() const;
    int remotePort() const;
    int localPort() const;
    const std::string& hostName() const { return hostName_; }

private:
    bool fail();  // records the library's last error, enters Error, false
    // waitForData on a connected socket: a recv bounded by the wait, into
    // the read-ahead. True when it gave bytes, the peer's close or a failure
    // held for the next receive; false when the wait ran out (waitEnded_)
    // or could not be done this way (the readability wait is used then).
    bool readInWait(int seconds, int microseconds);
    bool setReceiveTimeout(long milliseconds);  // SO_RCVTIMEO, set only on a change
    bool fillAhead();  // one recv into the read-ahead; false on failure
    void reset();

    std::uintptr_t descriptor_;   // INVALID_SOCKET when none
    State state_ = State::Idle;
    int lastError_ = 0;
    std::uint32_t localAddr_ = 0;   // network byte order
    std::uint16_t localPort_ = 0;   // network byte order
    std::uint32_t remoteAddr_;      // network byte order
    std::uint16_t remotePort_ = 0;  // network byte order
    std::string hostName_;
    std::vector<char> ahead_;    // bytes read from the descriptor, not yet handed over
    std::size_t aheadAt_ = 0;    // the first of them
    std::size_t aheadEnd_ = 0;   // one past the last
    bool peerClosed_ = false;    // a recv gave 0: every receive after the bytes gives 0
    int heldError_ = 0;          // a failed recv in waitForData, for the next receive
    long receiveTimeout_ = -1;   // the descriptor's receive time-out in ms (0 none, -1 unknown)
    bool waitEnded_ = false;     // the last readInWait ran out of time
};

}  // namespace net
