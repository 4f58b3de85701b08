#include "sessionharness.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace pop3test {

ProgressWindow::ProgressWindow()
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "pop3-test-progress";
    RegisterClassA(&wc);
    hwnd_ = CreateWindowA("pop3-test-progress", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
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
    DWORD end = GetTickCount() + ms;
    while (GetTickCount() < end) {
        MSG msg;
        while (PeekMessageA(&msg, static_cast<HWND>(hwnd_), 0, 0, PM_REMOVE)) {
            if (msg.message != static_cast<UINT>(eventBase + 1023))
                continue;
            std::pair<int, int> p(static_cast<int>(msg.wParam), static_cast<int>(msg.lParam));
            pairs.push_back(p);
            bool connected = false;
            for (const auto& q : pairs)
                connected = connected || q == std::make_pair(0, 1);
            if (p == std::make_pair(0, 500) || p == std::make_pair(0, -1000) ||
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

std::string crlf(const std::string& lfText)
{
    std::string out;
    for (char c : lfText) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

std::string dotStuff(const std::string& text)
{
    std::string out;
    bool lineStart = true;
    for (char c : text) {
        if (lineStart && c == '.')
            out += '.';
        out += c;
        lineStart = c == '\n';
    }
    return out;
}

SessionRun::SessionRun()
{
    folder = dir.subdir("in");
    logPath = dir.file("pop.log");
    log.setFile(logPath.c_str());
    log.setLevel(9);
    worker.log = &log;
    worker.hostWindow = window.handle();
    worker.eventBase = kEventBase;
    worker.folder = folder;
    worker.hostName = "localhost";
    worker.hostAddress = "127.0.0.1";
    worker.useHostName = false;
    worker.userName = "joe";
    worker.password = "secret";
    options.receiveWaitSeconds = 10;
}

int SessionRun::run(int port)
{
    worker.port = port;
    worker.busy = true;
    return pop3::runPop3Session(worker, options);
}

}  // namespace pop3test
