// The read exports on real area files, called as a host calls them:
// READMESSAGE, READNEWS, READMAPIMSG and _EXTRACTMESSAGE@24.
#include "dll.h"
#include "testdir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using Read = int __stdcall(const char*, int, int, int, char*, char*);

constexpr int kBufferSize = 32302;  // what the host provides
constexpr char kSentinel = '\x7f';

class AreaRead : public ::testing::Test {
public:
    testsupport::Dll dll{"tarn32.dll"};
    Read* readMessage = dll.get<Read>("READMESSAGE");
    Read* readNews = dll.get<Read>("READNEWS");
    Read* readMapi = dll.get<Read>("READMAPIMSG");
    Read* extract = dll.get<Read>("_EXTRACTMESSAGE@24");
    testsupport::TestDir dir;

    // The buffer is one byte larger than the host's, holding a sentinel that
    // no read may reach.
    std::vector<char> text = std::vector<char>(kBufferSize + 1, kSentinel);
    char error[256] = "";

    void area(const std::string& name, const std::string& bytes)
    {
        testsupport::writeFile(dir.file(name), bytes);
    }
    int call(Read* read, int areaNumber, int offset, int count)
    {
        std::fill(text.begin(), text.end(), kSentinel);
        std::strcpy(error, "untouched");
        int r = read(dir.path().c_str(), areaNumber, offset, count, text.data(), error);
        EXPECT_EQ(text[kBufferSize], kSentinel) << "read past the host's buffer";
        return r;
    }
    std::string textRead() const
    {
        const void* nul = std::memchr(text.data(), '\0', kBufferSize);
        EXPECT_NE(nul, nullptr) << "text without its NUL";
        return nul ? std::string(text.data()) : std::string();
    }
};

TEST_F(AreaRead, ResultsTextsAndErrorsAtTheEdges)
{
    area("mailarea.txt", "abcd\nefgh\nX\r\nlast");
    struct Case {
        const char* name;
        int offset, count;
        int result;
        const char* text;   // expected text (also after a failure part-way)
        const char* error;  // nullptr: errorBuffer untouched
    };
    const Case cases[] = {
        {"two lines get CR LF", 0, 10, 11, "abcd\r\nefgh\r\n", nullptr},
        {"stored CR LF gets a second CR", 10, 3, 4, "X\r\r\n", nullptr},
        {"count 0", 5, 0, 1, "", nullptr},
        {"up to the last byte", 13, 4, 5, "last", nullptr},
        {"count past the end", 13, 6, -1, "last", "Unexpected End Of File"},
        {"offset past the end", 500, 1, -1, "", "Unexpected End Of File"},
        {"offset past the end, count 0", 500, 0, 1, "", nullptr},
        {"negative offset", -1, 4, -1, "", "Attempt to Seek beyond EOF\r\n"},
        {"negative count", 0, -2, -1, "", "Negative byte count\r\n"},
    };
    for (const Case& c : cases) {
        for (Read* read : {readMessage, readNews, readMapi}) {
            int areaNumber = read == readMapi ? 12 : 0;  // READMAPIMSG's 0 is rmail.z
            if (read == readMapi)
                area("area12.txt", "abcd\nefgh\nX\r\nlast");
            EXPECT_EQ(call(read, areaNumber, c.offset, c.count), c.result) << c.name;
            EXPECT_EQ(textRead(), c.text) << c.name;
            EXPECT_STREQ(error, c.error ? c.error : "untouched") << c.name;
        }
    }
}

TEST_F(AreaRead, AreaNumbersNameTheirFiles)
{
    area("mailarea.txt", "mail");
    area("temparea.dat", "temp");
    area("area-50.txt", "written");
    area("area12.txt", "news");
    area("area-3.txt", "minus");
    testsupport::writeFile(dir.file("rmail.z"), "prepared");
    struct Case {
        Read* read;
        int area;
        const char* text;
    };
    const Case cases[] = {
        {readMessage, 0, "mail"}, {readMessage, -50, "temp"}, {readMessage, 12, "news"},
        {readMessage, -3, "minu"}, {readNews, 0, "mail"},     {readNews, -50, "temp"},
        {readMapi, 0, "prep"},    {readMapi, -50, "temp"},    {readMapi, 12, "news"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(call(c.read, c.area, 0, 4), 5) << c.area;
        EXPECT_EQ(textRead(), c.text) << c.area;
    }
    EXPECT_EQ(call(readMessage, 7, 0, 1), -1);
    EXPECT_STREQ(error, "Cannot open area file \r\n");
    EXPECT_EQ(call(readMapi, 7, 0, 1), -1);
    EXPECT_STREQ(error, "Cannot open area file \r\n");
    EXPECT_EQ(call(extract, 7, 0, 1), -1);
    EXPECT_STREQ(error, "Cannot open area file (mailarea.txt)\r\n");
}

// A host's loop: next offset = offset + result, count reduced by it, until the
// result is the remaining count + 1. Returns the texts of the chunks.
std::vector<std::string> readInChunks(AreaRead& t, Read* read, int offset, int count,
                                      std::vector<int>& results)
{
    std::vector<std::string> chunks;
    for (int guard = 0; guard < 100; ++guard) {
        int r = t.call(read, 0, offset, count);
        results.push_back(r);
        chunks.push_back(t.textRead());
        if (r == count + 1 || r <= 0)
            break;
        offset += r;
        count -= r;
    }
    return chunks;
}

std::string withoutCrBeforeLf(const std::string& s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n')
            continue;
        out += s[i];
    }
    return out;
}

