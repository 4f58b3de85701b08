// MIMEDECODE, MIMEENCODE, WRITEQUOTED and DECODE_ISO through the DLL, on real
// files: the end-of-call file handling, the edge cases of each codec, and
// bad input (random bytes, NUL bytes, endless lines).
#include "dll.h"
#include "testdir.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <random>
#include <string>

namespace {

using testsupport::fileExists;
using testsupport::readFile;
using testsupport::TestDir;
using testsupport::writeFile;

using MimeDecodeFn = int __stdcall(const char*, const char*);
using MimeEncodeFn = int __stdcall(const char*, const char*, const char*);
using WriteQuotedFn = int __stdcall(const char*, const char*, char*, int);
using DecodeIsoFn = int __stdcall(const char*, const char*, char*);

const char kScratch[] = "$$$$$$$$.$$$";

class CodecExports : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dll.loaded());
        GetCurrentDirectoryA(sizeof savedDir, savedDir);
        // The scratch name is taken relative to the current directory.
        ASSERT_TRUE(SetCurrentDirectoryA(dir.path().c_str()));
    }
    void TearDown() override { SetCurrentDirectoryA(savedDir); }

    int mimeDecode(const std::string& message, const std::string& out)
    {
        writeFile(dir.file("msg.txt"), message);
        return dll.get<MimeDecodeFn>("MIMEDECODE")(dir.file("msg.txt").c_str(), out.c_str());
    }

    testsupport::Dll dll{"tarn32.dll"};
    TestDir dir;
    char savedDir[MAX_PATH] = "";
};

// 300 bytes of every value, its base64 in 76-character lines.
const std::string& attachmentBytes()
{
    static std::string b = [] {
        std::string s;
        for (int i = 0; i < 300; ++i)
            s += static_cast<char>((i * 7) & 0xFF);
        return s;
    }();
    return b;
}

std::string base64Lines(const std::string& bytes, std::size_t width)
{
    static const char a[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string flat;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 2]);
        flat += a[v >> 18];
        flat += a[(v >> 12) & 63];
        flat += i + 1 < bytes.size() ? a[(v >> 6) & 63] : '=';
        flat += i + 2 < bytes.size() ? a[v & 63] : '=';
    }
    std::string out;
    for (std::size_t i = 0; i < flat.size(); i += width)
        out += flat.substr(i, width) + "\n";
    return out;
}

std::string multipart(const std::string& attachmentHeader, const std::string& body)
{
    return "From: a@b\nMIME-Version: 1.0\n"
           "Content-Type: multipart/mixed; boundary=\"xyz\"\n\n"
           "--xyz\nContent-Type: text/plain\n\nSee the file.\n\n"
           "--xyz\n" + attachmentHeader +
           "Content-Transfer-Encoding: base64\n\n" + body + "\n--xyz--\n";
}

TEST_F(CodecExports, MimeDecodeNamedAttachmentKeepsExactBytes)
{
    std::string out = dir.file("out.bin");
    std::string msg = multipart("Content-Type: application/zip; name=\"report.zip\"\n",
                                base64Lines(attachmentBytes(), 76));
    EXPECT_EQ(mimeDecode(msg, out), 0);
    EXPECT_EQ(readFile(out), attachmentBytes());
}

TEST_F(CodecExports, MimeDecodeReadsCrLfMessagesAndLongLinesInPieces)
{
    // A 100-character line arrives as 79 and 21 characters; decoding runs on.
    std::string out = dir.file("out.bin");
    std::string body = base64Lines(attachmentBytes(), 100);
    std::string msg = multipart("Content-Type: a/b; name=x.bin\n", body);
    std::string crlf;
    for (char c : msg)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(mimeDecode(crlf, out), 0);
    EXPECT_EQ(readFile(out), attachmentBytes());
}

TEST_F(CodecExports, MimeDecodeWithoutNameLeavesNoFileAndDeletesScratch)
{
    std::string out = dir.file("out.bin");
    writeFile(dir.file(kScratch), "old scratch");
    std::string msg = multipart("Content-Type: application/zip\n", base64Lines("abcdef", 76));
    EXPECT_EQ(mimeDecode(msg, out), 0);
    EXPECT_FALSE(fileExists(out));
    EXPECT_FALSE(fileExists(dir.file(kScratch)));
}

TEST_F(CodecExports, MimeDecodeEmptyMessageTakesTheScratchFile)
{
    std::string out = dir.file("out.bin");
    EXPECT_EQ(mimeDecode("", out), 0);
    EXPECT_FALSE(fileExists(out));

    writeFile(dir.file(kScratch), "scratch bytes");
    EXPECT_EQ(mimeDecode("", out), 0);
    EXPECT_EQ(readFile(out), "scratch bytes");
    EXPECT_FALSE(fileExists(dir.file(kScratch)));
}

