// The SMTP session against a scripted relay on loopback: the exact bytes
// the relay receives, the progress pairs read from a real window, the log
// lines and the refusal file.
#include "scriptserver.h"
#include "smtpharness.h"
#include "errortext.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

using smtptest::line;
using smtptest::Pairs;
using smtptest::SmtpRun;
using testsupport::ScriptServer;
using testsupport::ScriptStep;
using testsupport::dialogue;
using testsupport::expectLine;
using testsupport::pause;
using testsupport::sendBytes;

using P = std::pair<int, int>;

// The relay's side up to and including the DATA line, one recipient.
std::vector<ScriptStep> upToData()
{
    return dialogue({"220 relay ready\r\n", "C:HELO", "250 relay\r\n", "C:MAIL", "250 ok\r\n",
                     "C:RCPT", "250 ok\r\n", "C:DATA"});
}

// Reads the content lines of `content` and the end-of-data line.
std::vector<ScriptStep> contentLines(const std::string& content)
{
    std::string all = content + "\r\n.\r\n";
    std::vector<ScriptStep> steps;
    for (std::size_t at = all.find("\r\n"); at != std::string::npos; at = all.find("\r\n", at + 2))
        steps.push_back(expectLine(""));
    return steps;
}

std::vector<ScriptStep> quitAndClose()
{
    return dialogue({"250 queued\r\n", "C:QUIT", "221 bye\r\n"}) +
           std::vector<ScriptStep>{testsupport::closeConnection()};
}

