// tarnwick.exe run as a separate process: AUTO mode (its window, its work
// file, the messages 1024 and 1023) and the dial-up subcommands, against the
// rasapi32.dll double copied beside it.
#include "childprocess.h"
#include "testdir.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

using testsupport::BackgroundProgram;
using testsupport::exeFolder;
using testsupport::ProgramRun;
using testsupport::readFile;
using testsupport::runCapturing;
using testsupport::TestDir;

constexpr char kTitle[] = "roziradedeze39";

class HostTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string bin = exeFolder();
        ASSERT_TRUE(CopyFileA((bin + "\\tarnwick.exe").c_str(), dir.file("tarnwick.exe").c_str(), FALSE));
        ASSERT_TRUE(CopyFileA((bin + "\\tarn32.dll").c_str(), dir.file("tarn32.dll").c_str(), FALSE));
        ASSERT_TRUE(CopyFileA((bin + "\\rasdouble\\rasapi32.dll").c_str(),
                              dir.file("rasapi32.dll").c_str(), FALSE));
        testsupport::writeFile(dir.file("phone.txt"), "office\tanna\ts3cret\n");
        SetEnvironmentVariableA("TARN_RAS_PHONEBOOK", dir.file("phone.txt").c_str());
        ASSERT_EQ(FindWindowA(nullptr, kTitle), nullptr) << "another host window is open";
    }
    std::string host() const { return dir.file("tarnwick.exe"); }
    std::string log() const { return readFile(dir.file("tarnwick.log")); }
    // Polls the AUTO log until it contains text.
    bool waitLog(const char* text, DWORD timeoutMs = 30000) const
    {
        DWORD start = GetTickCount();
        while (log().find(text) == std::string::npos) {
            if (GetTickCount() - start > timeoutMs)
                return false;
            Sleep(50);
        }
        return true;
    }
    std::size_t at(const char* text) const { return log().find(text); }

    TestDir dir;
};

TEST_F(HostTest, AutoRunsItsWorkInOrderAndClosesAfter1024Then1023)
{
    std::string made = dir.file("made");
    testsupport::writeFile(dir.file("tarnwick.auto"),
                           "# a round of unattended work\n"
                           "dial-params office\n"
                           "dial office\n"
                           "dial-status\n"
                           "hangup\n"
                           "mkdir " + made + "\n");
    BackgroundProgram auto_(host() + " AUTO");
    ASSERT_TRUE(auto_.started());
    HWND window = testsupport::waitForWindow(kTitle, 15000);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(waitLog("unattended work done")) << log();
    EXPECT_EQ(FindWindowA(nullptr, kTitle), window);  // the window stays after the work
    EXPECT_FALSE(IsWindowVisible(window));

    SendMessageA(window, 1024, 0, 0);
    SendMessageA(window, 1023, 0, 0);
    ASSERT_TRUE(testsupport::waitWindowGone(kTitle, 10000));
    DWORD exitCode = 99;
    ASSERT_TRUE(auto_.waitEnd(10000, &exitCode));
    EXPECT_EQ(exitCode, 0u);

    // Each step's output, in order: the connection made by one step is the
    // one the next steps see (one process, tarn32 kept loaded).
    const char* inOrder[] = {"office: user anna, password stored (6 characters)",
                             "connected to office", "connection state 8192 (connected), error 0",
                             "hung up", "created", "unattended work done", "received 1024",
                             "received 1023", "window closed", "AUTO: ended"};
    std::size_t last = 0;
    for (const char* text : inOrder) {
        SCOPED_TRACE(text);
        std::size_t pos = at(text);
        ASSERT_NE(pos, std::string::npos) << log();
        EXPECT_GE(pos, last);
        last = pos;
    }
    EXPECT_TRUE(testsupport::fileExists(made));
}

