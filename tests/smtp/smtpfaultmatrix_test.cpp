// The fault matrix of the SMTP session: in every state (greeting 100, HELO
// 101, MAIL FROM 102, RCPT TO 103 for the first, the last and every one of
// several recipients, DATA 105, end of data 104, QUIT 107 and the wait for
// the relay's close after a QUIT answered) the relay refuses, closes, resets
// or falls silent. Each run is checked for the exact bytes the relay
// received, the exact progress pairs, the log's ending and its failure
// lines, and "smtp.bad"; and for the rule that no content byte leaves
// before the relay has answered DATA with 354.
//
// Every case runs twice: over a real loopback socket against the scripted
// server, and over a scripted transport. Over the socket two faults cannot
// be staged: a reset where the client has sent nothing the server could
// wait for (the greeting, the wait after the QUIT reply), and, under Wine, a
// reset that arrives while the client waits for readability rather than in
// a blocked receive is reported as a peer close (as every loopback reset of
// this matrix is here: the session waits for data before it receives). Those
// runs accept the close ending; the scripted transport gives the reset
// ending in every state.
#include "scriptserver.h"
#include "smtpharness.h"
#include "errortext.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using smtptest::FakeTransport;
using smtptest::Pairs;
using smtptest::SmtpRun;
using testsupport::ScriptServer;
using testsupport::ScriptStep;
using Lines = std::vector<std::string>;

const std::string kEnvelope = "<a@here>\r\n<b@there>\r\n<c@there>\r\n";
// Three chunks: 1024, 2048 (68 %, not posted), 3000 (100 %, posted).
const std::string kContent = "Subject: fault matrix\r\n\r\n" + smtptest::messageText(2975);
const std::string kBody = kContent + "\r\n.\r\n";

const std::string kClosed = "8\tSMTP Client closed.";
const std::string kTimedOut = "3\tTimed out waiting for data, Closing connection";
const std::string kReset = "5\tSMTP Client closed, Connection reset by peer.";
const std::string kClose = "<close>";  // in a dialogue: the relay closes