int count(const std::string& text, const std::string& what)
{
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

bool hasLine(const std::vector<std::string>& lines, const std::string& l)
{
    return std::find(lines.begin(), lines.end(), l) != lines.end();
}

TEST(SmtpSession, CleanSessionAsTheRelaySeesIt)
{
    SmtpRun r;
    std::string content = "Subject: t\r\n\r\nhello\r\n";
    r.message(content);
    ScriptServer server(upToData() + dialogue({"354 go ahead\r\n"}) + contentLines(content) +
                        quitAndClose());
    r.run(server.port());
    EXPECT_EQ(server.received(),
              "HELO here.example\r\nMAIL FROM: <a@here>\r\nRCPT TO: <b@there>\r\nDATA\r\n"
              "Subject: t\r\n\r\nhello\r\n\r\n.\r\nQUIT\r\n");
    EXPECT_EQ(r.pairs(), (Pairs{{0, 1}, {50, 1}, {51, 1}, {52, 1}, {0, 100}, {0, 10}, {0, 500}}));
    std::string size = std::to_string(content.size());
    EXPECT_EQ(r.lines(), (std::vector<std::string>{
                             line(5, "SMTP Client contacting host at 127.0.0.1"),
                             line(8, "SMTP Client connected"),
                             line(9, "<- 220 RELAY READY"),
                             line(9, "-> HELO here.example"),
                             line(9, "<- 250 relay"),
                             line(9, "-> MAIL FROM: <a@here>"),
                             line(9, "<- 250 OK"),
                             line(9, "-> RCPT TO: <b@there>"),
                             line(9, "<- 250 OK"),
                             line(9, "-> DATA"),
                             line(9, "<- 354 GO AHEAD"),
                             line(9, "Message Size " + size),
                             line(9, "Bytes sent " + size),
                             line(9, "Message Sent"),
                             line(9, "<- 250 QUEUED"),
                             line(9, "Message Accepted"),
                             line(9, "-> QUIT"),
                             line(9, "<- 221 BYE"),
                             line(9, "Session Complete"),
                             line(8, "SMTP Client closed."),
                             line(8, "SMTP Client closed."),
                         }));
    EXPECT_FALSE(testsupport::fileExists(r.folder + "\\smtp.bad"));
    EXPECT_FALSE(r.worker.busy);
    EXPECT_EQ(r.worker.envelopeFile, nullptr);
}

TEST(SmtpSession, ThreeLineHeloReplyInOneReceiveOrThree)
{
    for (bool split : {false, true}) {
        SCOPED_TRACE(split ? "three receives" : "one receive");
        SmtpRun r;
        r.envelope("<a@here>\r\n");
        std::vector<ScriptStep> helo;
        if (split) {
            helo = {sendBytes("250-relay\r\n"), pause(200), sendBytes("250-SIZE 100\r\n"),
                    pause(200), sendBytes("250 HELP\r\n")};
        } else {
            helo = {sendBytes("250-relay\r\n250-SIZE 100\r\n250 HELP\r\n")};
        }
        ScriptServer server(dialogue({"220 hi\r\n", "C:HELO"}) + helo +
                            dialogue({"C:MAIL", "250 ok\r\n"}));
        r.run(server.port());
        std::string got = server.received();
        EXPECT_EQ(got, "HELO here.example\r\nMAIL FROM: <a@here>\r\n");
        std::vector<std::string> lines = r.lines();
        std::vector<std::string> heloLines(lines.begin() + 4, lines.begin() + 8);
        EXPECT_EQ(heloLines, (std::vector<std::string>{line(9, "<- 250-relay"),
                                                       line(9, "<- 250-SIZE 100"),
                                                       line(9, "<- 250 HELP"),
                                                       line(9, "-> MAIL FROM: <a@here>")}));
        // Sender line only: no RCPT TO, DATA or QUIT, and no (52, ...) pair.
        EXPECT_EQ(r.pairs(), (Pairs{{0, 1}, {50, 1}, {51, 1}, {0, 500}}));
    }
}

TEST(SmtpSession, RefusedHeloEndsByTheTimeOutSendingHeloAgain)
{
    SmtpRun r;
    ScriptServer server(dialogue({"220 hi\r\n", "C:HELO", "550 not you\r\n"}));
    r.run(server.port());
    EXPECT_EQ(server.received(), "HELO here.example\r\nHELO here.example\r\n");
    EXPECT_EQ(r.pairs(), (Pairs{{0, 1}, {50, 1}, {100, -1}, {0, 500}}));
    std::vector<std::string> lines = r.lines();
    std::vector<std::string> tail(lines.end() - 3, lines.end());
    EXPECT_EQ(tail, (std::vector<std::string>{
                        line(9, "<- 550 not you"),
                        line(3, "Timed out waiting for data, Closing connection"),
                        line(8, "SMTP Client closed.")}));
}

TEST(SmtpSession, ReplySplitOverReceivesIsTakenOnce)
{
    SmtpRun r;
    r.envelope("<a@here>\r\n");
    ScriptServer server(dialogue({"220 hi\r\n", "C:HELO", "250 relay\r\n", "C:MAIL"}) +
                        std::vector<ScriptStep>{sendBytes("25"), pause(300), sendBytes("0 ok\r\n")});
    r.run(server.port());
    EXPECT_EQ(r.pairs(), (Pairs{{0, 1}, {50, 1}, {51, 1}, {0, 500}}));
    std::vector<std::string> lines = r.lines();
    EXPECT_TRUE(hasLine(lines, line(9, "<- 250 OK")));
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.rfind("9\t<- 25", 0) == 0; }),
              2);  // the HELO reply and the sender's
}

TEST(SmtpSession, MultiLineRepliesCountAsOneOutsideHelo)
{
    SmtpRun r;
    std::string content = "x\r\n";
    r.message(content);
    ScriptServer server(
        dialogue({"220-first line\r\n220 second\r\n", "C:HELO", "250 relay\r\n", "C:MAIL",
                  "250-ok\r\n250 really\r\n", "C:RCPT", "550-no\r\n250 yes\r\n"}));
    r.run(server.port());
    // Only the first characters decide: the recipient reply is a refusal.
    EXPECT_EQ(server.received(),
              "HELO here.example\r\nMAIL FROM: <a@here>\r\nRCPT TO: <b@there>\r\n");
    EXPECT_EQ(r.pairs(), (Pairs{{0, 1}, {50, 1}, {51, 1}, {52, -1}, {52, 1}, {0, 500}}));
    EXPECT_EQ(r.refusals(),
              "I said: RCPT TO: <b@there>\r\n Mailserver said: 550-NO\r\n250 YES\r\n");
    std::string log = testsupport::readFile(r.logPath);
    EXPECT_EQ(count(log, "<- 220-FIRST LINE"), 1);
    EXPECT_EQ(count(log, "-> HELO"), 1);
}

