// postgate.dll as a host loads it: the export table, the results of the
// exports and sessions started through ConnectToHost on the worker thread.
#include "dll.h"
#include "imagecheck.h"
#include "stdcallprobe.h"
#include "scriptserver.h"
#include "smtpharness.h"
#include "testdir.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

using smtptest::line;
using smtptest::Pairs;
using testsupport::Dll;
using testsupport::ScriptServer;
using testsupport::dialogue;

using InitSmtpMail = int __stdcall(HWND, int, const char*, const char*, const char*, const char*,
                                   int, int, const char*);
using ConnectToHost = int __stdcall(const char*, const char*);
using DestroyIt = void __stdcall();

struct Library {
    Dll dll{"postgate.dll"};
    InitSmtpMail* init = dll.get<InitSmtpMail>("initSmtpMail");
    ConnectToHost* connect = dll.get<ConnectToHost>("ConnectToHost");
    DestroyIt* destroy = dll.get<DestroyIt>("DestroyIt");
};

struct Files {
    testsupport::TestDir dir;
    std::string folder = dir.subdir("out");
    std::string log = dir.file("smtp.log");
    std::string envelope = dir.file("env.txt");
    std::string message = dir.file("msg.txt");
    Files()
    {
        testsupport::writeFile(envelope, "<a@here>\r\n<b@there>\r\n");
        testsupport::writeFile(message, "x\r\n");
    }
};

std::vector<std::string> cleanRelay()
{
    return {"220 hi\r\n", "C:HELO", "250 relay\r\n", "C:MAIL", "250 ok\r\n", "C:RCPT",
            "250 ok\r\n", "C:DATA", "354 go\r\n", "C:", "C:", "C:", "250 queued\r\n", "C:QUIT",
            "221 bye\r\n"};
}

TEST(PostgateExports, TableAndImports)
{
    testsupport::expectShippedImage(
        testsupport::readPeImage(testsupport::exeFolder() + "\\postgate.dll"),
        testsupport::kOwnMachine, shipped::kPostgateExports);
    Library lib;
    ASSERT_TRUE(lib.dll.loaded());
    EXPECT_EQ(lib.dll.procAddress(2), reinterpret_cast<void*>(lib.init));
    EXPECT_EQ(lib.dll.procAddress(4), reinterpret_cast<void*>(lib.connect));
}

TEST(PostgateExports, ConnectBeforeInitRefusesAndWritesNothing)
{
    Files f;
    Library lib;
    ASSERT_NE(lib.connect, nullptr);
    EXPECT_EQ(lib.connect(f.envelope.c_str(), f.message.c_str()), -1);
    EXPECT_EQ(testsupport::listFolder(f.dir.path()),
              (std::vector<std::string>{"env.txt", "msg.txt", "out"}));
    lib.destroy();
    EXPECT_EQ(lib.connect(f.envelope.c_str(), f.message.c_str()), -1);
}

TEST(PostgateExports, InitReturnsOneWhateverItsArguments)
{
    Library lib;
    EXPECT_EQ(lib.init(nullptr, 0, nullptr, nullptr, nullptr, nullptr, 0, 0, nullptr), 1);
    std::string longText(600, 'f');
    EXPECT_EQ(lib.init(nullptr, -5, longText.c_str(), longText.c_str(), "not an address",
                       longText.c_str(), 99, 70000, longText.c_str()),
              1);
}

TEST(PostgateExports, SessionOnTheWorkerThreadWithEventBaseOne)
{
    for (int level : {1, 9}) {
        SCOPED_TRACE(level);
        Files f;
        Library lib;
        smtptest::ProgressWindow window;
        ScriptServer server(dialogue(cleanRelay()) +
                            std::vector<testsupport::ScriptStep>{testsupport::closeConnection()});
        ASSERT_EQ(lib.init(static_cast<HWND>(window.handle()), 1, f.folder.c_str(), "ignored",
                           "127.0.0.1", f.log.c_str(), level, server.port(), "here.example"),
                  1);
        lib.destroy();
        EXPECT_EQ(lib.connect(f.envelope.c_str(), f.message.c_str()), 1);
        Pairs pairs = window.waitForEnd(1, 20000);
        EXPECT_EQ(pairs, (Pairs{{0, 1}, {50, 1}, {51, 1}, {52, 1}, {0, 100}, {0, 10}, {0, 500}}));
        EXPECT_EQ(server.received(), "HELO here.example\r\nMAIL FROM: <a@here>\r\n"
                                     "RCPT TO: <b@there>\r\nDATA\r\nx\r\n\r\n.\r\nQUIT\r\n");
        Sleep(100);  // the thread leaves the library after its last pair
        std::vector<std::string> lines = smtptest::logLines(f.log);
        if (level == 1) {
            EXPECT_TRUE(lines.empty());
        } else {
            ASSERT_GE(lines.size(), 4u);
            EXPECT_EQ(lines[0], line(2, "Starting"));
            EXPECT_EQ(lines[1], line(9, "SMTP Connect requested"));
            EXPECT_EQ(std::count(lines.begin(), lines.end(), line(9, "Created SMTP Client thread")), 1);
            EXPECT_EQ(std::count(lines.begin(), lines.end(),
                                 line(5, "SMTP Client contacting host at 127.0.0.1")),
                      1);
        }
    }
}