TEST_F(HostTest, CloseWaitsForTheRunningStepAndNoFurtherStepStarts)
{
    std::string never = dir.file("never");
    testsupport::writeFile(dir.file("tarnwick.auto"),
                           "dial office\nhangup\nmkdir " + never + "\n");
    BackgroundProgram auto_(host() + " AUTO");
    HWND window = testsupport::waitForWindow(kTitle, 15000);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(waitLog("step (line 2): hangup")) << log();  // takes three seconds
    SendMessageA(window, 1024, 0, 0);
    SendMessageA(window, 1023, 0, 0);
    EXPECT_EQ(FindWindowA(nullptr, kTitle), window);  // still open while the step runs
    ASSERT_TRUE(testsupport::waitWindowGone(kTitle, 15000));
    ASSERT_TRUE(auto_.waitEnd(10000));
    EXPECT_LT(at("received 1023"), at("step (line 2) ended"));
    EXPECT_LT(at("step (line 2) ended"), at("window closed"));
    EXPECT_EQ(at("step (line 3)"), std::string::npos) << log();
    EXPECT_FALSE(testsupport::fileExists(never));
}

TEST_F(HostTest, QuitClosesTheWindowItselfAndBadLinesAreSkipped)
{
    std::string never = dir.file("never");
    testsupport::writeFile(dir.file("tarnwick.auto"),
                           "bogus 1 2\n"
                           "AUTO\n"
                           "every soon\n"
                           "dial-params \"office\n"
                           "dial-params office\n"
                           "quit\n"
                           "mkdir " + never + "\n");
    BackgroundProgram auto_(host() + " AUTO");
    DWORD exitCode = 99;
    ASSERT_TRUE(auto_.waitEnd(20000, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(FindWindowA(nullptr, kTitle), nullptr);
    for (const char* text : {"line 1: no subcommand bogus (skipped)", "line 2: no subcommand AUTO (skipped)",
                             "line 3: every takes", "line 4: unclosed quote (skipped)",
                             "office: user anna", "quit (line 6)", "window closed"}) {
        EXPECT_NE(at(text), std::string::npos) << text << "\n" << log();
    }
    EXPECT_EQ(at("received"), std::string::npos);
    EXPECT_FALSE(testsupport::fileExists(never));
}

TEST_F(HostTest, EveryRepeatsTheWorkUntilTheHandshake)
{
    testsupport::writeFile(dir.file("tarnwick.auto"), "every 1\ndial-params office\n");
    BackgroundProgram auto_(host() + " AUTO");
    HWND window = testsupport::waitForWindow(kTitle, 15000);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(waitLog("round 3")) << log();
    SendMessageA(window, 1024, 0, 0);  // wakes the wait between rounds
    SendMessageA(window, 1023, 0, 0);
    ASSERT_TRUE(testsupport::waitWindowGone(kTitle, 5000));
    ASSERT_TRUE(auto_.waitEnd(10000));
    std::string text = log();
    int steps = 0;
    for (std::size_t p = 0; (p = text.find("office: user anna", p)) != std::string::npos; ++p)
        ++steps;
    EXPECT_GE(steps, 3);
}

TEST_F(HostTest, DialSubcommandsShowProgressAndFailures)
{
    struct Case {
        const char* args;
        DWORD exitCode;
        const char* output;  // a line the output contains
    } cases[] = {
        {"dial-params office", 0, "office: user anna, password stored (6 characters)\n"},
        {"dial-params nowhere", 1, "nowhere: no such entry in the phone book (-12)\n"},
        {"dial office", 0, "  5      authenticating\n"},
        {"dial office", 0, "connected to office\n"},
        {"dial office anna s3cret 20", 0, "dialing office as anna\n"},
        {"dial office anna wrong", 1, "  5      authenticating: error 691\n"},
        {"dial nowhere", 1, "no stored credentials for nowhere"},
        {"dial nowhere anna s3cret", 1, "dialing nowhere refused: Remote Access Service error 623\n"},
        // A fresh process has dialed nothing: handle 0.
        {"dial-status", 1, "no connection status: Remote Access Service error 6\n"},
        {"hangup", 1, "hang-up failed: Remote Access Service error 6\n"},
        {"dial", 2, "usage: tarnwick dial"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        ProgramRun run = runCapturing(host() + " " + c.args, dir.path());
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.output;
        EXPECT_NE(run.output.find(c.output), std::string::npos) << run.output;
    }
}

}  // namespace
