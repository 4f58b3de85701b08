// IMPNEWS through the DLL on real folders, plain and compressed batches.
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
using testsupport::readFile;
using testsupport::writeFile;

using ImpNews = int __stdcall(char*, char*, const char*, const char*, int, int);

std::string untimed(const std::string& log)
{
    return std::regex_replace(log, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{2,3}\t)"), "");
}

struct Article {
    std::string groups;            // "" for no Newsgroups line
    std::string id;
    bool references = true;
    std::string body = "Body of the article.\nSecond line.\n";

    std::string text() const
    {
        std::string h = "Path: gate!news\nFrom: poster@gate.example\n";
        if (!groups.empty())
            h += "Newsgroups: " + groups + "\n";
        h += "Subject: About " + id + "\nMessage-ID: <" + id + "@gate.example>\n";
        h += "Date: Tue, 8 Dec 2026 08:00:00 +0000\n";
        if (references)
            h += "References: <parent-" + id + "@gate.example>\n";
        h += "Lines: 2\n\n";
        return h + body;
    }
};

std::string batchOf(const std::vector<std::string>& articles)
{
    std::string b;
    for (const std::string& a : articles)
        b += "#! rnews " + std::to_string(a.size()) + "\n" + a;
    return b;
}

// The record a stored article gets, with CR LF line ends (text mode).
std::string recordOf(long area, const Article& a, long start, long end, bool refs = true)
{
    std::string id = "Message-ID: <" + a.id + "@gate.example>\r\n";
    return std::to_string(area) + "\r\nFrom: poster@gate.example\r\n"
           "Date: Tue, 8 Dec 2026 08:00:00 +0000\r\n" + id + "Subject: About " + a.id + "\r\n" +
           (refs ? "References: <parent-" + a.id + "@gate.example>\r\n" : id) + "Lines: 2\r\n" +
           std::to_string(start) + "\r\n" + std::to_string(end) + "\r\n";
}

const char kAreaTable[] =
    "local.announce\n3\n"
    "comp.lang.c\n5\n"
    "comp.lang.c++\n6\n"
    "misc.test\n7\n"
    "unused.group\n0\n"
    "alt.negative\n-2\n";

class NewsImport : public ::testing::Test {
protected:
    testsupport::Dll dll{"tarn32.dll"};
    ImpNews* impnews = dll.get<ImpNews>("IMPNEWS");
    testsupport::TestDir dir;
    std::string in = dir.subdir("in");
    std::string work = dir.subdir("work");

    void SetUp() override
    {
        ASSERT_NE(impnews, nullptr);
        writeFile(work + "\\area.dat", kAreaTable);
    }
    int importOnce(int level = 5, int bits = 0)
    {
        std::vector<char> inBuf(in.begin(), in.end()), workBuf(work.begin(), work.end());
        inBuf.resize(inBuf.size() + 2);
        workBuf.resize(workBuf.size() + 2);
        int r = impnews(inBuf.data(), workBuf.data(), "gate", "office", level, bits);
        EXPECT_EQ(std::string(inBuf.data()), in + "\\");
        EXPECT_EQ(std::string(workBuf.data()), work + "\\");
        return r;
    }
    // A news job for spool name D.gate<tag>, data file 0<tag>.D.
    void newsJob(const std::string& jobName, const std::string& tag, const std::string& data)
    {
        writeFile(in + "\\" + jobName,
                  "U news gate\nF D.gate" + tag + "\nI D.gate" + tag + "\nC rnews\n");
        writeFile(in + "\\0" + tag + ".D", data);
    }
    std::string index() { return readFile(in + "\\Header.Msg"); }
    std::string area(int n) { return readFile(work + "\\area" + std::to_string(n) + ".txt"); }
    std::string log() { return untimed(readFile(work + "\\news.log")); }
    bool has(const std::string& log, const std::string& text) { return log.find(text) != std::string::npos; }
};

