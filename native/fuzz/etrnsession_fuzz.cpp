// The ETRN session on arbitrary server bytes, split into receives at
// arbitrary points, with closes, resets and silences between them. Input:
// a sequence of events, each a control byte and, for a block of bytes, the
// length it gives and that many bytes.
//   control 0xF0: the server closes    0xF1: the connection resets
//   control 0xF2: the server is silent other c: a block of (c % 200) + 1
// Checks (abort when broken): the commands are EHLO, ETRN, QUIT in that
// order, a prefix of them, with the last one sent once more only when the
// session ended on a silence; EHLO only after a reply beginning "220 ",
// ETRN only after a line "250 ..." or "250"; nothing is sent after the close;
// the result is 0, done is set and the socket is closed once.
#include "etrnsession.h"
#include "fuzz_script.h"
#include "qflushworker.h"

#include <cstdlib>

namespace {

[[noreturn]] void broken() { std::abort(); }

const std::string kCommands[] = {"EHLO fuzz.local\r\n", "ETRN flush.test\r\n", "QUIT\r\n"};

class Watched : public net::Transport {
public:
    Watched(const uint8_t* data, size_t size) : t_(data, size) {}

    bool setPort(int p) override { return p >= 0 && p <= 65535; }
    bool open() override { return true; }
    bool setHostName(const std::string&) override { return true; }
    bool setHostAddress(const std::string&) override { return true; }
    bool connect() override { return true; }
    bool waitForData(int s, int us) override
    {
        lastWaitTimedOut = !t_.waitForData();
        return !lastWaitTimedOut;
    }
    int lastError() const override { return t_.lastError(); }
    bool close(bool linger, int seconds) override
    {
        if (!linger || seconds != 600)  // every ending of a connected session lingers
            broken();
        ++closes;
        return true;
    }
    int receive(net::ByteBuffer& buffer, int maxCount) override
    {
        int n = t_.receive(buffer, maxCount);
        if (n > static_cast<int>(buffer.size()))
            broken();
        if (n > 0)
            received.append(buffer.data(), static_cast<std::size_t>(n));
        return n;
    }
    int send(const net::ByteBuffer& buffer, int count) override
    {
        if (closes != 0)
            broken();
        std::string bytes(buffer.data(), count < 0 ? buffer.size() : static_cast<std::size_t>(count));
        std::size_t n = sent.size();
        bool repeat = lastWaitTimedOut && n > 0 && bytes == sent.back();
        if (!repeat) {
            if (n >= 3 || bytes != kCommands[n])
                broken();
            // What the server said before: a greeting "220 " for EHLO (the
            // whole of a receive, upper-cased), a last "250" line for ETRN.
            std::string upperReceived = received;
            for (char& c : upperReceived)
                if (c >= 'a' && c <= 'z')
                    c = static_cast<char>(c - 'a' + 'A');
            if (n == 0 && upperReceived.find("220 ") == std::string::npos)
                broken();
            if (n == 1 && !lastLine250(ehloAt))
                broken();
            if (n == 0)
                ehloAt = received.size();  // the EHLO reply's lines start here
        }
        repeated = repeated || repeat;
        sent.push_back(bytes);
        return static_cast<int>(bytes.size());
    }

    // A line "250 ..." or "250" alone, at or after `from`, the start of a line.
    bool lastLine250(std::size_t from) const
    {
        for (std::size_t at = from; at < received.size();) {
            if (received.compare(at, 4, "250 ") == 0 || received.compare(at, 5, "250\r\n") == 0)
                return true;
            std::size_t end = received.find("\r\n", at);
            if (end == std::string::npos)
                return false;
            at = end + 2;
        }
        return false;
    }

    std::vector<std::string> sent;
    std::string received;
    std::size_t ehloAt = 0;
    bool lastWaitTimedOut = false;
    bool repeated = false;
    int closes = 0;

private:
    FuzzScript t_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    etrn::q_flush w;
    w.useHostName = false;
    w.hostAddress = "127.0.0.1";
    w.domain = "flush.test";
    Watched* t = nullptr;
    etrn::EtrnSessionOptions o;
    o.makeSocket = [&] {
        auto s = std::make_unique<Watched>(data, size);
        t = s.get();
        return s;
    };
    o.localName = [] { return std::string("fuzz.local"); };
    if (etrn::runEtrnSession(w, o) != 0 || !w.done || t->closes != 1)
        broken();
    // A repeat is the session's last send, made on the silence that ended it.
    if (t->repeated && !t->lastWaitTimedOut)
        broken();
    return 0;
}