TEST_F(CodecExports, MimeDecodeEdgeCases)
{
    const std::string out = dir.file("out.bin");
    const std::string named = "Content-Type: a/b; name=\"r.zip\"\n";
    struct Case {
        const char* what;
        std::string message;
        bool kept;          // outPath exists afterwards
        std::string bytes;  // and holds these
    } cases[] = {
        {"a one-word text line is decoded and ends the run",
         "Content-Type: text/plain; name=t.txt\n\nThanks\n\nsee you\n" + named + "\nTWFu\n",
         true, "\x4e\x16\xa7\x92"},
        {"after 7bit the data line is skipped, the next is body",
         "Content-Type: text/plain; name=t.txt\nContent-Transfer-Encoding: 7bit\n\nHello\nTWFu\n",
         true, "Man"},
        {"the last line without a line feed is not decoded", named + "\nTWFu\nTWFu", true, "Man"},
        {"a folded header hides the name", "Content-Type: a/b;\n name=r.zip\n\nTWFu\n", false, ""},
        {"a tab after the colon hides the name", "Content-Type:\ta/b; name=r.zip\n\nTWFu\n", false,
         ""},
        {"padding ends the run", named + "\nTQ==\nTWFu\n", true, "M"},
    };
    for (const Case& c : cases) {
        DeleteFileA(out.c_str());
        EXPECT_EQ(mimeDecode(c.message, out), 0) << c.what;
        EXPECT_EQ(fileExists(out), c.kept) << c.what;
        if (c.kept) {
            EXPECT_EQ(readFile(out), c.bytes) << c.what;
        }
    }
}

TEST_F(CodecExports, MimeDecodeNameIsCutAtTheFirstNonWordCharacter)
{
    // outPath "my" relative to the current folder: my_file.zip is taken as
    // "my", equal to outPath, so the name is kept and the file replaced at
    // the end; myfile.zip differs and the decoded file stays.
    EXPECT_EQ(mimeDecode("Content-Type: a/b; name=my_file.zip\n\nTWFu\n", "my"), 0);
    EXPECT_FALSE(fileExists(dir.file("my")));
    EXPECT_EQ(mimeDecode("Content-Type: a/b; name=myfile.zip\n\nTWFu\n", "my"), 0);
    EXPECT_EQ(readFile(dir.file("my")), "Man");
}

TEST_F(CodecExports, MimeDecodeSecondNameEqualToOutPathFails)
{
    std::string msg = "Content-Type: a/b\n\nTWFu\n\nContent-Type: a/b; name=OUT.BIN\n\nTWFu\n";
    EXPECT_EQ(mimeDecode(msg, "out.bin"), -1);
    EXPECT_EQ(readFile(dir.file("out.bin")), "Man");  // what was written stays
}

TEST_F(CodecExports, MimeDecodeRefusesWhatItCannotOpen)
{
    auto decode = dll.get<MimeDecodeFn>("MIMEDECODE");
    std::string out = dir.file("out.bin");
    EXPECT_EQ(decode(dir.file("missing.txt").c_str(), out.c_str()), -1);
    EXPECT_FALSE(fileExists(out));
    writeFile(dir.file("msg.txt"), "x\n");
    EXPECT_EQ(decode(dir.file("msg.txt").c_str(), dir.file("no\\such\\out").c_str()), -1);
    std::string longOut = dir.path() + "\\" + std::string(80, 'o');
    EXPECT_EQ(decode(dir.file("msg.txt").c_str(), longOut.c_str()), -1);
}

TEST_F(CodecExports, MimeDecodeSurvivesBadInput)
{
    std::mt19937 rng(11);
    std::string random(100000, '\0');
    for (char& c : random)
        c = static_cast<char>(rng());
    std::string endless = "Content-Type: a/b; name=r.zip\n\n" + std::string(200000, 'A') + "\n";
    std::string nuls = std::string("Content-Type: a/b; name=r.zip\n\nTW\0Fu\n", 37) + "TWFu\n";
    for (const std::string& msg : {random, nuls, endless}) {
        int r = mimeDecode(msg, dir.file("out.bin"));
        EXPECT_TRUE(r == 0 || r == -1);
        // Every file is closed: the message can be deleted at once.
        EXPECT_TRUE(DeleteFileA(dir.file("msg.txt").c_str()));
    }
    EXPECT_EQ(readFile(dir.file("out.bin")).size(), 150000u);  // the endless line decoded whole
}

TEST_F(CodecExports, MimeEncodeParts)
{
    auto encode = dll.get<MimeEncodeFn>("MIMEENCODE");
    const std::string head =
        "Content-Type: application/octet-stream; charset=us-ascii; name=\"a.bin\"\n"
        "Content-Disposition: attachment; filename=\"a.bin\"\n"
        "Content-transfer-encoding: base64\n\n";
    struct Case {
        std::string in, body;
    } cases[] = {
        {"M", "TQ==\n"},
        {std::string(45, 'a'), std::string(base64Lines(std::string(45, 'a'), 60))},
        {"", ""},
        {attachmentBytes(), base64Lines(attachmentBytes(), 60)},
    };
    for (const Case& c : cases) {
        writeFile(dir.file("in.bin"), c.in);
        ASSERT_EQ(encode(dir.file("in.bin").c_str(), dir.file("part.txt").c_str(), "a.bin"), 0);
        EXPECT_EQ(readFile(dir.file("part.txt")), head + c.body) << c.in.size();
        EXPECT_EQ(readFile(dir.file("in.bin")), c.in);
    }
    EXPECT_EQ(encode(dir.file("none").c_str(), dir.file("part.txt").c_str(), "a"), -1);
    EXPECT_EQ(encode(dir.file("in.bin").c_str(), dir.file("no\\part.txt").c_str(), "a"), -1);
}

