// The append and copy exports on real folders: WRITEMESSAGE, WRITEMFORM,
// WRITEUUCP, FILEATTACH and GENUUCP.
#include "dll.h"
#include "testdir.h"

#include <gtest/gtest.h>

#include <cstring>

using testsupport::fileExists;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

using Write = int __stdcall(const char*, int, int*, int*, const char*, char*);
using WriteUucp = int __stdcall(const char*, int*, int*, const char*, char*);
using Read = int __stdcall(const char*, int, int, int, char*, char*);
using FileAttach = int __stdcall(const char*, const char*, const char*, char*, int);
using GenUucp = int __stdcall(const char*, const char*, const char*, const char*, char*, int);

class AreaWrite : public ::testing::Test {
public:
    testsupport::Dll dll{"tarn32.dll"};
    Write* writeMessage = dll.get<Write>("WRITEMESSAGE");
    Write* writeMform = dll.get<Write>("WRITEMFORM");
    WriteUucp* writeUucp = dll.get<WriteUucp>("WRITEUUCP");
    Read* readMessage = dll.get<Read>("READMESSAGE");
    FileAttach* fileAttach = dll.get<FileAttach>("FILEATTACH");
    GenUucp* genUucp = dll.get<GenUucp>("GENUUCP");
    testsupport::TestDir dir;
    char error[256] = "untouched";
    int start = -99, length = -99;

    int write(Write* w, int area, const char* text)
    {
        start = length = -99;
        return w(dir.path().c_str(), area, &start, &length, text, error);
    }
};

TEST_F(AreaWrite, StartOffsetConventionsOfTheThreeAppends)
{
    struct Case {
        const char* name;
        const char* existing;  // nullptr: the file is missing
        const char* text;
        int start, length;
        const char* stored;
    };
    struct Export {
        const char* name;
        int (*call)(AreaWrite&, const char* text);
        const char* file;
    };
    const Export exports[] = {
        {"WRITEMESSAGE", [](AreaWrite& t, const char* s) { return t.write(t.writeMessage, 3, s); },
         "area3.txt"},
        {"WRITEMFORM", [](AreaWrite& t, const char* s) { return t.write(t.writeMform, 3, s); },
         "area3.txt"},
        {"WRITEUUCP",
         [](AreaWrite& t, const char* s) {
             return t.writeUucp(t.dir.file("area3.txt").c_str(), &t.start, &t.length, s, t.error);
         },
         "area3.txt"},
    };
    // WRITEMESSAGE gives an empty file's start as 0, the other two as 1; an
    // end of 0 is given as 1 by all three.
    const Case cases[] = {
        {"WRITEMESSAGE missing file", nullptr, "ab\r\ncd\n", 0, 6, "ab\ncd\n"},
        {"WRITEMFORM missing file", nullptr, "ab\r\ncd\n", 1, 5, "ab\ncd\n"},
        {"WRITEUUCP missing file", nullptr, "ab\r\ncd\n", 1, 5, "ab\ncd\n"},
        {"WRITEMESSAGE empty text, empty file", "", "", 0, 1, ""},
        {"WRITEMFORM empty text, empty file", "", "", 1, 0, ""},
        {"WRITEUUCP empty text, empty file", "", "", 1, 0, ""},
        {"WRITEMESSAGE behind a message", "0123456789", "x\ry\n", 10, 3, "0123456789xy\n"},
        {"WRITEMFORM behind a message", "0123456789", "x\ry\n", 10, 3, "0123456789xy\n"},
        {"WRITEUUCP behind a message", "0123456789", "x\ry\n", 10, 3, "0123456789xy\n"},
    };
    for (const Case& c : cases) {
        const Export* e = nullptr;
        for (const Export& x : exports)
            if (std::strncmp(c.name, x.name, std::strlen(x.name)) == 0 && c.name[std::strlen(x.name)] == ' ')
                e = &x;
        ASSERT_NE(e, nullptr) << c.name;
        std::string path = dir.file(e->file);
        std::remove(path.c_str());
        if (c.existing)
            writeFile(path, c.existing);
        EXPECT_EQ(e->call(*this, c.text), 0) << c.name;
        EXPECT_EQ(start, c.start) << c.name;
        EXPECT_EQ(length, c.length) << c.name;
        EXPECT_EQ(readFile(path), c.stored) << c.name;
        EXPECT_STREQ(error, "untouched") << c.name;
    }
}