TEST_F(NewsImport, NoJobFileReturnsOneAndTouchesNothing)
{
    EXPECT_EQ(importOnce(), 1);
    EXPECT_FALSE(fileExists(work + "\\news.log"));
    EXPECT_EQ(testsupport::listFolder(in).size(), 0u);
}

TEST_F(NewsImport, PlainBatchOfThreeArticlesForThreeAreas)
{
    Article a{"local.announce", "a1"}, b{"comp.lang.c", "b2"}, c{"misc.test,alt.other", "c3"};
    std::string batch = batchOf({a.text(), b.text(), c.text()});
    newsJob("N0010.x", "N0010", batch);
    ASSERT_EQ(importOnce(3), 0);

    EXPECT_EQ(area(3), a.text());
    EXPECT_EQ(area(5), b.text());
    EXPECT_EQ(area(7), c.text());
    // New area files: line 8 is 1, line 9 the article's size.
    EXPECT_EQ(index(), recordOf(3, a, 1, a.text().size()) + recordOf(5, b, 1, b.text().size()) +
                           recordOf(7, c, 1, c.text().size()));
    // Job and data file consumed; the work files stay.
    EXPECT_EQ(testsupport::listFolder(in),
              (std::vector<std::string>{"$7b60051", "$7b60051.int", "Header.Msg"}));
    EXPECT_EQ(readFile(in + "\\$7b60051.int"), batch);
    EXPECT_EQ(log(),
              "News import started \r\n"
              "looking for N0010.x \r\n"
              "processing 0N0010.D\r\n"
              "Found end of file\r\n");
    // Nothing more to import.
    EXPECT_EQ(importOnce(), 1);
}

TEST_F(NewsImport, PlacementByTheFirstMatchingPairThatIsNotZero)
{
    struct Case {
        const char* groups;
        int area;  // 0: placed nowhere
    };
    const Case cases[] = {
        {"comp.lang.c++", 5},                 // comp.lang.c is a substring and comes first
        {"comp.lang.c", 5},
        {"misc.test", 7},
        {"unused.group", 0},                  // matches a pair with 0, nothing after it
        {"unused.group,local.announce", 3},   // the 0 pair does not stop the search
        {"alt.negative", 0},                  // -2 decides and is no area
        {"rec.nothing", 0},
        {"", 0},                              // no Newsgroups line at all
    };
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < std::size(cases); ++i)
        texts.push_back(Article{cases[i].groups, "p" + std::to_string(i)}.text());
    newsJob("N.x", "N0020", batchOf(texts));
    ASSERT_EQ(importOnce(8), 0);

    std::string expectedIndex;
    std::string expectedArea[8];
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        int n = cases[i].area;
        if (n == 0)
            continue;
        long start = expectedArea[n].size();
        expectedArea[n] += texts[i];
        expectedIndex += recordOf(n, Article{cases[i].groups, "p" + std::to_string(i)},
                                  start ? start : 1, expectedArea[n].size());
    }
    EXPECT_EQ(index(), expectedIndex);
    for (int n : {3, 5, 6, 7})
        EXPECT_EQ(area(n), expectedArea[n]) << n;
    std::string l = log();
    EXPECT_TRUE(has(l, "Message could not be found an area :\r\n Newsgroups: rec.nothing\r\n\r\n"));
    EXPECT_TRUE(has(l, "Message could not be found an area :\r\n \r\n"));
    EXPECT_TRUE(has(l, "areaname = comp.lang.c\r\n \r\n"));
    EXPECT_TRUE(has(l, "rec Grp Name: Newsgroups: misc.test\r\n - Actual local.announce\r\n"));
}

TEST_F(NewsImport, MissingReferencesRepeatsTheMessageId)
{
    Article a{"misc.test", "noref"};
    a.references = false;
    newsJob("N.x", "N0030", batchOf({a.text()}));
    ASSERT_EQ(importOnce(), 0);
    EXPECT_EQ(index(), recordOf(7, a, 1, a.text().size(), false));
}

