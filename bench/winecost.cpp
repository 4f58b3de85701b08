// The price of the system calls a network session is made of, measured in
// one process on this machine (under Wine when run there): each line is the
// mean time of one operation over many. bench/winecost.sh builds and runs it.
//
// Operations, as the sessions and the host use them:
//   server round trip   WaitForSingleObject on a signalled event
//   post + peek         PostMessage to a window of this thread, PeekMessage
//   thread start + end  CreateThread, wait for its start, for its end, close
//   960 KB fresh pages  VirtualAlloc, write every page, VirtualFree: what a
//                       thread start pays when the new thread's stack is
//                       cleared (Wine clears 960 KB of it), page by page
//   socket + connect    socket, bind, connect to a loopback listener, close
//   send 1024 B         one send of a content chunk, the peer reading
//   command round trip  send 6 bytes, blocking recv of the 9-byte answer
//   select + recv       the same, with a readability wait before the recv
//   log line            fopen "a+", one line, fclose
#include <winsock2.h>
#include <windows.h>

#include <cstdio>

namespace {

double nowUs()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

template <typename F>
void measure(const char* name, int count, F f)
{
    f();  // warm
    double t0 = nowUs();
    for (int i = 0; i < count; ++i)
        f();
    double t1 = nowUs();
    std::printf("%-22s %9.1f us  (%d times)\n", name, (t1 - t0) / count, count);
    std::fflush(stdout);
}

DWORD WINAPI nothing(void* started)
{
    SetEvent(static_cast<HANDLE>(started));
    return 0;
}

// The peer: accepts connections; on each, answers every 6-byte command with
// 9 bytes, or (mode 'd') reads and drops everything.
struct Peer {
    SOCKET listener = INVALID_SOCKET;
    int port = 0;
    char mode = 'e';
};

DWORD WINAPI serve(void* p)
{
    Peer& peer = *static_cast<Peer*>(p);
    for (;;) {
        SOCKET c = accept(peer.listener, nullptr, nullptr);
        if (c == INVALID_SOCKET)
            return 0;
        BOOL on = TRUE;
        setsockopt(c, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
        char buf[65536];
        int have = 0;
        for (;;) {
            int n = recv(c, buf + have, sizeof buf - have, 0);
            if (n <= 0)
                break;
            if (peer.mode == 'e') {
                have += n;
                while (have >= 6) {
                    send(c, "250 ok\r\n\n", 9, 0);
                    have -= 6;
                }
            }
        }
        closesocket(c);
    }
}

SOCKET connectTo(int port)
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<u_short>(port));
    connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    BOOL on = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    return s;
}

Peer* startPeer(char mode)
{
    Peer* peer = new Peer;
    peer->mode = mode;
    peer->listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(peer->listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(peer->listener, 64);
    int size = sizeof a;
    getsockname(peer->listener, reinterpret_cast<sockaddr*>(&a), &size);
    peer->port = ntohs(a.sin_port);
    CloseHandle(CreateThread(nullptr, 0, serve, peer, 0, nullptr));
    return peer;
}

}  // namespace

int main(int argc, char** argv)
{
    const int n = argc > 1 ? std::atoi(argv[1]) : 2000;
    const char* logPath = argc > 2 ? argv[2] : "winecost.log";
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);

    HANDLE set = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    measure("server round trip", n, [&] { WaitForSingleObject(set, 0); });

    HWND window = CreateWindowA("STATIC", "winecost", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    measure("post + peek", n, [&] {
        PostMessageA(window, WM_USER + 1023, 0, 0);
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
    });

    measure("thread start + end", n / 10, [] {
        HANDLE started = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        HANDLE t = CreateThread(nullptr, 0, nothing, started, 0, nullptr);
        WaitForSingleObject(started, INFINITE);
        CloseHandle(started);
        WaitForSingleObject(t, INFINITE);
        CloseHandle(t);
    });

    measure("960 KB fresh pages", n / 10, [] {
        const SIZE_T size = 0xf0000;
        void* p = VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (!p)
            return;
        for (SIZE_T at = 0; at < size; at += 4096)
            static_cast<volatile char*>(p)[at] = 0;
        VirtualFree(p, 0, MEM_RELEASE);
    });

    Peer* echo = startPeer('e');
    measure("socket + connect", n / 10, [&] { closesocket(connectTo(echo->port)); });

    SOCKET c = connectTo(echo->port);
    char reply[9];
    measure("command round trip", n, [&] {
        send(c, "QUIT\r\n", 6, 0);
        for (int got = 0; got < 9;) {
            int r = recv(c, reply + got, 9 - got, 0);
            if (r <= 0)
                break;
            got += r;
        }
    });
    measure("select + recv", n, [&] {
        send(c, "QUIT\r\n", 6, 0);
        for (int got = 0; got < 9;) {
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(c, &readable);
            timeval wait{120, 0};
            select(0, &readable, nullptr, nullptr, &wait);
            int r = recv(c, reply + got, 9 - got, 0);
            if (r <= 0)
                break;
            got += r;
        }
    });
    closesocket(c);

    Peer* sink = startPeer('d');
    SOCKET d = connectTo(sink->port);
    char chunk[1024] = {};
    measure("send 1024 B", n * 5, [&] { send(d, chunk, sizeof chunk, 0); });
    closesocket(d);

    measure("log line", n, [&] {
        if (FILE* f = std::fopen(logPath, "a+")) {
            std::fputs("2026-01-01 00:00:00.00\t9\t-> RCPT TO: <b@sink.test>\n", f);
            std::fclose(f);
        }
    });
    DeleteFileA(logPath);
    return 0;
}