std::string upper(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// A multi-line reply of about `size` bytes, as a relay explains a policy:
// continuation lines "550-<tag> ..." of 78 bytes, then "550 " and `last`.
std::string longReply(const std::string& code, const std::string& tag, std::size_t size,
                      const std::string& last)
{
    std::string r;
    for (int n = 1; r.size() + 78 + code.size() + 3 + last.size() <= size; ++n) {
        std::string l = code + "-" + tag + " line " + std::to_string(n) + " of the policy";
        l += std::string(76 - l.size(), '.');
        r += l + "\r\n";
    }
    return r + code + " " + last + "\r\n";
}

// How a long reply reaches the client: whole, or in four sends with pauses
// between them, cut right after its first line end (the receive then ends
// in a line end, mid-reply), in the middle of its second line, and between
// the CR and the LF of its last line.
std::vector<ScriptStep> delivered(const std::string& reply, bool cut)
{
    if (!cut)
        return {sendBytes(reply)};
    std::size_t first = reply.find("\r\n") + 2;
    std::size_t middle = first + 30;
    std::size_t lastCr = reply.size() - 1;
    return {sendBytes(reply.substr(0, first)), pause(150),
            sendBytes(reply.substr(first, middle - first)), pause(150),
            sendBytes(reply.substr(middle, lastCr - middle)), pause(150),
            sendBytes(reply.substr(lastCr))};
}

// Long multi-line replies to the greeting, to a refused and an accepted
// RCPT TO and to the end of the message, over loopback, each delivered
// whole and cut: one reply each, the message sent to the accepted
// recipient, the refusal recorded whole.
TEST(SmtpSession, LongMultiLineRepliesAreOneReplyHoweverTheyArrive)
{
    const std::string greeting = longReply("220", "banner", 700, "relay ready");
    const std::string refused = longReply("550", "rejected", 3000, "5.7.1 <b@there>: Recipient rejected");
    const std::string accepted = longReply("250", "accepted", 1200, "2.1.5 Ok");
    const std::string queued = longReply("250", "queued", 2000, "2.0.0 Ok: queued as 4F2A");
    const std::string content = "Subject: t\r\n\r\nhello\r\n";
    for (bool cut : {false, true}) {
        SCOPED_TRACE(cut ? "cut" : "whole");
        SmtpRun r;
        r.envelope("<a@here>\r\n<b@there>\r\n<c@there>\r\n");
        r.message(content);
        ScriptServer server(delivered(greeting, cut) +
                            dialogue({"C:HELO", "250 relay\r\n", "C:MAIL", "250 ok\r\n", "C:RCPT"}) +
                            delivered(refused, cut) + dialogue({"C:RCPT"}) + delivered(accepted, cut) +
                            dialogue({"C:DATA", "354 go\r\n"}) + contentLines(content) +
                            delivered(queued, cut) +
                            dialogue({"C:QUIT", "221 bye\r\n"}) +
                            std::vector<ScriptStep>{testsupport::closeConnection()});
        r.run(server.port());
        EXPECT_EQ(server.received(),
                  "HELO here.example\r\nMAIL FROM: <a@here>\r\nRCPT TO: <b@there>\r\n"
                  "RCPT TO: <c@there>\r\nDATA\r\n" + content + "\r\n.\r\nQUIT\r\n");
        EXPECT_EQ(r.pairs(),
                  (Pairs{{0, 1}, {50, 1}, {51, 1}, {52, -1}, {52, 1}, {0, 100}, {0, 10}, {0, 500}}));
        EXPECT_EQ(r.refusals(), "I said: RCPT TO: <b@there>\r\n Mailserver said: " + upper(refused));
        // Eight replies, each logged once.
        std::vector<std::string> lines = r.lines();
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [](const std::string& l) { return l.rfind("9\t<- ", 0) == 0; }),
                  8);
        EXPECT_TRUE(hasLine(lines, line(9, "Message Accepted")));
    }
}

