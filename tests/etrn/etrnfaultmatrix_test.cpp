// The fault matrix of the ETRN session: in every state (greeting 101, EHLO
// 102, ETRN 110, QUIT 107) the server refuses with a 5xx or a 4xx reply,
// closes, resets or falls silent. Each run is checked for the exact bytes
// the server received (EHLO with the local host name, ETRN with the domain,
// QUIT, the last command sent again on the time-out), the session's result,
// the socket closed with linger on and 600 seconds, the worker marked done
// and nothing posted to the thread.
//
// Every case runs over a real loopback socket against the scripted server
// and over a scripted transport. Over the socket the greeting cannot be
// reset (the server can only reset on bytes of the client, and none have
// been sent), and Wine may report a reset as a close; the ending is the same
// for this session, and the scripted transport gives the reset in every
// state.
#include "etrnsession.h"
#include "scriptserver.h"
#include "wsocket.h"

#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

namespace {

using testsupport::ScriptServer;
using testsupport::ScriptStep;

const std::string kClose = "<close>";

// Close calls as the session makes them, over any transport.
struct CloseRecord {
    int calls = 0;
    bool linger = false;
    int seconds = -1;
};

// WSocket, with its close recorded.
class RecordingSocket : public net::Transport {
public:
    explicit RecordingSocket(CloseRecord& rec) : rec_(rec) {}
    bool setPort(int port) override { return s_.setPort(port); }
    bool open() override { return s_.open(); }
    bool setHostName(const std::string& n) override { return s_.setHostName(n); }
    bool setHostAddress(const std::string& a) override { return s_.setHostAddress(a); }
    bool connect() override { return s_.connect(); }
    bool waitForData(int sec, int usec) override { return s_.waitForData(sec, usec); }
    int receive(net::ByteBuffer& b, int max) override { return s_.receive(b, max); }
    int send(const net::ByteBuffer& b, int count) override { return s_.send(b, count); }
    int lastError() const override { return s_.lastError(); }
    bool close(bool linger, int seconds) override
    {
        ++rec_.calls;
        rec_.linger = linger;
        rec_.seconds = seconds;
        return s_.close(linger, seconds);
    }

private:
    net::WSocket s_;
    CloseRecord& rec_;
};

// A scripted transport: one scripted receive per receive call (bytes, or a
// failure with its number); past the script the peer has closed, or with
// silentAtEnd every wait times out.
class ScriptedTransport : public net::Transport {
public:
    struct Receive {
        std::string bytes;
        int error = 0;
    };
    ScriptedTransport(std::vector<Receive> receives, bool silentAtEnd, std::string& sent, CloseRecord& rec)
        : receives_(std::move(receives)), silentAtEnd_(silentAtEnd), sent_(sent), rec_(rec) {}
    bool setPort(int) override { return true; }
    bool open() override { return true; }
    bool setHostName(const std::string&) override { return true; }
    bool setHostAddress(const std::string&) override { return true; }
    bool connect() override { return true; }
    bool waitForData(int, int) override { return !(silentAtEnd_ && next_ >= receives_.size()); }
    int receive(net::ByteBuffer& buffer, int) override
    {
        if (next_ >= receives_.size())
            return 0;
        const Receive& r = receives_[next_++];
        if (r.error != 0) {
            error_ = r.error;
            return -1;
        }
        std::size_t n = std::min(r.bytes.size(), buffer.size());
        std::copy(r.bytes.begin(), r.bytes.begin() + n, buffer.begin());
        return static_cast<int>(n);
    }
    int send(const net::ByteBuffer& buffer, int count) override
    {
        int n = count < 0 ? static_cast<int>(buffer.size()) : count;
        sent_.append(buffer.data(), n);
        return n;
    }
    int lastError() const override { return error_; }
    bool close(bool linger, int seconds) override
    {
        ++rec_.calls;
        rec_.linger = linger;
        rec_.seconds = seconds;
        return true;
    }

private:
    std::vector<Receive> receives_;
    bool silentAtEnd_;
    std::size_t next_ = 0;
    int error_ = 0;
    std::string& sent_;
    CloseRecord& rec_;
};

std::string localName()
{
    WSADATA data;
    WSAStartup(MAKEWORD(1, 1), &data);
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    WSACleanup();
    return name;
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Stage {
    int state;
    std::vector<std::string> prior;  // the server's side up to the reply that makes the client send `command`
    std::string sentBefore;          // what the client has sent before `command`
    std::string command;             // the command whose reply the state awaits ("" none)
    // The server refuses: with a 5xx and with a 4xx reply, each followed by
    // the server's further side (silent unless it ends in kClose) and what
    // the client then sends.
    std::string refusal5, after5, sent5;
    std::string refusal4, after4, sent4;
};

std::vector<Stage> stages(const std::string& ehlo)
{
    const std::string etrn = "ETRN example.org\r\n";
    const std::string quit = "QUIT\r\n";
    const std::vector<std::string> p102 = {"220 flush ready\r\n"};
    const std::vector<std::string> p110 =
        p102 + std::vector<std::string>{"C:EHLO", "250-mx.example\r\n250-ETRN\r\n250 HELP\r\n"};
    const std::vector<std::string> p107 = p110 + std::vector<std::string>{"C:ETRN", "250 queuing started\r\n"};
    return {
        // 5xx: the session ends without a word; 4xx: ignored, the wait runs
        // out with no command to send again.
        {101, {}, "", "", "554 go away\r\n", "", "", "421 busy\r\n", "", ""},
        // 5xx: ends at once; 4xx: ignored, EHLO is sent again on the time-out.
        {102, p102, "", ehlo, "501 syntax\r\n", "", "", "421 closing\r\n", "", ehlo},
        // The ETRN reply is not examined: QUIT either way.
        {110, p110, ehlo, etrn, "501 bad domain\r\n", "C:QUIT|221 bye\r\n|" + kClose, quit,
         "459 not queued\r\n", "C:QUIT|221 bye\r\n", quit},
        {107, p107, ehlo + etrn, quit, "500 what\r\n", "", "", "421 going\r\n", "", ""},
    };
}

std::vector<std::string> split(const std::string& joined)
{
    std::vector<std::string> out;
    if (joined.empty())
        return out;
    std::size_t start = 0;
    for (;;) {
        std::size_t bar = joined.find('|', start);
        out.push_back(joined.substr(start, bar - start));
        if (bar == std::string::npos)
            return out;
        start = bar + 1;
    }
}

enum class Fault { Refuse5, Refuse4, Close, Reset, Silence };
const char* name(Fault f)
{
    switch (f) {
    case Fault::Refuse5: return "5xx";
    case Fault::Refuse4: return "4xx";
    case Fault::Close: return "close";
    case Fault::Reset: return "reset";
    default: return "silence";
    }
}

struct Plan {
    std::vector<std::string> server;  // the server's side; kClose a close
    bool reset = false;               // then a reset on the client's next bytes
    bool silentAtEnd = false;
    std::string sent;                 // over the scripted transport
};

Plan plan(const Stage& st, Fault f)
{
    Plan p;
    p.server = st.prior;
    if (!st.command.empty())
        p.server.push_back("C:");
    p.sent = st.sentBefore + st.command;
    switch (f) {
    case Fault::Refuse5:
    case Fault::Refuse4: {
        bool five = f == Fault::Refuse5;
        std::vector<std::string> after = split(five ? st.after5 : st.after4);
        p.server.push_back(five ? st.refusal5 : st.refusal4);
        p.server = p.server + after;
        p.sent += five ? st.sent5 : st.sent4;
        p.silentAtEnd = after.empty() || after.back() != kClose;
        break;
    }
    case Fault::Close:
        p.server.push_back(kClose);
        break;
    case Fault::Reset:
        p.reset = true;
        break;
    case Fault::Silence:
        p.silentAtEnd = true;
        p.sent += st.command;  // the last command sent, once more
        break;
    }
    return p;
}

struct EtrnRun {
    etrn::q_flush worker;
    etrn::EtrnSessionOptions options;
    CloseRecord closes;
    EtrnRun()
    {
        worker.hostName = "no.such.host.invalid";
        worker.hostAddress = "127.0.0.1";
        worker.useHostName = false;
        worker.domain = "example.org";
        options.receiveWaitSeconds = 1;
    }
    int run(int port)
    {
        worker.port = port;
        return etrn::runEtrnSession(worker, options);
    }
    void check(int result)
    {
        EXPECT_EQ(result, 0);
        EXPECT_TRUE(worker.done);
        EXPECT_EQ(closes.calls, 1);
        EXPECT_TRUE(closes.linger);
        EXPECT_EQ(closes.seconds, 600);
        MSG msg;
        EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));  // nothing posted
    }
};

