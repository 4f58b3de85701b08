// The POP3 session against an in-process scripted server over the real
// socket: the exact bytes the server received, the message files, the log
// lines and the progress pairs a real window received.
#include "scriptserver.h"
#include "sessionharness.h"

#include <gtest/gtest.h>

namespace {

using namespace pop3test;
using testsupport::closeConnection;
using testsupport::expectLine;
using testsupport::pause;
using testsupport::ScriptServer;
using testsupport::ScriptStep;
using testsupport::sendBytes;
using Lines = std::vector<std::string>;

const std::string kLogin = "USER joe\r\nPASS secret\r\n";

// Greeting, USER, PASS and STAT with `count`.
std::vector<ScriptStep> loginAndStat(int count)
{
    return testsupport::dialogue({"+OK POP3 ready\r\n", "C:USER joe", "+OK\r\n", "C:PASS secret",
                                  "+OK logged in\r\n", "C:STAT",
                                  "+OK " + std::to_string(count) + " 999\r\n"});
}

void append(std::vector<ScriptStep>& to, const std::vector<ScriptStep>& more)
{
    to.insert(to.end(), more.begin(), more.end());
}

// The whole mailbox: every message (server form: CR LF, stuffed) retrieved
// and deleted, then QUIT.
std::vector<ScriptStep> mailbox(const std::vector<std::string>& wire)
{
    std::vector<ScriptStep> s = loginAndStat(static_cast<int>(wire.size()));
    for (std::size_t i = 0; i < wire.size(); ++i) {
        std::string n = std::to_string(i + 1);
        append(s, testsupport::dialogue({"C:RETR " + n, "+OK message follows\r\n" + wire[i] + ".\r\n",
                                         "C:DELE " + n, "+OK deleted\r\n"}));
    }
    append(s, testsupport::dialogue({"C:QUIT", "+OK bye\r\n"}));
    return s;
}

std::string commandsFor(int count, bool quit = true)
{
    std::string c = kLogin + "STAT\r\n";
    for (int i = 1; i <= count; ++i)
        c += "RETR " + std::to_string(i) + "\r\nDELE " + std::to_string(i) + "\r\n";
    return quit ? c + "QUIT\r\n" : c;
}

Pairs pairsFor(int count)
{
    Pairs p = {{0, 1}, {0, 2}, {count, 4}};
    for (int i = 1; i <= count; ++i)
        p.push_back({i, 5});
    p.push_back({0, 10});
    p.push_back({0, 500});
    return p;
}

TEST(Pop3Session, EmptyMailbox)
{
    SessionRun r;
    ScriptServer server(mailbox({}));
    EXPECT_EQ(r.run(server.port()), 0);
    EXPECT_EQ(server.received(), commandsFor(0));
    EXPECT_EQ(r.pairs(), pairsFor(0));
    EXPECT_TRUE(r.files().empty());
    Lines want = {
        "5\tPop3 Client contacting host at 127.0.0.1",
        "8\tPop3 Client connected",
        "9\t<- +OK POP3 READY",
        "9\t-> USER joe",
        "9\t<- +OK",
        "9\t-> PASS secret",
        "9\t<- +OK LOGGED IN",
        "9\t-> STAT",
        "9\t<- +OK 0 999",
        "9\t-> QUIT",
        "9\t<- +OK BYE",
        "9\tSession Complete",
        "8\tPOP3 Client closed.",
    };
    EXPECT_EQ(r.lines(), want);
}

TEST(Pop3Session, ThreeMessagesByteForByte)
{
    std::vector<std::string> plain = {
        "From: a@example.org\nSubject: one\n\nhello\n.leading dot\n..two dots\n.\nend\n",
        "",
        "Subject: three\n\n\n\nlast line without much\n",
    };
    std::vector<std::string> wire;
    for (const std::string& m : plain)
        wire.push_back(dotStuff(crlf(m)));
    SessionRun r;
    ScriptServer server(mailbox(wire));
    EXPECT_EQ(r.run(server.port()), 0);
    EXPECT_EQ(server.received(), commandsFor(3));
    EXPECT_EQ(r.pairs(), pairsFor(3));
    EXPECT_EQ(r.files(), (Lines{"1.msg", "2.msg", "3.msg"}));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(r.file(i + 1), wire[i]) << "message " << i + 1;
    EXPECT_EQ(r.file(1).find("\r\n..leading dot\r\n...two dots\r\n..\r\n"), 42u);
    Lines lines = r.lines();
    int eom = 0;
    for (const std::string& l : lines)
        eom += l == "9\tFound EOM, Closing file";
    EXPECT_EQ(eom, 3);
    // The status line is logged as received, not upper-cased.
    EXPECT_NE(std::find(lines.begin(), lines.end(), "9\t<- +OK message follows"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "9\t-> DELE 3"), lines.end());
}

// One message whose RETR reply reaches the client in two sends split at
// every position: status line split in two, dot line on its own, CR and LF
// apart. Each split gives the same file and the same dialogue.
TEST(Pop3Session, RetrReplySplitAtEveryPosition)
{
    const std::string body = dotStuff(crlf("A: b\n\n.x\nyz\n"));
    const std::string reply = "+OK 12\r\n" + body + ".\r\n";
    for (std::size_t cut = 1; cut < reply.size(); ++cut) {
        SessionRun r;
        std::vector<ScriptStep> s = loginAndStat(1);
        append(s, {expectLine("RETR 1"), sendBytes(reply.substr(0, cut)), pause(40),
                   sendBytes(reply.substr(cut))});
        append(s, testsupport::dialogue({"C:DELE 1", "+OK\r\n", "C:QUIT", "+OK\r\n"}));
        ScriptServer server(s);
        EXPECT_EQ(r.run(server.port()), 0) << cut;
        EXPECT_EQ(server.received(), commandsFor(1)) << cut;
        EXPECT_EQ(r.file(1), body) << cut;
        EXPECT_EQ(r.pairs(), pairsFor(1)) << cut;
    }
}

TEST(Pop3Session, RepliesSplitAcrossReceivesAndLowerCase)
{
    SessionRun r;
    std::vector<ScriptStep> s = {sendBytes("+o"), pause(40), sendBytes("k hi"), pause(40),
                                 sendBytes("\r\n"), expectLine("USER joe"), sendBytes("+ok\r\n"),
                                 expectLine("PASS secret"), sendBytes("+Ok\r"), pause(40),
                                 sendBytes("\n"), expectLine("STAT"), sendBytes("+OK  2  300 \r\n")};
    // Two messages; the first one's dot line in a receive of its own.
    append(s, {expectLine("RETR 1"), sendBytes("+ok\r\nline\r\n"), pause(40), sendBytes(".\r\n"),
               expectLine("DELE 1"), sendBytes("+ok\r\n"), expectLine("RETR 2"),
               sendBytes("+OK\r\n.\r\n"), expectLine("DELE 2"), sendBytes("+OK\r\n"),
               expectLine("QUIT"), sendBytes("+ok see you\r\n")});
    ScriptServer server(s);
    EXPECT_EQ(r.run(server.port()), 0);
    EXPECT_EQ(server.received(), commandsFor(2));
    EXPECT_EQ(r.pairs(), pairsFor(2));
    EXPECT_EQ(r.file(1), "line\r\n");
    EXPECT_EQ(r.file(2), "");
    Lines lines = r.lines();
    EXPECT_EQ(lines[2], "9\t<- +OK HI");
    EXPECT_EQ(lines.end()[-3], "9\t<- +OK SEE YOU");
}

TEST(Pop3Session, LongLinesGoToTheFileWhole)
{
    std::string longLine(5000, 'x');
    for (std::size_t i = 0; i < longLine.size(); i += 97)
        longLine[i] = static_cast<char>('a' + i % 26);
    struct Case {
        const char* name;
        std::string body;
        bool dotApart;  // the dot line sent after a pause
    } cases[] = {
        {"5000 at the end, dot apart", "Subject: long\r\n\r\n" + longLine + "\r\n", true},
        {"5000 in the middle", "Subject: long\r\n\r\n" + longLine + "\r\nafter\r\n", false},
        {"5000 at the end", "Subject: long\r\n\r\n" + longLine + "\r\n", false},
        {"two long lines", longLine + "\r\n" + longLine + "\r\n", false},
    };
    for (const Case& c : cases) {
        SessionRun r;
        std::vector<ScriptStep> s = loginAndStat(1);
        if (c.dotApart)
            append(s, {expectLine("RETR 1"), sendBytes("+OK\r\n" + c.body), pause(100),
                       sendBytes(".\r\n")});
        else
            append(s, {expectLine("RETR 1"), sendBytes("+OK\r\n" + c.body + ".\r\n")});
        append(s, testsupport::dialogue({"C:DELE 1", "+OK\r\n", "C:QUIT", "+OK\r\n"}));
        ScriptServer server(s);
        EXPECT_EQ(r.run(server.port()), 0) << c.name;
        EXPECT_EQ(server.received(), commandsFor(1)) << c.name;
        EXPECT_EQ(r.file(1), c.body) << c.name;
        EXPECT_EQ(r.pairs(), pairsFor(1)) << c.name;
    }
}

// Only CR LF "." CR LF ends a message: a bare LF followed by a dot line is
// message text, sent in one piece, with the LF and the dot line apart, or
// after a line long enough to go to the file in bulk. The file equals the
// message and one DELE goes out, after the real end.
TEST(Pop3Session, BareLfBeforeADotLineIsMessageText)
{
    const std::string longLine(3100, 'y');
    std::string tail;
    for (int i = 0; i < 60; ++i)
        tail += "tail line " + std::to_string(i) + "\r\n";
    struct Case {
        const char* name;
        std::vector<std::string> sends;  // the RETR reply, a pause between sends
    } cases[] = {
        {"one send", {"+OK\r\nSubject: lf\r\n\r\na\n.\r\nb\r\n.\r\n"}},
        {"LF and dot line apart", {"+OK\r\nSubject: lf\r\n\r\na\n", ".\r\nb\r\n.\r\n"}},
        {"LF ends a bulk write", {"+OK\r\n" + longLine + "\n", ".\r\nb\r\n.\r\n"}},
        {"long line and dot line in one send", {"+OK\r\n" + longLine + "\n.\r\n" + tail + ".\r\n"}},
    };
    for (const Case& c : cases) {
        std::string reply;
        for (const std::string& part : c.sends)
            reply += part;
        const std::string body = reply.substr(5, reply.size() - 8);
        SessionRun r;
        std::vector<ScriptStep> s = loginAndStat(1);
        s.push_back(expectLine("RETR 1"));
        for (const std::string& part : c.sends) {
            s.push_back(sendBytes(part));
            s.push_back(pause(100));
        }
        append(s, testsupport::dialogue({"C:DELE 1", "+OK\r\n", "C:QUIT", "+OK\r\n"}));
        ScriptServer server(s);
        EXPECT_EQ(r.run(server.port()), 0) << c.name;
        EXPECT_EQ(server.received(), commandsFor(1)) << c.name;
        EXPECT_TRUE(r.file(1) == body) << c.name;
        EXPECT_EQ(r.pairs(), pairsFor(1)) << c.name;
    }
}

TEST(Pop3Session, OneMegabyteMessage)
{
    std::string plain;
    for (int i = 0; plain.size() < 1024 * 1024; ++i) {
        std::string line = std::to_string(i) + " ";
        line.append(70, static_cast<char>('A' + i % 26));
        if (i % 500 == 7)
            line = "." + line;  // stuffed on the wire
        plain += line + "\n";
    }
    std::string wire = dotStuff(crlf(plain));
    SessionRun r;
    ScriptServer server(mailbox({wire}));
    EXPECT_EQ(r.run(server.port()), 0);
    EXPECT_EQ(server.received(), commandsFor(1));
    std::string got = r.file(1);
    EXPECT_EQ(got.size(), wire.size());
    EXPECT_TRUE(got == wire);
    EXPECT_EQ(r.pairs(), pairsFor(1));
}

// A refusal at each step: its pair, then the common ending; once the
// password was accepted, QUIT first and its reply read (the deletions so
// far are committed), but no (0, 10) and no "Session Complete".
TEST(Pop3Session, RefusalsAtEachStep)
{
    struct Case {
        const char* name;
        std::vector<std::string> dialogue;
        std::string commands;
        Pairs pairs;
        int files;
    } cases[] = {
        {"greeting", {"-ERR go away\r\n"}, "", {{0, 1}, {50, -1}, {0, 500}}, 0},
        {"USER", {"+OK\r\n", "C:USER joe", "-ERR who\r\n"}, "USER joe\r\n",
         {{0, 1}, {2, -1}, {0, 500}}, 0},
        {"PASS", {"+OK\r\n", "C:USER joe", "+OK\r\n", "C:PASS secret", "-err denied\r\n"}, kLogin,
         {{0, 1}, {3, -1}, {0, 500}}, 0},
        {"STAT",
         {"+OK\r\n", "C:USER joe", "+OK\r\n", "C:PASS secret", "+OK\r\n", "C:STAT", "-ERR\r\n",
          "C:QUIT", "+OK bye\r\n"},
         kLogin + "STAT\r\nQUIT\r\n", {{0, 1}, {0, 2}, {4, -1}, {0, 500}}, 0},
        {"DELE",
         {"+OK\r\n", "C:USER joe", "+OK\r\n", "C:PASS secret", "+OK\r\n", "C:STAT", "+OK 2 9\r\n",
          "C:RETR 1", "+OK\r\nx\r\n.\r\n", "C:DELE 1", "-ERR locked\r\n", "C:QUIT", "+OK bye\r\n"},
         kLogin + "STAT\r\nRETR 1\r\nDELE 1\r\nQUIT\r\n",
         {{0, 1}, {0, 2}, {2, 4}, {1, 5}, {4, -1}, {0, 500}}, 1},
    };
    for (const Case& c : cases) {
        SessionRun r;
        ScriptServer server(testsupport::dialogue(c.dialogue));
        EXPECT_EQ(r.run(server.port()), 0) << c.name;
        EXPECT_EQ(server.received(), c.commands) << c.name;
        EXPECT_EQ(r.pairs(), c.pairs) << c.name;
        EXPECT_EQ(static_cast<int>(r.files().size()), c.files) << c.name;
        Lines lines = r.lines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), "8\tPOP3 Client closed.") << c.name;
        if (c.commands.find("QUIT") != std::string::npos) {
            ASSERT_GE(lines.size(), 3u);
            EXPECT_EQ(Lines(lines.end() - 3, lines.end()),
                      (Lines{"9\t-> QUIT", "9\t<- +OK BYE", "8\tPOP3 Client closed."}))
                << c.name;
        }
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "9\tSession Complete"), 0) << c.name;
    }
}