// The reply to the end of the message is waited for longer than any other:
// here the receive wait is 1 second, the end-of-data wait 6, and the relay
// answers the end of the message after 2.5 seconds.
TEST(SmtpSession, SlowReplyToTheEndOfTheMessageIsWaitedFor)
{
    SmtpRun r;
    r.options.receiveWaitSeconds = 1;
    r.options.dataEndWaitSeconds = 6;
    std::string content = "Subject: t\r\n\r\nhello\r\n";
    r.message(content);
    ScriptServer server(upToData() + dialogue({"354 go ahead\r\n"}) + contentLines(content) +
                        std::vector<ScriptStep>{pause(2500)} + quitAndClose());
    r.run(server.port());
    EXPECT_EQ(server.received(),
              "HELO here.example\r\nMAIL FROM: <a@here>\r\nRCPT TO: <b@there>\r\nDATA\r\n" + content +
                  "\r\n.\r\nQUIT\r\n");
    EXPECT_EQ(r.pairs(), (Pairs{{0, 1}, {50, 1}, {51, 1}, {52, 1}, {0, 100}, {0, 10}, {0, 500}}));
    EXPECT_TRUE(hasLine(r.lines(), line(9, "Message Accepted")));
}

// Refusals: what the relay refuses and what "smtp.bad" holds afterwards.
struct RefusalCase {
    const char* name;
    std::string envelope;
    std::vector<std::string> replies;  // to MAIL FROM and each RCPT TO
    Pairs pairs;
    std::string refusals;
    bool data;  // DATA sent
};

