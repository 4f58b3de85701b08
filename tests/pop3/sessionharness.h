// Test harness of the POP3 session: a worker with a real logger, a real
// message-only window for the progress pairs and a fresh folder; helpers
// to read back the pairs and the log lines (without their timestamps).
#pragma once

#include "logger.h"
#include "pop3session.h"
#include "pop3worker.h"
#include "testdir.h"

#include <string>
#include <utility>
#include <vector>

namespace pop3test {

using Pairs = std::vector<std::pair<int, int>>;

// A message-only window on the calling thread.
class ProgressWindow {
public:
    ProgressWindow();
    ~ProgressWindow();
    void* handle() const { return hwnd_; }
    // Takes the progress messages (eventBase + 1023) queued so far.
    Pairs take(int eventBase);
    // Pumps until (0, 500) or a set-up failure pair arrives, at most ms.
    Pairs waitForEnd(int eventBase, int ms);

private:
    void* hwnd_;
};

// "level\ttext" of every line of a session log; checks each line's shape.
std::vector<std::string> logLines(const std::string& path);

// Lines of text ending in LF, as a POP3 server would send them: CR LF
// line ends and dot-stuffing.
std::string crlf(const std::string& lfText);
std::string dotStuff(const std::string& crlfText);

struct SessionRun {
    testsupport::TestDir dir;
    std::string folder;
    std::string logPath;
    net::logger log;
    ProgressWindow window;
    pop3::pop3worker worker;
    pop3::Pop3SessionOptions options;
    static constexpr int kEventBase = 2000;

    SessionRun();
    // Runs a session against 127.0.0.1:port on this thread.
    int run(int port);
    Pairs pairs() { return window.take(kEventBase); }
    std::vector<std::string> lines() { return logLines(logPath); }
    std::string file(int n) { return testsupport::readFile(folder + "\\" + std::to_string(n) + ".msg"); }
    std::vector<std::string> files() { return testsupport::listFolder(folder); }
};

}  // namespace pop3test
