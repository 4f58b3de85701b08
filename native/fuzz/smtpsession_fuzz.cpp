// The SMTP session on arbitrary relay bytes, split into receives at
// arbitrary points, with closes, resets and silences between them.
// Input: one set-up byte, then a sequence of events, each a control byte
// and, for a block of bytes, the length it gives and that many bytes.
//   set-up byte b: envelope b % 5, message (b / 5) % 7 (tables below)
//   control 0xF0: the relay closes    0xF1: the connection resets
//   control 0xF2: the relay is silent other c: a block of (c % 200) + 1
// Checks (abort when broken):
//   - the session ends with (0, 500), (0, 1) first, the worker not busy,
//     the socket closed once and nothing sent after that;
//   - the first command is HELO and every command is one the session has;
//   - message content goes out only after DATA and a whole reply beginning
//     "354" to it (its last complete line has no hyphen after the code),
//     and is always a prefix of the bytes the message file gave;
//   - when (0, 100) is posted the content sent equals those bytes whole,
//     followed at once by "\r\n.\r\n";
//   - "smtp.bad" holds exactly one record per (51, -1) and (52, -1), each
//     "I said: " + a refused envelope command (in sending order) +
//     " Mailserver said: " + a whole reply without small letters that does
//     not begin with "250" (nor "251" or "252" for a RCPT TO).
#include "fuzz_input.h"
#include "fuzz_script.h"
#include "logger.h"
#include "postgateworker.h"
#include "progressrecorder.h"
#include "smtpsession.h"

#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

const char* const kEnvelopes[] = {
    "<a@here>\r\n<b@there>\r\n<c@there>\r\n",
    "<a@here>\r\n",
    "<a@here>\r\n<rrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrrr>\r\n",
    "",
    nullptr,  // no envelope file
};
constexpr int kEnvelopeCount = 5;

// Message variants: the bytes, and how the file behaves.
struct Message {
    std::string bytes;
    bool opens = true;
    bool sizeKnown = true;
    int failingRead = 0;  // the read that fails, 1-based; 0 for none
};
const Message& message(int i)
{
    static const Message m[] = {
        {"Subject: x\r\n\r\n..dot\r\nbody\r\n"},
        {std::string(2998, 'x') + "\r\n"},
        {""},
        {"never read", false},
        {std::string(2100, 'y'), true, false},
        {std::string(1500, 'z'), true, true, 1},
        {std::string(5000, 'w'), true, true, 3},
    };
    return m[i];
}
constexpr int kMessageCount = 7;

class MemoryContent : public smtp::ContentFile {
public:
    MemoryContent(const Message& m, std::string& given) : m_(m), given_(given) {}
    bool size(long& bytes) override
    {
        bytes = static_cast<long>(m_.bytes.size());
        return m_.sizeKnown;
    }
    long read(char* buffer, std::size_t max) override
    {
        if (++reads_ == m_.failingRead)
            return -1;
        std::size_t n = std::min(max, m_.bytes.size() - at_);
        std::memcpy(buffer, m_.bytes.data() + at_, n);
        given_.append(m_.bytes, at_, n);
        at_ += n;
        return static_cast<long>(n);
    }

private:
    const Message& m_;
    std::string& given_;
    std::size_t at_ = 0;
    int reads_ = 0;
};

[[noreturn]] void broken() { std::abort(); }

bool startsWith(const std::string& s, const char* p) { return s.compare(0, std::strlen(p), p) == 0; }

// A whole reply: it holds a CR LF, and the line before its last CR LF is
// a last line (its three-character code followed by a blank or nothing).
// Written out here on its own rather than taken from the session, so that
// each checks the other.
bool wholeReply(const std::string& r)
{
    std::size_t end = r.rfind("\r\n");
    if (end == std::string::npos)
        return false;
    std::size_t begin = 0;
    for (std::size_t at = r.find("\r\n"); at < end; at = r.find("\r\n", at + 2))
        begin = at + 2;
    return end - begin == 3 || (end - begin > 3 && r[begin + 3] == ' ');
}

// The scripted relay, watched: which buffer each send came from, what was
// received since DATA, whether anything is sent after the close.
class Watched : public net::Transport {
public:
    Watched(const uint8_t* data, size_t size, const net::ByteBuffer& commandBuffer)
        : t_(data, size), commandBuffer_(commandBuffer) {}

    bool setPort(int p) override { return p >= 0 && p <= 65535; }
    bool open() override { return true; }
    bool setHostName(const std::string&) override { return true; }
    bool setHostAddress(const std::string&) override { return true; }
    bool connect() override { return true; }
    bool waitForData(int s, int us) override { return t_.waitForData(); }
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
        if (n > 0) {
            received.append(buffer.data(), static_cast<std::size_t>(n));
            sinceData.append(buffer.data(), static_cast<std::size_t>(n));
        }
        return n;
    }
    int send(const net::ByteBuffer& buffer, int count) override
    {
        if (closes != 0)
            broken();
        std::string bytes(buffer.data(), count < 0 ? buffer.size() : static_cast<std::size_t>(count));
        if (&buffer == &commandBuffer_) {
            if (commands.empty() && !startsWith(bytes, "HELO "))
                broken();
            if (!startsWith(bytes, "HELO ") && !startsWith(bytes, "MAIL FROM: ") &&
                !startsWith(bytes, "RCPT TO: ") && bytes != "DATA\r\n" && bytes != "QUIT\r\n" &&
                bytes != "\r\n.\r\n")
                broken();
            if (bytes == "DATA\r\n")
                sinceData.clear();
            if (bytes == "\r\n.\r\n" && endSentAt == std::string::npos)
                endSentAt = content.size();
            commands.push_back(bytes);
        } else {
            // Content: after DATA, on a reply to it that begins with 354.
            if (commands.empty() || commands.back() != "DATA\r\n" || !startsWith(sinceData, "354") ||
                !wholeReply(sinceData))
                broken();
            content += bytes;
        }
        return static_cast<int>(bytes.size());
    }

    std::vector<std::string> commands;
    std::string content;
    std::string received;
    std::string sinceData;
    std::size_t endSentAt = std::string::npos;  // content size when "\r\n.\r\n" went out
    int closes = 0;

