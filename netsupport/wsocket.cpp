// WSocket over WSOCK32.DLL loaded at run time. The Windows Sockets headers
// are used for their types only; every call goes through the table below.
#include "wsocket.h"

#include <winsock2.h>
#include <windows.h>

#include <cstring>

namespace net {

namespace {

// The entry points of Windows Sockets 1.1 that the library looks up; a
// missing one makes the socket library unusable. The sessions call only
// those with a typed pointer in SocketLibrary.
const char* const kEntryPoints[] = {
    "accept", "bind", "closesocket", "connect", "ioctlsocket", "getpeername", "getsockname",
    "getsockopt", "htonl", "htons", "inet_addr", "inet_ntoa", "listen", "ntohl", "ntohs", "recv",
    "recvfrom", "select", "send", "sendto", "setsockopt", "shutdown", "socket", "gethostbyaddr",
    "gethostbyname", "gethostname", "getservbyport", "getservbyname", "getprotobynumber",
    "getprotobyname", "WSAStartup", "WSACleanup", "WSASetLastError", "WSAGetLastError",
    "WSAIsBlocking", "WSAUnhookBlockingHook", "WSASetBlockingHook", "WSACancelBlockingCall",
    "WSAAsyncGetServByName", "WSAAsyncGetServByPort", "WSAAsyncGetProtoByName",
    "WSAAsyncGetProtoByNumber", "WSAAsyncGetHostByName", "WSAAsyncGetHostByAddr",
    "WSACancelAsyncRequest", "WSAAsyncSelect",
};
constexpr int kEntryPointCount = sizeof kEntryPoints / sizeof kEntryPoints[0];

struct SocketLibrary {
    bool usable = false;
    FARPROC entries[kEntryPointCount] = {};

    int(WSAAPI* bind)(SOCKET, const sockaddr*, int) = nullptr;
    int(WSAAPI* closesocket)(SOCKET) = nullptr;
    int(WSAAPI* connect)(SOCKET, const sockaddr*, int) = nullptr;
    int(WSAAPI* getsockname)(SOCKET, sockaddr*, int*) = nullptr;
    u_long(WSAAPI* htonl)(u_long) = nullptr;
    u_short(WSAAPI* htons)(u_short) = nullptr;
    unsigned long(WSAAPI* inet_addr)(const char*) = nullptr;
    u_long(WSAAPI* ntohl)(u_long) = nullptr;
    u_short(WSAAPI* ntohs)(u_short) = nullptr;
    int(WSAAPI* recv)(SOCKET, char*, int, int) = nullptr;
    int(WSAAPI* select)(int, fd_set*, fd_set*, fd_set*, const timeval*) = nullptr;
    int(WSAAPI* send)(SOCKET, const char*, int, int) = nullptr;
    int(WSAAPI* setsockopt)(SOCKET, int, int, const char*, int) = nullptr;
    SOCKET(WSAAPI* socket)(int, int, int) = nullptr;
    hostent*(WSAAPI* gethostbyname)(const char*) = nullptr;
    int(WSAAPI* gethostname)(char*, int) = nullptr;
    int(WSAAPI* WSAStartup)(WORD, WSADATA*) = nullptr;
    int(WSAAPI* WSAGetLastError)() = nullptr;

    SocketLibrary() { usable = load(); }

    FARPROC entry(const char* name) const
    {
        for (int i = 0; i < kEntryPointCount; ++i) {
            if (std::strcmp(kEntryPoints[i], name) == 0)
                return entries[i];
        }
        return nullptr;
    }

    template <typename F>
    void take(F*& target, const char* name)
    {
        target = reinterpret_cast<F*>(entry(name));
    }

