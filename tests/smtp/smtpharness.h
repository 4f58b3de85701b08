// Test harness of the SMTP and ETRN sessions: a real message-only window
// for the progress pairs, a postgate worker with a real logger and fresh
// files, helpers to read back the log lines without their timestamps.
#pragma once

#include "logger.h"
#include "postgateworker.h"
#include "scriptserver.h"
#include "smtpsession.h"
#include "testdir.h"
#include "transport.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {
// Two scripts one after the other.
inline std::vector<ScriptStep> operator+(std::vector<ScriptStep> a, const std::vector<ScriptStep>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
}  // namespace testsupport

namespace smtptest {

using Pairs = std::vector<std::pair<int, int>>;

// A message-only window on the calling thread.
class ProgressWindow {
public:
    ProgressWindow();
    ~ProgressWindow();
    void* handle() const { return hwnd_; }
    // Takes the progress messages (eventBase + 1023) queued so far.
    Pairs take(int eventBase);
    // Pumps until (0, 500), (10, -1) or a (100, -1) before (0, 1), at most ms.
    Pairs waitForEnd(int eventBase, int ms);

private:
    void* hwnd_;
};

// "level\ttext" of every line of a session log; checks each line's shape.
std::vector<std::string> logLines(const std::string& path);

// A Transport over WSocket that sends at most `limit` bytes per send, as a
// send may under load.
std::unique_ptr<net::Transport> shortSendSocket(int limit);

// A scripted transport: each waitForData/receive pair takes the next
// scripted receive (bytes, or a failure with its error number); an empty
// script means the peer has closed, or, with silentAtEnd, that the peer
// falls silent (every later wait times out). Sends are recorded;
// failSendAfter makes every send after that many fail with sendError.
class FakeTransport : public net::Transport {
public:
    struct Receive {
        std::string bytes;
        int error = 0;  // non-zero: the receive fails with this number
    };
    std::vector<Receive> receives;
    std::string sent;
    int sends = 0;
    int failSendAfter = -1;
    int sendError = 10053;
    bool closed = false;
    bool silentAtEnd = false;
    bool closedWithLinger = false;
    int lingerSeconds = -1;

    bool setPort(int) override { return true; }
    bool open() override { return true; }
    bool setHostName(const std::string&) override { return true; }
    bool setHostAddress(const std::string&) override { return true; }
    bool connect() override { return true; }
    bool waitForData(int, int) override { return !(silentAtEnd && next_ >= receives.size()); }
    int receive(net::ByteBuffer& buffer, int max) override;
    int send(const net::ByteBuffer& buffer, int count) override;
    int lastError() const override { return error_; }
    bool close(bool linger, int seconds) override
    {
        closed = true;
        closedWithLinger = linger;
        lingerSeconds = seconds;
        return true;
    }

private:
    std::size_t next_ = 0;
    int error_ = 0;
};

// Makes the session of r use fake (owned by the test, outliving the run).
void useFake(smtp::SmtpSessionOptions& options, FakeTransport& fake);

// n bytes of message text: CR LF lines of printable characters, none
// beginning with a full stop.
std::string messageText(std::size_t n);

struct SmtpRun {
    testsupport::TestDir dir;
    std::string folder;
    std::string logPath;
    std::string envelopePath;
    std::string messagePath;
    net::logger log;
    ProgressWindow window;
    smtp::postgate worker;
    smtp::SmtpSessionOptions options;
    static constexpr int kEventBase = 3000;

    // Envelope "<a@here>" to "<b@there>", a short message.
    SmtpRun();
    void envelope(const std::string& bytes) { testsupport::writeFile(envelopePath, bytes); }
    void message(const std::string& bytes) { testsupport::writeFile(messagePath, bytes); }
    // Runs a session against 127.0.0.1:port on this thread.
    void run(int port);
    Pairs pairs() { return window.take(kEventBase); }
    std::vector<std::string> lines() { return logLines(logPath); }
    std::string refusals() { return testsupport::readFile(folder + "\\smtp.bad"); }
};

// "9\t<- 250 OK" and so on: the level and text as logLines gives them.
std::string line(int level, const std::string& text);

}  // namespace smtptest