// A message the server cannot serve (-ERR to RETR, here in lower case) is
// kept on the server and the session goes on: the others are fetched and
// deleted, the refused one has only its (n, 5).
TEST(Pop3Session, RetrRefusedInTheMiddleKeepsThatMessageOnly)
{
    SessionRun r;
    std::vector<ScriptStep> s = loginAndStat(3);
    append(s, testsupport::dialogue({"C:RETR 1", "+OK\r\na\r\n.\r\n", "C:DELE 1", "+OK\r\n",
                                     "C:RETR 2", "-err no such message\r\n", "C:RETR 3",
                                     "+OK\r\nc\r\n.\r\n", "C:DELE 3", "+OK\r\n", "C:QUIT",
                                     "+OK bye\r\n"}));
    ScriptServer server(s);
    EXPECT_EQ(r.run(server.port()), 0);
    EXPECT_EQ(server.received(),
              kLogin + "STAT\r\nRETR 1\r\nDELE 1\r\nRETR 2\r\nRETR 3\r\nDELE 3\r\nQUIT\r\n");
    EXPECT_EQ(r.pairs(), (Pairs{{0, 1}, {0, 2}, {3, 4}, {1, 5}, {2, 5}, {3, 5}, {0, 10}, {0, 500}}));
    EXPECT_EQ(r.files(), (Lines{"1.msg", "3.msg"}));
    EXPECT_EQ(r.file(1), "a\r\n");
    EXPECT_EQ(r.file(3), "c\r\n");
    Lines lines = r.lines();
    auto at = std::find(lines.begin(), lines.end(), "9\t-> RETR 2");
    ASSERT_LE(at + 4, lines.end());
    EXPECT_EQ(Lines(at, at + 4),
              (Lines{"9\t-> RETR 2", "9\t<- -err no such message",
                     "1\tPOP3 Client RETR 2 refused, message 2 left on the server", "9\t-> RETR 3"}));
    EXPECT_EQ(lines.end()[-2], "9\tSession Complete");
}

