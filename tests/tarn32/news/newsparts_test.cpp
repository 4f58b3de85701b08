// The pieces of news import on their own: the article header scan, the
// placement through "area.dat", and running an outside program.
#include "frame/prelog.h"
#include "news/batchreader.h"
#include "news/newsarticle.h"
#include "news/newsexport.h"
#include "news/newsgroups.h"
#include "news/newsimport.h"
#include "news/outsideprogram.h"
#include "testdir.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

using testsupport::writeFile;

// Scans `text` from a real file (the scan counts stream positions).
tarn::ArticleHeaders scan(const testsupport::TestDir& dir, const std::string& text, long* after = nullptr)
{
    writeFile(dir.file("batch"), text);
    std::FILE* f = std::fopen(dir.file("batch").c_str(), "rb");
    tarn::BatchReader reader(f);
    tarn::ArticleHeaders h = tarn::scanArticleHeaders(reader);
    if (after)
        *after = reader.tell();
    std::fclose(f);
    return h;
}

TEST(ArticleScan, KeepsTheLastOccurrenceCutToItsSize)
{
    testsupport::TestDir dir;
    std::string longSubject = "Subject: " + std::string(400, 's') + "\n";
    std::string text = "FROM: first@x\nfrom: second@x\n" + longSubject +
                       "Lines: 123456789012345\nNewsgroups: a.b\nnewsgroups: c.d\n"
                       "X-Other: 1\n\nbody\nFrom: not a header\n";
    long after = 0;
    tarn::ArticleHeaders h = scan(dir, text, &after);
    EXPECT_EQ(h.from, "from: second@x\n");
    EXPECT_EQ(h.subject, longSubject.substr(0, 199));
    EXPECT_EQ(h.lines, "Lines: 1234");
    EXPECT_EQ(h.newsgroups, (std::vector<std::string>{"Newsgroups: a.b\n", "newsgroups: c.d\n"}));
    // Everything up to and including the empty line, not a byte more.
    EXPECT_EQ(h.bytesRead, static_cast<long>(text.find("\n\n") + 2));
    EXPECT_EQ(after, h.bytesRead);

    // The record: cut lines get their line feed, missing ones their name.
    EXPECT_EQ(tarn::newsRecordHead(4, h),
              "4\nfrom: second@x\nDate: \nMessage-ID: \n" + longSubject.substr(0, 199) +
                  "\nMessage-ID: \nLines: 1234\n");
}