TEST_F(CodecExports, WriteQuotedReplacesTheFile)
{
    auto quote = dll.get<WriteQuotedFn>("WRITEQUOTED");
    char error[300] = "untouched";
    std::string path = dir.file("t.txt");
    writeFile(path, "caf\xe9 = 1 \r\nend\t");
    ASSERT_EQ(quote(path.c_str(), "", error, 0), 0);
    EXPECT_EQ(readFile(path), "caf=E9 =3D 1 =\n=0D\nend\t=\n");
    EXPECT_STREQ(error, "untouched");
    // Nothing else is left in the folder.
    EXPECT_EQ(testsupport::listFolder(dir.path()), std::vector<std::string>{"t.txt"});

    writeFile(path, std::string("a\0b", 3));  // a NUL ends the text
    ASSERT_EQ(quote(path.c_str(), "", error, 0), 0);
    EXPECT_EQ(readFile(path), "a");
}

TEST_F(CodecExports, WriteQuotedFailuresLeaveTheFileAlone)
{
    auto quote = dll.get<WriteQuotedFn>("WRITEQUOTED");
    char error[300] = "";
    EXPECT_EQ(quote(dir.file("missing.txt").c_str(), "", error, 0), -1);
    EXPECT_STREQ(error, "Cannot open in bound file \r\n");
    EXPECT_FALSE(fileExists(dir.file("missing.txt")));

    // A read-only file cannot be replaced: the original stays as it was.
    std::string path = dir.file("ro.txt");
    writeFile(path, "a=b\n");
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    int r = quote(path.c_str(), "", error, 0);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (r == -1) {
        EXPECT_EQ(std::string(error), "Cannot open out file " + path + "\r\n");
        EXPECT_EQ(readFile(path), "a=b\n");
        EXPECT_EQ(testsupport::listFolder(dir.path()), std::vector<std::string>{"ro.txt"});
    } else {
        EXPECT_EQ(readFile(path), "a=3Db\n");  // the platform let it be replaced
    }
}

TEST_F(CodecExports, DecodeIsoConversions)
{
    auto convert = dll.get<DecodeIsoFn>("DECODE_ISO");
    std::string line300 = std::string(253, 'a') + "=E9" + std::string(44, 'b');
    struct Case {
        const char* what;
        std::string in, out;
    } cases[] = {
        {"escape and CR LF", "caf=E9\r\n", "caf\x82\r\n"},
        {"soft break joins lines", "one=\r\ntwo\r\n", "onetwo\r\n"},
        {"raw Latin-1 is mapped", "\xe4\n", "\x84\n"},
        {"escapes of ASCII", "=3D=20=0D=0A\n", "= \r\n\n"},
        {"special cases", "=A0=AD=B8=85\n", " -, \n"},
        // The escape straddles the 255-byte piece: "=E" is dropped, "9" stays.
        {"300-character line", line300, std::string(253, 'a') + "9" + std::string(44, 'b')},
        {"empty", "", ""},
        {"decoded NUL cuts the piece", "ab=00cd\nef\n", "abef\n"},
    };
    for (const Case& c : cases) {
        char status[300] = "";
        writeFile(dir.file("in.txt"), c.in);
        ASSERT_EQ(convert(dir.file("in.txt").c_str(), dir.file("out.txt").c_str(), status), 0) << c.what;
        EXPECT_STREQ(status, "Success");
        EXPECT_EQ(readFile(dir.file("out.txt")), c.out) << c.what;
    }
}

TEST_F(CodecExports, DecodeIsoOpenFailures)
{
    auto convert = dll.get<DecodeIsoFn>("DECODE_ISO");
    char status[300] = "";
    std::string in = dir.file("missing.txt");
    EXPECT_EQ(convert(in.c_str(), dir.file("out.txt").c_str(), status), -2);
    EXPECT_EQ(std::string(status), " Error while opening input-file " + in + ".\n");
    EXPECT_FALSE(fileExists(dir.file("out.txt")));

    writeFile(dir.file("in.txt"), "x\n");
    std::string out = dir.file("no\\out.txt");
    EXPECT_EQ(convert(dir.file("in.txt").c_str(), out.c_str(), status), -2);
    EXPECT_EQ(std::string(status), "Error while opening output-file " + out + "\n");
    EXPECT_TRUE(DeleteFileA(dir.file("in.txt").c_str()));  // closed again
}

}  // namespace