TEST(SmtpSession, RefusalsAreRecordedUpperCased)
{
    const std::vector<RefusalCase> cases = {
        {"mixed-case recipient refusal", "<a@here>\r\n<b@there>\r\n",
         {"250 ok\r\n", "550 user unknown\r\n"},
         {{0, 1}, {50, 1}, {51, 1}, {52, -1}, {52, 1}, {0, 500}},
         "I said: RCPT TO: <b@there>\r\n Mailserver said: 550 USER UNKNOWN\r\n", false},
        {"sender refused", "<a@here>\r\n<b@there>\r\n", {"553 Sender bad\r\n"},
         {{0, 1}, {50, 1}, {51, -1}, {0, 500}},
         "I said: MAIL FROM: <a@here>\r\n Mailserver said: 553 SENDER BAD\r\n", false},
        {"two recipients refused", "<a@here>\r\n<b@there>\r\n<c@there>\r\n",
         {"250 ok\r\n", "550 No b\r\n", "551 No c\r\n"},
         {{0, 1}, {50, 1}, {51, 1}, {52, -1}, {52, -1}, {52, 1}, {0, 500}},
         "I said: RCPT TO: <b@there>\r\n Mailserver said: 550 NO B\r\n"
         "I said: RCPT TO: <c@there>\r\n Mailserver said: 551 NO C\r\n",
         false},
        {"second of three refused", "<a@here>\r\n<b@there>\r\n<c@there>\r\n<d@there>\r\n",
         {"250 ok\r\n", "250 ok\r\n", "550 no c\r\n", "250 ok\r\n"},
         {{0, 1}, {50, 1}, {51, 1}, {52, -1}, {52, 1}, {0, 100}, {0, 10}, {0, 500}},
         "I said: RCPT TO: <c@there>\r\n Mailserver said: 550 NO C\r\n", true},
        // 251 and 252 take the recipient as 250 does.
        {"251 and 252 accept", "<a@here>\r\n<b@there>\r\n<c@there>\r\n",
         {"250 ok\r\n", "251 2.1.5 User not local; will forward\r\n",
          "252 2.1.5 Cannot VRFY user, but will accept message\r\n"},
         {{0, 1}, {50, 1}, {51, 1}, {52, 1}, {0, 100}, {0, 10}, {0, 500}}, "", true},
        {"the only recipient 252", "<a@here>\r\n<b@there>\r\n",
         {"250 ok\r\n", "252 Cannot VRFY user\r\n"},
         {{0, 1}, {50, 1}, {51, 1}, {52, 1}, {0, 100}, {0, 10}, {0, 500}}, "", true},
        {"the only recipient 251, multi-line", "<a@here>\r\n<b@there>\r\n",
         {"250 ok\r\n", "251-User not local;\r\n251 will forward to <b@elsewhere>\r\n"},
         {{0, 1}, {50, 1}, {51, 1}, {52, 1}, {0, 100}, {0, 10}, {0, 500}}, "", true},
        // Sender refused with 251: only 250 takes the sender.
        {"sender answered 251 is refused", "<a@here>\r\n<b@there>\r\n", {"251 odd\r\n"},
         {{0, 1}, {50, 1}, {51, -1}, {0, 500}},
         "I said: MAIL FROM: <a@here>\r\n Mailserver said: 251 ODD\r\n", false},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.name);
        SmtpRun r;
        r.envelope(c.envelope);
        r.message("x\r\n");
        std::vector<ScriptStep> script = dialogue({"220 hi\r\n", "C:HELO", "250 relay\r\n"});
        for (const std::string& reply : c.replies)
            script = script + dialogue({"C:", reply});
        if (c.data)
            script = script + dialogue({"C:DATA", "354 go\r\n"}) + contentLines("x\r\n") +
                     quitAndClose();
        ScriptServer server(script);
        r.run(server.port());
        std::string got = server.received();
        EXPECT_EQ(r.pairs(), c.pairs);
        EXPECT_EQ(r.refusals(), c.refusals);
        EXPECT_EQ(count(got, "DATA\r\n"), c.data ? 1 : 0);
        EXPECT_EQ(count(got, "QUIT\r\n"), c.data ? 1 : 0);
        EXPECT_EQ(count(got, "RCPT TO: "), static_cast<int>(c.replies.size()) - 1);
    }
}

TEST(SmtpSession, LaterSessionReplacesTheRefusalFile)
{
    SmtpRun r;
    r.envelope("<a@here>\r\n<b@there>\r\n<c@there>\r\n");
    {
        ScriptServer server(dialogue({"220 hi\r\n", "C:HELO", "250 relay\r\n", "C:MAIL",
                                      "250 ok\r\n", "C:RCPT", "550 no b\r\n", "C:RCPT",
                                      "550 no c\r\n"}));
        r.run(server.port());
    }
    EXPECT_EQ(count(r.refusals(), "I said: "), 2);
    r.pairs();
    r.envelope("<a@here>\r\n<d@there>\r\n");
    ScriptServer server(dialogue({"220 hi\r\n", "C:HELO", "250 relay\r\n", "C:MAIL",
                                  "250 ok\r\n", "C:RCPT", "550 no d\r\n"}));
    r.run(server.port());
    EXPECT_EQ(r.refusals(), "I said: RCPT TO: <d@there>\r\n Mailserver said: 550 NO D\r\n");

    // A session without refusals leaves the file alone.
    r.pairs();
    r.envelope("<a@here>\r\n");
    ScriptServer clean(dialogue({"220 hi\r\n", "C:HELO", "250 relay\r\n", "C:MAIL", "250 ok\r\n"}));
    r.run(clean.port());
    EXPECT_EQ(r.refusals(), "I said: RCPT TO: <d@there>\r\n Mailserver said: 550 NO D\r\n");
}

