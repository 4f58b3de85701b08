// The plain socket clients of bench/baselines.py (popsock, smtpsock) as a
// Windows program, run under Wine by the POP3 and SMTP benchmarks: the same
// dialogue with the same server, with none of the libraries' own work (no
// 500-byte pieces, no log, no progress messages, no worker thread unless
// asked for). What this client loses against the native one is what Wine
// costs the dialogue; what the libraries lose against it is their own.
//
//   wineclient pop PORT USER PASSWORD FOLDER [SHAPE]
//       USER, PASS, STAT, then RETR n into FOLDER\n.msg and DELE n for
//       each message, QUIT. SHAPE 1 runs the session on a thread of its own
//       that posts a progress message before each RETR to a window of the
//       main thread, which reads them in a message loop and moves each
//       message stored whole into FOLDER\received, as fetch-pop does.
//   wineclient smtp PORT HELO ENVELOPE CHUNK THREAD FILE...
//       one session per file: greeting, HELO, MAIL FROM, RCPT TO per
//       recipient line of ENVELOPE, DATA, the file's bytes in sends of
//       CHUNK bytes (0: one send), the end of data, QUIT. THREAD 1 runs
//       each session on a thread of its own, started for it; THREAD 2 also
//       posts progress messages to a window of the main thread where the
//       library posts its pairs (after the connect and each reply, at every
//       fifth percent of the content, at the end), and the main thread
//       reads them in a message loop until the last before it starts the
//       next session, as a host does.
//
// Prints the seconds of the whole run; exits 1 on any unexpected reply.
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

[[noreturn]] void fail(const std::string& why)
{
    std::fprintf(stderr, "wineclient: %s\n", why.c_str());
    std::exit(1);
}

std::string readWhole(const std::string& path)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        fail("cannot open " + path);
    std::string data(GetFileSize(h, nullptr), '\0');
    DWORD got = 0;
    if (!data.empty() && !ReadFile(h, &data[0], static_cast<DWORD>(data.size()), &got, nullptr))
        fail("cannot read " + path);
    CloseHandle(h);
    return data;
}

void writeWhole(const std::string& path, const char* data, std::size_t size)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (h == INVALID_HANDLE_VALUE ||
        !WriteFile(h, data, static_cast<DWORD>(size), &written, nullptr) || written != size)
        fail("cannot write " + path);
    CloseHandle(h);
}