const std::vector<Fault> kFaults = {Fault::Refuse5, Fault::Refuse4, Fault::Close, Fault::Reset,
                                    Fault::Silence};

TEST(EtrnFaultMatrix, OverLoopback)
{
    const std::string host = localName();
    ASSERT_FALSE(host.empty());
    for (const Stage& st : stages("EHLO " + host + "\r\n")) {
        for (Fault f : kFaults) {
            if (f == Fault::Reset && st.command.empty())
                continue;  // nothing of the client's for the server to reset on
            SCOPED_TRACE(std::to_string(st.state) + " " + name(f));
            Plan p = plan(st, f);
            std::vector<ScriptStep> script;
            std::vector<std::string> server = p.server;
            std::string want = p.sent;
            if (p.reset) {
                server.pop_back();  // the command is left unread and not recorded
                want = st.sentBefore;
            }
            for (const std::string& s : server) {
                if (s == kClose)
                    script.push_back(testsupport::closeConnection());
                else
                    script.push_back(testsupport::dialogue({s}).front());
            }
            if (p.reset)
                script.push_back(testsupport::resetConnection(150));
            EtrnRun r;  // the EHLO name is the local host name
            r.options.makeSocket = [&r] { return std::unique_ptr<net::Transport>(new RecordingSocket(r.closes)); };
            ScriptServer srv(script);
            int result = r.run(srv.port());
            EXPECT_EQ(srv.received(), want);
            r.check(result);
        }
    }
}