TEST(Pop3Session, ServerClosesWithoutQuit)
{
    SessionRun r;
    std::vector<ScriptStep> s = testsupport::dialogue({"+OK\r\n", "C:USER joe", "+OK\r\n"});
    s.push_back(closeConnection());
    ScriptServer server(s);
    EXPECT_EQ(r.run(server.port()), 0);
    EXPECT_EQ(server.received(), kLogin);
    EXPECT_EQ(r.pairs(), (Pairs{{0, 1}, {0, 500}}));
    Lines lines = r.lines();
    Lines tail(lines.end() - 3, lines.end());
    EXPECT_EQ(tail, (Lines{"9\t-> PASS secret", "8\tPOP3 Client closed.", "8\tPOP3 Client closed."}));
}

TEST(Pop3Session, ServerClosesInTheMiddleOfAMessage)
{
    SessionRun r;
    std::vector<ScriptStep> s = loginAndStat(1);
    append(s, {expectLine("RETR 1"), sendBytes("+OK\r\nfirst\r\nsecond"), pause(40),
               closeConnection()});
    ScriptServer server(s);
    EXPECT_EQ(r.run(server.port()), 0);
    EXPECT_EQ(server.received(), kLogin + "STAT\r\nRETR 1\r\n");  // no DELE
    EXPECT_EQ(r.pairs(), (Pairs{{0, 1}, {0, 2}, {1, 4}, {1, 5}, {0, 500}}));
    EXPECT_EQ(r.file(1), "first\r\n");  // incomplete, and the message stays on the server
}