TEST_F(AreaWrite, AppendedMessageReadsBackByItsOffsets)
{
    ASSERT_EQ(write(writeMessage, 0, "From: a\r\n\r\nfirst\r\n"), 0);
    ASSERT_EQ(write(writeMessage, 0, "From: b\r\n\r\nsecond\r\n"), 0);
    EXPECT_EQ(start, 15);
    EXPECT_EQ(length, 16);
    char text[32302];
    EXPECT_EQ(readMessage(dir.path().c_str(), 0, start, length, text, error), length + 1);
    EXPECT_STREQ(text, "From: b\r\n\r\nsecond\r\n");
    // Area -50 is an ordinary area for writing.
    ASSERT_EQ(write(writeMessage, -50, "t"), 0);
    EXPECT_EQ(readFile(dir.file("area-50.txt")), "t");
    EXPECT_FALSE(fileExists(dir.file("temparea.dat")));
}

TEST_F(AreaWrite, WriteMformBreaksAfterTheFirstSpacePastColumn80)
{
    auto line = [](std::size_t size, std::initializer_list<std::size_t> spaces) {
        std::string s(size, 'a');
        for (std::size_t p : spaces)
            s[p - 1] = ' ';  // positions count from 1
        return s;
    };
    struct Case {
        const char* name;
        std::string text;
        std::string stored;
    };
    const Case cases[] = {
        {"spaces at 50 and 90", line(100, {50, 90}),
         line(90, {50, 90}) + "\n" + std::string(10, 'a')},
        {"space at 80 does not break", line(100, {80}), line(100, {80})},
        {"space at 81 breaks", line(100, {81}), line(81, {81}) + "\n" + std::string(19, 'a')},
        {"word without spaces", std::string(300, 'w'), std::string(300, 'w')},
        {"line feed restarts the count", line(60, {}) + "\n" + line(60, {30}),
         line(60, {}) + "\n" + line(60, {30})},
        // The CR counts in the column although it is not stored: the space at
        // 80 is the 81st character.
        {"CR counts", "\r" + line(100, {80}), line(80, {80}) + "\n" + std::string(20, 'a')},
        {"two breaks", line(200, {85, 170}),
         line(85, {85}) + "\n" + std::string(84, 'a') + " \n" + std::string(30, 'a')},
    };
    for (const Case& c : cases) {
        std::remove(dir.file("area5.txt").c_str());
        ASSERT_EQ(write(writeMform, 5, c.text.c_str()), 0) << c.name;
        EXPECT_EQ(readFile(dir.file("area5.txt")), c.stored) << c.name;
        EXPECT_EQ(length, static_cast<int>(c.stored.size()) - 1) << c.name;
    }
}

TEST_F(AreaWrite, UnopenableFileWritesNothing)
{
    std::string missing = dir.file("nofolder");
    EXPECT_EQ(writeMessage(missing.c_str(), 0, &start, &length, "x", error), -1);
    EXPECT_STREQ(error, ("Cannot open file " + missing + "\\mailarea.txt").c_str());
    EXPECT_EQ(writeMform(missing.c_str(), 4, &start, &length, "x", error), -1);
    EXPECT_STREQ(error, ("Cannot open file " + missing + "\\area4.txt").c_str());
    std::string path = dir.file("nofolder\\rmail.z");
    EXPECT_EQ(writeUucp(path.c_str(), &start, &length, "x", error), -1);
    EXPECT_STREQ(error, ("Cannot open file " + path).c_str());
    EXPECT_EQ(start, -99);
    EXPECT_FALSE(fileExists(missing));
    // A path past the width of 200 is refused the same way; the text is cut
    // to the error buffer's 256 bytes.
    std::string deep(240, 'd');
    EXPECT_EQ(writeMessage(deep.c_str(), 0, &start, &length, "x", error), -1);
    EXPECT_EQ(std::strlen(error), 255u);
    EXPECT_EQ(std::string(error).substr(0, 17), "Cannot open file ");
}

