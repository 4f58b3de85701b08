// wincomp.exe against the machine's compress program (ncompress), both
// ways, on text and binary data of several sizes; and the command lines
// that news import and export use.
#include "dll.h"
#include "imagecheck.h"
#include "processes.h"
#include "testdir.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

using testsupport::fileExists;
using testsupport::readFile;
using testsupport::runProgram;
using testsupport::runShell;
using testsupport::unixPath;
using testsupport::writeFile;

std::string sample(bool binary, std::size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string s;
    s.reserve(n);
    static const char* words[] = {"Path: gate!news\n", "Newsgroups: comp.lang.c\n", "the ",
                                  "article ", "batch ", "of ", "#! rnews 1234\n", "\n"};
    while (s.size() < n) {
        if (binary)
            s += static_cast<char>(rng() & 0xff);
        else
            s += words[rng() % 8];
    }
    s.resize(n);
    return s;
}

std::string wincomp() { return testsupport::exeFolder() + "\\wincomp.exe"; }

class WincompInterop : public ::testing::Test {
protected:
    testsupport::TestDir dir;
    void SetUp() override
    {
        ASSERT_EQ(runShell("command -v compress >/dev/null"), 0) << "ncompress is not installed";
        ASSERT_FALSE(unixPath(dir.path()).empty());
    }
};

const std::size_t kSizes[] = {0, 1, 2, 100, 4096, 70000, 400000};

TEST_F(WincompInterop, OwnOutputIsExpandedByCompress)
{
    int n = 0;
    for (int bits : {9, 12, 13, 16}) {
        for (bool binary : {false, true}) {
            for (std::size_t size : kSizes) {
                std::string name = "c" + std::to_string(n++);
                std::string data = sample(binary, size, n);
                writeFile(dir.file(name), data);
                ASSERT_EQ(runProgram(wincomp() + " -fk  -b " + std::to_string(bits) + " " +
                                     dir.file(name)),
                          0);
                EXPECT_EQ(readFile(dir.file(name)), data) << "input kept";
                std::string u = unixPath(dir.file(name));
                ASSERT_EQ(runShell("compress -d -c < '" + u + ".z' > '" + u + ".back'"), 0)
                    << name << " bits " << bits << " size " << size;
                EXPECT_TRUE(readFile(dir.file(name + ".back")) == data)
                    << "bits " << bits << (binary ? " binary " : " text ") << size;
            }
        }
    }
}

TEST_F(WincompInterop, ExpandsWhatCompressWrites)
{
    // compress -b 9 writes streams that its own expander refuses, so the
    // peer's output is checked from 10 bits up.
    int n = 0;
    for (int bits : {10, 12, 14, 16}) {
        for (bool binary : {false, true}) {
            for (std::size_t size : kSizes) {
                std::string name = "d" + std::to_string(n++);
                std::string data = sample(binary, size, 100 + n);
                writeFile(dir.file(name + ".orig"), data);
                std::string u = unixPath(dir.file(name));
                ASSERT_EQ(runShell("compress -f -b " + std::to_string(bits) + " -c < '" + u +
                                   ".orig' > '" + u + ".z'"),
                          0);
                ASSERT_EQ(runProgram(wincomp() + " -d -b " + std::to_string(bits) + " " +
                                     dir.file(name)),
                          0)
                    << name;
                EXPECT_TRUE(readFile(dir.file(name)) == data)
                    << "bits " << bits << (binary ? " binary " : " text ") << size;
                EXPECT_TRUE(fileExists(dir.file(name + ".z"))) << "input kept";
            }
        }
    }
}

TEST_F(WincompInterop, CommandLineRules)
{
    const std::string f = dir.file("rnews");
    writeFile(f, "#! rnews 5\nhello");
    // Without -f an existing output is refused and left alone.
    writeFile(f + ".z", "old");
    EXPECT_EQ(runProgram(wincomp() + " -b 16 " + f), 1);
    EXPECT_EQ(readFile(f + ".z"), "old");
    // With -f it is replaced; -b12 attached works as well.
    EXPECT_EQ(runProgram(wincomp() + " -fk -b12 " + f), 0);
    EXPECT_EQ(static_cast<unsigned char>(readFile(f + ".z")[2]), 0x80u | 12);

    // Expanding a damaged stream leaves no output behind.
    const std::string g = dir.file("$7b60051");
    std::string z = readFile(f + ".z");
    writeFile(g + ".z", z.substr(0, 3) + std::string("\x2c\x01", 2));
    EXPECT_EQ(runProgram(wincomp() + " -d -b 12 " + g), 1);
    EXPECT_FALSE(fileExists(g));
    // Not a compressed file at all.
    writeFile(g + ".z", "#! cunbatch\n");
    EXPECT_EQ(runProgram(wincomp() + " -d -b 12 " + g), 1);
    EXPECT_FALSE(fileExists(g));
    // Named with its suffix, the output drops it.
    writeFile(g + ".z", z);
    EXPECT_EQ(runProgram(wincomp() + " -d " + g + ".z"), 0);
    EXPECT_EQ(readFile(g), "#! rnews 5\nhello");

    // Bad command lines.
    for (const char* args : {"", " -b 17 x", " -b 8 x", " -b", " -q x", " -b abc x"})
        EXPECT_EQ(runProgram(wincomp() + args), 2) << args;
    // A missing input.
    EXPECT_EQ(runProgram(wincomp() + " -d " + dir.file("missing")), 1);
    EXPECT_FALSE(fileExists(dir.file("missing")));
}

TEST(Wincomp, ImportsOnlySystemLibraries)
{
    testsupport::expectShippedImage(testsupport::readPeImage(wincomp()),
                                    testsupport::kOwnMachine, shipped::kNoExports);
}

}  // namespace