// Replies read from the socket, as bench/baselines.py's Lines.
class Dialogue {
public:
    explicit Dialogue(int port)
    {
        socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<u_short>(port));
        if (connect(socket_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
            fail("connect failed");
        BOOL on = TRUE;
        setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    }
    ~Dialogue() { closesocket(socket_); }

    void send(const char* data, std::size_t size, std::size_t chunk = 0)
    {
        while (size > 0) {
            int n = static_cast<int>(chunk && chunk < size ? chunk : size);
            int sent = ::send(socket_, data, n, 0);
            if (sent <= 0)
                fail("send failed");
            data += sent;
            size -= static_cast<std::size_t>(sent);
        }
    }
    void send(const std::string& text) { send(text.data(), text.size()); }

    // The last line of the next reply, which must start with expect.
    std::string reply(const char* expect)
    {
        std::string line;
        do
            line = this->line();
        while (line.size() >= 4 && line[3] == '-');
        if (line.compare(0, std::strlen(expect), expect) != 0)
            fail("unexpected reply: " + line);
        return line;
    }
    std::string command(const std::string& text, const char* expect)
    {
        send(text);
        return reply(expect);
    }

    // A POP3 multi-line reply's text up to its dot line, dots unstuffed.
    std::string untilDot()
    {
        std::size_t end;
        while ((end = buffer_.find("\r\n.\r\n", at_)) == std::string::npos)
            fill();
        std::string body;
        body.reserve(end + 2 - at_);
        for (std::size_t i = at_; i < end + 2; ++i) {
            body += buffer_[i];
            if (buffer_[i] == '\n' && i + 1 < end + 2 && buffer_[i + 1] == '.')
                ++i;
        }
        at_ = end + 5;
        return body;
    }

private:
    std::string line()
    {
        std::size_t end;
        while ((end = buffer_.find("\r\n", at_)) == std::string::npos)
            fill();
        std::string l = buffer_.substr(at_, end - at_);
        at_ = end + 2;
        return l;
    }
    void fill()
    {
        if (at_ > 0) {
            buffer_.erase(0, at_);
            at_ = 0;
        }
        char chunk[65536];
        int n = recv(socket_, chunk, sizeof chunk, 0);
        if (n <= 0)
            fail("the server closed the connection");
        buffer_.append(chunk, static_cast<std::size_t>(n));
    }

    SOCKET socket_;
    std::string buffer_;
    std::size_t at_ = 0;
};

const UINT kProgress = WM_USER + 1023;

void pop(int port, const std::string& user, const std::string& password, const std::string& folder,
         HWND window = nullptr)
{
    Dialogue d(port);
    d.reply("+OK");
    d.command("USER " + user + "\r\n", "+OK");
    d.command("PASS " + password + "\r\n", "+OK");
    std::string stat = d.command("STAT\r\n", "+OK");
    int count = std::atoi(stat.c_str() + 4);
    for (int n = 1; n <= count; ++n) {
        if (window)
            PostMessageA(window, kProgress, static_cast<WPARAM>(n), 5);
        d.command("RETR " + std::to_string(n) + "\r\n", "+OK");
        std::string body = d.untilDot();
        writeWhole(folder + "\\" + std::to_string(n) + ".msg", body.data(), body.size());
        d.command("DELE " + std::to_string(n) + "\r\n", "+OK");
    }
    d.command("QUIT\r\n", "+OK");
    if (window)
        PostMessageA(window, kProgress, 0, 500);
}

struct PopJob {
    int port;
    std::string user, password, folder;
    HWND window;
};

DWORD WINAPI popThread(void* p)
{
    const PopJob& job = *static_cast<const PopJob*>(p);
    pop(job.port, job.user, job.password, job.folder, job.window);
    return 0;
}

// The host's side of a POP3 session: each message file is moved into
// received when the next message begins, the last one at the end.
void followPop(const std::string& folder)
{
    std::string received = folder + "\\received";
    CreateDirectoryA(received.c_str(), nullptr);
    auto keep = [&](int n) {
        std::string name = "\\" + std::to_string(n) + ".msg";
        MoveFileA((folder + name).c_str(), (received + name).c_str());
    };
    int current = 0;
    for (;;) {
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD)) {
            if (msg.message != kProgress)
                continue;
            if (msg.lParam == 500) {
                if (current > 0)
                    keep(current);
                return;
            }
            if (current > 0)
                keep(current);
            current = static_cast<int>(msg.wParam);
            continue;
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, 200, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

struct SmtpJob {
    int port;
    std::string helo, sender;
    std::vector<std::string> recipients;
    std::size_t chunk;
    std::string file;
    HWND window = nullptr;  // where progress goes, if anywhere
};

void smtpSession(const SmtpJob& job)
{
    auto progress = [&](int w, int l) {
        if (job.window)
            PostMessageA(job.window, kProgress, static_cast<WPARAM>(w), static_cast<LPARAM>(l));
    };
    std::string data = readWhole(job.file);
    Dialogue d(job.port);
    progress(0, 1);
    d.reply("220");
    d.command("HELO " + job.helo + "\r\n", "250");
    progress(50, 1);
    d.command("MAIL FROM: " + job.sender + "\r\n", "250");
    progress(51, 1);
    for (const std::string& r : job.recipients)
        d.command("RCPT TO: " + r + "\r\n", "25");
    d.command("DATA\r\n", "354");
    progress(52, 1);
    std::size_t step = job.chunk ? job.chunk : data.size();
    int last = -1;
    for (std::size_t at = 0; at < data.size(); at += step) {
        std::size_t n = data.size() - at < step ? data.size() - at : step;
        d.send(data.data() + at, n);
        int percent = static_cast<int>((at + n) * 100.0 / data.size());
        if (percent != last && percent % 5 == 0)
            progress(percent, 99);
        last = percent;
    }
    progress(0, 100);
    d.command("\r\n.\r\n", "250");
    d.command("QUIT\r\n", "221");
    progress(0, 10);
    progress(0, 500);
}

// A host's wait for the session's last pair.
void waitForLastPair()
{
    for (;;) {
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD)) {
            if (msg.message == kProgress && msg.lParam == 500)
                return;
            continue;
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, 200, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

DWORD WINAPI smtpThread(void* job)
{
    smtpSession(*static_cast<const SmtpJob*>(job));
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    std::string kind = argc > 1 ? argv[1] : "";
    if (!((kind == "pop" && (argc == 6 || argc == 7)) || (kind == "smtp" && argc >= 8)))
        fail("usage: wineclient pop PORT USER PASSWORD FOLDER [SHAPE] | smtp PORT HELO ENVELOPE "
             "CHUNK THREAD FILE...");
    LARGE_INTEGER frequency, t0, t1;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&t0);
    if (kind == "pop" && (argc == 6 || std::atoi(argv[6]) == 0)) {
        pop(std::atoi(argv[2]), argv[3], argv[4], argv[5]);
    } else if (kind == "pop") {
        PopJob job{std::atoi(argv[2]), argv[3], argv[4], argv[5],
                   CreateWindowA("STATIC", "wineclient", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 GetModuleHandleA(nullptr), nullptr)};
        HANDLE t = CreateThread(nullptr, 0, popThread, &job, 0, nullptr);
        if (!t)
            fail("cannot start a thread");
        followPop(job.folder);
        WaitForSingleObject(t, INFINITE);
        CloseHandle(t);
    } else {
        SmtpJob job{std::atoi(argv[2]), argv[3], "", {}, std::strtoul(argv[5], nullptr, 10), ""};
        std::string envelope = readWhole(argv[4]);
        for (std::size_t at = 0; at < envelope.size();) {
            std::size_t end = envelope.find('\n', at);
            std::string line = envelope.substr(at, end == std::string::npos ? end : end - at);
            at = end == std::string::npos ? envelope.size() : end + 1;
            while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
                line.pop_back();
            if (line.empty())
                continue;
            if (job.sender.empty())
                job.sender = line;
            else
                job.recipients.push_back(line);
        }
        int threads = std::atoi(argv[6]);
        if (threads == 2)
            job.window = CreateWindowA("STATIC", "wineclient", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                       nullptr, GetModuleHandleA(nullptr), nullptr);
        for (int i = 7; i < argc; ++i) {
            job.file = argv[i];
            if (threads == 0) {
                smtpSession(job);
                continue;
            }
            HANDLE t = CreateThread(nullptr, 0, smtpThread, &job, 0, nullptr);
            if (!t)
                fail("cannot start a thread");
            if (threads == 2)
                waitForLastPair();
            WaitForSingleObject(t, INFINITE);
            CloseHandle(t);
        }
    }
    QueryPerformanceCounter(&t1);
    std::printf("%.4f\n", static_cast<double>(t1.QuadPart - t0.QuadPart) /
                              static_cast<double>(frequency.QuadPart));
    return 0;
}