    bool load()
    {
        // Kept loaded until the process ends: unloading from a library's
        // detach notification is not safe.
        HMODULE module = LoadLibraryA("WSOCK32.DLL");
        if (!module)
            return false;
        for (int i = 0; i < kEntryPointCount; ++i) {
            entries[i] = GetProcAddress(module, kEntryPoints[i]);
            if (!entries[i])
                return false;
        }
        take(bind, "bind");
        take(closesocket, "closesocket");
        take(connect, "connect");
        take(getsockname, "getsockname");
        take(htonl, "htonl");
        take(htons, "htons");
        take(inet_addr, "inet_addr");
        take(ntohl, "ntohl");
        take(ntohs, "ntohs");
        take(recv, "recv");
        take(select, "select");
        take(send, "send");
        take(setsockopt, "setsockopt");
        take(socket, "socket");
        take(gethostbyname, "gethostbyname");
        take(gethostname, "gethostname");
        take(WSAStartup, "WSAStartup");
        take(WSAGetLastError, "WSAGetLastError");
        WSADATA data;
        if (WSAStartup(MAKEWORD(1, 1), &data) != 0)
            return false;
        return LOBYTE(data.wVersion) == 1 && HIBYTE(data.wVersion) == 1;
    }
};

// Initialised at the first construction of a socket in the library.
SocketLibrary& socketLibrary()
{
    static SocketLibrary library;
    return library;
}

constexpr std::uint32_t kNoneAddress = 0xFFFFFFFFu;  // 255.255.255.255
constexpr std::size_t kReadAhead = 64 * 1024;        // one recv, at most

}  // namespace

bool WSocket::libraryUsable() { return socketLibrary().usable; }

std::string WSocket::localHostName()
{
    SocketLibrary& lib = socketLibrary();
    if (!lib.usable)
        return "";
    char name[256] = {};
    if (lib.gethostname(name, static_cast<int>(sizeof name - 1)) != 0)
        return "";
    name[sizeof name - 1] = '\0';
    return name;
}

WSocket::WSocket() : descriptor_(INVALID_SOCKET), remoteAddr_(kNoneAddress)
{
    socketLibrary();
}

WSocket::~WSocket()
{
    if (descriptor_ != INVALID_SOCKET && socketLibrary().usable)
        socketLibrary().closesocket(descriptor_);
}

bool WSocket::fail()
{
    lastError_ = socketLibrary().WSAGetLastError();
    state_ = State::Error;
    return false;
}

void WSocket::reset()
{
    descriptor_ = INVALID_SOCKET;
    state_ = State::Idle;
    lastError_ = 0;
    localAddr_ = 0;
    localPort_ = 0;
    remoteAddr_ = kNoneAddress;
    remotePort_ = 0;
    hostName_.clear();
    aheadAt_ = 0;
    aheadEnd_ = 0;
    peerClosed_ = false;
    heldError_ = 0;
    receiveTimeout_ = -1;
    waitEnded_ = false;
}

bool WSocket::setPort(int port)
{
    const SocketLibrary& lib = socketLibrary();
    if (!lib.usable || port < 0 || port > 65535)
        return false;
    if (state_ != State::Idle && state_ != State::Resolving && state_ != State::Resolved)
        return false;
    remotePort_ = lib.htons(static_cast<u_short>(port));
    return true;
}

bool WSocket::open()
{
    const SocketLibrary& lib = socketLibrary();
    if (!lib.usable)
        return false;
    if (descriptor_ != INVALID_SOCKET)
        return true;
    SOCKET s = lib.socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET)
        return fail();
    descriptor_ = s;
    return true;
}

bool WSocket::setHostName(const std::string& name)
{
    const SocketLibrary& lib = socketLibrary();
    if (!lib.usable || state_ != State::Idle)
        return false;
    state_ = State::Resolving;
    hostent* h = lib.gethostbyname(name.c_str());
    if (!h || h->h_addrtype != AF_INET || !h->h_addr_list || !h->h_addr_list[0])
        return fail();
    std::memcpy(&remoteAddr_, h->h_addr_list[0], sizeof remoteAddr_);
    hostName_ = name;
    state_ = State::Resolved;
    return true;
}

