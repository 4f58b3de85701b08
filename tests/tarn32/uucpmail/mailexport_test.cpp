// EXPMAIL through the DLL on real folders: the job files' bytes, the
// counter, the log, and the mended paths (queued job of the same number,
// no free number, no "rmail.z").
#include "dll.h"
#include "testdir.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>

using testsupport::fileExists;
using testsupport::listFolder;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

using ExpMail = int __stdcall(const char*, const char*, const char*, const char*, const char*, int);

std::string counterBytes(int n)
{
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[i] = static_cast<char>((static_cast<unsigned>(n) >> (8 * i)) & 0xff);
    return s;
}

std::string untimed(const std::string& log)
{
    return std::regex_replace(log, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{2,3}\t)"), "");
}

const char kMessage[] = "From: ann@office.example\nTo: joe@far.example\n\nHello\r\nbinary \x1a kept\n";

class MailExport : public ::testing::Test {
protected:
    testsupport::Dll dll{"tarn32.dll"};
    ExpMail* expmail = dll.get<ExpMail>("EXPMAIL");
    testsupport::TestDir dir;
    std::string out = dir.subdir("out");
    std::string work = dir.subdir("work");

    int exportOnce(int level = 5, const char* recipients = "joe@far.example bob@far.example")
    {
        std::string outCopy = out, workCopy = work;
        int r = expmail(outCopy.c_str(), workCopy.c_str(), recipients, "gate", "ann@office.example",
                        level);
        EXPECT_EQ(outCopy, out);  // the caller's strings stay as they were
        EXPECT_EQ(workCopy, work);
        return r;
    }
    void prepare(const std::string& bytes = kMessage) { writeFile(out + "\\rmail.z", bytes); }
    std::string log() { return untimed(readFile(work + "\\mail.log")); }
    std::string counter() { return readFile(work + "\\export.dat"); }
};

TEST_F(MailExport, FirstJobHasTheExactFilesAndLog)
{
    prepare();
    ASSERT_EQ(exportOnce(), 0);
    EXPECT_EQ(listFolder(out), (std::vector<std::string>{"0001.CMD", "0001.DAT", "0001.XQT"}));
    EXPECT_EQ(readFile(out + "\\0001.CMD"),
              "S 0001.DAT D.gate0001 daemon - 0001.DAT 0666\r\n"
              "S 0001.XQT X.gate0001 daemon - 0001.XQT 0666\r\n");
    EXPECT_EQ(readFile(out + "\\0001.XQT"),
              "U Daemon gate\nZ\nF D.gate0001\nI D.gate0001\nC rmail joe@far.example bob@far.example\n");
    EXPECT_EQ(readFile(out + "\\0001.DAT"), kMessage);
    EXPECT_EQ(counter(), counterBytes(1));
    EXPECT_EQ(log(),
              "Cannot open export.dat (mail)\r\n"
              "Exporting message to joe@far.example bob@far.example from ann@office.example\r\n");
}

TEST_F(MailExport, CounterValuesGiveTheNextNumber)
{
    struct Case {
        const char* name;
        const char* content;  // nullptr: no export.dat
        std::size_t size;
        const char* job;
        int stored;
        bool logged;
    };
    const Case cases[] = {
        {"missing", nullptr, 0, "0001", 1, true},
        {"holding 41", "\x29\0\0\0", 4, "0042", 42, false},
        {"holding 9999", "\x0f\x27\0\0", 4, "0001", 1, false},
        {"holding 9998", "\x0e\x27\0\0", 4, "9999", 9999, false},
        {"short file", "\x29\0", 2, "0001", 1, true},
    };
    for (const Case& c : cases) {
        std::remove((work + "\\export.dat").c_str());
        std::remove((work + "\\mail.log").c_str());
        for (const std::string& name : listFolder(out))
            std::remove((out + "\\" + name).c_str());
        if (c.content)
            writeFile(work + "\\export.dat", std::string(c.content, c.size));
        prepare();
        ASSERT_EQ(exportOnce(2), 0) << c.name;
        std::string job = c.job;
        EXPECT_EQ(listFolder(out),
                  (std::vector<std::string>{job + ".CMD", job + ".DAT", job + ".XQT"}))
            << c.name;
        EXPECT_EQ(counter(), counterBytes(c.stored)) << c.name;
        EXPECT_EQ(log().find("Cannot open export.dat (mail)\r\n") != std::string::npos, c.logged)
            << c.name;
    }
}

TEST_F(MailExport, LevelOneWritesNothingWhenAllFilesOpen)
{
    writeFile(work + "\\export.dat", counterBytes(6));
    prepare();
    ASSERT_EQ(exportOnce(1), 0);
    EXPECT_TRUE(fileExists(out + "\\0007.DAT"));
    EXPECT_EQ(readFile(work + "\\mail.log"), "");
}

TEST_F(MailExport, WrapAroundKeepsAStillQueuedJob)
{
    writeFile(work + "\\export.dat", counterBytes(9999));
    writeFile(out + "\\0001.CMD", "queued cmd");
    writeFile(out + "\\0001.XQT", "queued xqt");
    writeFile(out + "\\0001.DAT", "queued message");
    writeFile(out + "\\0002.DAT", "data left by a half-sent job");
    prepare();
    ASSERT_EQ(exportOnce(), 0);
    EXPECT_EQ(readFile(out + "\\0001.CMD"), "queued cmd");
    EXPECT_EQ(readFile(out + "\\0001.XQT"), "queued xqt");
    EXPECT_EQ(readFile(out + "\\0001.DAT"), "queued message");
    EXPECT_EQ(readFile(out + "\\0002.DAT"), "data left by a half-sent job");
    EXPECT_EQ(readFile(out + "\\0003.DAT"), kMessage);
    EXPECT_NE(readFile(out + "\\0003.XQT").find("F D.gate0003\n"), std::string::npos);
    EXPECT_FALSE(fileExists(out + "\\rmail.z"));
    EXPECT_EQ(counter(), counterBytes(3));
}

