// tarnpop.dll as a host sees it: export table, imports, the two exports
// through GetProcAddress, the port from the registry, a whole retrieval on
// the library's own worker thread, and the refusals while a session runs.
#include "dll.h"
#include "imagecheck.h"
#include "stdcallprobe.h"
#include "scriptserver.h"
#include "sessionharness.h"
#include "testdir.h"
#include "testportsetting.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

namespace {

using namespace pop3test;
using testsupport::Dll;
using testsupport::ScriptServer;
using testsupport::TestDir;
using Lines = std::vector<std::string>;

using InitPopMail = int __stdcall(HWND, int, const char*, const char*, const char*, const char*, int);
using GetPopMail = int __stdcall(const char*, const char*);

constexpr int kBase = 3000;

TEST(TarnpopExports, NamesOrdinalsAndImports)
{
    testsupport::expectShippedImage(
        testsupport::readPeImage(testsupport::exeFolder() + "\\tarnpop.dll"),
        testsupport::kOwnMachine, shipped::kTarnpopExports);

    Dll dll("tarnpop.dll");
    ASSERT_TRUE(dll.loaded());
    for (const auto& e : shipped::kTarnpopExports)
        EXPECT_EQ(dll.procAddress(e.first.c_str()), dll.procAddress(e.second)) << e.first;
}

// The registry value pop_out that tarnpop reads, restored afterwards.
struct PopOut : testsupport::PortSetting {
    PopOut() : PortSetting("pop_out") {}
};

struct Library {
    Dll dll{"tarnpop.dll"};
    InitPopMail* init = dll.get<InitPopMail>("initPopMail");
    GetPopMail* get = dll.get<GetPopMail>("getPopMail");
    // The worker thread leaves the library just after its last pair.
    ~Library() { Sleep(300); }
};

TEST(TarnpopExports, GetBeforeInitIsRefused)
{
    Library lib;
    ASSERT_TRUE(lib.init && lib.get);
    EXPECT_EQ(lib.get("joe", "secret"), -1000);
}

TEST(TarnpopExports, InitLogsStartingAtLevelTwo)
{
    TestDir dir;
    Library lib;
    ProgressWindow window;
    std::string logA = dir.file("a.log"), logB = dir.file("b.log");
    EXPECT_EQ(lib.init(static_cast<HWND>(window.handle()), kBase, dir.path().c_str(), "localhost",
                       "", logA.c_str(), 2),
              1);
    EXPECT_EQ(logLines(logA), (Lines{"2\tStarting"}));
    EXPECT_EQ(lib.init(static_cast<HWND>(window.handle()), kBase, dir.path().c_str(), "localhost",
                       "", logB.c_str(), 1),
              1);
    EXPECT_FALSE(testsupport::fileExists(logB));
}

TEST(TarnpopExports, RetrievalOnTheWorkerThreadWithThePortFromTheRegistry)
{
    TestDir dir;
    std::string folder = dir.subdir("in");
    std::string log = dir.file("pop.log");
    ScriptServer server(testsupport::dialogue(
        {"+OK\r\n", "C:USER joe", "+OK\r\n", "C:PASS secret", "+OK\r\n", "C:STAT", "+OK 2 20\r\n",
         "C:RETR 1", "+OK\r\none\r\n.\r\n", "C:DELE 1", "+OK\r\n", "C:RETR 2",
         "+OK\r\n..two\r\n.\r\n", "C:DELE 2", "+OK\r\n", "C:QUIT", "+OK\r\n"}));
    PopOut popOut;
    popOut.set(" " + std::to_string(server.port()));
    Library lib;
    ProgressWindow window;
    ASSERT_EQ(lib.init(static_cast<HWND>(window.handle()), kBase, folder.c_str(), "ignored.invalid",
                       "127.0.0.1", log.c_str(), 9),
              1);
    EXPECT_EQ(lib.get("joe", "secret"), -1);
    Pairs pairs = window.waitForEnd(kBase, 30000);
    EXPECT_EQ(pairs, (Pairs{{0, 1}, {0, 2}, {2, 4}, {1, 5}, {2, 5}, {0, 10}, {0, 500}}));
    EXPECT_EQ(server.received(),
              "USER joe\r\nPASS secret\r\nSTAT\r\nRETR 1\r\nDELE 1\r\nRETR 2\r\nDELE 2\r\nQUIT\r\n");
    EXPECT_EQ(testsupport::readFile(folder + "\\1.msg"), "one\r\n");
    EXPECT_EQ(testsupport::readFile(folder + "\\2.msg"), "..two\r\n");
    Lines lines = logLines(log);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "2\tStarting");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "9\tCreated POP3 Client thread"), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "5\tPop3 Client contacting host at 127.0.0.1"), 1);
    EXPECT_EQ(lines.back(), "8\tPOP3 Client closed.");
}

