// EXPNEWS through the DLL on real folders: job-file bytes with and without
// compression, the shared counter, and every way of not queueing a job.
#include "dll.h"
#include "processes.h"
#include "testdir.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

namespace {

using testsupport::fileExists;
using testsupport::listFolder;
using testsupport::readFile;
using testsupport::writeFile;

using ExpNews = int __stdcall(char*, char*, const char*, int, int, int);
using ImpNews = int __stdcall(char*, char*, const char*, const char*, int, int);

std::string untimed(const std::string& log)
{
    return std::regex_replace(log, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{2,3}\t)"), "");
}

std::string counterBytes(int n)
{
    std::string b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = static_cast<char>((static_cast<unsigned>(n) >> (8 * i)) & 0xff);
    return b;
}

std::string cmdFile(const std::string& n)
{
    return "S " + n + ".DAT D.gate" + n + " news - " + n + ".DAT 0666\r\n"
           "S " + n + ".XQT X.gate" + n + " news - " + n + ".XQT 0666\r\n";
}

std::string xqtFile(const std::string& n)
{
    return "U news gate\nZ\nF D.gate" + n + "\nI D.gate" + n + "\nC rnews\n";
}

std::string batch()
{
    std::string b;
    for (int i = 0; i < 40; ++i) {
        std::string a = "From: ann@office.example\nNewsgroups: misc.test\nSubject: note " +
                        std::to_string(i) + "\nMessage-ID: <" + std::to_string(i) +
                        "@office.example>\n\nThe text of note " + std::to_string(i) + ".\n";
        b += "#! rnews " + std::to_string(a.size()) + "\n" + a;
    }
    return b;
}

class NewsExport : public ::testing::Test {
protected:
    testsupport::Dll dll{"tarn32.dll"};
    ExpNews* expnews = dll.get<ExpNews>("EXPNEWS");
    testsupport::TestDir dir;
    std::string out = dir.subdir("out");
    std::string work = dir.subdir("work");

