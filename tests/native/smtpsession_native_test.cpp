// The SMTP session natively, behind a scripted transport. Each dialogue runs
// with the relay's replies split into receives of every size from 1 byte up
// and whole, and must give the same bytes on the wire, pairs, "smtp.bad"
// and log lines every time; multi-line replies of 600 to 3000 bytes are cut
// at every byte. Then the waits (10 minutes for the reply to the end of the
// message, 120 seconds for every other), the endings: a close, reset or
// silence after every reply of a clean dialogue, and the set-up failures.
#include "logger.h"
#include "postgateworker.h"
#include "progressrecorder.h"
#include "scriptedtransport.h"
#include "smtpsession.h"

#include <gtest/gtest.h>

#include <algorithm>
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
    std::vector<std::size_t> sendAt;  // relay bytes taken when each send went out
    std::vector<int> waits;           // seconds of each wait for data
    Pairs pairs;
    std::string bad;   // "smtp.bad", "-" when there is none
    std::string log;   // the session log, timestamps included
    int closes = 0;
    std::size_t eventsLeft = 0;  // server events the session never took
};

// A reply (or other event) of a dialogue; `whole` keeps it in one event
// whatever the split (a receive still takes at most 500 bytes of it).
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
    smtp::SmtpSessionOptions options;  // the waits; the socket is the script

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
        std::vector<std::size_t> sendAt;
        smtp::SmtpSessionOptions o = options;
        o.makeSocket = [&] {
            auto p = std::make_unique<nettest::ScriptedTransport>(std::move(script), s.connects);
            t = p.get();
            p->onSend = [&sendAt, t](const std::string&) { sendAt.push_back(t->bytesReceived); };
            return p;
        };
        smtp::runSmtpSession(worker, o);
        EXPECT_FALSE(worker.busy);
        Outcome out;
        out.pairs = progress.pairs;
        out.sends = t->sent;
        out.sendAt = sendAt;
        out.waits = t->waits;
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
        reply("220-relay.example ESMTP\r\n220 ready\r\n"),
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
        // RFC 5321 lets the last line be the code alone; a line with
        // something else after its code ends nothing.
        {"bare last lines; a broken line ends no reply",
         plain,
         {reply("220-hi\r\nbanner without code\r\n220\r\n"), reply("250-relay\r\n250\r\n"),
          reply("250\r\n"), reply("250\r\n"), reply("550,no\r\n550\r\n"), reply("354\r\n"),
          reply("250\r\n"), reply("221\r\n")},
         toData + plain.content + kEnd + "QUIT\r\n",
         {{0, 1}, {50, 1}, {51, 1}, {52, -1}, {52, 1}, {0, 100}, {0, 10}, {0, 500}},
         "I said: " + kRcptC + " Mailserver said: 550,NO\r\n550\r\n",
         {logLine(9, "<- 220-HI\r\nBANNER WITHOUT CODE\r\n220"), logLine(9, "<- 250")}},
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
          reply("551-no c\r\n551 really\r\n")},
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

// A multi-line reply of about `size` bytes with the given code, as a relay
// explains a policy refusal: continuation lines "550-5.7.1 ..." of 78 bytes,
// then the last line "550 " and `last`.
std::string longReply(const std::string& code, std::size_t size, const std::string& last)
{
    std::string r;
    for (int n = 1; r.size() + 78 + code.size() + 3 + last.size() <= size; ++n) {
        std::string line = code + "-" + std::to_string(n) + " see the relay's policy";
        line += std::string(76 - line.size(), n % 2 ? 'p' : 'Q');
        r += line + "\r\n";
    }
    return r + code + " " + last + "\r\n";
}