private:
    FuzzScript t_;
    const net::ByteBuffer& commandBuffer_;
};

std::string upper(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// Every record of the refusal file in its exact form; the count of them.
int checkRefusals(const std::string& bad, const Watched& t)
{
    static const std::string kSaid = "I said: ";
    static const std::string kServer = " Mailserver said: ";
    if (bad.empty())
        return 0;
    std::string upperReceived = upper(t.received);
    std::size_t next = 0;  // the next envelope command that may be refused
    int records = 0;
    std::size_t at = 0;
    while (at < bad.size()) {
        if (bad.compare(at, kSaid.size(), kSaid) != 0)
            broken();
        at += kSaid.size();
        // The refused command: one of the envelope commands sent, in order.
        bool found = false;
        bool recipient = false;
        for (; next < t.commands.size() && !found; ++next) {
            const std::string& c = t.commands[next];
            if ((startsWith(c, "MAIL FROM: ") || startsWith(c, "RCPT TO: ")) &&
                bad.compare(at, c.size(), c) == 0 && bad.compare(at + c.size(), kServer.size(), kServer) == 0) {
                at += c.size() + kServer.size();
                found = true;
                recipient = startsWith(c, "RCPT TO: ");
            }
        }
        if (!found)
            broken();
        // The reply runs to the next record: upper case has no "I said: ".
        std::size_t end = bad.find(kSaid, at);
        if (end == std::string::npos)
            end = bad.size();
        std::string reply = bad.substr(at, end - at);
        if (reply != upper(reply) || !wholeReply(reply) || startsWith(reply, "250") ||
            (recipient && (startsWith(reply, "251") || startsWith(reply, "252"))) ||
            upperReceived.find(reply) == std::string::npos)
            broken();
        at = end;
        ++records;
    }
    return records;
}

struct Fixture {
    std::string folder;
    std::string envelopePath[kEnvelopeCount];
    std::string badPath;
    net::logger log;
    Fixture()
    {
        folder = fuzzScratchFolder();
        for (int i = 0; i < kEnvelopeCount; ++i) {
            envelopePath[i] = folder + "/envelope" + std::to_string(i);
            if (kEnvelopes[i] &&
                !fuzzWriteFile(envelopePath[i], reinterpret_cast<const uint8_t*>(kEnvelopes[i]),
                               std::strlen(kEnvelopes[i])))
                std::abort();
        }
        badPath = folder + "/box\\smtp.bad";
        log.setLevel(9);  // every line formatted, none written: no file named
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Fixture fx;
    if (size == 0)
        return 0;
    int envelope = data[0] % kEnvelopeCount;
    const Message& m = message(data[0] / kEnvelopeCount % kMessageCount);

    net::ProgressRecorder progress;
    smtp::postgate w;
    w.hostWindow = &progress;
    w.heloDomain = "client.example";
    w.folder = fx.folder + "/box";
    w.useHostName = false;
    w.hostAddress = "127.0.0.1";
    w.envelopePath = fx.envelopePath[envelope];
    w.messagePath = "message";
    w.log = &fx.log;
    w.busy = true;
    Watched* t = nullptr;
    std::string given;  // the bytes the message file handed out
    smtp::SmtpSessionOptions o;
    o.makeSocket = [&] {
        auto s = std::make_unique<Watched>(data + 1, size - 1, w.sendBuffer);
        t = s.get();
        return s;
    };
    o.openContent = [&](const std::string&) -> std::unique_ptr<smtp::ContentFile> {
        if (!m.opens)
            return nullptr;
        return std::make_unique<MemoryContent>(m, given);
    };
    smtp::runSmtpSession(w, o);

    const auto& pairs = progress.pairs;
    if (pairs.size() < 2 || pairs.front() != std::make_pair(0, 1) ||
        pairs.back() != std::make_pair(0, 500) || w.busy || t->closes != 1)
        broken();
    if (given.compare(0, t->content.size(), t->content) != 0 || t->content.size() > given.size())
        broken();
    int refusals = 0;
    bool posted100 = false;
    for (const auto& p : pairs) {
        refusals += (p == std::make_pair(51, -1) || p == std::make_pair(52, -1));
        posted100 = posted100 || p == std::make_pair(0, 100);
    }
    if (posted100 && (t->content != given || t->endSentAt != given.size()))
        broken();
    if (posted100 && m.failingRead == 0 && given != m.bytes)
        broken();

    std::string bad;
    if (std::FILE* f = std::fopen(fx.badPath.c_str(), "rb")) {
        char b[4096];
        std::size_t n;
        while ((n = std::fread(b, 1, sizeof b, f)) > 0)
            bad.append(b, n);
        std::fclose(f);
        ::unlink(fx.badPath.c_str());
    }
    if (checkRefusals(bad, *t) != refusals)
        broken();
    return 0;
}