TEST(TarnpopExports, SecondGetWhileRunningIsRefusedAndInitKeepsTheRunningSession)
{
    TestDir dir;
    std::string folder = dir.subdir("in");
    std::string logA = dir.file("a.log"), logB = dir.file("b.log");
    std::vector<testsupport::ScriptStep> s = {testsupport::pause(1500)};
    auto rest = testsupport::dialogue({"+OK\r\n", "C:USER joe", "+OK\r\n", "C:PASS secret",
                                       "+OK\r\n", "C:STAT", "+OK 0 0\r\n", "C:QUIT", "+OK\r\n"});
    s.insert(s.end(), rest.begin(), rest.end());
    ScriptServer server(s);
    PopOut popOut;
    popOut.set(std::to_string(server.port()));
    Library lib;
    ProgressWindow windowA, windowB;
    lib.init(static_cast<HWND>(windowA.handle()), kBase, folder.c_str(), "", "127.0.0.1",
             logA.c_str(), 9);
    EXPECT_EQ(lib.get("joe", "secret"), -1);
    EXPECT_EQ(lib.get("joe", "secret"), -1);  // refused: the session runs
    // A new init while the session runs: the session keeps its worker and log.
    lib.init(static_cast<HWND>(windowB.handle()), kBase, folder.c_str(), "", "127.0.0.1",
             logB.c_str(), 9);
    Pairs pairs = windowA.waitForEnd(kBase, 30000);
    EXPECT_EQ(pairs, (Pairs{{0, 1}, {0, 2}, {0, 4}, {0, 10}, {0, 500}}));
    EXPECT_EQ(server.received(), "USER joe\r\nPASS secret\r\nSTAT\r\nQUIT\r\n");
    Lines a = logLines(logA);
    EXPECT_EQ(std::count(a.begin(), a.end(), "1\tPOP3 Client still running, request refused."), 1);
    EXPECT_EQ(std::count(a.begin(), a.end(), "9\tCreated POP3 Client thread"), 1);
    EXPECT_EQ(a.back(), "8\tPOP3 Client closed.");
    EXPECT_EQ(logLines(logB), (Lines{"2\tStarting"}));
    EXPECT_TRUE(windowB.take(kBase).empty());
}

