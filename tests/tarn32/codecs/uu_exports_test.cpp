// _UUENCODE@20 through the DLL: encoding into parts and the count file,
// decoding with the standard and private alphabets, the repairs and the
// diagnostics on standard output, and damaged input (cut lines, missing
// parts, too many parts).
#include "dll.h"
#include "stdoutcapture.h"
#include "testdir.h"

#include <gtest/gtest.h>

#include <windows.h>


#include <cstdio>
#include <random>
#include <string>

namespace {

using testsupport::fileExists;
using testsupport::readFile;
using testsupport::TestDir;
using testsupport::writeFile;

using UuFn = int __stdcall(const char*, const char*, const char*, const char*, int);

class UuExports : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dll.loaded());
        uu = dll.get<UuFn>("_UUENCODE@20");
        ASSERT_NE(uu, nullptr);
        GetCurrentDirectoryA(sizeof savedDir, savedDir);
        ASSERT_TRUE(SetCurrentDirectoryA(dir.path().c_str()));
    }
    void TearDown() override { SetCurrentDirectoryA(savedDir); }

    // Runs one call with standard output sent to a file; returns what the
    // codec printed.
    std::string run(const std::string& in, const std::string& out, const std::string& begin,
                    int maxKB)
    {
        return testsupport::capturingStdout(dir.file("stdout.txt"), [&] {
            EXPECT_EQ(uu(in.c_str(), out.c_str(), begin.c_str(), dir.path().c_str(), maxKB), 0);
        });
    }

    testsupport::Dll dll{"tarn32.dll"};
    UuFn* uu = nullptr;
    TestDir dir;
    char savedDir[MAX_PATH] = "";
};

std::string randomBytes(std::size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(rng());
    return s;
}

std::string lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

TEST_F(UuExports, EncodesOneFileWithItsTrailerAndCount)
{
    std::string bytes = randomBytes(100, 1);
    writeFile(dir.file("x.zip"), bytes);
    std::string said = run(dir.file("X.ZIP"), "", "", 0);
    std::string enc = readFile(dir.file("x.enc"));
    std::string in = lower(dir.file("x.zip"));
    EXPECT_EQ(said, "\n" + in + " --- UUencode ---> " + lower(dir.file("x.enc")) + "\n");
    ASSERT_EQ(enc.substr(0, 48), "UUencode version 0.1 (Windows)\nbegin 644 x.zip\nM");
    std::size_t lines[4];
    std::size_t at = 31 + 16;  // past the two header lines
    for (std::size_t& l : lines) {
        std::size_t nl = enc.find('\n', at);
        l = nl - at;
        at = nl + 1;
    }
    EXPECT_EQ(lines[0], 61u);
    EXPECT_EQ(lines[1], 61u);
    EXPECT_EQ(lines[2], 17u);  // "*" and 16 characters for the last 10 bytes
    EXPECT_EQ(enc[31 + 16 + 62 + 62], '*');
    EXPECT_EQ(enc.substr(at - 2), "`\nend\n100 bytes\nencoded into 1 file(s)\n");
    EXPECT_EQ(readFile(dir.file("quelp.dat")), "1\r\n");
}

TEST_F(UuExports, EncodesIntoPartsAndDecodesThemBack)
{
    std::string bytes = randomBytes(2000, 2);  // 585 bytes a part: 4 parts
    writeFile(dir.file("x.zip"), bytes);
    std::string said = run(dir.file("x.zip"), "", "", 1);
    EXPECT_EQ(readFile(dir.file("quelp.dat")), "4\r\n");
    const char* parts[] = {"x.enc", "x.en2", "x.en3", "x.en4"};
    for (int p = 0; p < 4; ++p) {
        std::string text = readFile(dir.file(parts[p]));
        ASSERT_FALSE(text.empty()) << parts[p];
        if (p > 0) {
            EXPECT_EQ(text.rfind("part " + std::to_string(p + 1) + "\nbegin 644 x.zip\n", 0), 0u);
            EXPECT_NE(said.find(" --- UUencode ---> " + lower(dir.file(parts[p]))), std::string::npos);
        }
        std::size_t dataLines = 0;
        for (std::size_t at = 0; (at = text.find("\nM", at)) != std::string::npos; ++at)
            ++dataLines;
        if (p < 3) {
            EXPECT_EQ(dataLines, 13u) << parts[p];
        }
    }
    EXPECT_FALSE(fileExists(dir.file("x.en5")));

    DeleteFileA(dir.file("x.zip").c_str());
    said = run(dir.file("x.enc"), "", "", 0);
    EXPECT_EQ(readFile(dir.file("x.zip")), bytes);
    EXPECT_NE(said.find(lower(dir.file("x.en4")) + " --- UUdecode --->\n"), std::string::npos);
    EXPECT_EQ(said.find("error"), std::string::npos) << said;
    EXPECT_EQ(said.find("warning"), std::string::npos) << said;
}