TEST_F(NewsImport, ArticleAfterOneWithoutAreaIsReadCorrectly)
{
    // The skipped article's body holds a line that looks like a batch line.
    Article skipped{"rec.nothing", "s1", true, "text\n#! rnews 5\nabcde\n"};
    Article kept{"misc.test", "k2"};
    newsJob("N.x", "N0040", "leading junk line\n" + batchOf({skipped.text(), kept.text()}));
    ASSERT_EQ(importOnce(), 0);
    EXPECT_EQ(area(7), kept.text());
    EXPECT_EQ(index(), recordOf(7, kept, 1, kept.text().size()));
}

TEST_F(NewsImport, LastArticleWithoutEmptyLineEndsTheImport)
{
    Article a{"misc.test", "first"};
    std::string last = "From: x@y\nNewsgroups: misc.test\nMessage-ID: <last@y>";
    newsJob("N.x", "N0050", batchOf({a.text(), last}));
    ASSERT_EQ(importOnce(0), 0);
    EXPECT_EQ(area(7), a.text() + last);
    std::string i = index();
    // Missing headers stand as their names; References repeats Message-ID.
    EXPECT_EQ(i.substr(i.find("7\r\nFrom: x@y")),
              "7\r\nFrom: x@y\r\nDate: \r\nMessage-ID: <last@y>\r\nSubject: \r\n"
              "Message-ID: <last@y>\r\nLines: \r\n" +
                  std::to_string(a.text().size()) + "\r\n" +
                  std::to_string(a.text().size() + last.size()) + "\r\n");
    EXPECT_EQ(log(), "News import started \r\nFound end of file\r\n");
}

TEST_F(NewsImport, BadSizesNeverMoveBackwards)
{
    Article a{"misc.test", "a"}, b{"misc.test", "b"}, c{"misc.test", "c"};
    std::string batch = "#! rnews -40\n" + a.text() +      // negative: skipped
                        "#! rnews many\n" + a.text() +     // not a number: skipped
                        "#! rnews 10\n" + b.text() +       // header longer than 10 bytes
                        "#! rnews " + std::to_string(c.text().size()) + "\n" + c.text();
    newsJob("N.x", "N0060", batch);
    ASSERT_EQ(importOnce(), 0);
    EXPECT_EQ(area(7), c.text());
    EXPECT_EQ(index(), recordOf(7, c, 1, c.text().size()));
}

TEST_F(NewsImport, SecondBatchReplacesTheIndexAndAppendsToTheAreas)
{
    Article a{"misc.test", "one"}, b{"misc.test", "two"};
    newsJob("A.x", "N0070", batchOf({a.text()}));
    ASSERT_EQ(importOnce(), 0);
    newsJob("B.x", "N0071", batchOf({b.text()}));
    ASSERT_EQ(importOnce(), 0);
    long size = a.text().size();
    EXPECT_EQ(index(), recordOf(7, b, size, size + b.text().size()));
    EXPECT_EQ(area(7), a.text() + b.text());
}

TEST_F(NewsImport, MailJobStaysBesideNewsJobs)
{
    writeFile(in + "\\M.x", "U daemon gate\nF D.gateM0001\nC rmail ann@office.example\n");
    writeFile(in + "\\0M0001.D", "Subject: mail\n\nhello\n");
    ASSERT_EQ(importOnce(3), 1);  // only the mail job: skipped
    EXPECT_TRUE(has(log(), "News import started \r\nlooking for M.x \r\nNot a news file.\r\n"));
    Article a{"misc.test", "n"};
    newsJob("N.x", "N0080", batchOf({a.text()}));
    ASSERT_EQ(importOnce(), 0);
    EXPECT_EQ(importOnce(), 1);
    EXPECT_TRUE(fileExists(in + "\\M.x"));
    EXPECT_TRUE(fileExists(in + "\\0M0001.D"));
    EXPECT_EQ(area(7), a.text());
}