TEST(SmtpSession, LongEnvelopeLineIsSentInItsFirst79Bytes)
{
    SmtpRun r;
    std::string address = "<" + std::string(90, 'r') + "@there>";
    r.envelope("<a@here>\r\n" + address + "\r\n");
    ScriptServer server(dialogue({"220 hi\r\n", "C:HELO", "250 relay\r\n", "C:MAIL", "250 ok\r\n"}));
    r.run(server.port());
    std::string piece = "RCPT TO: " + address.substr(0, 79);
    // No line end: the relay waits; the time-out sends the piece again.
    EXPECT_EQ(server.received(),
              "HELO here.example\r\nMAIL FROM: <a@here>\r\n" + piece + piece);
    EXPECT_EQ(r.pairs(), (Pairs{{0, 1}, {50, 1}, {51, 1}, {100, -1}, {0, 500}}));
}

TEST(SmtpSession, ProgressPairsByMessageSize)
{
    struct SizeCase {
        std::size_t size;
        Pairs progress;
    };
    const std::vector<SizeCase> cases = {
        {0, {}},
        {1024, {}},
        {2048, {{100, 99}}},
        {3000, {{100, 99}}},  // 68 for the second chunk, not posted
        {10240, {{20, 99}, {30, 99}, {40, 99}, {50, 99}, {60, 99}, {70, 99}, {80, 99},
                 {90, 99}, {100, 99}}},
    };
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(c.size);
        SmtpRun r;
        std::string content = smtptest::messageText(c.size);
        ASSERT_EQ(content.size(), c.size);
        r.message(content);
        ScriptServer server(upToData() + dialogue({"354 go\r\n"}) + contentLines(content) +
                            quitAndClose());
        r.run(server.port());
        std::string got = server.received();
        std::string head = "HELO here.example\r\nMAIL FROM: <a@here>\r\nRCPT TO: <b@there>\r\nDATA\r\n";
        EXPECT_EQ(got, head + content + "\r\n.\r\nQUIT\r\n");
        Pairs expected = {{0, 1}, {50, 1}, {51, 1}, {52, 1}};
        expected.insert(expected.end(), c.progress.begin(), c.progress.end());
        expected.insert(expected.end(), {{0, 100}, {0, 10}, {0, 500}});
        EXPECT_EQ(r.pairs(), expected);
        std::vector<std::string> lines = r.lines();
        std::string first = std::to_string(c.size < 1024 ? c.size : 1024);
        EXPECT_TRUE(hasLine(lines, line(9, "Message Size " + std::to_string(c.size))));
        EXPECT_TRUE(hasLine(lines, line(9, "Bytes sent " + first)));
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [](const std::string& l) { return l.rfind("9\tBytes sent", 0) == 0; }),
                  1);
    }
}

TEST(SmtpSession, PercentageSteps)
{
    int last = -1, percent = 0;
    EXPECT_FALSE(smtp::progressStep(2048, 3000, last, percent));
    EXPECT_EQ(percent, 68);
    EXPECT_TRUE(smtp::progressStep(3000, 3000, last, percent));
    EXPECT_EQ(percent, 100);
    // An unchanged percentage is not posted again, even on a multiple of 5.
    last = -1;
    EXPECT_TRUE(smtp::progressStep(1024 * 5, 1024 * 100, last, percent));
    EXPECT_EQ(percent, 5);
    EXPECT_FALSE(smtp::progressStep(1024 * 5 + 10, 1024 * 100, last, percent));
    EXPECT_FALSE(smtp::progressStep(10, 0, last, percent));
}