TEST(Pop3Session, TimeOutSendsTheLastCommandAgain)
{
    SessionRun r;
    r.options.receiveWaitSeconds = 1;
    ScriptServer server(testsupport::dialogue({"+OK\r\n", "C:USER joe", "+OK\r\n", "C:PASS secret"}));
    EXPECT_EQ(r.run(server.port()), 0);
    EXPECT_EQ(server.received(), kLogin + "PASS secret\r\n");
    EXPECT_EQ(r.pairs(), (Pairs{{0, 1}, {100, -1}, {0, 500}}));
    Lines lines = r.lines();
    Lines tail(lines.end() - 3, lines.end());
    EXPECT_EQ(tail, (Lines{"9\t-> PASS secret", "3\tTimed out waiting for data, Closing connection",
                           "8\tPOP3 Client closed."}));
}

TEST(Pop3Session, ConnectRefused)
{
    SessionRun r;
    EXPECT_EQ(r.run(testsupport::unusedPort()), -1);
    EXPECT_EQ(r.pairs(), (Pairs{{100, -1}}));
    EXPECT_EQ(r.lines(), (Lines{"5\tPop3 Client contacting host at 127.0.0.1",
                                "1\tPop3 Client connect failed: Connection refused"}));
    EXPECT_FALSE(r.worker.busy);
}