TEST_F(NewsImport, LowerCaseJobLinesDoNotCount)
{
    writeFile(in + "\\N.x", "U news gate\nf D.gateN0090\nc rnews\n");
    writeFile(in + "\\0N0090.D", batchOf({Article{"misc.test", "x"}.text()}));
    EXPECT_EQ(importOnce(), 1);
    EXPECT_TRUE(fileExists(in + "\\N.x"));
}

// "area.dat" is checked before the job is consumed: nothing is lost, and
// the job is imported once the table is there.
TEST_F(NewsImport, MissingAreaTableLeavesJobAndData)
{
    std::remove((work + "\\area.dat").c_str());
    Article a{"misc.test", "wait"};
    newsJob("N.x", "N0100", batchOf({a.text()}));
    EXPECT_EQ(importOnce(), 1);
    EXPECT_TRUE(fileExists(in + "\\N.x"));
    EXPECT_TRUE(fileExists(in + "\\0N0100.D"));
    // Written without a timestamp.
    EXPECT_TRUE(has(readFile(work + "\\news.log"), "\nCannot open area file.\r\n"));

    writeFile(work + "\\area.dat", kAreaTable);
    EXPECT_EQ(importOnce(), 0);
    EXPECT_EQ(area(7), a.text());
}

TEST_F(NewsImport, MissingPlainDataFileLeavesTheJob)
{
    writeFile(in + "\\N.x", "U news gate\nF D.gateN0110\nC rnews\n");
    EXPECT_EQ(importOnce(), 1);
    EXPECT_TRUE(fileExists(in + "\\N.x"));
    EXPECT_TRUE(has(log(), "Cannot find news data file (" + in + "\\0N0110.D)\r\n"));
}

TEST_F(NewsImport, UndeletableIndexIsAccessDenied)
{
    CreateDirectoryA((in + "\\Header.Msg").c_str(), nullptr);
    newsJob("N.x", "N0120", batchOf({Article{"misc.test", "x"}.text()}));
    EXPECT_EQ(importOnce(), -1);
    EXPECT_TRUE(has(log(), "access denied\r\n"));
    EXPECT_TRUE(fileExists(in + "\\N.x"));
    RemoveDirectoryA((in + "\\Header.Msg").c_str());
}

TEST_F(NewsImport, UnopenableAreaFileStopsWithoutAHalfRecord)
{
    CreateDirectoryA((work + "\\area7.txt").c_str(), nullptr);
    newsJob("N.x", "N0130", batchOf({Article{"misc.test", "x"}.text()}));
    EXPECT_EQ(importOnce(), -1);
    EXPECT_TRUE(has(log(), "Cannot open area file!\r\n"));
    EXPECT_EQ(index(), "");
    RemoveDirectoryA((work + "\\area7.txt").c_str());
}

class CompressedNewsImport : public NewsImport {
protected:
    // Compresses `batch` with the machine's compress program.
    std::string compressed(const std::string& batch, int bits)
    {
        writeFile(dir.file("plain"), batch);
        std::string u = testsupport::unixPath(dir.file("plain"));
        EXPECT_EQ(testsupport::runShell("compress -f -b " + std::to_string(bits) + " -c < '" + u +
                                        "' > '" + u + ".Z'"),
                  0);
        return readFile(dir.file("plain.Z"));
    }
};