    void SetUp() override { ASSERT_NE(expnews, nullptr); }
    int exportOnce(int bits, int level = 1, int count = 40)
    {
        std::vector<char> outBuf(out.begin(), out.end()), workBuf(work.begin(), work.end());
        outBuf.resize(outBuf.size() + 2);
        workBuf.resize(workBuf.size() + 2);
        int r = expnews(outBuf.data(), workBuf.data(), "gate", count, level, bits);
        EXPECT_EQ(std::string(outBuf.data()), out + "\\");
        EXPECT_EQ(std::string(workBuf.data()), work + "\\");
        return r;
    }
    std::string counter() { return readFile(work + "\\export.dat"); }
    std::string log() { return untimed(readFile(work + "\\news.log")); }
};

TEST_F(NewsExport, PlainJobFilesAreExact)
{
    std::string ready(500, 'r');
    writeFile(out + "\\rnews.z", ready);
    writeFile(work + "\\export.dat", counterBytes(41));
    ASSERT_EQ(exportOnce(0), 0);
    EXPECT_EQ(readFile(out + "\\0042.CMD"), cmdFile("0042"));
    EXPECT_EQ(readFile(out + "\\0042.XQT"), xqtFile("0042"));
    EXPECT_EQ(readFile(out + "\\0042.DAT"), ready);
    EXPECT_EQ(listFolder(out), (std::vector<std::string>{"0042.CMD", "0042.DAT", "0042.XQT"}));
    EXPECT_EQ(counter(), counterBytes(42));
    // At level 1 a successful export logs exactly three lines.
    EXPECT_EQ(log(), "News export started\r\nExported 40 messages\r\nNews export complete\r\n");
}

TEST_F(NewsExport, CompressedJobIsExpandedByCompressAndImportedBack)
{
    const std::string plain = batch();
    writeFile(out + "\\rnews", plain);
    ASSERT_EQ(exportOnce(16, 8), 0);
    // No counter yet: job 1, logged.
    EXPECT_EQ(counter(), counterBytes(1));
    EXPECT_EQ(readFile(out + "\\0001.CMD"), cmdFile("0001"));
    EXPECT_EQ(readFile(out + "\\0001.XQT"), xqtFile("0001"));
    std::string data = readFile(out + "\\0001.DAT");
    ASSERT_EQ(data.substr(0, 12), "#! cunbatch\n");
    EXPECT_EQ(static_cast<unsigned char>(data[14]), 0x80u | 16);
    EXPECT_EQ(readFile(out + "\\rnews"), plain);  // left to the host
    EXPECT_FALSE(fileExists(out + "\\rnews.z"));
    EXPECT_EQ(log(),
              "News export started\r\nabout to compress \r\nCannot open export.dat (news)\r\n"
              "Exported 40 messages\r\nNews export complete\r\n");

    // The peer's compress expands the data after the lead line.
    writeFile(dir.file("peer.Z"), data.substr(12));
    std::string u = testsupport::unixPath(dir.file("peer"));
    ASSERT_EQ(testsupport::runShell("compress -d -c < '" + u + ".Z' > '" + u + "'"), 0);
    EXPECT_EQ(readFile(dir.file("peer")), plain);

    // And news import takes the job as the remote system receives it.
    std::string in = dir.subdir("in");
    writeFile(in + "\\X.x", "U news gate\nF D.gate0001\nC rnews\n");
    writeFile(in + "\\00001.D", data);
    writeFile(work + "\\area.dat", "misc.test\n9\n");
    auto impnews = dll.get<ImpNews>("IMPNEWS");
    std::vector<char> inBuf(in.begin(), in.end()), workBuf(work.begin(), work.end());
    inBuf.resize(inBuf.size() + 2);
    workBuf.resize(workBuf.size() + 2);
    ASSERT_EQ(impnews(inBuf.data(), workBuf.data(), "gate", "", 1, 16), 0);
    std::string area = readFile(work + "\\area9.txt");
    EXPECT_EQ(area.size(), plain.size() - 40 * std::string("#! rnews 000\n").size());
}

TEST_F(NewsExport, CounterSequenceAndWrapAround)
{
    struct Case {
        const char* name;
        std::string stored;     // "" for no counter file
        std::vector<std::string> queued;  // job files already waiting
        std::string job;
        int after;
    };
    const Case cases[] = {
        {"missing counter", "", {}, "0001", 1},
        {"short counter", "\x05", {}, "0001", 1},
        {"after 41", counterBytes(41), {}, "0042", 42},
        {"after 9998", counterBytes(9998), {}, "9999", 9999},
        {"after 9999", counterBytes(9999), {}, "0001", 1},
        {"waiting job not overwritten", counterBytes(9999), {"0001.DAT", "0002.CMD"}, "0003", 3},
    };
    for (const Case& c : cases) {
        testsupport::removeTree(out);
        CreateDirectoryA(out.c_str(), nullptr);
        std::remove((work + "\\export.dat").c_str());
        if (!c.stored.empty())
            writeFile(work + "\\export.dat", c.stored);
        for (const std::string& q : c.queued)
            writeFile(out + "\\" + q, "waiting");
        writeFile(out + "\\rnews.z", "batch");
        ASSERT_EQ(exportOnce(0), 0) << c.name;
        EXPECT_EQ(readFile(out + "\\" + c.job + ".DAT"), "batch") << c.name;
        EXPECT_EQ(readFile(out + "\\" + c.job + ".CMD"), cmdFile(c.job)) << c.name;
        EXPECT_EQ(counter(), counterBytes(c.after)) << c.name;
        for (const std::string& q : c.queued)
            EXPECT_EQ(readFile(out + "\\" + q), "waiting") << c.name;
    }
}

TEST_F(NewsExport, NothingQueuedLeavesNoFilesAndTheCounter)
{
    struct Case {
        const char* name;
        int bits;
        bool rnews, ready;
        const char* logged;
    };
    const Case cases[] = {
        {"plain without rnews.z", 0, false, false, "Cannot open compressed file "},
        {"compressed without rnews", 16, false, false, "Cannot open compressed file "},
        // An old rnews.z is not sent in place of a batch that cannot be compressed.
        {"compressed, stale rnews.z", 16, false, true, "Cannot open compressed file "},
    };
    for (const Case& c : cases) {
        testsupport::removeTree(out);
        CreateDirectoryA(out.c_str(), nullptr);
        std::remove((work + "\\news.log").c_str());
        writeFile(work + "\\export.dat", counterBytes(7));
        if (c.rnews)
            writeFile(out + "\\rnews", batch());
        if (c.ready)
            writeFile(out + "\\rnews.z", "stale");
        EXPECT_EQ(exportOnce(c.bits), -1) << c.name;
        for (const std::string& f : listFolder(out))
            EXPECT_TRUE(f == "rnews") << c.name << ": " << f;
        EXPECT_EQ(counter(), counterBytes(7)) << c.name;
        EXPECT_NE(log().find(std::string(c.logged) + out + "\\rnews.z\r\n"), std::string::npos)
            << c.name << "\n" << log();
        EXPECT_EQ(log().find("News export complete"), std::string::npos) << c.name;
    }
}

TEST_F(NewsExport, UnwritableCounterStillQueuesTheJob)
{
    writeFile(out + "\\rnews.z", "batch");
    CreateDirectoryA((work + "\\export.dat").c_str(), nullptr);  // neither read nor written
    EXPECT_EQ(exportOnce(0), 0);
    EXPECT_EQ(readFile(out + "\\0001.DAT"), "batch");
    std::string l = log();
    EXPECT_NE(l.find("Cannot open export.dat (news)\r\n"), std::string::npos);
    EXPECT_NE(l.find("Cannot open export.dat to write\r\n"), std::string::npos);
    RemoveDirectoryA((work + "\\export.dat").c_str());
}

}  // namespace