TEST_F(AreaRead, FortyThousandBytesInChunksReassembleExactly)
{
    // Lines of 79 characters (words and spaces) and a line feed, behind
    // another stored message.
    std::string before = "From: x\n\nearlier message\n";
    std::string message;
    for (int line = 0; message.size() < 40000; ++line) {
        std::string l;
        while (l.size() < 79)
            l += "w" + std::to_string(line) + "-" + std::to_string(l.size()) + " ";
        message += l.substr(0, 79) + "\n";
    }
    message.resize(40000);
    area("mailarea.txt", before + message + "next message\n");

    for (Read* read : {readMessage, readNews}) {
        std::vector<int> results;
        std::vector<std::string> chunks =
            readInChunks(*this, read, static_cast<int>(before.size()), 40000, results);
        ASSERT_EQ(chunks.size(), 2u);
        EXPECT_EQ(results[0], static_cast<int>(withoutCrBeforeLf(chunks[0]).size()));
        EXPECT_EQ(results[1], 40000 - results[0] + 1);
        EXPECT_EQ(withoutCrBeforeLf(chunks[0] + chunks[1]), message);
        if (read != readMessage)
            continue;
        // The first chunk stops at the first space or line feed at which the
        // text has reached 32000 characters.
        const std::string& first = chunks[0];
        ASSERT_GE(first.size(), 32000u);
        ASSERT_LE(first.size(), 32301u);
        EXPECT_TRUE(first.back() == ' ' || first.back() == '\n');
        for (std::size_t j = 0; j + 1 < first.size(); ++j) {
            if (first[j] == ' ' || first[j] == '\n') {
                ASSERT_LT(j + 1, 32000u) << "a stop was passed over at " << j;
            }
        }
    }
}

TEST_F(AreaRead, HardLimitsOnTextWithoutSpaces)
{
    std::string solid(70000, 'x');
    area("mailarea.txt", solid);
    std::vector<int> results;
    std::vector<std::string> chunks = readInChunks(*this, readMessage, 0, 70000, results);
    EXPECT_EQ(results, (std::vector<int>{32300, 32300, 70000 - 2 * 32300 + 1}));
    std::vector<int> newsResults;
    std::vector<std::string> newsChunks = readInChunks(*this, readNews, 0, 70000, newsResults);
    EXPECT_EQ(newsResults, (std::vector<int>{32000, 32000, 70000 - 2 * 32000 + 1}));
    std::string joined;
    for (const std::string& c : newsChunks)
        joined += c;
    EXPECT_EQ(joined, solid);
}

TEST_F(AreaRead, LineFeedAtTheLastCountFillsTheBufferExactly)
{
    // 32299 characters and then a line feed: the CR LF makes 32301
    // characters, the NUL the 32302nd byte of the host's buffer.
    area("mailarea.txt", std::string(32299, 'x') + "\nmore");
    EXPECT_EQ(call(readMessage, 0, 0, 32305), 32300);
    EXPECT_EQ(textRead(), std::string(32299, 'x') + "\r\n");
    // READNEWS: 31999 and a line feed make 32001 characters.
    area("mailarea.txt", std::string(31999, 'x') + "\nmore");
    EXPECT_EQ(call(readNews, 0, 0, 32005), 32000);
    EXPECT_EQ(textRead(), std::string(31999, 'x') + "\r\n");
}

TEST_F(AreaRead, ExtractSkipsTheHeaderInPiecesOf199)
{
    struct Case {
        const char* name;
        std::string message;
        int result;
        std::string text;
    };
    std::string header = "From: a@b\nSubject: s\n\n";
    std::string long199 = "X-Long: " + std::string(191, 'y') + "\n";  // 199 characters + LF
    const Case cases[] = {
        {"header and body", header + "body\nline\n", 11, "body\r\nline\r\n"},
        {"no body", header, 1, ""},
        // The lone LF after 199 characters ends the header early: the rest
        // of the header is taken as body.
        {"199-character header line", "From: a\n" + long199 + "Subject: s\n\nbody\n", 18,
         "Subject: s\r\n\r\nbody\r\n"},
        // A CR LF line does not begin with a LF: the skip runs on into the
        // next message, and the body length is negative.
        {"CR LF header", "From: a\r\nSubject: s\r\n\r\nbody\r\n", -8, ""},
    };
    for (const Case& c : cases) {
        area("mailarea.txt", "earlier\n" + c.message + "From: c\n\nnext\n");
        int count = static_cast<int>(c.message.size());
        EXPECT_EQ(call(extract, 0, 8, count), c.result) << c.name;
        EXPECT_EQ(textRead(), c.text) << c.name;
    }
}

TEST_F(AreaRead, ExtractWithCountWithinTheHeader)
{
    area("mailarea.txt", "From: a@b\nSubject: s\n\nbody\n");
    EXPECT_EQ(call(extract, 0, 0, 22), 1);   // header exactly: body length 0
    EXPECT_EQ(textRead(), "");
    EXPECT_EQ(call(extract, 0, 0, 12), -9);  // body length -10
    EXPECT_EQ(textRead(), "");
    EXPECT_STREQ(error, "untouched");
}

}  // namespace