TEST(EtrnFaultMatrix, OverScriptedTransport)
{
    for (const Stage& st : stages("EHLO me.local\r\n")) {
        for (Fault f : kFaults) {
            SCOPED_TRACE(std::to_string(st.state) + " " + name(f));
            Plan p = plan(st, f);
            std::vector<ScriptedTransport::Receive> receives;
            for (const std::string& s : p.server) {
                if (s != kClose && s.rfind("C:", 0) != 0)
                    receives.push_back({s});
            }
            if (p.reset)
                receives.push_back({"", 10054});
            EtrnRun r;
            r.options.localName = [] { return std::string("me.local"); };
            std::string sent;
            r.options.makeSocket = [&] {
                return std::unique_ptr<net::Transport>(new ScriptedTransport(receives, p.silentAtEnd, sent, r.closes));
            };
            int result = r.run(25);
            EXPECT_EQ(sent, p.sent);
            r.check(result);
        }
    }
}

// Set-up failures end the session before any close, with their results.
TEST(EtrnFaultMatrix, SetUpFailures)
{
    EtrnRun none;
    none.options.makeSocket = [] { return std::unique_ptr<net::Transport>(); };
    EXPECT_EQ(none.run(25), 0);
    EXPECT_TRUE(none.worker.done);

    EtrnRun refused;
    refused.options.makeSocket = [&refused] {
        return std::unique_ptr<net::Transport>(new RecordingSocket(refused.closes));
    };
    EXPECT_EQ(refused.run(1), -1);  // privileged, served by nothing here
    EXPECT_TRUE(refused.worker.done);
}

}  // namespace