TEST_F(AreaWrite, AttachAndGenUucpHoldModes)
{
    std::string first = dir.file("first.bin"), second = dir.file("second.bin");
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes += static_cast<char>(i);
    writeFile(first, bytes + "\r\n\x1a end");  // binary, Ctrl-Z included
    writeFile(second, "second\n");
    std::string out = dir.subdir("out");
    struct Case {
        const char* name;
        bool gen;  // GENUUCP rather than FILEATTACH
        int holdMode;
        std::string file;
        std::string expected;
    };
    const Case cases[] = {
        {"FILEATTACH hold 1 replaces", false, 1, out + "\\hold\\att.bin", "second\n"},
        {"FILEATTACH hold 0 appends", false, 0, out + "\\att.bin", bytes + "\r\n\x1a endsecond\n"},
        {"FILEATTACH hold 2 appends", false, 2, out + "\\att2.bin", bytes + "\r\n\x1a endsecond\n"},
        {"GENUUCP hold 1 replaces", true, 1, out + "\\hold\\rmail.z", "LEAD\nsecond\n"},
        {"GENUUCP hold 0 appends", true, 0, out + "\\rmail.z",
         "LEAD\n" + bytes + "\r\n\x1a endLEAD\nsecond\n"},
    };
    for (const Case& c : cases) {
        std::string name = c.file.substr(c.file.find_last_of('\\') + 1);
        for (const std::string& source : {first, second}) {
            int r = c.gen ? genUucp(out.c_str(), source.c_str(), name.c_str(), "LEAD\n", error, c.holdMode)
                          : fileAttach(out.c_str(), source.c_str(), name.c_str(), error, c.holdMode);
            EXPECT_EQ(r, 0) << c.name;
        }
        EXPECT_EQ(readFile(c.file), c.expected) << c.name;
    }
    EXPECT_STREQ(error, "untouched");
}

TEST_F(AreaWrite, AttachAndGenUucpFailures)
{
    std::string out = dir.subdir("out");
    std::string source = dir.file("src");
    writeFile(source, "data");
    std::string missing = dir.file("absent");

    EXPECT_EQ(fileAttach(out.c_str(), missing.c_str(), "t", error, 0), -1);
    EXPECT_STREQ(error, ("Cannot open file " + missing).c_str());
    // GENUUCP names the target folder, not the source.
    EXPECT_EQ(genUucp(out.c_str(), missing.c_str(), "t", "L", error, 1), -1);
    EXPECT_STREQ(error, ("Cannot open file \r\n" + out + "\\hold").c_str());
    EXPECT_FALSE(fileExists(out + "\\t"));
    EXPECT_FALSE(fileExists(out + "\\hold\\t"));

    std::string noFolder = dir.file("none\\deeper");
    EXPECT_EQ(fileAttach(noFolder.c_str(), source.c_str(), "t", error, 0), -1);
    EXPECT_STREQ(error, "Cannot open temp file \r\n");
    std::strcpy(error, "untouched");
    EXPECT_EQ(genUucp(noFolder.c_str(), source.c_str(), "t", "L", error, 1), -1);
    EXPECT_STREQ(error, "Cannot open temp file \r\n");
    std::strcpy(error, "untouched");
    std::string longName(200, 'n');
    EXPECT_EQ(fileAttach(out.c_str(), source.c_str(), longName.c_str(), error, 0), -1);
    EXPECT_STREQ(error, "Cannot open temp file \r\n");
}

}  // namespace