TEST(ArticleScan, CountsBytesNotCharacters)
{
    testsupport::TestDir dir;
    struct Case {
        const char* name;
        std::string text;
        long bytes;
    };
    const Case cases[] = {
        {"NUL inside a line", std::string("From: a\0b\nX: y\n\nbody", 18), 16},
        {"line longer than 499", "X-Long: " + std::string(1200, 'l') + "\n\n", 1210},
        {"CR LF empty line is no end", "From: a\r\n\r\nbody\n", 16},  // read to the end
        {"no empty line", "From: a\nDate: b", 15},
        {"empty article", "", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(scan(dir, c.text).bytesRead, c.bytes) << c.name;
    EXPECT_EQ(scan(dir, cases[0].text).from, "From: a");
}

class Placement : public ::testing::Test {
protected:
    testsupport::TestDir dir;
    tarn::PreLog log;
    std::string table = dir.file("area.dat");
    void SetUp() override { ASSERT_TRUE(log.open(dir.file("news.log"), 8)); }
    long place(const std::string& line)
    {
        tarn::Placement p = tarn::placeArticle(table, line, log);
        EXPECT_TRUE(p.tableOpened);
        return p.area;
    }
};

TEST_F(Placement, TableRules)
{
    struct Case {
        const char* table;
        const char* line;
        long area;
    };
    const Case cases[] = {
        {"comp.lang.c\n5\ncomp.lang.c++\n6\n", "Newsgroups: comp.lang.c++\n", 5},
        {"x\n  +12\n", "Newsgroups: x\n", 12},              // blanks and a sign
        {"x\nabc\ny\n4\n", "Newsgroups: x,y\n", 4},          // no digits: 0, goes on
        {"x\n-3\ny\n4\n", "Newsgroups: x,y\n", -3},          // a negative number decides
        {"\n9\n", "Newsgroups: anything\n", 9},             // an empty name matches all
        {"Newsgroups\n2\n", "Newsgroups: z\n", 2},          // the header name is part of the line
        {"x\r\n1\r\n", "Newsgroups: x\n", 0},               // the CR stays in the name
        {"x\r\n1\r\n", "Newsgroups: x\r\n", 1},
        {"last.group\n8", "Newsgroups: last.group\n", 8},  // number line without a line feed
        {"no.lf", "Newsgroups: no.lf\n", 0},                // name without its number
        {"", "Newsgroups: x\n", 0},
    };
    for (const Case& c : cases) {
        writeFile(table, c.table);
        EXPECT_EQ(place(c.line), c.area) << c.table << " / " << c.line;
    }
}

TEST_F(Placement, MissingTableIsReported)
{
    EXPECT_FALSE(tarn::placeArticle(dir.file("none.dat"), "Newsgroups: x\n", log).tableOpened);
}

TEST(OutsideProgram, FinishedMissingAndTimedOut)
{
    EXPECT_EQ(tarn::runProgramAndWait("no-such-program-here.exe -d x"),
              tarn::ProgramRun::kCannotStart);
    EXPECT_EQ(tarn::runProgramAndWait("wincomp.exe -d C:\\no\\such\\file"),
              tarn::ProgramRun::kFinished);
    // This test program itself, asked to run its sleeping helper, is ended
    // once the wait is over.
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string cmd = std::string(self) +
                      " --gtest_also_run_disabled_tests --gtest_filter=OutsideProgram.DISABLED_Sleeper";
    DWORD begin = GetTickCount();
    EXPECT_EQ(tarn::runProgramAndWait(cmd, 300), tarn::ProgramRun::kTimedOut);
    EXPECT_LT(GetTickCount() - begin, 20000u);  // ended, not waited for
}

TEST(OutsideProgram, DISABLED_Sleeper)
{
    Sleep(30000);
    SUCCEED();
}

}  // namespace

namespace {

TEST(BatchReader, LinesAndRunsAcrossItsBuffer)
{
    testsupport::TestDir dir;
    // Lines that straddle the 64 KB buffer, a long line cut into pieces, and
    // a final line without a line feed.
    std::string text = std::string(65530, 'a') + "\nbbbbbbbbbb\n" + std::string(100, 'c') + "\nend";
    writeFile(dir.file("b"), text);
    std::FILE* f = std::fopen(dir.file("b").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    tarn::BatchReader r(f);
    std::string line;
    std::size_t total = 0;
    std::vector<std::size_t> lengths;
    while (r.readLine(line, 39)) {
        total += line.size();
        lengths.push_back(line.size());
        EXPECT_EQ(r.tell(), static_cast<long>(total));
    }
    EXPECT_EQ(total, text.size());
    EXPECT_EQ(lengths.back(), 3u);                  // "end"
    EXPECT_EQ(lengths[lengths.size() - 2], 23u);    // the 100 c's: 39 + 39 + 22 + line feed
    // Back to a position inside and outside the buffer, then copy a run.
    for (long at : {65531L, 10L, static_cast<long>(text.size()) - 3}) {
        r.seek(at);
        ASSERT_TRUE(r.readLine(line, 499));
        EXPECT_EQ(line, text.substr(at, line.size()));
    }
    std::FILE* out = std::fopen(dir.file("out").c_str(), "wb");
    r.seek(65520);
    EXPECT_EQ(r.copyTo(out, 30), 30);
    r.seek(static_cast<long>(text.size()) - 2);
    EXPECT_EQ(r.copyTo(out, 1000), 2);              // stops at the end
    std::fclose(out);
    EXPECT_EQ(testsupport::readFile(dir.file("out")), text.substr(65520, 30) + "nd");
    r.seek(static_cast<long>(text.size()) + 50);    // past the end
    EXPECT_FALSE(r.readLine(line, 39));
    std::fclose(f);
}

}  // namespace

namespace {

// A compressor that has not finished when the wait is over counts as not
// having produced its output, on both sides.
TEST(OutsideProgram, LateCompressorProducesNothing)
{
    testsupport::TestDir dir;
    std::string in = dir.subdir("in"), work = dir.subdir("work"), out = dir.subdir("out");
    writeFile(work + "\\area.dat", "misc.test\n1\n");
    writeFile(in + "\\N.x", "F D.gateN0001\nC rnews\n");
    std::string batch = "#! rnews 9\nabcdefghi";
    writeFile(in + "\\0N0001.D", "#! cunbatch\n" + std::string("\x1f\x9d\x90", 3) + batch);

    tarn::NewsImportArgs imp;
    imp.inboundFolder = in + "\\";
    imp.workFolder = work + "\\";
    imp.systemName1 = "gate";
    imp.compressBits = 16;
    imp.programWaitMs = 1;  // far too short for any program to start and end
    EXPECT_EQ(tarn::importNews(imp), -1);
    EXPECT_FALSE(testsupport::fileExists(in + "\\$7b60051"));
    std::string log = testsupport::readFile(work + "\\news.log");
    EXPECT_NE(log.find("Cannot open input after decompress!"), std::string::npos);
    EXPECT_EQ(log.find("DeCompression complete"), std::string::npos);  // it was ended

    writeFile(out + "\\rnews", batch);
    writeFile(work + "\\export.dat", std::string("\x07\0\0\0", 4));
    tarn::NewsExportArgs exp;
    exp.outboundFolder = out + "\\";
    exp.workFolder = work + "\\";
    exp.systemName = "gate";
    exp.compressBits = 16;
    exp.programWaitMs = 1;
    EXPECT_EQ(tarn::exportNews(exp), -1);
    EXPECT_EQ(testsupport::listFolder(out), (std::vector<std::string>{"rnews"}));
    EXPECT_EQ(testsupport::readFile(work + "\\export.dat"), std::string("\x07\0\0\0", 4));
}

}  // namespace