TEST(Pop3Session, ByHostNameAndUnresolvableName)
{
    {
        SessionRun r;
        r.worker.useHostName = true;
        ScriptServer server(mailbox({}));
        EXPECT_EQ(r.run(server.port()), 0);
        EXPECT_EQ(r.lines()[0], "5\tPop3 Client contacting host localhost");
        EXPECT_EQ(server.received(), commandsFor(0));
    }
    {
        SessionRun r;
        r.worker.useHostName = true;
        r.worker.hostName = "no-such-host.invalid";
        EXPECT_EQ(r.run(110), -1);
        EXPECT_EQ(r.pairs(), (Pairs{{100, -1}}));
        EXPECT_EQ(r.lines().back(),
                  "1\tPop3 Client connect failed: Authoritative answer: host not found");
    }
}

TEST(Pop3Session, PortOutsideTheRangeIsNotSet)
{
    SessionRun r;
    EXPECT_EQ(r.run(70000), 0);
    EXPECT_EQ(r.pairs(), (Pairs{{0, -1000}}));
    EXPECT_EQ(r.lines(), (Lines{"1\tPop3 Client could not set local port!"}));
}

TEST(Pop3Session, LongReplyLoggedWhole)
{
    SessionRun r;
    std::string greeting = "+OK " + std::string(400, 'g');
    ScriptServer server(testsupport::dialogue({greeting + "\r\n", "C:USER joe", "-ERR\r\n"}));
    r.run(server.port());
    EXPECT_EQ(r.lines()[2], "9\t<- +OK " + std::string(400, 'G'));
}

TEST(Pop3Session, LogLevelsFilterTheTrace)
{
    SessionRun r;
    r.log.setLevel(8);
    ScriptServer server(mailbox({"x\r\n"}));
    r.run(server.port());
    EXPECT_EQ(r.lines(), (Lines{"5\tPop3 Client contacting host at 127.0.0.1",
                                "8\tPop3 Client connected", "8\tPOP3 Client closed."}));
    EXPECT_EQ(r.file(1), "x\r\n");
}

TEST(Pop3Session, StatCount)
{
    struct Case {
        const char* reply;
        int want;
    } cases[] = {
        {"+OK 7 12345\r\n", 7}, {"+OK 7\r\n", 7},       {"  +OK   12   1\r\n", 12},
        {"+OK\r\n", 0},         {"+OK x 3\r\n", 0},     {"+OK -2 0\r\n", -2},
        {"+OK+5\r\n", 5},       {"+OK 99999999999 1\r\n", 2147483647},
    };
    for (const Case& c : cases)
        EXPECT_EQ(pop3::parseStatCount(c.reply), c.want) << c.reply;
}

}  // namespace