TEST_F(CompressedNewsImport, BatchesMadeByCompressAt12And16Bits)
{
    for (int bits : {12, 16}) {
        std::vector<std::string> texts;
        for (int i = 0; i < 60; ++i)
            texts.push_back(Article{i % 2 ? "comp.lang.c" : "misc.test", "z" + std::to_string(i)}.text());
        std::string batch = batchOf(texts);
        std::string tag = "N02" + std::to_string(bits);
        newsJob("C" + std::to_string(bits) + ".x", tag, "#! cunbatch\n" + compressed(batch, bits));
        ASSERT_EQ(importOnce(4, bits), 0) << bits;
        EXPECT_EQ(readFile(in + "\\$7b60051"), batch);
        EXPECT_EQ(readFile(in + "\\$7b60051.int"), batch);
        EXPECT_FALSE(fileExists(in + "\\0" + tag + ".D"));
        EXPECT_FALSE(fileExists(in + "\\C" + std::to_string(bits) + ".x"));
        std::string i = index();
        int records = 0;
        for (std::size_t p = 0; (p = i.find("\r\nLines: 2\r\n", p)) != std::string::npos; ++p)
            ++records;
        EXPECT_EQ(records, 60);
        std::string l = log();
        std::string cmd = "wincomp.exe -d -b " + std::to_string(bits) + " " + in + "\\$7b60051";
        EXPECT_TRUE(has(l, "DeCompressing file with " + std::to_string(bits) + " Bits\r\n"
                           "executing " + cmd + "\r\nDeCompression complete\r\n"));
    }
    std::string all5, all7;
    for (int round = 0; round < 2; ++round)
        for (int i = 0; i < 60; ++i)
            (i % 2 ? all5 : all7) += Article{i % 2 ? "comp.lang.c" : "misc.test", "z" + std::to_string(i)}.text();
    EXPECT_EQ(area(5), all5);
    EXPECT_EQ(area(7), all7);
}

TEST_F(CompressedNewsImport, NotACunbatchLeavesJobAndData)
{
    std::string plain = batchOf({Article{"misc.test", "x"}.text()});
    newsJob("N.x", "N0300", plain);
    EXPECT_EQ(importOnce(3, 16), 1);
    EXPECT_TRUE(fileExists(in + "\\N.x"));
    EXPECT_EQ(readFile(in + "\\0N0300.D"), plain);
    EXPECT_TRUE(has(log(), "Not a news file.\r\n"));
}

TEST_F(CompressedNewsImport, MissingAreaTableLeavesJobAndData)
{
    std::remove((work + "\\area.dat").c_str());
    newsJob("N.x", "N0310", "#! CUNBATCH\n" + compressed(batchOf({Article{"misc.test", "x"}.text()}), 16));
    EXPECT_EQ(importOnce(3, 16), 1);
    EXPECT_TRUE(fileExists(in + "\\N.x"));
    EXPECT_TRUE(fileExists(in + "\\0N0310.D"));
    writeFile(work + "\\area.dat", kAreaTable);
    EXPECT_EQ(importOnce(3, 16), 0);
    EXPECT_EQ(area(7), (Article{"misc.test", "x"}.text()));
}

TEST_F(CompressedNewsImport, DamagedCompressedDataIsAnError)
{
    newsJob("N.x", "N0320", std::string("#! cunbatch\n\x1f\x9d\x90\x2c\x01", 17));
    writeFile(in + "\\$7b60051", "an older batch that must not be read again");
    EXPECT_EQ(importOnce(3, 16), -1);
    EXPECT_TRUE(has(log(), "Cannot open input after decompress!\r\n"));
    EXPECT_EQ(index(), "");
    // The job is consumed; the data file stays for inspection.
    EXPECT_TRUE(fileExists(in + "\\0N0320.D"));
}

TEST_F(CompressedNewsImport, OlderBatchThatCannotBeRemovedIsNotReadAgain)
{
    Article old{"misc.test", "old"};
    writeFile(in + "\\$7b60051", batchOf({old.text()}));
    HANDLE h = CreateFileA((in + "\\$7b60051").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    newsJob("N.x", "N0330", "#! cunbatch\n" + compressed(batchOf({Article{"misc.test", "new"}.text()}), 16));
    EXPECT_EQ(importOnce(3, 16), -1);
    CloseHandle(h);
    EXPECT_EQ(area(7), "");
    EXPECT_EQ(index(), "");
    EXPECT_TRUE(has(log(), "Cannot open input after decompress!\r\n"));
}

}  // namespace