// The encoder reads and writes many lines at a time: parts that end inside
// one read, and reads that end inside one part, still split where the line
// count says and decode back to the bytes.
TEST_F(UuExports, LargeInputSplitsAcrossReadsAndDecodesBack)
{
    std::string bytes = randomBytes(70000, 9);  // 1556 lines, 45 a part at 3 KB
    writeFile(dir.file("big.zip"), bytes);
    std::string said = run(dir.file("big.zip"), "", "", 3);
    EXPECT_EQ(readFile(dir.file("quelp.dat")), "35\r\n");
    for (int p = 2; p < 35; ++p) {
        char name[16];
        std::snprintf(name, sizeof name, "big.e%s%d", p < 10 ? "n" : "", p);
        std::string text = readFile(dir.file(name));
        std::size_t dataLines = 0;
        for (std::size_t at = 0; (at = text.find("\nM", at)) != std::string::npos; ++at)
            ++dataLines;
        EXPECT_EQ(dataLines, 45u) << name;
    }
    EXPECT_FALSE(fileExists(dir.file("big.e36")));
    DeleteFileA(dir.file("big.zip").c_str());
    said = run(dir.file("big.enc"), "", "", 0);
    EXPECT_EQ(readFile(dir.file("big.zip")), bytes);
    EXPECT_EQ(said.find("error"), std::string::npos) << said;

    std::string whole = randomBytes(45 * 4096 * 2, 10);  // two whole reads of 4096 lines
    writeFile(dir.file("w.zip"), whole);
    run(dir.file("w.zip"), "", "", 0);
    std::string enc = readFile(dir.file("w.enc"));
    EXPECT_NE(enc.find("\n`\nend\n368640 bytes\n"), std::string::npos);
    DeleteFileA(dir.file("w.zip").c_str());
    run(dir.file("w.enc"), "", "", 0);
    EXPECT_EQ(readFile(dir.file("w.zip")), whole);
}

TEST_F(UuExports, EmptyInputAndTheNameRules)
{
    writeFile(dir.file("e.bin"), "");
    run(dir.file("e.bin"), dir.file("out"), "given.nam", 0);
    EXPECT_EQ(readFile(dir.file("out.enc")),
              "UUencode version 0.1 (Windows)\nbegin 644 given.nam\n`\nend\n0 bytes\n"
              "encoded into 1 file(s)\n");
    writeFile(dir.file("a.enc"), "");
    std::string said = run(dir.file("a.enc"), "", "", 0);  // decodes: nothing there
    EXPECT_NE(said.find("error: nothing to decode in file " + lower(dir.file("a.enc")) + ".\n"),
              std::string::npos) << said;
    // The output name takes ".enc" in place of its own extension.
    writeFile(dir.file("b.txt"), "x");
    run(dir.file("b.txt"), dir.file("B.TXT"), "", 0);
    EXPECT_TRUE(fileExists(dir.file("b.enc")));
}

TEST_F(UuExports, DecodingDiagnostics)
{
    const std::string in = lower(dir.file("d.enc"));
    const std::string body40 = "H" + std::string(56, '!') + "\n";  // 40 bytes of 0x04 0x10 0x41...
    struct Case {
        const char* what;
        std::string text;
        std::string said;   // must appear in standard output
        std::size_t bytes;  // size of the decoded file
    } cases[] = {
        {"a short first line", "begin 644 o.bin\n" + body40 + "`\nend\n", "error: unknown encoding method.\n", 40},
        {"a line cut by a line feed", "begin 644 o.bin\nM!!!!\n`\nend\n",
         in + " (2) warning: unexpected line break - glued.\n", 45},
        {"a short line cut", "begin 644 o.bin\nM" + std::string(60, '!') + "\n*!!!!\n`\nend\n",
         in + " (3) warning: unexpected end of line.\n", 55},
        {"an illegal character", "begin 644 o.bin\nM" + std::string(30, '!') + "~" + std::string(30, '!') + "\n`\nend\n",
         in + " (2) warning: skipped illegal character '~'.\n", 45},
        {"a control character", "begin 644 o.bin\nM" + std::string(30, '!') + "\x01" + std::string(30, '!') + "\n`\nend\n",
         in + " (2) warning: skipped illegal character 0x1.\n", 45},
        {"a long line", "begin 644 o.bin\nM" + std::string(64, '!') + "\n`\nend\n",
         in + " (2) warning: end of line expected.\n", 45},
        {"a wrong size", "begin 644 o.bin\nM" + std::string(60, '!') + "\n`\nend\n99 bytes\n",
         "warning: file size different.\n", 45},
        {"no end line", "begin 644 o.bin\nM" + std::string(60, '!') + "\n`\nfin\n",
         "warning: end line not found.\n", 45},
        {"the end of the file", "begin 644 o.bin\nM" + std::string(20, '!'),
         in + " (2) warning: unexpected end of file.\n", 45},
    };
    for (const Case& c : cases) {
        writeFile(dir.file("d.enc"), c.text);
        DeleteFileA(dir.file("o.bin").c_str());
        std::string said = run(dir.file("d.enc"), "", "", 0);
        EXPECT_NE(said.find(c.said), std::string::npos) << c.what << "\n" << said;
        EXPECT_EQ(readFile(dir.file("o.bin")).size(), c.bytes) << c.what;
    }
}

