// The session socket as the protocol sessions see it: a blocking TCP client
// connection with a readability wait. WSocket implements it over Windows
// Sockets 1.1; a test or fuzz driver may implement it over anything else.
//
// Every operation reports failure by its result (false, or -1 for receive
// and send) and records a Windows Sockets error number for lastError().
// Error numbers and their texts: errortext.h.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace net {

// Receive and send buffers: the buffer's size() is its capacity for receive
// and its content for send.
using ByteBuffer = std::vector<char>;

class Transport {
public:
    virtual ~Transport() = default;

    // Stores the server port (0 to 65535). Allowed before connect only.
    virtual bool setPort(int port) = 0;
    // Creates the descriptor if there is none.
    virtual bool open() = 0;
    // Resolves a host name (blocking); the first address is used.
    virtual bool setHostName(const std::string& name) = 0;
    // Takes a dotted IPv4 address; a text that does not convert gives
    // 255.255.255.255 (and connect then fails).
    virtual bool setHostAddress(const std::string& address) = 0;
    // Blocking connect to the stored address and port.
    virtual bool connect() = 0;
    // True once data can be read, or the peer has closed (the next receive
    // then returns 0). False on time-out or when the wait fails. Negative
    // seconds wait without limit.
    virtual bool waitForData(int seconds, int microseconds) = 0;
    // One receive of at most maxCount bytes (-1: buffer.size()) into the
    // front of buffer. Bytes received, 0 when the peer has closed, -1 on
    // failure or when maxCount exceeds buffer.size().
    virtual int receive(ByteBuffer& buffer, int maxCount) = 0;
    // One send of count bytes (-1: the whole buffer). Bytes sent, or -1 on
    // failure or when count exceeds buffer.size().
    virtual int send(const ByteBuffer& buffer, int count) = 0;
    // Windows Sockets number of the last failure, 0 if none.
    virtual int lastError() const = 0;
    // Sets linger (on with lingerSeconds, or off), closes the descriptor and
    // returns to the initial state. Safe in every state, failed ones included.
    virtual bool close(bool linger, int lingerSeconds) = 0;
};

// The platform's session socket, for sessions not given another: WSocket
// in the Windows build (wsocket.cpp). Never null there.
std::unique_ptr<Transport> makeSessionSocket();

// The longest reply text the sessions keep while they wait for its line
// end. A server that sends more without CR LF is broken or hostile; the
// session ends as on a failed receive instead of holding all it sends.
constexpr std::size_t kReplyLimit = 65536;

// The local host name as the platform's sockets give it, "" when it cannot
// be had; at most 255 characters. WSocket::localHostName in the Windows
// build.
std::string localHostName();

}  // namespace net
