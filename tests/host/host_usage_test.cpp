// tarnwick.exe run as a process for what a person meets first: the help,
// the exit codes (0 done, 1 failed, 2 usage) and the checks of arguments,
// each refusal naming the argument and touching nothing.
#include "childprocess.h"
#include "testdir.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

using testsupport::ProgramRun;
using testsupport::runCapturing;
using testsupport::TestDir;

class HostUsageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string bin = testsupport::exeFolder();
        for (const char* name : {"tarnwick.exe", "tarn32.dll"})
            ASSERT_TRUE(CopyFileA((bin + "\\" + name).c_str(), dir.file(name).c_str(), FALSE)) << name;
        testsupport::writeFile(dir.file("plain.eml"), "From: a@b\r\nSubject: hi\r\n\r\nno attachment\r\n");
        testsupport::writeFile(dir.file("text.txt"), "hello\n");
        // A mail job whose data file is missing: IMPMAIL cannot import it.
        testsupport::writeFile(dir.subdir("in") + "\\X.gate0001.x", "U gate x\nF D.gateB0001\nC rmail joe@x\n");
        dir.subdir("work");
        dir.subdir("store");
    }
    ProgramRun run(const std::string& args) const
    {
        return runCapturing(dir.file("tarnwick.exe") + " " + args, dir.path());
    }

    TestDir dir;
};

TEST_F(HostUsageTest, ExitCodesAndMessagesAreTheSameInEveryCommand)
{
    std::string d = dir.path();
    std::string longName(257, 'u');
    struct Case {
        std::string args;
        DWORD exitCode;
        std::string output;  // a part of stdout and stderr
    } cases[] = {
        {"help", 0, "Measuring tools (benchmarks and soak runs"},
        {"help fetch-pop", 0, "--password-file FILE"},
        {"send-mail --help", 0, "--helo NAME    the name given in HELO (default localhost)"},
        {"--version", 0, "tarnwick 1.0"},
        {"help nothing", 2, "tarnwick: no command 'nothing'"},
        {"nothing", 2, "tarnwick: unknown command 'nothing'"},
        {"", 2, "usage: tarnwick COMMAND"},
        // Numbers are checked whole, and the refusal names the argument.
        {"append-message " + d + "\\store 0 " + d + "\\text.txt --repeat x", 2,
         "tarnwick: --repeat must be a whole number from 1 to 1000000, not 'x'"},
        {"append-message " + d + "\\store 0 " + d + "\\text.txt --repeat", 2, "--repeat needs a value"},
        {"append-message " + d + "\\store 0 " + d + "\\text.txt --repaet 2", 2, "unknown option --repaet"},
        {"read-message " + d + "\\store 0 x 10", 2, "offset must be a whole number"},
        {"read-mail " + d + "\\work 0", 2, "record must be a whole number from 1 up"},
        {"import-mail " + d + "\\in " + d + "\\work gate office 5 -v", 2, "give the log level once"},
        {"import-news " + d + "\\in " + d + "\\work gate office 4", 2, "bits must be 0 (plain) or 9 to 16"},
        {"send-mail 127.0.0.1 70000 helo " + d + " log 9 env msg", 2, "port must be a whole number from 1 to 65535"},
        {"send-to 127.0.0.1 a@b.test c@d.test " + d + "\\missing.txt --folder " + d, 2,
         "cannot read the message file"},
        {"etrn mail.test flush.test 0", 2, "port must be a whole number from 1 to 65535"},
        {"fetch-pop " + d + " mail.test --user joe", 2, "give --user and --password-env or --password-file"},
        {"fetch-pop " + d + " mail.test --user joe --password-env TARN_UNSET_PASSWORD", 2,
         "the environment variable TARN_UNSET_PASSWORD is not set"},
        {"dial office " + longName + " pw", 2, "the user name is longer than 256 characters"},
        {"mime-decode " + d + "\\missing.eml " + d + "\\out.bin", 2, "<message>: cannot find the file"},
        // Failed operations.
        {"mime-decode " + d + "\\plain.eml " + d + "\\out.bin", 1, "no attachment was kept"},
        {"import-mail " + d + "\\in " + d + "\\work gate office", 1, "1 mail job left in"},
        {"find " + d + " *.none", 1, "tarnwick: nothing in"},
        {"mkdir " + d + "\\store", 1, "tarnwick: " + d + "\\store: cannot be created"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        ProgramRun r = run(c.args);
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.output;
        EXPECT_NE(r.output.find(c.output), std::string::npos) << r.output;
    }
    // Nothing was appended by the refused calls, nothing decoded.
    EXPECT_EQ(testsupport::listFolder(dir.file("store")), std::vector<std::string>{});
    EXPECT_FALSE(testsupport::fileExists(dir.file("out.bin")));
}

TEST_F(HostUsageTest, HelpNeverBecomesAFolderOrAFile)
{
    for (const char* args : {"mkdir --help", "mkdir -h", "attach . --help x"}) {
        SCOPED_TRACE(args);
        ProgramRun r = run(args);
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.exitCode, 0u);
        EXPECT_NE(r.output.find("usage: tarnwick"), std::string::npos) << r.output;
    }
    EXPECT_FALSE(testsupport::fileExists(dir.file("--help")));
    EXPECT_FALSE(testsupport::fileExists(dir.file("-h")));
}

TEST_F(HostUsageTest, ALibraryThatWillNotLoadIsNamedWithTheReason)
{
    ASSERT_TRUE(DeleteFileA(dir.file("tarn32.dll").c_str()));
    ProgramRun r = run("mkdir " + dir.file("made"));
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_NE(r.output.find("tarnwick: cannot load tarn32.dll"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("(error 126)"), std::string::npos) << r.output;
    EXPECT_FALSE(testsupport::fileExists(dir.file("made")));
}

}  // namespace