std::string upper(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// One dialogue of the long-reply table: the relay's replies in order, each
// delivered whole or cut in two.
struct LongDialogue {
    const char* name;
    SessionSetup setup;
    std::vector<std::string> replies;
    std::string wire;
    Pairs pairs;
    std::string bad;                     // "-": none
    std::vector<std::string> loggedOnce;  // replies (as received) logged once, whole and upper-cased
};

std::vector<LongDialogue> longDialogues()
{
    const SessionSetup plain;  // recipients <b@there> and <c@there>
    SessionSetup one;
    one.envelope = "<a@here>\r\n<b@there>\r\n";
    const std::string greeting = longReply("220", 700, "relay.example ESMTP ready");
    const std::string refusedB = longReply("550", 3000, "5.7.1 <b@there>: Recipient address rejected");
    const std::string acceptedC = longReply("250", 1200, "2.1.5 Ok");
    const std::string queued = longReply("250", 2000, "2.0.0 Ok: queued as 4F2A");
    const std::string forwardB = longReply("251", 800, "2.1.5 User not local; will forward");
    const std::string rejected = longReply("554", 1500, "5.7.1 Message rejected by content filter");
    const std::string senderBad = longReply("553", 900, "5.7.1 <a@here>: Sender address rejected");
    const std::string greetingBad = longReply("554", 600, "5.7.1 No service for you");
    const std::string toData = kHelo + kMail + kRcptB + kRcptC + "DATA\r\n";
    const std::string cannotVrfy = "252 2.1.5 Cannot VRFY user, but will accept message\r\n";

    return {
        {"long greeting, RCPT TO refused and accepted, end of data",
         plain,
         {greeting, "250 relay\r\n", "250 ok\r\n", refusedB, acceptedC, "354 go\r\n", queued,
          "221 bye\r\n"},
         toData + plain.content + kEnd + "QUIT\r\n",
         {{0, 1}, {50, 1}, {51, 1}, {52, -1}, {52, 1}, {0, 100}, {0, 10}, {0, 500}},
         "I said: " + kRcptB + " Mailserver said: " + upper(refusedB),
         {greeting, refusedB, acceptedC, queued}},
        {"251 and 252 accept; end of data refused at length",
         plain,
         {"220 hi\r\n", "250 relay\r\n", "250 ok\r\n", forwardB, cannotVrfy, "354 go\r\n", rejected,
          "221 bye\r\n"},
         toData + plain.content + kEnd + "QUIT\r\n",
         {{0, 1}, {50, 1}, {51, 1}, {52, 1}, {0, 100}, {-1, 10}, {0, 10}, {0, 500}},
         "-",
         {forwardB, rejected}},
        {"the only recipient 252: the message goes",
         one,
         {"220 hi\r\n", "250 relay\r\n", "250 ok\r\n", cannotVrfy, "354 go\r\n", "250 ok\r\n",
          "221 bye\r\n"},
         kHelo + kMail + kRcptB + "DATA\r\n" + plain.content + kEnd + "QUIT\r\n",
         {{0, 1}, {50, 1}, {51, 1}, {52, 1}, {0, 100}, {0, 10}, {0, 500}},
         "-",
         {cannotVrfy}},
        {"the only recipient 251: the message goes",
         one,
         {"220 hi\r\n", "250 relay\r\n", "250 ok\r\n", "251 will forward\r\n", "354 go\r\n",
          "250 ok\r\n", "221 bye\r\n"},
         kHelo + kMail + kRcptB + "DATA\r\n" + plain.content + kEnd + "QUIT\r\n",
         {{0, 1}, {50, 1}, {51, 1}, {52, 1}, {0, 100}, {0, 10}, {0, 500}},
         "-",
         {}},
        {"sender refused at length",
         plain,
         {"220 hi\r\n", "250 relay\r\n", senderBad},
         kHelo + kMail,
         {{0, 1}, {50, 1}, {51, -1}, {0, 500}},
         "I said: " + kMail + " Mailserver said: " + upper(senderBad),
         {senderBad}},
        {"greeting refused at length: nothing sent",
         plain,
         {greetingBad},
         "",
         {{0, 1}, {50, -1}, {0, 500}},
         "-",
         {greetingBad}},
    };
}

// Each long dialogue with every reply cut in two at every byte (reply i at
// k modulo its length, 0 leaving it whole), and in receives of 1, 3 and 499
// bytes: the same wire, pairs and "smtp.bad" every time, each long reply
// logged once, whole, and every command sent only after the whole reply
// before it.
TEST(SmtpSessionNative, LongMultiLineRepliesAreOneReplyWhereverTheyAreCut)
{
    Runner r;
    for (const LongDialogue& d : longDialogues()) {
        std::size_t longest = 0;
        std::vector<std::size_t> ends = {0};  // relay bytes at the end of each reply
        for (const std::string& reply : d.replies) {
            longest = std::max(longest, reply.size());
            ends.push_back(ends.back() + reply.size());
        }
        ASSERT_LE(longest, 3000u);
        std::vector<std::pair<std::size_t, std::size_t>> runs;  // (cut, split)
        for (std::size_t k = 0; k < longest; ++k)
            runs.emplace_back(k, 0);
        for (std::size_t split : {1, 3, 499})
            runs.emplace_back(0, split);
        for (const auto& run : runs) {
            std::vector<Event> events;
            for (const std::string& reply : d.replies) {
                std::size_t at = run.first % reply.size();
                if (at != 0)
                    events.push_back(wholeReply(reply.substr(0, at)));
                events.push_back(wholeReply(reply.substr(at)));
                if (run.second != 0)
                    events.back().whole = false;
            }
            Outcome o = r.run(events, run.second, d.setup);
            // One failure report per dialogue and kind of run, not thousands.
            bool same = o.wire == d.wire && o.pairs == d.pairs && o.bad == d.bad && o.closes == 1;
            for (const std::string& reply : d.loggedOnce) {
                std::string l = "\t9\t<- " + upper(reply.substr(0, reply.size() - 2)) + "\n";
                same = same && count(o.log, l) == 1;
            }
            for (std::size_t at : o.sendAt)
                same = same && std::find(ends.begin(), ends.end(), at) != ends.end();
            if (!same) {
                ADD_FAILURE() << d.name << ", cut at " << run.first << ", split " << run.second;
                EXPECT_EQ(o.wire, d.wire);
                EXPECT_EQ(o.pairs, d.pairs);
                EXPECT_EQ(o.bad, d.bad);
                break;
            }
        }
    }
}

// The waits the session asks for, state by state, with the library's
// values and with shortened ones: the reply to the end of the message is
// waited for 10 minutes (every receive of it), every other 120 seconds.
TEST(SmtpSessionNative, EndOfDataReplyIsWaitedForLongerThanTheOthers)
{
    const std::string queued = longReply("250", 1500, "2.0.0 Ok: queued");
    const std::vector<Event> events = {
        reply("220 hi\r\n"), reply("250 relay\r\n"), reply("250 ok\r\n"), reply("250 ok\r\n"),
        reply("250 ok\r\n"), reply("354 go\r\n"), wholeReply(queued), reply("221 bye\r\n")};
    struct Case {
        int receiveWait, dataEndWait;
    };
    for (const Case& c : {Case{120, 600}, Case{1, 3}}) {
        SCOPED_TRACE(std::to_string(c.receiveWait) + "/" + std::to_string(c.dataEndWait));
        Runner r;
        if (c.receiveWait != 120) {
            r.options.receiveWaitSeconds = c.receiveWait;
            r.options.dataEndWaitSeconds = c.dataEndWait;
        }
        Outcome o = r.run(events, 0);
        ASSERT_EQ(o.pairs.back(), std::make_pair(0, 500));
        // Six short replies, the long one in receives of 500 bytes, the
        // QUIT reply, then the close.
        std::vector<int> want(6, c.receiveWait);
        want.insert(want.end(), (queued.size() + 499) / 500, c.dataEndWait);
        want.insert(want.end(), 2, c.receiveWait);
        EXPECT_EQ(o.waits, want);
    }

    // A relay that is silent after the end of the message: the time-out
    // ending once the longer wait has run out, the end-of-data line again.
    Runner r;
    r.options.dataEndWaitSeconds = 2;
    Outcome o = r.run({reply("220 hi\r\n"), reply("250 relay\r\n"), reply("250 ok\r\n"),
                       reply("250 ok\r\n"), reply("250 ok\r\n"), reply("354 go\r\n"),
                       fault(ServerEvent::kSilence)},
                      0);
    EXPECT_EQ(o.waits.back(), 2);
    EXPECT_EQ(o.sends.back(), kEnd);
    EXPECT_EQ(o.pairs, (Pairs{{0, 1}, {50, 1}, {51, 1}, {52, 1}, {0, 100}, {100, -1}, {0, 500}}));
}

// A relay that sends continuation lines and never the last line: the
// session stops holding them at the reply limit, in every state that takes
// a reply whole.
TEST(SmtpSessionNative, EndlessContinuationLinesEndTheSessionAtTheLimit)
{
    const std::vector<std::string> replies = {"220 hi\r\n", "250 relay\r\n", "250 ok\r\n",
                                              "250 ok\r\n", "250 ok\r\n",    "354 go\r\n"};
    Runner r;
    for (std::size_t k : {0, 2, 3, 6}) {
        SCOPED_TRACE("after " + std::to_string(k) + " replies");
        std::vector<Event> events;
        for (std::size_t i = 0; i < k; ++i)
            events.push_back(reply(replies[i]));
        for (int i = 0; i < 2000; ++i)  // about 200 KB, then a last line that must not be reached
            events.push_back(reply("250-" + std::string(96, 'c') + "\r\n"));
        events.push_back(reply("250 end\r\n"));
        Outcome o = r.run(events, 0);
        ASSERT_GE(o.pairs.size(), 2u);
        EXPECT_EQ(o.pairs[o.pairs.size() - 2], std::make_pair(101, -1));
        EXPECT_EQ(o.pairs.back(), std::make_pair(0, 500));
        EXPECT_NE(o.log.find("\t1\tSMTP Client closed, reply without last line too long.\n"),
                  std::string::npos);
        EXPECT_GT(o.eventsLeft, 1000u);
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