// One "C:" step per line the client sends.
std::vector<std::string> clientLines(const std::string& bytes)
{
    std::vector<std::string> lines;
    for (std::size_t at = bytes.find("\r\n"); at != std::string::npos; at = bytes.find("\r\n", at + 2))
        lines.push_back("C:");
    return lines;
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Pairs operator+(Pairs a, const Pairs& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::string record(const std::string& command, const std::string& reply)
{
    return "I said: " + command + " Mailserver said: " + reply;
}

// The relay's side as script steps; kClose becomes a graceful close.
std::vector<ScriptStep> steps(const std::vector<std::string>& dialogue)
{
    std::vector<ScriptStep> out;
    for (const std::string& d : dialogue) {
        if (d == kClose)
            out.push_back(testsupport::closeConnection());
        else
            out = out + testsupport::dialogue({d});
    }
    return out;
}

// The relay's replies of a dialogue, one scripted receive each.
void addReplies(FakeTransport& fake, const std::vector<std::string>& dialogue)
{
    for (const std::string& d : dialogue) {
        if (d != kClose && d.rfind("C:", 0) != 0)
            fake.receives.push_back({d});
    }
}

struct Stage {
    int state;
    const char* name;
    std::vector<std::string> prior;  // the relay's side up to the reply that makes the client send `command`
    std::string sentBefore;          // what the client has sent before `command`
    std::string command;             // the client's bytes whose reply the state awaits
    std::string resend;              // sent again on the time-out
    Pairs pairs;                     // posted by then
    std::string lastLine;            // the log's last line by then
    std::string badBefore;           // "smtp.bad" by then ("" none)
    // The refusal in this state; empty where no reply is awaited.
    std::string refusal;
    std::vector<std::string> afterRefusal;  // the relay's side after it (silent unless it ends in kClose)
    std::string refusalSent;                // what the client sends after the refusal
    Pairs refusalPairs;                     // posted after it, before (0, 500)
    Lines refusalTail;                      // the log's last lines
    std::string refusalBad;                 // "smtp.bad" afterwards
};

std::vector<Stage> stages()
{
    const std::string helo = "HELO here.example\r\n";
    const std::string mail = "MAIL FROM: <a@here>\r\n";
    const std::string rcptB = "RCPT TO: <b@there>\r\n";
    const std::string rcptC = "RCPT TO: <c@there>\r\n";
    const std::string data = "DATA\r\n";
    const std::string quit = "QUIT\r\n";
    const std::vector<std::string> finish = std::vector<std::string>{"354 go\r\n"} + clientLines(kBody) +
                                            std::vector<std::string>{"250 queued\r\n", "C:QUIT", "221 bye\r\n", kClose};
    const Lines complete = {"9\t<- 221 BYE", "9\tSession Complete", kClosed, kClosed};
    const Pairs delivered = {{52, 1}, {100, 99}, {0, 100}, {0, 10}};

    const std::vector<std::string> p101 = {"220 hi\r\n"};
    const std::vector<std::string> p102 = p101 + clientLines(helo) + std::vector<std::string>{"250 relay\r\n"};
    const std::vector<std::string> pRcptB = p102 + clientLines(mail) + std::vector<std::string>{"250 ok\r\n"};
    const std::vector<std::string> pRcptC = pRcptB + clientLines(rcptB) + std::vector<std::string>{"250 ok\r\n"};
    const std::vector<std::string> pRcptCRefusedB = pRcptB + clientLines(rcptB) + std::vector<std::string>{"550 no b\r\n"};
    const std::vector<std::string> p105 = pRcptC + clientLines(rcptC) + std::vector<std::string>{"250 ok\r\n"};
    const std::vector<std::string> p104 = p105 + clientLines(data) + std::vector<std::string>{"354 go\r\n"};
    const std::vector<std::string> p107 = p104 + clientLines(kBody) + std::vector<std::string>{"250 queued\r\n"};
    const std::vector<std::string> pClose = p107 + clientLines(quit) + std::vector<std::string>{"221 bye\r\n"};

    const std::string upToRcpt = helo + mail;
    const std::string upToData = upToRcpt + rcptB + rcptC;
    const Pairs connected = {{0, 1}};
    const Pairs greeted = {{0, 1}, {50, 1}};
    const Pairs senderAccepted = greeted + Pairs{{51, 1}};
    const Pairs allSent = senderAccepted + Pairs{{52, 1}};
    const Pairs contentSent = allSent + Pairs{{100, 99}, {0, 100}};
    const std::string badB = record(rcptB, "550 NO B\r\n");

    return {
        {100, "greeting", {}, "", "", "", connected, "8\tSMTP Client connected", "",
         "421 busy\r\n", {}, "", {{50, -1}}, {"9\t<- 421 BUSY", kClosed}, ""},
        // A HELO reply with another code is logged as it came and ignored.
        {101, "HELO", p101, "", helo, helo, greeted, "9\t-> HELO here.example", "",
         "550 not you\r\n", {}, helo, {{100, -1}}, {"9\t<- 550 not you", kTimedOut, kClosed}, ""},
        {102, "MAIL FROM", p102, helo, mail, mail, greeted, "9\t-> MAIL FROM: <a@here>", "",
         "553 sender bad\r\n", {}, "", {{51, -1}}, {"9\t<- 553 SENDER BAD", kClosed},
         record(mail, "553 SENDER BAD\r\n")},
        // The first of two recipients refused: the second is still asked for
        // and the message goes to it.
        {103, "RCPT TO, first recipient", pRcptB, upToRcpt, rcptB, rcptB, senderAccepted,
         "9\t-> RCPT TO: <b@there>", "", "550 no b\r\n",
         clientLines(rcptC) + std::vector<std::string>{"250 ok\r\n"} + clientLines(data) + finish,
         rcptC + data + kBody + quit, Pairs{{52, -1}} + delivered, complete, badB},
        {103, "RCPT TO, last recipient", pRcptC, upToRcpt + rcptB, rcptC, rcptC, senderAccepted,
         "9\t-> RCPT TO: <c@there>", "", "450 mailbox busy\r\n", clientLines(data) + finish,
         data + kBody + quit, Pairs{{52, -1}} + delivered, complete,
         record(rcptC, "450 MAILBOX BUSY\r\n")},
        // Every recipient refused: no DATA and no QUIT.
        {103, "RCPT TO, every recipient refused", pRcptCRefusedB, upToRcpt + rcptB, rcptC, rcptC,
         senderAccepted + Pairs{{52, -1}}, "9\t-> RCPT TO: <c@there>", badB, "551 no c\r\n", {}, "",
         {{52, -1}, {52, 1}}, {"9\t<- 551 NO C", kClosed}, badB + record(rcptC, "551 NO C\r\n")},
        {105, "DATA", p105, upToData, data, data, allSent, "9\t-> DATA", "", "451 later\r\n", {}, "", {},
         {"9\t<- 451 LATER", kClosed}, ""},
        // A refused message still gets its QUIT.
        {104, "end of data", p104, upToData + data, kBody, "\r\n.\r\n", contentSent, "9\tMessage Sent", "",
         "554 rejected\r\n", {"C:QUIT", "221 bye\r\n", kClose}, quit, {{-1, 10}, {0, 10}},
         {"9\t<- 554 REJECTED", "9\tMessage NOT Accepted", "9\t-> QUIT", "9\t<- 221 BYE",
          "9\tSession Complete", kClosed, kClosed},
         ""},
        {107, "QUIT", p107, upToData + data + kBody, quit, quit, contentSent, "9\t-> QUIT", "",
         "500 what\r\n", {}, "", {}, {"9\t<- 500 WHAT", kClosed}, ""},
        // QUIT answered: the session waits for the relay to close.
        {107, "QUIT answered", pClose, upToData + data + kBody + quit, "", quit,
         contentSent + Pairs{{0, 10}}, "9\tSession Complete", "", "", {}, "", {}, {}, ""},
    };
}

enum class Fault { Refuse, Close, Reset, Silence };
const char* name(Fault f)
{
    switch (f) {
    case Fault::Refuse: return "refuse";
    case Fault::Close: return "close";
    case Fault::Reset: return "reset";
    default: return "silence";
    }
}

struct Outcome {
    std::string sent;
    Pairs pairs;
    Lines tail;
    std::string bad;
    bool silentAtEnd = false;          // the relay says nothing more at the end
    std::vector<std::string> relay;    // the relay's side
    bool resetStep = false;            // ends in a reset on the client's next bytes
};

Outcome expected(const Stage& st, Fault f)
{
    Outcome o;
    o.sent = st.sentBefore + st.command;
    o.bad = st.badBefore;
    o.relay = st.prior + clientLines(st.command);
    Pairs tailPairs;
    switch (f) {
    case Fault::Refuse:
        o.relay = o.relay + std::vector<std::string>{st.refusal} + st.afterRefusal;
        o.sent += st.refusalSent;
        tailPairs = st.refusalPairs;
        o.tail = st.refusalTail;
        o.bad = st.refusalBad;
        o.silentAtEnd = st.afterRefusal.empty() || st.afterRefusal.back() != kClose;
        break;
    case Fault::Close:
        o.relay.push_back(kClose);
        o.tail = {st.lastLine, kClosed, kClosed};
        break;
    case Fault::Reset:
        o.resetStep = true;
        tailPairs = {{101, -1}};
        o.tail = {st.lastLine, kReset, kClosed};
        break;
    case Fault::Silence:
        o.silentAtEnd = true;
        o.sent += st.resend;
        tailPairs = {{100, -1}};
        o.tail = {st.lastLine, kTimedOut, kClosed};
        break;
    }
    o.pairs = st.pairs + tailPairs + Pairs{{0, 500}};
    return o;
}

bool hasContent(const std::vector<std::string>& relay)
{
    return std::find(relay.begin(), relay.end(), "354 go\r\n") != relay.end();
}

// What every run shares: the pairs, the log's ending and its failure lines,
// "smtp.bad", the files the session was given, the content rule.
void checkRun(SmtpRun& r, const Outcome& want, const std::string& sent, const Pairs& pairs,
              bool contentAccepted)
{
    EXPECT_EQ(sent, want.sent);
    EXPECT_EQ(pairs, want.pairs);
    if (r.log.level() < 2) {
        // None of these endings is a failure of the session's own: a log
        // kept at level 1 stays empty.
        EXPECT_FALSE(testsupport::fileExists(r.logPath));
    }
    Lines lines = r.lines();
    if (r.log.level() >= 9) {
        ASSERT_GE(lines.size(), want.tail.size());
        EXPECT_EQ(Lines(lines.end() - want.tail.size(), lines.end()), want.tail);
    }
    Lines failures;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(failures),
                 [](const std::string& l) { return l.rfind("1\t", 0) == 0; });
    EXPECT_EQ(failures, Lines{});
    if (want.bad.empty()) {
        EXPECT_FALSE(testsupport::fileExists(r.folder + "\\smtp.bad"));
    } else {
        EXPECT_EQ(r.refusals(), want.bad);
    }
    // No content byte before the relay accepted DATA, and then right after it.
    std::size_t at = sent.find("Subject: fault matrix");
    if (!contentAccepted) {
        EXPECT_EQ(at, std::string::npos);
    }
    if (at != std::string::npos) {
        EXPECT_TRUE(contentAccepted);
        EXPECT_EQ(sent.rfind("DATA\r\n", at), at - 6);
    }
    EXPECT_EQ(testsupport::readFile(r.envelopePath), kEnvelope);
    EXPECT_EQ(testsupport::readFile(r.messagePath), kContent);
    EXPECT_EQ(r.worker.envelopeFile, nullptr);
    EXPECT_EQ(r.worker.refusalFile, nullptr);
    EXPECT_FALSE(r.worker.busy);
}

void prepare(SmtpRun& r)
{
    r.envelope(kEnvelope);
    r.message(kContent);
}

TEST(SmtpFaultMatrix, OverLoopback)
{
    for (const Stage& st : stages()) {
        for (Fault f : {Fault::Refuse, Fault::Close, Fault::Reset, Fault::Silence}) {
            if (f == Fault::Refuse && st.refusal.empty())
                continue;
            if (f == Fault::Reset && st.command.empty())
                continue;  // nothing of the client's for the server to reset on
            SCOPED_TRACE(std::to_string(st.state) + " " + st.name + ": " + name(f));
            Outcome want = expected(st, f);
            std::vector<ScriptStep> script;
            if (want.resetStep) {
                // The command itself is left unread and not recorded.
                script = steps(st.prior);
                script.push_back(testsupport::resetConnection(150));
                want.sent = st.sentBefore;
            } else {
                script = steps(want.relay);
            }
            SmtpRun r;
            prepare(r);
            ScriptServer server(script);
            r.run(server.port());
            std::string sent = server.received();
            Pairs pairs = r.pairs();
            Lines lines = r.lines();
            if (f == Fault::Reset && std::count(lines.begin(), lines.end(), kReset) == 0) {
                // Reported as a peer close under Wine: the close ending.
                want.pairs.erase(want.pairs.end() - 2);
                want.tail = {st.lastLine, kClosed, kClosed};
            }
            checkRun(r, want, sent, pairs, hasContent(want.relay));
        }
    }
}

TEST(SmtpFaultMatrix, OverScriptedTransport)
{
    for (const Stage& st : stages()) {
        for (Fault f : {Fault::Refuse, Fault::Close, Fault::Reset, Fault::Silence}) {
            if (f == Fault::Refuse && st.refusal.empty())
                continue;
            for (int level : {9, 1}) {
                SCOPED_TRACE(std::to_string(st.state) + " " + st.name + ": " + name(f) + ", level " +
                             std::to_string(level));
                Outcome want = expected(st, f);
                SmtpRun r;
                prepare(r);
                r.log.setLevel(level);
                FakeTransport fake;
                addReplies(fake, want.relay);
                if (want.resetStep)
                    fake.receives.push_back({"", 10054});
                fake.silentAtEnd = want.silentAtEnd;
                smtptest::useFake(r.options, fake);
                r.run(25);
                checkRun(r, want, fake.sent, r.pairs(), hasContent(want.relay));
                EXPECT_TRUE(fake.closed);
                EXPECT_TRUE(fake.closedWithLinger);
                EXPECT_EQ(fake.lingerSeconds, 600);
            }
        }
    }
}

// A message file whose reads or size query fail where a test says.
class FailingContent : public smtp::ContentFile {
public:
    FailingContent(std::string bytes, int failRead, bool sizeKnown)
        : bytes_(std::move(bytes)), failRead_(failRead), sizeKnown_(sizeKnown) {}
    bool size(long& n) override
    {
        n = static_cast<long>(bytes_.size());
        return sizeKnown_;
    }
    long read(char* buffer, std::size_t max) override
    {
        if (reads_++ == failRead_)
            return -1;
        std::size_t n = std::min(max, bytes_.size() - at_);
        std::copy(bytes_.begin() + at_, bytes_.begin() + at_ + n, buffer);
        at_ += n;
        return static_cast<long>(n);
    }

private:
    std::string bytes_;
    std::size_t at_ = 0;
    int reads_ = 0;
    int failRead_;  // the read that fails (0 the first), -1 none
    bool sizeKnown_;
};

// Faults inside the content transfer, where the session sends and does not
// read: a send that fails at the first chunk, at the chunk that posts its
// percentage, at the end-of-data line (whose result the session does not
// examine), and a message file whose read or size query fails.
TEST(SmtpFaultMatrix, ContentTransferFaults)
{
    const std::string head =
        "HELO here.example\r\nMAIL FROM: <a@here>\r\nRCPT TO: <b@there>\r\nRCPT TO: <c@there>\r\nDATA\r\n";
    const Pairs allSent = {{0, 1}, {50, 1}, {51, 1}, {52, 1}};
    const std::string error = "1\t" + std::string(net::errorText(10053));
    struct Case {
        const char* name;
        int failSendAfter;  // sends that succeed, -1 all
        int failRead;       // the read that fails, -1 none
        bool sizeKnown;
        bool answered;      // the relay answers the end of data and QUIT
        std::string sent;
        Pairs pairs;
        Lines tail;
    };
    const std::vector<Case> cases = {
        {"first chunk not sent", 5, -1, true, false, head, allSent + Pairs{{0, 500}},
         {"9\tBytes sent 1024", error, kClosed}},
        {"third chunk not sent, its percentage posted", 7, -1, true, false, head + kContent.substr(0, 2048),
         allSent + Pairs{{100, 99}, {0, 500}}, {"9\tBytes sent 1024", error, kClosed}},
        {"end-of-data line not sent", 8, -1, true, false, head + kContent,
         allSent + Pairs{{100, 99}, {0, 100}, {101, -1}, {0, 500}}, {"9\tMessage Sent", error, kClosed}},
        {"first read fails", -1, 0, true, false, head, allSent + Pairs{{0, 500}},
         {"9\tMessage Size 3000", kClosed}},
        {"second read fails: the content ends there", -1, 1, true, true,
         head + kContent.substr(0, 1024) + "\r\n.\r\nQUIT\r\n",
         allSent + Pairs{{0, 100}, {0, 10}, {0, 500}}, {"9\tSession Complete", kClosed, kClosed}},
        {"size unknown: no size lines, no percentages", -1, -1, false, true, head + kBody + "QUIT\r\n",
         allSent + Pairs{{0, 100}, {0, 10}, {0, 500}}, {"9\tSession Complete", kClosed, kClosed}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SmtpRun r;
        prepare(r);
        FakeTransport fake;
        fake.receives = {{"220 hi\r\n"}, {"250 relay\r\n"}, {"250 ok\r\n"}, {"250 ok\r\n"}, {"250 ok\r\n"},
                         {"354 go\r\n"}};
        if (c.answered)
            fake.receives.insert(fake.receives.end(), {{"250 queued\r\n"}, {"221 bye\r\n"}});
        else
            fake.receives.push_back({"", 10053});
        fake.failSendAfter = c.failSendAfter;
        smtptest::useFake(r.options, fake);
        r.options.openContent = [&c](const std::string&) {
            return std::unique_ptr<smtp::ContentFile>(new FailingContent(kContent, c.failRead, c.sizeKnown));
        };
        r.run(25);
        EXPECT_EQ(fake.sent, c.sent);
        EXPECT_EQ(r.pairs(), c.pairs);
        Lines lines = r.lines();
        ASSERT_GE(lines.size(), c.tail.size());
        EXPECT_EQ(Lines(lines.end() - c.tail.size(), lines.end()), c.tail);
        bool sizeLines = std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
            return l.rfind("9\tMessage Size", 0) == 0 || l.rfind("9\tBytes sent", 0) == 0;
        });
        EXPECT_EQ(sizeLines, c.sizeKnown);
        EXPECT_TRUE(fake.closed);
        EXPECT_FALSE(testsupport::fileExists(r.folder + "\\smtp.bad"));
    }
}

}  // namespace
