// The SMTP session natively, behind a scripted transport. Each dialogue runs
// with the relay's replies split into receives of every size from 1 byte up
// and whole, and must give the same bytes on the wire, pairs, "smtp.bad"
// and log lines every time. Then the endings: a close, reset or silence
// after every reply of a clean dialogue, and the set-up failures.
#include "logger.h"
#include "postgateworker.h"
#include "progressrecorder.h"
#include "scriptedtransport.h"
#include "smtpsession.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

using nettest::ServerEvent;
using Pairs = std::vector<std::pair<int, int>>;

std::string readAll(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

void writeAll(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

int count(const std::string& text, const std::string& what)
{
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// A scratch folder per test; the worker's folder is "box" inside it, so the
// refusal file ("box\smtp.bad", one name on POSIX) lands inside it too.
class Scratch {
public:
    Scratch()
    {
        char pattern[] = "/tmp/tarnsmtp.XXXXXX";
        if (!::mkdtemp(pattern))
            std::abort();
        path = pattern;
    }
    ~Scratch() { std::system(("rm -rf '" + path + "'").c_str()); }
    std::string path;
};

struct Outcome {
    std::string wire;  // every byte sent, in order
    std::vector<std::string> sends;
    Pairs pairs;
    std::string bad;   // "smtp.bad", "-" when there is none
    std::string log;   // the session log, timestamps included
    int closes = 0;
    std::size_t eventsLeft = 0;  // server events the session never took
};

// A reply (or other event) of a dialogue; `whole` keeps a multi-line reply
// in one receive where the session takes the whole of a receive as one reply.
struct Event {
    ServerEvent e;
    bool whole = false;
};
Event reply(const std::string& b) { return {{ServerEvent::kBytes, b}, false}; }
Event wholeReply(const std::string& b) { return {{ServerEvent::kBytes, b}, true}; }
Event fault(ServerEvent::Kind k) { return {{k, ""}, false}; }

struct SessionSetup {
    std::string envelope = "<a@here>\r\n<b@there>\r\n<c@there>\r\n";
    std::string content = "Subject: hi\r\n\r\n..dot\r\nbody\r\n";
    bool contentExists = true;
    bool connects = true;
};

class Runner {
public:
    Scratch dir;
    smtp::postgate worker;
    net::logger log;

    Runner()
    {
        worker.folder = dir.path + "/box";
        worker.heloDomain = "client.example";
        worker.useHostName = false;
        worker.hostAddress = "127.0.0.1";
        worker.envelopePath = dir.path + "/envelope";
        worker.messagePath = dir.path + "/message";
        log.setFile((dir.path + "/session.log").c_str());
        log.setLevel(9);
        worker.log = &log;
    }

    // Runs one session; bytes events are cut into receives of at most
    // `split` bytes (0: as given).
    Outcome run(const std::vector<Event>& events, std::size_t split, const SessionSetup& s = SessionSetup())
    {
        std::deque<ServerEvent> script;
        for (const Event& ev : events) {
            const ServerEvent& e = ev.e;
            if (e.kind != ServerEvent::kBytes || split == 0 || ev.whole) {
                script.push_back(e);
                continue;
            }
            for (std::size_t i = 0; i < e.bytes.size(); i += split)
                script.push_back({ServerEvent::kBytes, e.bytes.substr(i, split)});
        }
        writeAll(worker.envelopePath, s.envelope);
        std::remove(worker.messagePath.c_str());
        if (s.contentExists)
            writeAll(worker.messagePath, s.content);
        std::string badPath = worker.folder + "\\smtp.bad";
        std::remove(badPath.c_str());
        std::remove((dir.path + "/session.log").c_str());

        net::ProgressRecorder progress;
        worker.hostWindow = &progress;
        worker.busy = true;
        nettest::ScriptedTransport* t = nullptr;
        smtp::SmtpSessionOptions o;
        o.makeSocket = [&] {
            auto p = std::make_unique<nettest::ScriptedTransport>(std::move(script), s.connects);
            t = p.get();
            return p;
        };
        smtp::runSmtpSession(worker, o);
        EXPECT_FALSE(worker.busy);
        Outcome out;
        out.pairs = progress.pairs;
        out.sends = t->sent;
        for (const std::string& b : t->sent)
            out.wire += b;
        out.closes = t->closes;
        out.eventsLeft = t->eventsLeft();
        out.bad = ::access(badPath.c_str(), F_OK) == 0 ? readAll(badPath) : "-";
        out.log = readAll(dir.path + "/session.log");
        return out;
    }
};

// The wire text of the dialogue's commands, the envelope lines as in SessionSetup.
const std::string kHelo = "HELO client.example\r\n";
const std::string kMail = "MAIL FROM: <a@here>\r\n";
const std::string kRcptB = "RCPT TO: <b@there>\r\n";
const std::string kRcptC = "RCPT TO: <c@there>\r\n";
const std::string kEnd = "\r\n.\r\n";

std::string logLine(int level, const std::string& text)
{
    return "\t" + std::to_string(level) + "\t" + text + "\n";
}

struct Dialogue {
    const char* name;
    SessionSetup setup;
    std::vector<Event> events;
    std::string wire;
    Pairs pairs;
    std::string bad;                   // "-": none
    std::vector<std::string> logLines;  // lines the log must hold
};

std::vector<Dialogue> dialogues()
{
    const SessionSetup plain;
    SessionSetup big;  // 3000 bytes: 68 % after the second chunk (not posted), 100 after the third
    big.content = std::string(2998, 'x') + "\r\n";
    SessionSetup senderOnly;
    senderOnly.envelope = "<a@here>\r\n";
    SessionSetup empty;
    empty.content = "";
    SessionSetup missing;
    missing.contentExists = false;
    SessionSetup longLine;  // 79 bytes per read: the rest of the line is a recipient of its own
    longLine.envelope = "<a@here>\r\n<" + std::string(90, 'r') + ">\r\n";

    const std::vector<Event> upToData = {
        wholeReply("220-relay.example ESMTP\r\n220 ready\r\n"),
        reply("250-relay.example\r\n250-SIZE 100\r\n250 HELP\r\n"), reply("250 2.1.0 Ok\r\n"),
        reply("250 ok\r\n"), reply("250 ok\r\n")};
    auto plus = [](std::vector<Event> a, const std::vector<Event>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const std::vector<Event> dataToEnd = {reply("354 go ahead\r\n"), reply("250 queued as 1\r\n"),
                                          reply("221 bye\r\n")};
    const std::string toData = kHelo + kMail + kRcptB + kRcptC + "DATA\r\n";

    return {
        {"clean, multi-line greeting and HELO reply",
         plain,
         plus(upToData, dataToEnd),
         toData + plain.content + kEnd + "QUIT\r\n",
         {{0, 1}, {50, 1}, {51, 1}, {52, 1}, {0, 100}, {0, 10}, {0, 500}},
         "-",
         {logLine(9, "-> HELO client.example"), logLine(9, "<- 250-relay.example"),
          logLine(9, "<- 250 HELP"), logLine(9, "Message Accepted"), logLine(9, "Session Complete")}},
        {"3000-byte message: 100 % after its third chunk only",
         big,
         plus(upToData, dataToEnd),
         toData + big.content + kEnd + "QUIT\r\n",
         {{0, 1}, {50, 1}, {51, 1}, {52, 1}, {100, 99}, {0, 100}, {0, 10}, {0, 500}},
         "-",
         {logLine(9, "Message Size 3000"), logLine(9, "Bytes sent 1024")}},
        {"empty message: the end-of-data line at once",
         empty,
         plus(upToData, dataToEnd),
         toData + kEnd + "QUIT\r\n",
         {{0, 1}, {50, 1}, {51, 1}, {52, 1}, {0, 100}, {0, 10}, {0, 500}},
         "-",
         {logLine(9, "Message Size 0"), logLine(9, "Bytes sent 0")}},
        {"recipient refused in mixed case",
         plain,
         {reply("220 hi\r\n"), reply("250 relay\r\n"), reply("250 ok\r\n"),
          reply("550 5.1.1 <b@there>: user unknown\r\n"), reply("250 ok\r\n"),
          reply("354 go\r\n"), reply("250 ok\r\n"), reply("221 bye\r\n")},
         toData + plain.content + kEnd + "QUIT\r\n",
         {{0, 1}, {50, 1}, {51, 1}, {52, -1}, {52, 1}, {0, 100}, {0, 10}, {0, 500}},
         "I said: " + kRcptB + " Mailserver said: 550 5.1.1 <B@THERE>: USER UNKNOWN\r\n",
         {logLine(9, "<- 550 5.1.1 <B@THERE>: USER UNKNOWN")}},
        {"every recipient refused: two records, no DATA",
         plain,
         {reply("220 hi\r\n"), reply("250 relay\r\n"), reply("250 ok\r\n"), reply("550 no b\r\n"),
          wholeReply("551-no c\r\n551 really\r\n")},
         kHelo + kMail + kRcptB + kRcptC,
         {{0, 1}, {50, 1}, {51, 1}, {52, -1}, {52, -1}, {52, 1}, {0, 500}},
         "I said: " + kRcptB + " Mailserver said: 550 NO B\r\n" + "I said: " + kRcptC +
             " Mailserver said: 551-NO C\r\n551 REALLY\r\n",
         {}},
        {"sender refused",
         plain,
         {reply("220 hi\r\n"), reply("250 relay\r\n"), reply("553 sender bad\r\n")},
         kHelo + kMail,
         {{0, 1}, {50, 1}, {51, -1}, {0, 500}},
         "I said: " + kMail + " Mailserver said: 553 SENDER BAD\r\n",
         {}},
        {"greeting refused",
         plain,
         {reply("554 go away\r\n")},
         "",
         {{0, 1}, {50, -1}, {0, 500}},
         "-",
         {logLine(9, "<- 554 GO AWAY")}},
        {"sender only: no RCPT, DATA or QUIT",
         senderOnly,
         {reply("220 hi\r\n"), reply("250 relay\r\n"), reply("250 ok\r\n")},
         kHelo + kMail,
         {{0, 1}, {50, 1}, {51, 1}, {0, 500}},
         "-",
         {}},
        {"long envelope line read in 79-byte pieces",
         longLine,
         {reply("220 hi\r\n"), reply("250 relay\r\n"), reply("250 ok\r\n"), reply("250 ok\r\n"),
          reply("250 ok\r\n"), reply("451 later\r\n")},
         kHelo + kMail + "RCPT TO: " + longLine.envelope.substr(10, 79) + "RCPT TO: " +
             longLine.envelope.substr(89) + "DATA\r\n",
         {{0, 1}, {50, 1}, {51, 1}, {52, 1}, {0, 500}},
         "-",
         {}},
        {"DATA not answered 354",
         plain,
         {reply("220 hi\r\n"), reply("250 relay\r\n"), reply("250 ok\r\n"), reply("250 ok\r\n"),
          reply("250 ok\r\n"), reply("451 later\r\n")},
         toData,
         {{0, 1}, {50, 1}, {51, 1}, {52, 1}, {0, 500}},
         "-",
         {logLine(9, "<- 451 LATER")}},
        {"message not accepted, QUIT refused",
         plain,
         {reply("220 hi\r\n"), reply("250 relay\r\n"), reply("250 ok\r\n"), reply("250 ok\r\n"),
          reply("250 ok\r\n"), reply("354 go\r\n"), reply("554 rejected\r\n"), reply("500 what\r\n")},
         toData + plain.content + kEnd + "QUIT\r\n",
         {{0, 1}, {50, 1}, {51, 1}, {52, 1}, {0, 100}, {-1, 10}, {0, 500}},
         "-",
         {logLine(9, "Message NOT Accepted")}},
        {"message file missing: the relay is left waiting",
         missing,
         {reply("220 hi\r\n"), reply("250 relay\r\n"), reply("250 ok\r\n"), reply("250 ok\r\n"),
          reply("250 ok\r\n"), reply("354 go\r\n")},
         toData,
         {{0, 1}, {50, 1}, {51, 1}, {52, 1}, {0, 500}},
         "-",
         {"unable to open "}},
        {"HELO refused: ignored until the wait runs out, HELO sent again",
         plain,
         {reply("220 hi\r\n"), reply("550 not you\r\n"), fault(ServerEvent::kSilence)},
         kHelo + kHelo,
         {{0, 1}, {50, 1}, {100, -1}, {0, 500}},
         "-",
         {logLine(9, "<- 550 not you"),
          logLine(3, "Timed out waiting for data, Closing connection")}},
    };
}

TEST(SmtpSessionNative, DialoguesGiveTheSameResultHoweverTheRepliesAreSplit)
{
    Runner r;
    for (const Dialogue& d : dialogues()) {
        for (std::size_t split : {0, 1, 2, 3, 5, 7, 13, 40, 499}) {
            SCOPED_TRACE(std::string(d.name) + ", split " + std::to_string(split));
            Outcome o = r.run(d.events, split, d.setup);
            EXPECT_EQ(o.wire, d.wire);
            EXPECT_EQ(o.pairs, d.pairs);
            EXPECT_EQ(o.bad, d.bad);
            EXPECT_EQ(o.closes, 1);
            for (const std::string& l : d.logLines)
                EXPECT_NE(o.log.find(l), std::string::npos) << l << "\n" << o.log;
        }
    }
}

// A clean dialogue cut by a close, a reset or a silence after its first k
// replies: always (0, 500) last, the fault's pair before it, the content on
// the wire only after the 354, the last command once more on silence.
TEST(SmtpSessionNative, CloseResetOrSilenceAfterEveryReplyEndsTheSession)
{
    const std::vector<std::string> replies = {"220 hi\r\n", "250 relay\r\n", "250 ok\r\n",
                                              "250 ok\r\n", "250 ok\r\n",    "354 go\r\n",
                                              "250 ok\r\n", "221 bye\r\n"};
    struct Fault {
        ServerEvent::Kind kind;
        std::pair<int, int> pair;  // just before (0, 500); (0, 0) for none
        int closedLines;           // "SMTP Client closed." lines
        const char* logLine;
    };
    const Fault faults[] = {
        {ServerEvent::kClose, {0, 0}, 2, "SMTP Client closed."},
        {ServerEvent::kReset, {101, -1}, 1, "\t5\tSMTP Client closed, Connection reset by peer.\n"},
        {ServerEvent::kSilence, {100, -1}, 1, "\t3\tTimed out waiting for data, Closing connection\n"},
    };
    Runner r;
    SessionSetup s;
    for (const Fault& f : faults) {
        for (std::size_t k = 0; k <= replies.size(); ++k) {
            SCOPED_TRACE("fault " + std::to_string(f.kind) + " after " + std::to_string(k) +
                         " replies");
            r.worker.sendBuffer.clear();  // no command left from the previous run
            std::vector<Event> events;
            for (std::size_t i = 0; i < k; ++i)
                events.push_back(reply(replies[i]));
            events.push_back(fault(f.kind));
            Outcome o = r.run(events, 0, s);
            ASSERT_GE(o.pairs.size(), 2u);
            EXPECT_EQ(o.pairs.back(), std::make_pair(0, 500));
            if (f.pair.first != 0)
                EXPECT_EQ(o.pairs[o.pairs.size() - 2], f.pair);
            EXPECT_EQ(o.wire.find(s.content) != std::string::npos, k >= 6);
            EXPECT_EQ(count(o.log, "\tSMTP Client closed.\n"), f.closedLines);
            EXPECT_NE(o.log.find(f.logLine), std::string::npos) << o.log;
            if (f.kind == ServerEvent::kSilence && k > 0) {
                ASSERT_GE(o.sends.size(), 2u);
                EXPECT_EQ(o.sends.back(), o.sends[o.sends.size() - 2]);
            }
            if (f.kind == ServerEvent::kSilence && k == 0)
                EXPECT_TRUE(o.sends.empty());
            EXPECT_EQ(o.closes, 1);
        }
    }
}

// A relay that sends on and on without a line end: the session stops
// holding it at the reply limit and ends as on a failed receive, in the
// greeting, the HELO reply (read line by line) and a later reply alike.
TEST(SmtpSessionNative, EndlessReplyWithoutLineEndEndsTheSessionAtTheLimit)
{
    const std::vector<std::string> replies = {"220 hi\r\n", "250 relay\r\n", "250 ok\r\n"};
    Runner r;
    for (std::size_t k = 0; k < replies.size(); ++k) {
        SCOPED_TRACE("after " + std::to_string(k) + " replies");
        std::vector<Event> events;
        for (std::size_t i = 0; i < k; ++i)
            events.push_back(reply(replies[i]));
        for (int i = 0; i < 400; ++i)  // 400 KB, then a line end that must not be reached
            events.push_back(wholeReply(std::string(1000, 'x')));
        events.push_back(reply("\r\n"));
        Outcome o = r.run(events, 0);
        ASSERT_GE(o.pairs.size(), 2u);
        EXPECT_EQ(o.pairs[o.pairs.size() - 2], std::make_pair(101, -1));
        EXPECT_EQ(o.pairs.back(), std::make_pair(0, 500));
        EXPECT_NE(o.log.find("\t1\tSMTP Client closed, reply without line end too long.\n"),
                  std::string::npos) << o.log;
        EXPECT_GT(o.eventsLeft, 300u);  // stopped near 64 KB, not at the end
        EXPECT_EQ(o.closes, 1);
    }
}

// The time-out resends the worker's last command even when it dates from
// the worker's previous session.
TEST(SmtpSessionNative, SilenceAtTheStartResendsThePreviousSessionsLastCommand)
{
    Runner r;
    r.run({reply("220 hi\r\n"), reply("250 relay\r\n"), reply("553 no\r\n")}, 0);
    Outcome o = r.run({fault(ServerEvent::kSilence)}, 0);
    EXPECT_EQ(o.wire, kMail);
    EXPECT_EQ(o.pairs, (Pairs{{0, 1}, {100, -1}, {0, 500}}));
    EXPECT_EQ(o.bad, "-");  // a session without refusals leaves none behind here
}

TEST(SmtpSessionNative, SetUpFailuresPostTheirPairAndNoClosing)
{
    Runner r;
    SessionSetup refused;
    refused.connects = false;
    Outcome o = r.run({}, 0, refused);
    EXPECT_EQ(o.pairs, (Pairs{{100, -1}}));
    EXPECT_NE(o.log.find(logLine(1, "SMTP Client connect failed: Connection refused")),
              std::string::npos)
        << o.log;
    EXPECT_EQ(count(o.log, "SMTP Client closed."), 0);

    net::ProgressRecorder progress;
    r.worker.hostWindow = &progress;
    r.worker.busy = true;
    smtp::SmtpSessionOptions none;
    none.makeSocket = [] { return std::unique_ptr<net::Transport>(); };
    smtp::runSmtpSession(r.worker, none);
    EXPECT_EQ(progress.pairs, (Pairs{{10, -1}}));
    EXPECT_FALSE(r.worker.busy);
}

}  // namespace
