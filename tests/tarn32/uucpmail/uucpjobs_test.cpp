// The shared job-file piece: counter damage, free-number search with its
// wrap-around, exact job-file bytes, and taking back a job that failed.
#include "frame/prelog.h"
#include "testdir.h"
#include "uucpmail/uucpjobs.h"

#include <gtest/gtest.h>

#include <cstdio>

using testsupport::fileExists;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

// Folders end in their separator here, as the exports leave them: a
// backslash on Windows, a slash in the native build. The logs are text
// files: CR LF line ends on Windows only.
#ifdef _WIN32
const std::string kSep = "\\";
const std::string kEol = "\r\n";
#else
const std::string kSep = "/";
const std::string kEol = "\n";
#endif

std::string bytes(std::initializer_list<int> b)
{
    std::string s;
    for (int c : b)
        s += static_cast<char>(c);
    return s;
}

TEST(JobCounter, SurvivesMissingShortAndOutOfRangeFiles)
{
    struct Case {
        const char* name;
        bool present;
        std::string content;
        tarn::CounterState state;
        int next;
    };
    const Case cases[] = {
        {"missing file", false, "", tarn::CounterState::kMissing, 1},
        {"empty file", true, "", tarn::CounterState::kShort, 1},
        {"truncated tail", true, bytes({41, 0, 0}), tarn::CounterState::kShort, 1},
        {"holding 41", true, bytes({41, 0, 0, 0}), tarn::CounterState::kRead, 42},
        {"holding 0", true, bytes({0, 0, 0, 0}), tarn::CounterState::kRead, 1},
        {"holding 9998", true, bytes({0x0e, 0x27, 0, 0}), tarn::CounterState::kRead, 9999},
        {"wrap-around at 9999", true, bytes({0x0f, 0x27, 0, 0}), tarn::CounterState::kRead, 1},
        {"past 9999", true, bytes({0x10, 0x27, 0, 0}), tarn::CounterState::kRead, 1},
        {"negative", true, bytes({0xfb, 0xff, 0xff, 0xff}), tarn::CounterState::kRead, 1},
        {"trailing bytes ignored", true, bytes({7, 0, 0, 0, 9, 9}), tarn::CounterState::kRead, 8},
    };
    testsupport::TestDir dir;
    for (const Case& c : cases) {
        std::string path = dir.file("export.dat");
        std::remove(path.c_str());
        if (c.present)
            writeFile(path, c.content);
        tarn::Counter counter = tarn::readCounter(path);
        EXPECT_EQ(counter.state, c.state) << c.name;
        EXPECT_EQ(tarn::numberAfter(counter), c.next) << c.name;
    }
}

TEST(JobCounter, IsStoredAsFourLittleEndianBytes)
{
    testsupport::TestDir dir;
    std::string path = dir.file("export.dat");
    writeFile(path, "longer old content");
    ASSERT_TRUE(tarn::writeCounter(path, 9999));
    EXPECT_EQ(readFile(path), bytes({0x0f, 0x27, 0, 0}));
    ASSERT_TRUE(tarn::writeCounter(path, 1));
    EXPECT_EQ(readFile(path), bytes({1, 0, 0, 0}));
    EXPECT_FALSE(tarn::writeCounter(dir.file("nofolder" + kSep + "export.dat"), 1));
}

