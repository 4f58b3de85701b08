#include "smtpharness.h"

#include "wsocket.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace smtptest {

ProgressWindow::ProgressWindow()
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "smtp-test-progress";
    RegisterClassA(&wc);
    hwnd_ = CreateWindowA("smtp-test-progress", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                          wc.hInstance, nullptr);
}

ProgressWindow::~ProgressWindow() { DestroyWindow(static_cast<HWND>(hwnd_)); }

Pairs ProgressWindow::take(int eventBase)
{
    Pairs pairs;
    MSG msg;
    while (PeekMessageA(&msg, static_cast<HWND>(hwnd_), 0, 0, PM_REMOVE)) {
        if (msg.message == static_cast<UINT>(eventBase + 1023))
            pairs.emplace_back(static_cast<int>(msg.wParam), static_cast<int>(msg.lParam));
    }
    return pairs;
}

Pairs ProgressWindow::waitForEnd(int eventBase, int ms)
{
    Pairs pairs;
    bool connected = false;
    DWORD end = GetTickCount() + ms;
    while (GetTickCount() < end) {
        MSG msg;
        while (PeekMessageA(&msg, static_cast<HWND>(hwnd_), 0, 0, PM_REMOVE)) {
            if (msg.message != static_cast<UINT>(eventBase + 1023))
                continue;
            std::pair<int, int> p(static_cast<int>(msg.wParam), static_cast<int>(msg.lParam));
            pairs.push_back(p);
            connected = connected || p == std::make_pair(0, 1);
            if (p == std::make_pair(0, 500) || p == std::make_pair(10, -1) ||
                (!connected && p == std::make_pair(100, -1)))
                return pairs;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    return pairs;
}

std::vector<std::string> logLines(const std::string& path)
{
    std::string bytes = testsupport::readFile(path);
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos)
            break;
        std::string line = bytes.substr(start, end - start);
        // A logged reply of several lines holds their CR LF: the log line
        // goes on up to the next timestamp.
        while (end + 2 < bytes.size() && !(bytes.size() - end - 2 >= 23 &&
                                             bytes[end + 2 + 4] == '-' && bytes[end + 2 + 22] == '\t')) {
            std::size_t next = bytes.find("\r\n", end + 2);
            if (next == std::string::npos)
                break;
            line = bytes.substr(start, next - start);
            end = next;
        }
        start = end + 2;
        EXPECT_GE(line.size(), 23u) << line;
        if (line.size() >= 23) {
            EXPECT_EQ(line[22], '\t') << line;
            line = line.substr(23);
        }
        lines.push_back(line);
    }
    EXPECT_EQ(start, bytes.size()) << "log does not end in CR LF";
    return lines;
}

std::string line(int level, const std::string& text) { return std::to_string(level) + "\t" + text; }

namespace {

class ShortSend : public net::Transport {
public:
    explicit ShortSend(int limit) : limit_(limit) {}
    bool setPort(int port) override { return s_.setPort(port); }
    bool open() override { return s_.open(); }
    bool setHostName(const std::string& n) override { return s_.setHostName(n); }
    bool setHostAddress(const std::string& a) override { return s_.setHostAddress(a); }
    bool connect() override { return s_.connect(); }
    bool waitForData(int sec, int usec) override { return s_.waitForData(sec, usec); }
    int receive(net::ByteBuffer& b, int max) override { return s_.receive(b, max); }
    int send(const net::ByteBuffer& b, int count) override
    {
        int n = count < 0 ? static_cast<int>(b.size()) : count;
        return s_.send(b, n > limit_ ? limit_ : n);
    }
    int lastError() const override { return s_.lastError(); }
    bool close(bool linger, int seconds) override { return s_.close(linger, seconds); }

private:
    net::WSocket s_;
    int limit_;
};

}  // namespace

std::unique_ptr<net::Transport> shortSendSocket(int limit)
{
    return std::make_unique<ShortSend>(limit);
}

int FakeTransport::receive(net::ByteBuffer& buffer, int max)
{
    if (next_ >= receives.size())
        return 0;
    const Receive& r = receives[next_++];
    if (r.error != 0) {
        error_ = r.error;
        return -1;
    }
    std::size_t n = r.bytes.size() < buffer.size() ? r.bytes.size() : buffer.size();
    std::copy(r.bytes.begin(), r.bytes.begin() + n, buffer.begin());
    return static_cast<int>(n);
}

int FakeTransport::send(const net::ByteBuffer& buffer, int count)
{
    int n = count < 0 ? static_cast<int>(buffer.size()) : count;
    if (failSendAfter >= 0 && sends >= failSendAfter) {
        error_ = sendError;
        return -1;
    }
    ++sends;
    sent.append(buffer.data(), n);
    return n;
}

namespace {
// Hands the test's transport to the session without giving up ownership.
class Borrowed : public net::Transport {
public:
    explicit Borrowed(net::Transport& t) : t_(t) {}
    bool setPort(int port) override { return t_.setPort(port); }
    bool open() override { return t_.open(); }
    bool setHostName(const std::string& n) override { return t_.setHostName(n); }
    bool setHostAddress(const std::string& a) override { return t_.setHostAddress(a); }
    bool connect() override { return t_.connect(); }
    bool waitForData(int sec, int usec) override { return t_.waitForData(sec, usec); }
    int receive(net::ByteBuffer& b, int max) override { return t_.receive(b, max); }
    int send(const net::ByteBuffer& b, int count) override { return t_.send(b, count); }
    int lastError() const override { return t_.lastError(); }
    bool close(bool linger, int seconds) override { return t_.close(linger, seconds); }

private:
    net::Transport& t_;
};
}  // namespace

void useFake(smtp::SmtpSessionOptions& options, FakeTransport& fake)
{
    options.makeSocket = [&fake] { return std::unique_ptr<net::Transport>(new Borrowed(fake)); };
}

std::string messageText(std::size_t n)
{
    std::string out;
    std::size_t column = 0;
    while (out.size() < n) {
        if (n - out.size() >= 2 && column == 70) {
            out += "\r\n";
            column = 0;
        } else {
            out += static_cast<char>('a' + (out.size() % 26));
            ++column;
        }
    }
    return out;
}

SmtpRun::SmtpRun()
{
    folder = dir.subdir("out");
    logPath = dir.file("smtp.log");
    envelopePath = dir.file("env.txt");
    messagePath = dir.file("msg.txt");
    log.setFile(logPath.c_str());
    log.setLevel(9);
    worker.log = &log;
    worker.hostWindow = window.handle();
    worker.eventBase = kEventBase;
    worker.folder = folder;
    worker.hostName = "localhost";
    worker.hostAddress = "127.0.0.1";
    worker.useHostName = false;
    worker.heloDomain = "here.example";
    worker.envelopePath = envelopePath;
    worker.messagePath = messagePath;
    options.receiveWaitSeconds = 1;
    options.dataEndWaitSeconds = 1;
    envelope("<a@here>\r\n<b@there>\r\n");
    message("Subject: t\r\n\r\nhello\r\n");
}

void SmtpRun::run(int port)
{
    worker.port = port;
    worker.busy = true;
    smtp::runSmtpSession(worker, options);
}

}  // namespace smtptest
