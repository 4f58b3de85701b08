// IMPMAIL through the DLL on real folders.
#include "dll.h"
#include "testdir.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include <regex>
#include <vector>

namespace {

using ImpMail = int __stdcall(char*, char*, const char*, const char*, int);

const char kMessage[] =
    "From: Joe Bloggs <joe@gate.example>\n"
    "To: ann@office.example\n"
    "Date: Tue, 8 Dec 2026 10:00:00 +0000\n"
    "Message-ID: <42@gate.example>\n"
    "Subject: Quarterly figures\n"
    "Cc: boss@office.example\n"
    "\n"
    "Body line one\nFrom: not a header\n";

class MailImport : public ::testing::Test {
protected:
    testsupport::Dll dll{"tarn32.dll"};
    ImpMail* impmail = dll.get<ImpMail>("IMPMAIL");
    testsupport::TestDir dir;
    std::string in = dir.subdir("in");
    std::string work = dir.subdir("work");

    // One IMPMAIL call with fresh folder buffers, as a host makes it.
    int importOnce(int level = 5, const char* sys1 = "gate", const char* sys2 = "office")
    {
        std::vector<char> inBuf(in.begin(), in.end()), workBuf(work.begin(), work.end());
        inBuf.resize(inBuf.size() + 2);
        workBuf.resize(workBuf.size() + 2);
        int r = impmail(inBuf.data(), workBuf.data(), sys1, sys2, level);
        EXPECT_EQ(std::string(inBuf.data()), in + "\\");
        EXPECT_EQ(std::string(workBuf.data()), work + "\\");
        return r;
    }
    int importAll(int level = 5)
    {
        int n = 0;
        while (importOnce(level) == 0)
            ++n;
        return n;
    }
    void mailJob(const std::string& jobName, const std::string& spool, const std::string& dataName,
                 const std::string& message, const std::string& command = "C rmail ann@office.example\n")
    {
        testsupport::writeFile(in + "\\" + jobName, "U uucp gate\nF " + spool + "\nI " + spool +
                                                        "\n" + command);
        if (!dataName.empty())
            testsupport::writeFile(in + "\\" + dataName, message);
    }
    std::string hdr() { return testsupport::readFile(work + "\\mail.hdr"); }
    std::string area() { return testsupport::readFile(work + "\\mailarea.txt"); }
    std::string mailinLog() { return testsupport::readFile(work + "\\mailin.log"); }
};

// Strips the timestamp prefixes so that log texts can be compared whole.
std::string untimed(const std::string& log)
{
    return std::regex_replace(log, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{2,3}\t)"), "");
}

TEST_F(MailImport, FirstMessageIntoNewAreaWithFullRecordAndLog)
{
    mailJob("X0001.x", "D.gateA1b2C", "4A1b2C.D", kMessage);
    EXPECT_EQ(importOnce(), 0);
    EXPECT_EQ(importOnce(), -1);

    EXPECT_EQ(area(), kMessage);
    std::string len = std::to_string(std::strlen(kMessage));
    EXPECT_EQ(hdr(),
              "To: ann@office.example\r\n"
              "From: Joe Bloggs <joe@gate.example>\r\n"
              "Date: Tue, 8 Dec 2026 10:00:00 +0000\r\n"
              "Message-ID: <42@gate.example>\r\n"
              "Subject: Quarterly figures\r\n"
              "Cc: boss@office.example\r\n"
              "1\r\n" + len + "\r\n");
    EXPECT_TRUE(testsupport::listFolder(in).empty());

    std::string job = in + "\\X0001.x";
    EXPECT_EQ(untimed(mailinLog()),
              "5\tlooking for X0001.x \r\n"
              "4\tprocessing " + job + "\r\n"
              "5\tFound end of file\r\n"
              "5\tDeleting " + job + "\r\n"
              "1\tUUCP->Received Msg To: ann@office.example\r\n"
              "1\t\t\tUUCP-> From: Joe Bloggs <joe@gate.example>\r\n"
              "0\tmailarea.txt file is not there or 0 length\r\n"
              "5\tDeleting " + in + "\\4A1b2C.D\r\n");
    EXPECT_EQ(untimed(testsupport::readFile(work + "\\mail.log")),
              "Looking for " + in + "\\*.x\r\n"
              "Inbound mail found\r\n"
              "Looking for " + in + "\\*.x\r\n"
              "No inbound mail found\r\n");
    // Timestamps carry two or three millisecond digits and a tab.
    EXPECT_TRUE(std::regex_search(mailinLog(),
                                  std::regex(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{2,3}\t5\tlooking)")));
}

TEST_F(MailImport, SecondMessageStartsAtTheEndOfTheFirstAndDefaultsFillTheRecord)
{
    mailJob("A.x", "D.gateA1b2C", "4A1b2C.D", kMessage);
    ASSERT_EQ(importOnce(), 0);
    std::string bare = "X-Other: 1\n\nno headers here\n";
    mailJob("B.x", "D.gateQ0002", "0Q0002.D", bare, "c RMAIL bob@office.example\n");
    ASSERT_EQ(importOnce(0), 0);

    std::string first = std::to_string(std::strlen(kMessage));
    std::string second = std::to_string(std::strlen(kMessage) + bare.size());
    std::string h = hdr();
    EXPECT_EQ(h.substr(h.find("To: bob")),
              "To: bob@office.example\r\n"
              "From: \r\n"
              "Date: \r\n"
              "Message-ID: <0>\r\n"
              "Subject: Wasn't one for this message\r\n"
              "NO CC\r\n" + first + "\r\n" + second + "\r\n");
    EXPECT_EQ(area(), kMessage + bare);
    // At level 0 only the messages written always appear for the second job.
    std::string log = untimed(mailinLog());
    EXPECT_EQ(log.substr(log.rfind("1\tUUCP->Received Msg To: bob")),
              "1\tUUCP->Received Msg To: bob@office.example\r\n1\t\t\tUUCP-> ");
}

TEST_F(MailImport, NewsJobStaysAndMailJobBesideItIsImported)
{
    testsupport::writeFile(in + "\\N0001.x", "U news gate\nF D.gateN0001\nC rnews\n");
    testsupport::writeFile(in + "\\0N0001.D", "#! rnews 10\n0123456789");
    mailJob("M0001.x", "D.gateM0002", "0M0002.D", kMessage);
    EXPECT_EQ(importAll(), 1);
    EXPECT_TRUE(testsupport::fileExists(in + "\\N0001.x"));
    EXPECT_TRUE(testsupport::fileExists(in + "\\0N0001.D"));
    EXPECT_FALSE(testsupport::fileExists(in + "\\M0001.x"));
    EXPECT_NE(mailinLog().find("5\tNot a mail file.\r\n"), std::string::npos);
}

TEST_F(MailImport, RefusedSpoolNameFallsBackToTheJobNameWithD)
{
    mailJob("ABC.x", "E.gate0001", "ABC.D", kMessage);
    EXPECT_EQ(importOnce(), 0);
    EXPECT_EQ(area(), kMessage);
    EXPECT_FALSE(testsupport::fileExists(in + "\\ABC.D"));
    EXPECT_NE(untimed(mailinLog()).find("1\treturn value 0 \r\n"), std::string::npos);
}

TEST_F(MailImport, MissingDataFileLeavesBothFilesAndLogsTwice)
{
    mailJob("J.x", "D.gateA1b2C", "", "");
    EXPECT_EQ(importOnce(), -1);
    EXPECT_TRUE(testsupport::fileExists(in + "\\J.x"));
    std::string line = "0\tCannot open (" + in + "\\4A1b2C.D)\r\n";
    EXPECT_NE(untimed(mailinLog()).find(line + line), std::string::npos);
    EXPECT_EQ(hdr(), "");
}

TEST_F(MailImport, NoAtSignIsLoggedAndTheImportGoesOn)
{
    mailJob("J.x", "D.gateA1b2C", "4A1b2C.D", kMessage, "C rmail localuser\n");
    EXPECT_EQ(importOnce(0), 0);
    EXPECT_NE(untimed(mailinLog()).find(
                  "1\tDid not find a valid ID, no @ in address - Result To: localuser\r\n.\r\n"),
              std::string::npos);
    EXPECT_EQ(hdr().substr(0, 15), "To: localuser\r\n");
}

TEST_F(MailImport, CrLfHeaderLinesKeepTheirCarriageReturn)
{
    std::string crlf = "From: a@b\r\nSubject: s\r\n\r\nbody\r\n";
    mailJob("J.x", "D.gateA1b2C", "4A1b2C.D", crlf);
    ASSERT_EQ(importOnce(), 0);
    EXPECT_EQ(area(), crlf);  // bytes unchanged
    EXPECT_NE(hdr().find("From: a@b\r\r\n"), std::string::npos);
    EXPECT_NE(hdr().find("Subject: s\r\r\n"), std::string::npos);
}

// The store files are opened before the job file is deleted: when either
// cannot be, both spool files stay and the next call imports the message.
TEST_F(MailImport, UnopenableIndexLeavesTheJobForALaterCall)
{
    CreateDirectoryA((work + "\\mail.hdr").c_str(), nullptr);  // cannot be opened as a file
    mailJob("J.x", "D.gateA1b2C", "4A1b2C.D", kMessage);
    EXPECT_EQ(importOnce(), -1);
    EXPECT_TRUE(testsupport::fileExists(in + "\\J.x"));
    EXPECT_TRUE(testsupport::fileExists(in + "\\4A1b2C.D"));
    EXPECT_EQ(area(), "");
    EXPECT_NE(untimed(mailinLog()).find("0\tCannot open file (" + work + "\\mail.hdr)\r\n"),
              std::string::npos);

    RemoveDirectoryA((work + "\\mail.hdr").c_str());
    EXPECT_EQ(importOnce(), 0);
    EXPECT_EQ(area(), kMessage);
}

TEST_F(MailImport, UnopenableAreaWritesNoHalfRecord)
{
    CreateDirectoryA((work + "\\mailarea.txt").c_str(), nullptr);
    mailJob("J.x", "D.gateA1b2C", "4A1b2C.D", kMessage);
    EXPECT_EQ(importOnce(), -1);
    EXPECT_TRUE(testsupport::fileExists(in + "\\J.x"));
    EXPECT_TRUE(testsupport::fileExists(in + "\\4A1b2C.D"));
    EXPECT_EQ(hdr(), "");
    EXPECT_NE(untimed(mailinLog()).find("0\tCannot open mailarea.txt file (" + work +
                                        "\\mailarea.txt)\r\n"),
              std::string::npos);

    RemoveDirectoryA((work + "\\mailarea.txt").c_str());
    EXPECT_EQ(importOnce(), 0);
    std::string tail = "\r\n1\r\n" + std::to_string(std::strlen(kMessage)) + "\r\n";
    EXPECT_EQ(hdr().substr(hdr().size() - tail.size()), tail);
}

TEST_F(MailImport, JobFileHeldOpenIsSkipped)
{
    mailJob("J.x", "D.gateA1b2C", "4A1b2C.D", kMessage);
    HANDLE h = CreateFileA((in + "\\J.x").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(importOnce(), -1);
    EXPECT_NE(untimed(mailinLog()).find("Cannot open file.(" + in + "\\J.x)\r\n"), std::string::npos);
    CloseHandle(h);
    EXPECT_EQ(importOnce(), 0);
}

TEST_F(MailImport, PathsPastTheirWidthsAreRefused)
{
    // inbound folder + "*.x" must stay below 60 characters.
    std::string deep = dir.subdir(std::string(60 - dir.path().size(), 'd'));
    mailJob("J.x", "D.gateA1b2C", "4A1b2C.D", kMessage);
    std::vector<char> inBuf(deep.begin(), deep.end()), workBuf(work.begin(), work.end());
    inBuf.resize(inBuf.size() + 2);
    workBuf.resize(workBuf.size() + 2);
    EXPECT_EQ(impmail(inBuf.data(), workBuf.data(), "gate", "", 5), -1);

    // A work folder whose "mail.log" path passes 80 characters: nothing is touched.
    std::string deepWork = dir.subdir(std::string(80 - dir.path().size(), 'w'));
    std::vector<char> in2(in.begin(), in.end()), work2(deepWork.begin(), deepWork.end());
    in2.resize(in2.size() + 2);
    work2.resize(work2.size() + 2);
    EXPECT_EQ(impmail(in2.data(), work2.data(), "gate", "", 5), -1);
    EXPECT_TRUE(testsupport::fileExists(in + "\\J.x"));
    EXPECT_TRUE(testsupport::listFolder(deepWork).empty());
}

TEST_F(MailImport, HostileInputIsImportedWhole)
{
    // A job with an over-long line and spool name, a data file with NUL bytes,
    // binary garbage and a 5000-character header line.
    std::string junk;
    for (int i = 0; i < 100000; ++i)
        junk += static_cast<char>((i * 2654435761u) >> 24);
    std::string data = "Subject: " + std::string(5000, 's') + "\nFrom: x@y\n" +
                       std::string("\0\0\0", 3) + "\n\n" + junk;
    testsupport::writeFile(in + "\\J.x", "Z" + std::string(3000, 'z') + "\nF D.gate" +
                                             std::string(60, 'n') + "\nC rmail a@b\n");
    // The spool name is cut to 39 characters: D.gate + 33 "n"; short name "Vnnnnnnn.D".
    testsupport::writeFile(in + "\\Vnnnnnnn.D", data);
    EXPECT_EQ(importOnce(), 0);
    EXPECT_TRUE(area() == data);
    std::string h = hdr();
    EXPECT_EQ(h.substr(0, 10), "To: a@b\r\n" + std::string("F"));
    // The kept Subject line is 199 characters and gets its line feed.
    EXPECT_NE(h.find("Subject: " + std::string(190, 's') + "\r\n"), std::string::npos);
    int lines = 0;
    for (char c : h)
        lines += c == '\n';
    EXPECT_EQ(lines, 8);
}

}  // namespace