TEST(PostgateExports, HostNameIsLookedUpWhenTheAddressIsEmpty)
{
    Files f;
    Library lib;
    smtptest::ProgressWindow window;
    ScriptServer server(dialogue({"554 no\r\n"}));
    lib.init(static_cast<HWND>(window.handle()), 100, f.folder.c_str(), "localhost", "",
             f.log.c_str(), 9, server.port(), "h");
    EXPECT_EQ(lib.connect(f.envelope.c_str(), f.message.c_str()), 1);
    EXPECT_EQ(window.waitForEnd(100, 20000), (Pairs{{0, 1}, {50, -1}, {0, 500}}));
    Sleep(100);
    std::vector<std::string> lines = smtptest::logLines(f.log);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), line(5, "SMTP Client contacting host localhost")), 1);
}

TEST(PostgateExports, CallsWhileASessionRuns)
{
    Files f;
    Files later;
    Library lib;
    smtptest::ProgressWindow window;
    // The relay holds back its greeting while the host calls again.
    std::vector<testsupport::ScriptStep> script = {testsupport::pause(1500)};
    ScriptServer server(script + dialogue(cleanRelay()) +
                        std::vector<testsupport::ScriptStep>{testsupport::closeConnection()});
    lib.init(static_cast<HWND>(window.handle()), 1, f.folder.c_str(), "x", "127.0.0.1",
             f.log.c_str(), 9, server.port(), "here.example");
    ASSERT_EQ(lib.connect(f.envelope.c_str(), f.message.c_str()), 1);
    EXPECT_EQ(lib.connect(f.envelope.c_str(), f.message.c_str()), 0);
    // A new init during the session: its log and worker are fresh, the
    // running session keeps its own.
    EXPECT_EQ(lib.init(static_cast<HWND>(window.handle()), 50, later.folder.c_str(), "x",
                       "127.0.0.1", later.log.c_str(), 9, 1, "other.example"),
              1);
    EXPECT_EQ(lib.connect(later.envelope.c_str(), later.message.c_str()), 0);
    Pairs pairs = window.waitForEnd(1, 20000);
    EXPECT_EQ(pairs.back(), std::make_pair(0, 500));
    EXPECT_EQ(server.received().substr(0, 19), "HELO here.example\r\n");
    Sleep(100);
    std::vector<std::string> lines = smtptest::logLines(f.log);
    EXPECT_EQ(std::count(lines.begin(), lines.end(),
                         line(1, "SMTP Client still running, request refused.")),
              1);
    std::vector<std::string> laterLines = smtptest::logLines(later.log);
    EXPECT_EQ(laterLines, (std::vector<std::string>{line(2, "Starting"),
                                                    line(1, "SMTP Client still running, request refused.")}));
    // After the session the new settings are used.
    ScriptServer second(dialogue({"554 no\r\n"}));
    lib.init(static_cast<HWND>(window.handle()), 50, later.folder.c_str(), "x", "127.0.0.1",
             later.log.c_str(), 9, second.port(), "other.example");
    EXPECT_EQ(lib.connect(later.envelope.c_str(), later.message.c_str()), 1);
    EXPECT_EQ(window.waitForEnd(50, 20000), (Pairs{{0, 1}, {50, -1}, {0, 500}}));
}

TEST(PostgateExports, FolderTooLongRecordsNoRefusal)
{
    Files f;
    Library lib;
    smtptest::ProgressWindow window;
    std::string folder = f.folder + "\\" + std::string(220, 'd');
    ScriptServer server(dialogue({"220 hi\r\n", "C:HELO", "250 relay\r\n", "C:MAIL", "550 no\r\n"}));
    lib.init(static_cast<HWND>(window.handle()), 1, folder.c_str(), "x", "127.0.0.1",
             f.log.c_str(), 9, server.port(), "h");
    EXPECT_EQ(lib.connect(f.envelope.c_str(), f.message.c_str()), 1);
    EXPECT_EQ(window.waitForEnd(1, 20000), (Pairs{{0, 1}, {50, 1}, {51, -1}, {0, 500}}));
    Sleep(100);
    std::vector<std::string> lines = smtptest::logLines(f.log);
    EXPECT_EQ(std::count(lines.begin(), lines.end(),
                         line(1, "Error - Unable to open  " + folder + "\\smtp.bad")),
              1);
    EXPECT_EQ(testsupport::listFolder(f.folder), std::vector<std::string>{});
}

// Each export removes exactly the bytes of arguments a host pushed: 8 for
// ConnectToHost (refused here, before any init), none for DestroyIt, 36 for
// initSmtpMail.
TEST(PostgateExports, EachRemovesExactlyItsArguments)
{
#if defined(__i386__)
    using testsupport::calleeRemovedBytes;
    using testsupport::word;
    Files f;
    Dll dll("postgate.dll");
    ASSERT_TRUE(dll.loaded());
    EXPECT_EQ(calleeRemovedBytes(dll.procAddress("ConnectToHost"),
                                 {word(f.envelope.c_str()), word(f.message.c_str())}),
              8);
    EXPECT_EQ(calleeRemovedBytes(dll.procAddress("DestroyIt"), 0), 0);
    EXPECT_EQ(calleeRemovedBytes(dll.procAddress("initSmtpMail"),
                                 {0, 3000, word(f.folder.c_str()), word("localhost"), word("127.0.0.1"),
                                  word(f.log.c_str()), 0, 1, word("here.example")}),
              36);
#else
    GTEST_SKIP() << "x86_64 has one calling convention, in which the caller removes the arguments";
#endif
}

}  // namespace
