// The session log: timestamp format, level filter, CR LF line ends, appending,
// long texts and two threads writing at once.
#include "logger.h"
#include "testdir.h"

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

namespace {

using net::SessionTime;
using testsupport::readFile;
using testsupport::TestDir;

std::vector<std::string> splitCrLf(const std::string& bytes)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos)
            break;
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    EXPECT_EQ(start, bytes.size()) << "bytes after the last CR LF";
    return lines;
}

TEST(SessionLogFormat, Timestamps)
{
    struct Case {
        SessionTime t;
        const char* want;
    } cases[] = {
        {{1999, 1, 2, 8, 5, 9, 40}, "1999-01-02 08:05:09.04"},
        {{2026, 12, 31, 23, 59, 59, 5}, "2026-12-31 23:59:59.00"},
        {{2026, 12, 31, 23, 59, 59, 57}, "2026-12-31 23:59:59.05"},
        {{2026, 12, 31, 23, 59, 59, 999}, "2026-12-31 23:59:59.99"},
        {{2000, 10, 10, 0, 0, 0, 0}, "2000-10-10 00:00:00.00"},
        {{987, 3, 4, 5, 6, 7, 120}, "0987-03-04 05:06:07.12"},
    };
    for (const Case& c : cases) {
        std::string got = net::formatSessionTimestamp(c.t);
        EXPECT_EQ(got, c.want);
        EXPECT_EQ(got.size(), 22u) << c.want;
    }
}

TEST(SessionLogFormat, LineFieldsAndTabsInText)
{
    SessionTime t{1999, 1, 2, 8, 5, 9, 40};
    EXPECT_EQ(net::formatSessionLine(t, 9, "<- +OK ready"), "1999-01-02 08:05:09.04\t9\t<- +OK ready\n");
    EXPECT_EQ(net::formatSessionLine(t, 1, "a\tb"), "1999-01-02 08:05:09.04\t1\ta\tb\n");
    EXPECT_EQ(net::formatSessionLine(t, 12, ""), "1999-01-02 08:05:09.04\t12\t\n");
}

// Strips the 22-character timestamp and its tab, checking their shape.
std::string withoutStamp(const std::string& line)
{
    EXPECT_GE(line.size(), 23u) << line;
    if (line.size() < 23)
        return line;
    EXPECT_EQ(line[4], '-');
    EXPECT_EQ(line[10], ' ');
    EXPECT_EQ(line[19], '.');
    EXPECT_EQ(line[22], '\t');
    return line.substr(23);
}

TEST(SessionLog, LevelFilterAppendAndCrLf)
{
    TestDir dir;
    std::string path = dir.file("s.log");
    testsupport::writeFile(path, "earlier\r\n");
    net::logger log;
    log.setFile(path.c_str());
    log.setLevel(5);
    log.write("at the level", 5);
    log.write("one above", 6);
    log.write(std::string("below"), 1);
    log.write("tab\tinside", 3);
    std::vector<std::string> lines = splitCrLf(readFile(path));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "earlier");
    EXPECT_EQ(withoutStamp(lines[1]), "5\tat the level");
    EXPECT_EQ(withoutStamp(lines[2]), "1\tbelow");
    EXPECT_EQ(withoutStamp(lines[3]), "3\ttab\tinside");
}

TEST(SessionLog, LevelZeroWritesNothingAndCreatesNoFile)
{
    TestDir dir;
    std::string path = dir.file("quiet.log");
    net::logger log;
    log.setFile(path.c_str());
    log.setLevel(0);
    log.write("failure", 1);
    EXPECT_FALSE(testsupport::fileExists(path));
    log.setLevel(1);
    log.write("failure", 1);
    EXPECT_TRUE(testsupport::fileExists(path));
}

TEST(SessionLog, LongTextWrittenWhole)
{
    TestDir dir;
    std::string path = dir.file("long.log");
    net::logger log;
    log.setFile(path.c_str());
    log.setLevel(9);
    std::string text = "<- " + std::string(5000, 'x') + "end";
    log.write(text, 9);
    std::vector<std::string> lines = splitCrLf(readFile(path));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(withoutStamp(lines[0]), "9\t" + text);
}

TEST(SessionLog, PathOfTwoHundredIsRefusedNotCut)
{
    TestDir dir;
    std::string longPath = dir.path() + "\\" + std::string(200 - dir.path().size() - 1, 'a');
    ASSERT_EQ(longPath.size(), 200u);
    net::logger log;
    log.setLevel(9);
    log.setFile(longPath.c_str());
    log.write("lost", 1);
    EXPECT_TRUE(testsupport::listFolder(dir.path()).empty());
    // 199 characters is the widest name that works.
    std::string widest = longPath.substr(0, 199);
    log.setFile(widest.c_str());
    log.write("kept", 1);
    EXPECT_EQ(splitCrLf(readFile(widest)).size(), 1u);
}

TEST(SessionLog, MissingFolderLosesTheLineOnly)
{
    TestDir dir;
    net::logger log;
    log.setFile("C:\\tt\\no such folder\\x\\s.log");
    log.setLevel(9);
    log.write("lost", 1);
    // The lock was released and the logger still works once the file can be
    // opened.
    std::string path = dir.file("later.log");
    log.setFile(path.c_str());
    log.write("kept", 1);
    std::vector<std::string> lines = splitCrLf(readFile(path));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(withoutStamp(lines[0]), "1\tkept");
}

TEST(SessionLog, TwoThreadsNeverInterleave)
{
    TestDir dir;
    std::string path = dir.file("threads.log");
    net::logger log;
    log.setFile(path.c_str());
    log.setLevel(9);
    const int kLines = 300;
    auto writer = [&](char c) {
        for (int i = 0; i < kLines; ++i)
            log.write(std::string(150, c) + std::to_string(i), 9);
    };
    std::thread a(writer, 'a');
    std::thread b(writer, 'b');
    a.join();
    b.join();
    std::vector<std::string> lines = splitCrLf(readFile(path));
    ASSERT_EQ(lines.size(), 2u * kLines);
    int next[2] = {0, 0};
    for (const std::string& line : lines) {
        std::string rest = withoutStamp(line);
        ASSERT_GE(rest.size(), 152u) << line;
        char c = rest[2];
        ASSERT_TRUE(c == 'a' || c == 'b') << line;
        int& n = next[c - 'a'];
        EXPECT_EQ(rest, "9\t" + std::string(150, c) + std::to_string(n)) << "interleaved";
        ++n;
    }
    EXPECT_EQ(next[0], kLines);
    EXPECT_EQ(next[1], kLines);
}

}  // namespace