// A repeated initPopMail during a session retires the running worker; a
// getPopMail on the new worker must not start a second session beside it
// (both would fetch the same mailbox into the same file names). Once the
// retired session's last pair is out, the new worker runs its session.
TEST(TarnpopExports, GetAfterARepeatedInitIsRefusedWhileTheRetiredSessionRuns)
{
    TestDir dir;
    std::string folderA = dir.subdir("a"), folderB = dir.subdir("b");
    std::string logA = dir.file("a.log"), logB = dir.file("b.log");
    const Lines emptyMailbox = {"+OK\r\n", "C:USER joe", "+OK\r\n", "C:PASS secret", "+OK\r\n",
                                "C:STAT", "+OK 0 0\r\n", "C:QUIT", "+OK\r\n"};
    std::vector<testsupport::ScriptStep> slow = {testsupport::pause(1500)};
    auto rest = testsupport::dialogue(emptyMailbox);
    slow.insert(slow.end(), rest.begin(), rest.end());
    ScriptServer first(slow);
    PopOut popOut;
    popOut.set(std::to_string(first.port()));
    Library lib;
    ProgressWindow windowA, windowB;
    lib.init(static_cast<HWND>(windowA.handle()), kBase, folderA.c_str(), "", "127.0.0.1",
             logA.c_str(), 9);
    EXPECT_EQ(lib.get("joe", "secret"), -1);

    ScriptServer second(testsupport::dialogue(emptyMailbox));
    popOut.set(std::to_string(second.port()));
    lib.init(static_cast<HWND>(windowB.handle()), kBase, folderB.c_str(), "", "127.0.0.1",
             logB.c_str(), 9);
    EXPECT_EQ(lib.get("joe", "secret"), -1);  // refused: the retired worker's session runs
    EXPECT_EQ(logLines(logB),
              (Lines{"2\tStarting", "1\tPOP3 Client still running, request refused."}));

    EXPECT_EQ(windowA.waitForEnd(kBase, 30000), (Pairs{{0, 1}, {0, 2}, {0, 4}, {0, 10}, {0, 500}}));
    EXPECT_EQ(first.received(), "USER joe\r\nPASS secret\r\nSTAT\r\nQUIT\r\n");
    EXPECT_TRUE(windowB.take(kBase).empty());
    EXPECT_FALSE(second.accepted());  // no second session beside the first

    // The retired session is over: the new worker's session starts.
    EXPECT_EQ(lib.get("joe", "secret"), -1);
    EXPECT_EQ(windowB.waitForEnd(kBase, 30000), (Pairs{{0, 1}, {0, 2}, {0, 4}, {0, 10}, {0, 500}}));
    EXPECT_EQ(second.received(), "USER joe\r\nPASS secret\r\nSTAT\r\nQUIT\r\n");
    Lines b = logLines(logB);
    EXPECT_EQ(std::count(b.begin(), b.end(), "9\tCreated POP3 Client thread"), 1);
    Lines a = logLines(logA);
    EXPECT_EQ(std::count(a.begin(), a.end(), "1\tPOP3 Client still running, request refused."), 0);
}

TEST(TarnpopExports, NextSessionMayStartRightAfterTheLastPair)
{
    TestDir dir;
    std::string folder = dir.subdir("in");
    std::string log = dir.file("pop.log");
    Library lib;
    ProgressWindow window;
    PopOut popOut;
    for (int round = 0; round < 2; ++round) {
        ScriptServer server(testsupport::dialogue({"+OK\r\n", "C:USER joe", "-ERR\r\n"}));
        popOut.set(std::to_string(server.port()));
        lib.init(static_cast<HWND>(window.handle()), kBase, folder.c_str(), "", "127.0.0.1",
                 log.c_str(), 9);
        EXPECT_EQ(lib.get("joe", "secret"), -1);
        EXPECT_EQ(window.waitForEnd(kBase, 30000), (Pairs{{0, 1}, {2, -1}, {0, 500}})) << round;
        EXPECT_EQ(server.received(), "USER joe\r\n");
    }
    Lines lines = logLines(log);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "1\tPOP3 Client still running, request refused."), 0);
}