TEST_F(UuExports, PrivateAlphabetsAndBareNames)
{
    // xxencode's alphabet, given as a table of two lines.
    const std::string xx = "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    std::string bytes = "Cat";
    // C a t -> values 16 54 5 52; length 3.
    std::string line = std::string(1, xx[3]) + xx[16] + xx[54] + xx[5] + xx[52] + "\n";
    writeFile(dir.file("data.enc"), "table\n" + xx.substr(0, 32) + "\n" + xx.substr(32) +
                                        "\nbegin 644 cat.txt\n" + line + "+\nend\n");
    std::string said = run(dir.file("data"), "", "", 0);  // no extension: data.enc is read
    EXPECT_EQ(readFile(dir.file("cat.txt")), bytes) << said;
    EXPECT_EQ(said.find("error"), std::string::npos) << said;

    writeFile(dir.file("c.uue"), "charmap " + xx + "\nbegin 644 c2.txt\n" + line + "+\nend\n");
    run(dir.file("c.uue"), dir.file("given.txt"), "", 0);
    EXPECT_EQ(readFile(dir.file("given.txt")), bytes);

    std::string dup = xx;
    dup[10] = '+';
    writeFile(dir.file("t.xxe"), "charmap " + dup + "\nbegin 644 c3.txt\n" + line + "+\nend\n");
    said = run(dir.file("t.xxe"), "", "", 0);
    EXPECT_NE(said.find("error: character + already defined in table.\n"), std::string::npos) << said;

    // A recorded name with folders writes into the current folder only.
    writeFile(dir.file("p.enc"), "begin 644 ..\\..\\evil.txt\n#0V%T\n`\nend\n");
    run(dir.file("p.enc"), "", "", 0);
    EXPECT_EQ(readFile(dir.file("evil.txt")), "Cat");
}

TEST_F(UuExports, DamagedPartsAndLimits)
{
    std::string bytes = randomBytes(1200, 3);
    writeFile(dir.file("y.bin"), bytes);
    run(dir.file("y.bin"), "", "", 1);
    ASSERT_TRUE(fileExists(dir.file("y.en3")));
    DeleteFileA(dir.file("y.en3").c_str());
    std::string said = run(dir.file("y.enc"), "", "", 0);
    EXPECT_NE(said.find("error: cannot open input file " + lower(dir.file("y.en3")) + ".\n"),
              std::string::npos) << said;
    EXPECT_EQ(readFile(dir.file("y.bin")).size(), 2u * 585);  // what two parts held

    // A part without its begin line: the first data line is taken.
    writeFile(dir.file("z.enc"), "begin 644 z.out\nM" + std::string(60, '!') + "\n");
    writeFile(dir.file("z.en2"), "junk\nM" + std::string(60, '!') + "\n`\nend\n");
    said = run(dir.file("z.enc"), "", "", 0);
    EXPECT_NE(said.find(lower(dir.file("z.en2")) + " (2) warning: line starting with 'M' found before \"begin\".\n"),
              std::string::npos) << said;
    EXPECT_EQ(readFile(dir.file("z.out")).size(), 90u);

    // 99 parts of 585 bytes is the most; one more is refused.
    writeFile(dir.file("big.bin"), randomBytes(99 * 585 + 1, 4));
    said = run(dir.file("big.bin"), "", "", 1);
    EXPECT_NE(said.find("error: too many parts"), std::string::npos) << said;
    EXPECT_TRUE(fileExists(dir.file("big.e99")));

    said = run(dir.file(std::string(80, 'n') + ".bin"), "", "", 0);
    EXPECT_NE(said.find("error: file name too long"), std::string::npos) << said;
    said = run(dir.file("y.bin"), "", "sixteen-chars.xy", 0);
    EXPECT_NE(said.find("error: begin name too long"), std::string::npos) << said;
}

}  // namespace