TEST(JobNumbers, FirstFreeCountsOnAndWrapsAfter9999)
{
    auto taking = [](std::initializer_list<int> numbers) {
        tarn::TakenNumbers t;
        for (int n : numbers)
            t.set(n);
        return t;
    };
    tarn::TakenNumbers allButFive;
    for (int n = 1; n <= 9999; ++n)
        allButFive.set(n);
    allButFive.reset(5);
    tarn::TakenNumbers all = allButFive;
    all.set(5);

    struct Case {
        const char* name;
        int from;
        tarn::TakenNumbers taken;
        int expected;
    };
    const Case cases[] = {
        {"nothing queued", 42, {}, 42},
        {"own number queued", 42, taking({42}), 43},
        {"run of queued jobs", 42, taking({42, 43, 44}), 45},
        {"9999 queued wraps to 1", 9999, taking({9999}), 1},
        {"wrap over queued 1 and 2", 9999, taking({9999, 1, 2}), 3},
        {"only a lower number free", 6, allButFive, 5},
        {"all 9999 taken", 42, all, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tarn::firstFreeNumber(c.from, c.taken), c.expected) << c.name;
}

TEST(JobNumbers, AnyOfTheThreeFilesOrAFolderTakesANumber)
{
    testsupport::TestDir dir;
    writeFile(dir.file("0042.CMD"), "x");
    writeFile(dir.file("0043.dat"), "x");  // another letter case
    dir.subdir("0044.XQT");
    writeFile(dir.file("0045.TXT"), "x");  // not a job file
    writeFile(dir.file("46.CMD"), "x");    // not four digits
    writeFile(dir.file("00471.CMD"), "x");
    writeFile(dir.file("rmail.z"), "x");
    writeFile(dir.file("0000.CMD"), "x");  // never a job number
    tarn::TakenNumbers taken = tarn::takenJobNumbers(dir.path() + kSep);
    EXPECT_EQ(taken.count(), 3u);
    EXPECT_TRUE(taken.test(42));
    EXPECT_TRUE(taken.test(43));
    EXPECT_TRUE(taken.test(44));
}

TEST(JobFiles, MailAndNewsTextsAreExact)
{
    EXPECT_EQ(tarn::commandFileText(tarn::kMailJob, 42, "gate"),
              "S 0042.DAT D.gate0042 daemon - 0042.DAT 0666\r\n"
              "S 0042.XQT X.gate0042 daemon - 0042.XQT 0666\r\n");
    EXPECT_EQ(tarn::executeFileText(tarn::kMailJob, 42, "gate", "rmail ann@far.example bob"),
              "U Daemon gate\nZ\nF D.gate0042\nI D.gate0042\nC rmail ann@far.example bob\n");
    EXPECT_EQ(tarn::commandFileText(tarn::kNewsJob, 7, "gate"),
              "S 0007.DAT D.gate0007 news - 0007.DAT 0666\r\n"
              "S 0007.XQT X.gate0007 news - 0007.XQT 0666\r\n");
    EXPECT_EQ(tarn::executeFileText(tarn::kNewsJob, 9999, "gate", "rnews"),
              "U news gate\nZ\nF D.gate9999\nI D.gate9999\nC rnews\n");
}

TEST(JobFiles, FailedExecuteFileTakesBackTheCommandFile)
{
    testsupport::TestDir dir;
    std::string out = dir.path() + kSep;
    dir.subdir("0007.XQT");  // cannot be created as a file
    EXPECT_EQ(tarn::writeJobFiles(out, 200, tarn::kMailJob, 7, "gate", "rmail a"),
              tarn::JobFileError::kExecuteFile);
    EXPECT_FALSE(fileExists(out + "0007.CMD"));

    dir.subdir("0008.CMD");
    EXPECT_EQ(tarn::writeJobFiles(out, 200, tarn::kMailJob, 8, "gate", "rmail a"),
              tarn::JobFileError::kCommandFile);
    EXPECT_FALSE(fileExists(out + "0008.XQT"));

    // A folder path that leaves no room for the name within the width.
    EXPECT_EQ(tarn::writeJobFiles(out, out.size() + 8, tarn::kMailJob, 9, "gate", "rmail a"),
              tarn::JobFileError::kCommandFile);
    EXPECT_EQ(tarn::writeJobFiles(out, out.size() + 9, tarn::kMailJob, 9, "gate", "rmail a"),
              tarn::JobFileError::kNone);
}

class QueueJob : public ::testing::Test {
protected:
    testsupport::TestDir dir;
    std::string out = dir.subdir("out") + kSep;
    std::string work = dir.subdir("work") + kSep;
    tarn::PreLog log;
    bool dataOk = true;

    void SetUp() override { ASSERT_TRUE(log.open(work + "test.log", 0)); }
    tarn::JobRequest request()
    {
        tarn::JobRequest r;
        r.outboundFolder = out;
        r.workFolder = work;
        r.pathWidth = 80;
        r.kind = tarn::kNewsJob;
        r.systemName = "gate";
        r.command = "rnews";
        r.counterUnreadableText = "counter unreadable\n";
        r.counterUnwritableText = "counter unwritable\n";
        r.placeData = [this](const std::string& path) {
            writeFile(path, "batch");  // made even when it then reports failure
            return dataOk;
        };
        return r;
    }
    std::string logText()
    {
        log.close();
        return readFile(work + "test.log");
    }
};

TEST_F(QueueJob, FailedDataFileLeavesNoJobAndTheCounterAlone)
{
    writeFile(work + "export.dat", bytes({41, 0, 0, 0}));
    dataOk = false;
    EXPECT_EQ(tarn::queueJob(request(), log), -1);
    EXPECT_TRUE(testsupport::listFolder(out).empty());
    EXPECT_EQ(readFile(work + "export.dat"), bytes({41, 0, 0, 0}));
}

TEST_F(QueueJob, UnreadableCounterIsLoggedAndStartsAtOne)
{
    writeFile(work + "export.dat", "ab");
    EXPECT_EQ(tarn::queueJob(request(), log), 1);
    EXPECT_EQ(readFile(work + "export.dat"), bytes({1, 0, 0, 0}));
    std::string text = logText();
    EXPECT_NE(text.find("\tcounter unreadable" + kEol), std::string::npos) << text;
}

TEST_F(QueueJob, UnwritableCounterKeepsTheJob)
{
    dir.subdir("work" + kSep + "export.dat");  // cannot be opened as a file
    EXPECT_EQ(tarn::queueJob(request(), log), 1);
    EXPECT_TRUE(fileExists(out + "0001.CMD"));
    EXPECT_TRUE(fileExists(out + "0001.XQT"));
    EXPECT_TRUE(fileExists(out + "0001.DAT"));
    std::string text = logText();
    EXPECT_NE(text.find("\tcounter unreadable" + kEol), std::string::npos) << text;
    EXPECT_NE(text.find("\tcounter unwritable" + kEol), std::string::npos) << text;
}

}  // namespace
