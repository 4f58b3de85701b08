// tarnwick.exe run as a separate process against scripted POP3 servers:
// where fetch-pop keeps what it retrieved, the refusal while message files
// of an earlier session are in the folder, the wait for a slow session, and
// the refusal of a second AUTO while the first one's window exists.
#include "childprocess.h"
#include "scriptserver.h"
#include "testdir.h"
#include "testportsetting.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using testsupport::BackgroundProgram;
using testsupport::ProgramRun;
using testsupport::readFile;
using testsupport::runCapturing;
using testsupport::ScriptServer;
using testsupport::ScriptStep;
using testsupport::TestDir;
using Steps = std::vector<ScriptStep>;

constexpr char kTitle[] = "roziradedeze39";

Steps operator+(Steps a, const Steps& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A mailbox of one message, its lines as given.
Steps oneMessage(const std::string& lines)
{
    return testsupport::dialogue({"+OK\r\n", "C:USER joe", "+OK\r\n", "C:PASS secret", "+OK\r\n",
                                  "C:STAT", "+OK 1 20\r\n", "C:RETR 1", "+OK\r\n" + lines + ".\r\n",
                                  "C:DELE 1", "+OK\r\n", "C:QUIT", "+OK\r\n"});
}

const char kOneSession[] = "USER joe\r\nPASS secret\r\nSTAT\r\nRETR 1\r\nDELE 1\r\nQUIT\r\n";

// The registry value pop_out that tarnpop reads, restored afterwards.
struct PopOut : testsupport::PortSetting {
    PopOut() : PortSetting("pop_out") {}
};

class HostFetchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string bin = testsupport::exeFolder();
        for (const char* name : {"tarnwick.exe", "tarn32.dll", "tarnpop.dll"})
            ASSERT_TRUE(CopyFileA((bin + "\\" + name).c_str(), dir.file(name).c_str(), FALSE)) << name;
        // A wait notice every 200 ms: any session pause is far longer.
        SetEnvironmentVariableA("TARNWICK_WAIT_NOTICE_MS", "200");
        ASSERT_EQ(FindWindowA(nullptr, kTitle), nullptr) << "another host window is open";
    }
    void TearDown() override { SetEnvironmentVariableA("TARNWICK_WAIT_NOTICE_MS", nullptr); }

    std::string host() const { return dir.file("tarnwick.exe"); }
    std::string fetch(const std::string& folder) const
    {
        return host() + " fetch-pop " + folder + " localhost 127.0.0.1 joe secret " + folder +
               "\\pop.log 9";
    }
    std::string log() const { return readFile(dir.file("tarnwick.log")); }
    // The contents of the files in folder, sorted.
    static std::vector<std::string> contents(const std::string& folder)
    {
        std::vector<std::string> all;
        for (const std::string& name : testsupport::listFolder(folder))
            all.push_back(readFile(folder + "\\" + name));
        std::sort(all.begin(), all.end());
        return all;
    }
    static std::vector<std::string> messageFiles(const std::string& folder)
    {
        std::vector<std::string> names;
        for (const std::string& name : testsupport::listFolder(folder)) {
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".msg") == 0)
                names.push_back(name);
        }
        return names;
    }

    TestDir dir;
    PopOut popOut;
};

// Two fetches into one folder: the second session writes 1.msg again, so
// the first one's file must be gone from the folder by then, kept under a
// name of its own.
TEST_F(HostFetchTest, SecondFetchIntoTheSameFolderLosesNothing)
{
    std::string folder = dir.subdir("pop");
    for (const char* body : {"first\r\n", "..second\r\n"}) {
        SCOPED_TRACE(body);
        ScriptServer server(oneMessage(body));
        popOut.set(server.port());
        ProgramRun run = runCapturing(fetch(folder), dir.path());
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, 0u) << run.output;
        EXPECT_NE(run.output.find("1 message kept in " + folder + "\\received"), std::string::npos)
            << run.output;
        EXPECT_EQ(server.received(), kOneSession);
        EXPECT_TRUE(messageFiles(folder).empty());
    }
    std::vector<std::string> kept = testsupport::listFolder(folder + "\\received");
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_NE(kept[0], kept[1]);
    EXPECT_EQ(contents(folder + "\\received"), (std::vector<std::string>{"..second\r\n", "first\r\n"}));
}

// Message files left in the folder (a session the host did not see to its
// end, or files put there by hand): no session, nothing touched.
TEST_F(HostFetchTest, MessageFilesOfAnEarlierSessionStopTheNextOne)
{
    std::string folder = dir.subdir("pop");
    testsupport::writeFile(folder + "\\1.msg", "left\r\n");
    testsupport::writeFile(folder + "\\notes.txt", "not a message file\r\n");
    popOut.set(testsupport::unusedPort());
    ProgramRun run = runCapturing(fetch(folder), dir.path());
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_NE(run.output.find("still holds message files of an earlier session (1.msg)"),
              std::string::npos)
        << run.output;
    EXPECT_FALSE(testsupport::fileExists(folder + "\\pop.log"));  // initPopMail never ran
    EXPECT_EQ(testsupport::listFolder(folder), (std::vector<std::string>{"1.msg", "notes.txt"}));
    EXPECT_EQ(readFile(folder + "\\1.msg"), "left\r\n");
}