// Bad input at both exports: null strings, strings past every width, an
// address that does not convert, odd levels. Every call returns what the
// exports document, the session ends with its proper pairs, and nothing is
// written where it should not be.
TEST(TarnpopExports, BadInputTable)
{
    const std::string huge(5000, 'h');
    struct Case {
        const char* name;
        bool nullFolder, longFolder, nullLog, longLog;
        const char* hostName;
        const char* hostAddress;
        const char* user;  // null, or "" for the 5000-character name
        int logLevel;
        std::vector<std::string> dialogue;
        std::string received;
        Pairs pairs;
        bool stored;
    };
    const std::vector<std::string> oneMessage = {"+OK\r\n", "C:USER joe", "+OK\r\n", "C:PASS secret",
                                                 "+OK\r\n", "C:STAT", "+OK 1 9\r\n", "C:RETR 1",
                                                 "+OK\r\nbody\r\n.\r\n", "C:DELE 1", "+OK\r\n",
                                                 "C:QUIT", "+OK\r\n"};
    const std::string all = "USER joe\r\nPASS secret\r\nSTAT\r\nRETR 1\r\nDELE 1\r\nQUIT\r\n";
    const Pairs allPairs = {{0, 1}, {0, 2}, {1, 4}, {1, 5}, {0, 10}, {0, 500}};
    const Case cases[] = {
        {"null strings", true, false, true, false, nullptr, "127.0.0.1", nullptr, 9,
         {"+OK\r\n", "C:USER ", "-ERR\r\n"}, "USER \r\n", {{0, 1}, {2, -1}, {0, 500}}, false},
        {"folder past its width: message left on the server", false, true, false, false, "", "127.0.0.1",
         "joe", 9, oneMessage, "USER joe\r\nPASS secret\r\nSTAT\r\nRETR 1\r\nQUIT\r\n",
         {{0, 1}, {0, 2}, {1, 4}, {1, 5}, {0, 500}}, false},
        {"log path past its width: silent log", false, false, false, true, "", "127.0.0.1", "joe", 9,
         oneMessage, all, allPairs, true},
        {"negative and huge levels", false, false, false, false, "", "127.0.0.1", "joe", -7, oneMessage,
         all, allPairs, true},
        {"huge user name, sent whole", false, false, false, false, "", "127.0.0.1", "", 1000,
         {"+OK\r\n", "C:USER", "-ERR\r\n"}, "USER " + huge + "\r\n", {{0, 1}, {2, -1}, {0, 500}}, false},
        {"address that does not convert", false, false, false, false, "", "999.1.2.3", "joe", 9, {}, "",
         {{100, -1}}, false},
        {"huge host name", false, false, false, false, huge.c_str(), "", "joe", 9, {}, "", {{100, -1}},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestDir dir;
        std::string folder = dir.subdir("in");
        std::string longFolder = folder + "\\" + std::string(420, 'f');
        std::string log = dir.file("pop.log");
        std::string longLog = dir.path() + "\\" + std::string(300, 'l') + ".log";
        // No server where the session cannot connect (it would wait for one).
        std::optional<ScriptServer> server;
        if (!c.dialogue.empty())
            server.emplace(testsupport::dialogue(c.dialogue));
        PopOut popOut;
        popOut.set(std::to_string(server ? server->port() : 9));
        Library lib;
        ProgressWindow window;
        const char* folderArg = c.nullFolder ? nullptr : c.longFolder ? longFolder.c_str() : folder.c_str();
        const char* logArg = c.nullLog ? nullptr : c.longLog ? longLog.c_str() : log.c_str();
        EXPECT_EQ(lib.init(static_cast<HWND>(window.handle()), kBase, folderArg, c.hostName, c.hostAddress,
                           logArg, c.logLevel),
                  1);
        const char* user = c.user && !*c.user ? huge.c_str() : c.user;
        EXPECT_EQ(lib.get(user, c.user ? "secret" : nullptr), -1);
        EXPECT_EQ(window.waitForEnd(kBase, 30000), c.pairs);
        if (server) {
            EXPECT_EQ(server->received(), c.received);
        }
        if (c.stored) {
            EXPECT_EQ(testsupport::readFile(folder + "\\1.msg"), "body\r\n");
        } else {
            EXPECT_FALSE(testsupport::fileExists(folder + "\\1.msg"));
        }
        if (c.longLog || c.nullLog || c.logLevel < 1) {
            EXPECT_FALSE(testsupport::fileExists(log));
        }
    }
}

// Each export removes exactly the bytes of arguments a host pushed: 8 for
// getPopMail (refused here, before any init), 28 for initPopMail.
TEST(TarnpopExports, EachRemovesExactlyItsArguments)
{
#if defined(__i386__)
    using testsupport::calleeRemovedBytes;
    using testsupport::word;
    TestDir dir;
    std::string folder = dir.path();
    std::string log = dir.file("pop.log");
    Dll dll("tarnpop.dll");
    ASSERT_TRUE(dll.loaded());
    EXPECT_EQ(calleeRemovedBytes(dll.procAddress("getPopMail"), {word("user"), word("secret")}), 8);
    EXPECT_EQ(calleeRemovedBytes(dll.procAddress("initPopMail"),
                                 {0, kBase, word(folder.c_str()), word("localhost"),
                                  word("127.0.0.1"), word(log.c_str()), 0}),
              28);
#else
    GTEST_SKIP() << "x86_64 has one calling convention, in which the caller removes the arguments";
#endif
}

}  // namespace