bool WSocket::setHostAddress(const std::string& address)
{
    const SocketLibrary& lib = socketLibrary();
    if (!lib.usable || state_ != State::Idle)
        return false;
    remoteAddr_ = static_cast<std::uint32_t>(lib.inet_addr(address.c_str()));
    hostName_.clear();
    state_ = State::Resolved;
    return true;
}

bool WSocket::connect()
{
    const SocketLibrary& lib = socketLibrary();
    if (!lib.usable || state_ != State::Resolved)
        return false;
    state_ = State::Connecting;
    sockaddr_in local{};
    int localSize = sizeof local;
    if (lib.getsockname(descriptor_, reinterpret_cast<sockaddr*>(&local), &localSize) != 0) {
        if (lib.WSAGetLastError() == WSAEINVAL) {
            sockaddr_in any{};
            any.sin_family = AF_INET;
            any.sin_addr.s_addr = localAddr_;
            any.sin_port = localPort_;
            if (lib.bind(descriptor_, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0)
                return fail();
        }
    }
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_addr.s_addr = remoteAddr_;
    remote.sin_port = remotePort_;
    if (lib.connect(descriptor_, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0)
        return fail();
    state_ = State::Connected;
    // Commands and content go out at once: with the stream's coalescing on,
    // a short command or the end of the content would wait for the peer's
    // delayed acknowledgement of the bytes before it. The sends are the
    // same either way; a refused option only costs time.
    const BOOL noDelay = TRUE;
    lib.setsockopt(descriptor_, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
                   sizeof noDelay);
    localSize = sizeof local;
    if (lib.getsockname(descriptor_, reinterpret_cast<sockaddr*>(&local), &localSize) == 0) {
        localAddr_ = local.sin_addr.s_addr;
        localPort_ = local.sin_port;
    }
    return true;
}

bool WSocket::waitForData(int seconds, int microseconds)
{
    const SocketLibrary& lib = socketLibrary();
    if (!lib.usable)
        return false;
    if (aheadAt_ < aheadEnd_ || peerClosed_ || heldError_ != 0)
        return true;
    // A connected socket waits in the receive itself: one blocking recv
    // bounded by the receive time-out, its bytes kept for the receives that
    // follow. That is one call where a readability wait and a recv would be
    // two, and each costs the system a round of its own.
    if (state_ == State::Connected && readInWait(seconds, microseconds))
        return true;
    if (state_ == State::Connected && waitEnded_)
        return false;
    fd_set readable;
    readable.fd_count = 1;
    readable.fd_array[0] = descriptor_;
    timeval wait;
    wait.tv_sec = seconds;
    wait.tv_usec = microseconds;
    int n = lib.select(0, &readable, nullptr, nullptr, seconds < 0 ? nullptr : &wait);
    if (n == SOCKET_ERROR)
        return fail();
    return n > 0;
}

bool WSocket::setReceiveTimeout(long milliseconds)
{
    if (milliseconds == receiveTimeout_)
        return true;
    const SocketLibrary& lib = socketLibrary();
    DWORD value = static_cast<DWORD>(milliseconds);
    if (lib.setsockopt(descriptor_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&value),
                       sizeof value) != 0) {
        receiveTimeout_ = -1;
        return false;
    }
    receiveTimeout_ = milliseconds;
    return true;
}

bool WSocket::fillAhead()
{
    const SocketLibrary& lib = socketLibrary();
    if (ahead_.empty())
        ahead_.resize(kReadAhead);
    int n = lib.recv(descriptor_, ahead_.data(), static_cast<int>(ahead_.size()), 0);
    if (n == SOCKET_ERROR)
        return false;
    aheadAt_ = 0;
    aheadEnd_ = static_cast<std::size_t>(n);
    if (n == 0)
        peerClosed_ = true;
    return true;
}

bool WSocket::readInWait(int seconds, int microseconds)
{
    waitEnded_ = false;
    // The time-out in whole milliseconds, rounded up; 0 is no limit. A
    // wait of nothing (a poll) is left to the readability wait.
    long milliseconds = 0;
    if (seconds >= 0) {
        long long total = static_cast<long long>(seconds) * 1000000 + microseconds;
        if (total <= 0)
            return false;
        long long ms = (total + 999) / 1000;
        milliseconds = ms > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<long>(ms);
    }
    if (!setReceiveTimeout(milliseconds))
        return false;
    if (fillAhead())
        return true;
    int error = socketLibrary().WSAGetLastError();
    if (error == WSAETIMEDOUT) {
        waitEnded_ = true;
        return false;
    }
    // Readable as far as the wait is concerned; the next receive reports
    // the failure, as it would have after a readability wait.
    heldError_ = error;
    return true;
}

int WSocket::receive(ByteBuffer& buffer, int maxCount)
{
    const SocketLibrary& lib = socketLibrary();
    if (!lib.usable)
        return -1;
    int size = static_cast<int>(buffer.size());
    int count = maxCount == -1 ? size : maxCount;
    if (count < 0 || count > size) {
        lastError_ = WSAEINVAL;
        return -1;
    }
    if (count == 0)
        return 0;
    if (aheadAt_ == aheadEnd_) {
        if (heldError_ != 0) {
            lastError_ = heldError_;
            heldError_ = 0;
            state_ = State::Error;
            return -1;
        }
        if (peerClosed_)
            return 0;
        // A receive without a wait before it blocks without limit.
        if (receiveTimeout_ != 0 && receiveTimeout_ != -1 && !setReceiveTimeout(0)) {
            fail();
            return -1;
        }
        if (!fillAhead()) {
            fail();
            return -1;
        }
        if (aheadEnd_ == 0)
            return 0;
    }
    std::size_t n = aheadEnd_ - aheadAt_;
    if (n > static_cast<std::size_t>(count))
        n = static_cast<std::size_t>(count);
    std::memcpy(buffer.data(), ahead_.data() + aheadAt_, n);
    aheadAt_ += n;
    return static_cast<int>(n);
}

int WSocket::send(const ByteBuffer& buffer, int count)
{
    const SocketLibrary& lib = socketLibrary();
    if (!lib.usable)
        return -1;
    int size = static_cast<int>(buffer.size());
    int n = count == -1 ? size : count;
    if (n < 0 || n > size) {
        lastError_ = WSAEINVAL;
        return -1;
    }
    int sent = lib.send(descriptor_, buffer.data(), n, 0);
    if (sent == SOCKET_ERROR) {
        fail();
        return -1;
    }
    return sent;
}

bool WSocket::close(bool linger, int lingerSeconds)
{
    const SocketLibrary& lib = socketLibrary();
    bool ok = true;
    if (lib.usable && descriptor_ != INVALID_SOCKET) {
        state_ = State::Closing;
        ::linger option;
        option.l_onoff = linger ? 1 : 0;
        option.l_linger = static_cast<u_short>(lingerSeconds);
        lib.setsockopt(descriptor_, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&option),
                       sizeof option);
        ok = lib.closesocket(descriptor_) == 0;
    }
    reset();
    return ok;
}

std::uint32_t WSocket::remoteAddress() const
{
    const SocketLibrary& lib = socketLibrary();
    return lib.usable ? lib.ntohl(remoteAddr_) : 0;
}

int WSocket::remotePort() const
{
    const SocketLibrary& lib = socketLibrary();
    return lib.usable ? lib.ntohs(remotePort_) : 0;
}

int WSocket::localPort() const
{
    const SocketLibrary& lib = socketLibrary();
    return lib.usable ? lib.ntohs(localPort_) : 0;
}

std::unique_ptr<Transport> makeSessionSocket() { return std::make_unique<WSocket>(); }

std::string localHostName() { return WSocket::localHostName(); }

}  // namespace net