// The Unix path of a folder of the Wine prefix.
std::string unixPath(const std::string& windowsPath)
{
    using ToUnix = char* __cdecl(const wchar_t*);
    auto toUnix = reinterpret_cast<ToUnix*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name"));
    std::wstring wide(windowsPath.begin(), windowsPath.end());
    char* p = toUnix ? toUnix(wide.c_str()) : nullptr;
    std::string r = p ? p : "";
    if (p)
        HeapFree(GetProcessHeap(), 0, p);
    return r;
}

// Fills the outbound folder with 9999 queued numbers. Made from the Unix side
// (Wine starts Unix programs too): Wine's case-blind name lookup makes 9999
// creations from inside take half a minute.
bool fillEveryNumber(const std::string& folder, const std::string& scratch)
{
    std::string dir = unixPath(folder);
    std::string script = scratch + "\\fill.sh";
    std::string mark = scratch + "\\filled";
    // Numbers n % 3 == 0, 1, 2 are taken by their .CMD, .XQT, .DAT file.
    writeFile(script, "cd '" + dir + "' && seq 1 9999 | "
                      "awk '{ printf \"%04d.%s\\n\", $1, substr(\"CMDXQTDAT\", $1 % 3 * 3 + 1, 3) }' | "
                      "xargs touch\n"
                      "touch '" + unixPath(mark) + "'\n");
    std::string cmd = "/bin/sh \"" + unixPath(script) + "\"";
    if (dir.empty() || unixPath(script).empty())
        return false;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    // The handle of a Unix process cannot be waited for: wait for its mark.
    for (int i = 0; i < 600 && !fileExists(mark); ++i)
        Sleep(100);
    std::remove(script.c_str());
    return fileExists(mark);
}

TEST_F(MailExport, NoFreeNumberTouchesNothing)
{
    ASSERT_TRUE(fillEveryNumber(out, dir.path()));
    ASSERT_EQ(listFolder(out).size(), 9999u);
    writeFile(work + "\\export.dat", counterBytes(500));
    prepare();
    EXPECT_EQ(exportOnce(), -1);
    EXPECT_EQ(listFolder(out).size(), 10000u);
    EXPECT_EQ(readFile(out + "\\rmail.z"), kMessage);
    EXPECT_EQ(counter(), counterBytes(500));
    EXPECT_EQ(log(), "No free job number in " + out + "\\\r\n");
}

TEST_F(MailExport, MissingPreparedMessageWritesNoJob)
{
    writeFile(work + "\\export.dat", counterBytes(41));
    EXPECT_EQ(exportOnce(), -1);
    EXPECT_TRUE(listFolder(out).empty());
    EXPECT_EQ(counter(), counterBytes(41));
    EXPECT_EQ(log(), "Cannot open " + out + "\\rmail.z\r\n");
}

TEST_F(MailExport, RefusedBeforeAnyJobFile)
{
    struct Case {
        const char* name;
        const char* recipients;
        bool workFolderMissing;
        const char* logText;  // nullptr: no log can be written
    };
    const Case cases[] = {
        {"LF in recipients", "joe@far.example\nC rm -rf /", false,
         "Cannot export: line break in recipients or system name\r\n"},
        {"CR in recipients", "joe@far.example\r", false,
         "Cannot export: line break in recipients or system name\r\n"},
        {"no mail.log", "joe@far.example", true, nullptr},
    };
    for (const Case& c : cases) {
        prepare();
        std::string realWork = work;
        if (c.workFolderMissing)
            work = dir.file("absent");
        EXPECT_EQ(exportOnce(5, c.recipients), -1) << c.name;
        EXPECT_EQ(listFolder(out), (std::vector<std::string>{"rmail.z"})) << c.name;
        EXPECT_FALSE(fileExists(work + "\\export.dat")) << c.name;
        if (c.logText) {
            EXPECT_EQ(log(), c.logText) << c.name;
        }
        std::remove((work + "\\mail.log").c_str());
        work = realWork;
    }
}

TEST_F(MailExport, FolderWidthsAreLimits)
{
    // Folder with its backslash and "0001.CMD" must stay within 80.
    std::string deep = out + "\\" + std::string(80 - out.size() - 2 - 8 - 1, 'd');
    ASSERT_EQ(CreateDirectoryA(deep.c_str(), nullptr), TRUE);
    std::string realOut = out;
    out = deep;
    prepare();
    EXPECT_EQ(exportOnce(), 0);  // 79 characters and the NUL
    EXPECT_TRUE(fileExists(deep + "\\0001.CMD"));
    out = deep + "d";
    ASSERT_EQ(CreateDirectoryA(out.c_str(), nullptr), TRUE);
    prepare();
    EXPECT_EQ(exportOnce(), -1);
    EXPECT_EQ(listFolder(out), (std::vector<std::string>{"rmail.z"}));
    out = realOut;
}

}  // namespace