// A session cut off in the middle of a message: the partial file is kept
// apart from the whole ones, and the folder is free for the next session.
TEST_F(HostFetchTest, AFileTheSessionDidNotFinishIsKeptApart)
{
    std::string folder = dir.subdir("pop");
    ScriptServer server(testsupport::dialogue({"+OK\r\n", "C:USER joe", "+OK\r\n", "C:PASS secret",
                                               "+OK\r\n", "C:STAT", "+OK 2 20\r\n", "C:RETR 1",
                                               "+OK\r\nwhole\r\n.\r\n", "C:DELE 1", "+OK\r\n",
                                               "C:RETR 2", "+OK\r\nhalf\r\n"}) +
                        Steps{testsupport::closeConnection()});
    popOut.set(server.port());
    ProgramRun run = runCapturing(fetch(folder), dir.path());
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_NE(run.output.find("message 2 may be incomplete"), std::string::npos) << run.output;
    EXPECT_TRUE(messageFiles(folder).empty());
    EXPECT_EQ(contents(folder + "\\received"), (std::vector<std::string>{"whole\r\n"}));
    EXPECT_EQ(contents(folder + "\\incomplete"), (std::vector<std::string>{"half\r\n"}));
}

// A message the server refuses to send stays on the server; the person is
// told which one, and the others are kept as usual.
TEST_F(HostFetchTest, AMessageTheServerRefusesIsNamedAndTheOthersKept)
{
    std::string folder = dir.subdir("pop");
    ScriptServer server(testsupport::dialogue(
        {"+OK\r\n", "C:USER joe", "+OK\r\n", "C:PASS secret", "+OK\r\n", "C:STAT", "+OK 3 30\r\n",
         "C:RETR 1", "+OK\r\none\r\n.\r\n", "C:DELE 1", "+OK\r\n", "C:RETR 2", "-ERR damaged\r\n",
         "C:RETR 3", "+OK\r\nthree\r\n.\r\n", "C:DELE 3", "+OK\r\n", "C:QUIT", "+OK\r\n"}));
    popOut.set(server.port());
    ProgramRun run = runCapturing(fetch(folder), dir.path());
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_NE(run.output.find("message 2 not retrieved"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("message 1 not"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("message 3 not"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("2 messages kept"), std::string::npos) << run.output;
    EXPECT_EQ(contents(folder + "\\received"), (std::vector<std::string>{"one\r\n", "three\r\n"}));
}

// The old host gave up after a time without a pair while the session still
// ran, and the next AUTO step started a second session beside it. Here the
// first server pauses far past the wait notice in the middle of a message:
// the step waits for its last pair, shows that it waits, and the next step
// (another server, the same folder) runs only after it.
TEST_F(HostFetchTest, ASlowSessionIsWaitedForAndNotDoubled)
{
    std::string folder = dir.subdir("pop");
    ScriptServer slow(testsupport::dialogue({"+OK\r\n", "C:USER joe", "+OK\r\n", "C:PASS secret",
                                             "+OK\r\n", "C:STAT", "+OK 1 20\r\n", "C:RETR 1",
                                             "+OK\r\nfirst\r\n"}) +
                      Steps{testsupport::pause(2000)} +
                      testsupport::dialogue({"line\r\n.\r\n", "C:DELE 1", "+OK\r\n", "C:QUIT",
                                             "+OK\r\n"}));
    ScriptServer next(oneMessage("next\r\n"));
    std::string fetchArgs = " localhost 127.0.0.1 joe secret " + folder + "\\pop.log 9\n";
    testsupport::writeFile(dir.file("tarnwick.auto"),
                           "pop-port " + std::to_string(slow.port()) + "\n"
                           "fetch-pop " + folder + fetchArgs +
                           "pop-port " + std::to_string(next.port()) + "\n"
                           "fetch-pop " + folder + fetchArgs +
                           "quit\n");
    BackgroundProgram auto_(host() + " AUTO");
    ASSERT_TRUE(auto_.started());
    DWORD exitCode = 99;
    ASSERT_TRUE(auto_.waitEnd(60000, &exitCode)) << log();
    EXPECT_EQ(exitCode, 0u);
    std::string text = log();
    EXPECT_NE(text.find("waiting for the session: no progress for"), std::string::npos) << text;
    EXPECT_NE(text.find("step (line 2) ended with 0"), std::string::npos) << text;
    EXPECT_NE(text.find("step (line 4) ended with 0"), std::string::npos) << text;
    EXPECT_EQ(text.find("giving up"), std::string::npos) << text;
    EXPECT_EQ(slow.received(), kOneSession);
    EXPECT_EQ(next.received(), kOneSession);
    EXPECT_TRUE(messageFiles(folder).empty());
    EXPECT_EQ(contents(folder + "\\received"),
              (std::vector<std::string>{"first\r\nline\r\n", "next\r\n"}));
}

// The named form keeps the password out of the argument list, and the
// progress is shown as message n of N with its bytes.
TEST_F(HostFetchTest, TheNamedFormTakesThePasswordFromAFileOrTheEnvironment)
{
    std::string folder = dir.subdir("pop");
    testsupport::writeFile(dir.file("pass.txt"), "secret\r\n");
    SetEnvironmentVariableA("TARN_TEST_POP_PASSWORD", "secret");
    for (const char* source : {"--password-file pass.txt", "--password-env TARN_TEST_POP_PASSWORD"}) {
        SCOPED_TRACE(source);
        ScriptServer server(oneMessage("hello\r\n"));
        popOut.set(server.port());
        ProgramRun run = runCapturing(host() + " fetch-pop " + folder +
                                          " localhost --address 127.0.0.1 --user joe -v " + source,
                                      dir.path());
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, 0u) << run.output;
        EXPECT_EQ(server.received(), kOneSession);
        EXPECT_NE(run.output.find("message 1 of 1: 7 B"), std::string::npos) << run.output;
        EXPECT_NE(run.output.find("1 message kept in"), std::string::npos) << run.output;
        EXPECT_TRUE(testsupport::fileExists(folder + "\\pop.log"));  // the default log
    }
    SetEnvironmentVariableA("TARN_TEST_POP_PASSWORD", nullptr);
}

// AUTO's log is a file: no password in its step lines, and the progress as
// plain lines, never a carriage return without its line feed.
TEST_F(HostFetchTest, AutoMasksThePasswordAndLogsPlainProgressLines)
{
    std::string folder = dir.subdir("pop");
    ScriptServer server(oneMessage("hello\r\n"));
    testsupport::writeFile(dir.file("tarnwick.auto"),
                           "pop-port " + std::to_string(server.port()) + "\n"
                           "fetch-pop " + folder + " localhost 127.0.0.1 joe secret " + folder +
                               "\\pop.log 9\n"
                           "fetch-pop " + folder + " localhost 127.0.0.1 joe secret --level x\n"
                           "quit\n");
    BackgroundProgram auto_(host() + " AUTO");
    ASSERT_TRUE(auto_.started());
    ASSERT_TRUE(auto_.waitEnd(60000)) << log();
    EXPECT_EQ(server.received(), kOneSession);
    std::string text = log();
    EXPECT_NE(text.find("127.0.0.1 joe ***** "), std::string::npos) << text;
    EXPECT_EQ(text.find("secret"), std::string::npos) << text;
    EXPECT_NE(text.find("message 1 of 1: 7 B"), std::string::npos) << text;
    EXPECT_NE(text.find("written to HKLM\\software\\tarnwick\\ports"),
              std::string::npos) << text;
    for (std::size_t at = text.find('\r'); at != std::string::npos; at = text.find('\r', at + 1))
        ASSERT_EQ(text[at + 1], '\n') << "a bare carriage return at " << at << ":\n" << text;
    // Standard output is buffered into the log and errors are not: each
    // line still lands where it was printed.
    std::size_t progress = text.find("message 1 of 1: 7 B");
    std::size_t firstEnd = text.find("step (line 2) ended with 0");
    std::size_t error = text.find("usage: tarnwick fetch-pop");
    std::size_t secondEnd = text.find("step (line 3) ended with 2");
    EXPECT_LT(progress, firstEnd) << text;
    EXPECT_LT(firstEnd, error) << text;
    EXPECT_LT(error, secondEnd) << text;
    EXPECT_NE(secondEnd, std::string::npos) << text;
}

TEST_F(HostFetchTest, SecondAutoIsRefusedWhileTheWindowExists)
{
    BackgroundProgram first(host() + " AUTO");
    ASSERT_TRUE(first.started());
    HWND window = testsupport::waitForWindow(kTitle, 15000);
    ASSERT_NE(window, nullptr);

    ProgramRun second = runCapturing(host() + " AUTO", dir.path(), 30000);
    ASSERT_TRUE(second.finished);
    EXPECT_EQ(second.exitCode, 1u);
    EXPECT_NE(second.output.find("a window titled \"roziradedeze39\" exists"), std::string::npos)
        << second.output;
    EXPECT_EQ(FindWindowA(nullptr, kTitle), window);
    std::string text = log();
    EXPECT_NE(text.find("another tarnwick AUTO runs, this one does not start"), std::string::npos)
        << text;
    EXPECT_EQ(text.find("started (process"), text.rfind("started (process")) << text;

    SendMessageA(window, 1024, 0, 0);
    SendMessageA(window, 1023, 0, 0);
    ASSERT_TRUE(testsupport::waitWindowGone(kTitle, 10000));
    ASSERT_TRUE(first.waitEnd(10000));
}

}  // namespace