TEST(SmtpSession, MessageFileHeldOpenByAnotherHandle)
{
    SmtpRun r;
    HANDLE held = CreateFileA(r.messagePath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ScriptServer server(upToData() + dialogue({"354 go\r\n"}));
    r.run(server.port());
    CloseHandle(held);
    std::string got = server.received();
    EXPECT_EQ(got.substr(got.size() - 6), "DATA\r\n");
    EXPECT_EQ(r.pairs(), (Pairs{{0, 1}, {50, 1}, {51, 1}, {52, 1}, {0, 500}}));
    EXPECT_TRUE(hasLine(r.lines(), line(1, "unable to open " + r.messagePath)));
}

// Wine reports a reset only to a receive already blocked when it arrives,
// so the receive failures run over a scripted transport.
TEST(SmtpSession, ReceiveFailures)
{
    struct Case {
        int error;
        std::string line;
    };
    const std::vector<Case> cases = {
        {10054, line(5, "SMTP Client closed, Connection reset by peer.")},
        {10053, line(1, net::errorText(10053))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        SmtpRun r;
        smtptest::FakeTransport fake;
        fake.receives = {{"220 hi\r\n"}, {"", c.error}};
        smtptest::useFake(r.options, fake);
        r.run(25);
        EXPECT_EQ(fake.sent, "HELO here.example\r\n");
        EXPECT_TRUE(fake.closed);
        EXPECT_EQ(r.pairs(), (Pairs{{0, 1}, {50, 1}, {101, -1}, {0, 500}}));
        std::vector<std::string> lines = r.lines();
        std::vector<std::string> tail(lines.end() - 2, lines.end());
        EXPECT_EQ(tail, (std::vector<std::string>{c.line, line(8, "SMTP Client closed.")}));
    }
}

TEST(SmtpSession, FailedChunkSendEndsWithoutEndOfData)
{
    SmtpRun r;
    r.message(smtptest::messageText(3000));
    smtptest::FakeTransport fake;
    fake.receives = {{"220 hi\r\n"}, {"250 r\r\n"}, {"250 ok\r\n"}, {"250 ok\r\n"},
                     {"354 go\r\n"}};
    fake.failSendAfter = 5;  // HELO, MAIL, RCPT, DATA, the first chunk
    smtptest::useFake(r.options, fake);
    r.run(25);
    EXPECT_EQ(fake.sent.size(), std::string("HELO here.example\r\nMAIL FROM: <a@here>\r\n"
                                            "RCPT TO: <b@there>\r\nDATA\r\n").size() + 1024);
    EXPECT_EQ(r.pairs(), (Pairs{{0, 1}, {50, 1}, {51, 1}, {52, 1}, {0, 500}}));
    std::vector<std::string> lines = r.lines();
    std::vector<std::string> tail(lines.end() - 2, lines.end());
    EXPECT_EQ(tail, (std::vector<std::string>{line(1, net::errorText(10053)),
                                              line(8, "SMTP Client closed.")}));
}

// Endings after a reply the session does not go on from.
TEST(SmtpSession, RepliesThatEndTheSession)
{
    struct EndCase {
        const char* name;
        std::vector<std::string> script;
        Pairs pairs;
        const char* lastSent;   // the last bytes the relay receives
        const char* logLine;    // one line the log holds
    };
    const std::vector<EndCase> cases = {
        {"greeting refused", {"554 go away\r\n"}, {{0, 1}, {50, -1}, {0, 500}}, "",
         "9\t<- 554 GO AWAY"},
        {"DATA refused",
         {"220 hi\r\n", "C:HELO", "250 r\r\n", "C:MAIL", "250 ok\r\n", "C:RCPT", "250 ok\r\n",
          "C:DATA", "451 later\r\n"},
         {{0, 1}, {50, 1}, {51, 1}, {52, 1}, {0, 500}}, "DATA\r\n", "9\t<- 451 LATER"},
        {"message not accepted, QUIT as usual",
         {"220 hi\r\n", "C:HELO", "250 r\r\n", "C:MAIL", "250 ok\r\n", "C:RCPT", "250 ok\r\n",
          "C:DATA", "354 go\r\n", "C:", "C:", "C:", "554 rejected\r\n", "C:QUIT", "500 what\r\n"},
         {{0, 1}, {50, 1}, {51, 1}, {52, 1}, {0, 100}, {-1, 10}, {0, 500}}, "QUIT\r\n",
         "9\tMessage NOT Accepted"},
    };
    for (const EndCase& c : cases) {
        SCOPED_TRACE(c.name);
        SmtpRun r;
        r.message("x\r\n");
        ScriptServer server(dialogue(c.script));
        r.run(server.port());
        std::string got = server.received();
        std::string last = c.lastSent;
        EXPECT_EQ(got.substr(got.size() - last.size()), last);
        EXPECT_EQ(r.pairs(), c.pairs);
        EXPECT_TRUE(hasLine(r.lines(), c.logLine));
        EXPECT_EQ(r.lines().back(), line(8, "SMTP Client closed."));
    }
}

TEST(SmtpSession, ShortSendsNeverDropContentBytes)
{
    SmtpRun r;
    r.options.makeSocket = [] { return smtptest::shortSendSocket(100); };
    std::string content = smtptest::messageText(3000);
    r.message(content);
    ScriptServer server(upToData() + dialogue({"354 go\r\n"}) + contentLines(content) +
                        quitAndClose());
    r.run(server.port());
    std::string got = server.received();
    std::size_t start = got.find("DATA\r\n") + 6;
    EXPECT_EQ(got.substr(start, content.size() + 5), content + "\r\n.\r\n");
    EXPECT_EQ(r.pairs().back(), P(0, 500));
}

TEST(SmtpSession, EnvelopeMissingOrWithoutSender)
{
    for (bool missing : {true, false}) {
        SCOPED_TRACE(missing ? "missing" : "empty");
        SmtpRun r;
        if (missing)
            DeleteFileA(r.envelopePath.c_str());
        else
            r.envelope("");
        ScriptServer server(dialogue({"220 hi\r\n", "C:HELO", "250 relay\r\n"}));
        r.run(server.port());
        EXPECT_EQ(server.received(), "HELO here.example\r\n");
        EXPECT_EQ(r.pairs(), (Pairs{{0, 1}, {50, 1}, {0, 500}}));
        std::vector<std::string> lines = r.lines();
        std::string expected = missing ? "Unable to open envelope file " : "No sender in envelope file ";
        EXPECT_EQ(lines[lines.size() - 2], line(1, expected + r.envelopePath));
        EXPECT_EQ(r.worker.envelopeFile, nullptr);
    }
}

TEST(SmtpSession, SetUpFailures)
{
    {
        SmtpRun r;
        r.options.makeSocket = [] { return std::unique_ptr<net::Transport>(); };
        r.run(25);
        EXPECT_EQ(r.pairs(), (Pairs{{10, -1}}));
        EXPECT_EQ(r.lines(), (std::vector<std::string>{line(1, "Could not create SMTP client socket!")}));
        EXPECT_FALSE(r.worker.busy);
    }
    {
        SmtpRun r;
        r.run(testsupport::unusedPort());
        EXPECT_EQ(r.pairs(), (Pairs{{100, -1}}));
        std::vector<std::string> lines = r.lines();
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[1].rfind("1\tSMTP Client connect failed: ", 0), 0u) << lines[1];
        EXPECT_GT(lines[1].size(), std::string("1\tSMTP Client connect failed: ").size());
    }
}

TEST(SmtpSession, TimeOutResendsTheLastCommandOfAnEarlierSession)
{
    SmtpRun r;
    r.envelope("<a@here>\r\n");
    {
        ScriptServer server(dialogue({"220 hi\r\n", "C:HELO", "250 relay\r\n", "C:MAIL", "250 ok\r\n"}));
        r.run(server.port());
    }
    r.pairs();
    ScriptServer silent({pause(10)});
    r.run(silent.port());
    EXPECT_EQ(silent.received(), "MAIL FROM: <a@here>\r\n");
    EXPECT_EQ(r.pairs(), (Pairs{{0, 1}, {100, -1}, {0, 500}}));
}

}  // namespace
