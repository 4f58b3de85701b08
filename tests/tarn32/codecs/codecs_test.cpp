// Unit tests of the codec state machines: the header word scanner and line
// classifier of MIME decoding, the base64 accumulator and line encoder, the
// quoted-printable writer and line decoder, the output mapping, the UU
// line and part-name rules, and the buffered reader the decoders read with.
#include "codecs/bytereader.h"
#include "codecs/isoconvert.h"
#include "codecs/mimedecode.h"
#include "codecs/mimeencode.h"
#include "codecs/quotedprintable.h"
#include "codecs/uucodec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

using tarn::HeaderScanner;
using Words = std::vector<std::string>;

Words allOf(const std::string& line, HeaderScanner::Kind kind, std::string* field = nullptr)
{
    HeaderScanner scan(line.c_str());
    std::string f = scan.field();
    if (field)
        *field = f;
    Words words;
    for (std::string w = scan.next(kind); !w.empty(); w = scan.next(kind))
        words.push_back(w);
    return words;
}

TEST(HeaderScanner, FieldParametersAndValues)
{
    struct Case {
        const char* line;
        const char* field;
        Words parameters;
        Words values;
    } cases[] = {
        {"Content-Type: application/octet-stream; name=\"a.zip\"\n", "Content-Type",
         {"application/octet-stream", "name"}, {"a.zip"}},
        {"  Content-Type: a;b=c d=e\n", "Content-Type", {"a", "b", "d"}, {"c", "e"}},
        {"X: a b c\n", "X", {"a", "c"}, {"b"}},                  // after a parameter: a value
        {"X: a;b c\n", "X", {"a", "b"}, {"c"}},                  // ";" right after: a parameter
        {"X: a ;b\n", "X", {"a", "b"}, {}},                      // spaces, then a ";" run
        {"X: a = b\n", "X", {"a"}, {"b"}},
        {"X: a :=b\n", "X", {"a"}, {"b"}},                       // ":" starts the run, "=" does not
        {"X: \"q-p\"\n", "X", {"q-p"}, {}},
        {"\tname=\"x\"\n", "", {}, {}},                          // a tab ends the line at once
        {"Content-Type:\tapplication/x; name=a\n", "Content-Type", {}, {}},
        {"X: ab\xe9" "cd; name=z\n", "X", {"ab"}, {}},           // 0x80 and above end the line
        {"X: name=my_file.zip\n", "X", {"name", "file.zip"}, {"my"}},
        {"Content-Type: text/plain; name=last", "Content-Type", {"text/plain", "name"}, {"last"}},
        {"", "", {}, {}},
    };
    for (const Case& c : cases) {
        std::string field;
        EXPECT_EQ(allOf(c.line, HeaderScanner::Kind::parameter, &field), c.parameters) << c.line;
        EXPECT_EQ(field, c.field) << c.line;
        EXPECT_EQ(allOf(c.line, HeaderScanner::Kind::value), c.values) << c.line;
    }
}

TEST(HeaderScanner, KeywordsMatchByPrefixIgnoringCase)
{
    struct Case {
        const char* word;
        const char* keyword;
        bool match;
    } cases[] = {
        {"content-type", "Content-Type", true}, {"Content", "Content-Type", true},
        {"C", "Content-Type", true},            {"NAME", "name", true},
        {"n", "name", true},                    {"", "name", false},
        {"names", "name", false},               {"Content-Types", "Content-Type", false},
        {"Content-Transfer-Encoding", "Content-Type", false},
        {"content-transfer-encoding", "Content-transfer-encoding", true},
        {"b", "base64", true},                  {"7bit", "base64", false},
        {"quoted-printable", "base64", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tarn::matchesKeyword(c.word, c.keyword), c.match) << c.word << " / " << c.keyword;
}

TEST(MimeLines, DataLinesHoldOnlyBase64Characters)
{
    struct Case {
        const char* line;
        bool data;
    } cases[] = {
        {"Thanks\n", true},  {"TQ==\n", true},      {"ab+/09\n", true},   {"abc", true},
        {"\n", false},       {"", false},           {"a b\n", false},     {"--b--\n", false},
        {"ab\r\n", false},   {"a\tb\n", false},     {"ab\xe9\n", false},  {"=\n", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tarn::isDataLine(c.line), c.data) << c.line;
}

std::string base64Of(const std::string& bytes)
{
    tarn::Base64LineEncoder e;
    std::string out;
    e.feed(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), out);
    e.finish(out);
    return out;
}

TEST(Base64, LineEncoderLayout)
{
    EXPECT_EQ(base64Of("M"), "TQ==\n");
    EXPECT_EQ(base64Of("Ma"), "TWE=\n");
    EXPECT_EQ(base64Of("Man"), "TWFu\n");
    EXPECT_EQ(base64Of(""), "");
    std::string line60 = base64Of(std::string(45, 'x'));
    EXPECT_EQ(line60.size(), 61u);
    EXPECT_EQ(line60.find('\n'), 60u);
    // 46 bytes: the padding moves onto a line of its own.
    std::string two = base64Of(std::string(46, 'x'));
    EXPECT_EQ(two.substr(60), "\neA==\n");
    // 47 bytes need 64 characters; the line breaks after the 60th.
    EXPECT_EQ(base64Of(std::string(47, '\0')), std::string(60, 'A') + "\nAAA=\n");
}

TEST(Base64, EncoderFedInPiecesWritesTheSameText)
{
    std::mt19937 rng(7);
    std::string bytes(200, '\0');
    for (char& c : bytes)
        c = static_cast<char>(rng());
    const std::string whole = base64Of(bytes);
    for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
        tarn::Base64LineEncoder e;
        std::string out;
        e.feed(reinterpret_cast<const unsigned char*>(bytes.data()), cut, out);
        e.feed(reinterpret_cast<const unsigned char*>(bytes.data()) + cut, bytes.size() - cut, out);
        e.finish(out);
        ASSERT_EQ(out, whole) << cut;
    }
}

TEST(Base64, AccumulatorRunsAcrossLinesSplitAnywhere)
{
    std::string bytes;
    for (int b = 0; b < 256; ++b)
        bytes += static_cast<char>(b);
    std::string text = base64Of(bytes.substr(0, 255));  // no padding: 255 = 85 groups
    std::string flat;
    for (char c : text)
        if (c != '\n')
            flat += c;
    for (std::size_t cut = 1; cut < flat.size(); ++cut) {
        tarn::Base64Accumulator acc;
        std::string out;
        std::string a = flat.substr(0, cut) + "\n", b = flat.substr(cut) + "\n";
        ASSERT_TRUE(acc.decodeLine(a.c_str(), &out));
        ASSERT_TRUE(acc.decodeLine(b.c_str(), &out));
        ASSERT_EQ(out, bytes.substr(0, 255)) << cut;
    }
}

TEST(Base64, OutsideCharacterEndsThePartAndDropsLeftoverBits)
{
    struct Case {
        const char* line;
        bool goesOn;
        std::string bytes;
    } cases[] = {
        {"TWFu\n", true, "Man"},      {"TQ==\n", false, "M"},     {"TWE=\n", false, "Ma"},
        {"TW Fu\n", false, "M"},      {"TWFu-\n", false, "Man"},  {"TWFu\r\n", false, "Man"},
        {"T\n", true, ""},            {"", true, ""},
    };
    for (const Case& c : cases) {
        tarn::Base64Accumulator acc;
        std::string out;
        EXPECT_EQ(acc.decodeLine(c.line, &out), c.goesOn) << c.line;
        EXPECT_EQ(out, c.bytes) << c.line;
    }
}

// Hands the text over in pieces of at most `piece` bytes.
class StringSource : public tarn::ByteSource {
public:
    StringSource(std::string s, std::size_t piece) : s_(std::move(s)), piece_(piece) {}
    std::size_t read(char* buffer, std::size_t size) override
    {
        std::size_t n = std::min({size, piece_, s_.size() - i_});
        s_.copy(buffer, n, i_);
        i_ += n;
        return n;
    }

private:
    std::string s_;
    std::size_t piece_;
    std::size_t i_ = 0;
};

class StringSink : public tarn::ByteSink {
public:
    void put(const char* b, std::size_t n) override { text.append(b, n); }
    std::string text;
};

std::string qpText(const std::string& in, std::size_t piece = 1 << 20)
{
    tarn::selectNoMapping();
    StringSource src(in, piece);
    StringSink sink;
    tarn::writeQuotedPrintable(src, sink);
    return sink.text;
}

TEST(QuotedPrintableWriter, Rules)
{
    const std::string l73(73, 'a');
    struct Case {
        std::string in, out;
    } cases[] = {
        {"abc\n", "abc\n"},
        {"end \n", "end =\n\n"},                     // blank before a line feed
        {"tab\t", "tab\t=\n"},                        // blank at the end of the input
        {"a b\r\n", "a b=0D\n"},
        {"a \r\n", "a =\n=0D\n"},
        {std::string(80, 'x'), std::string(75, 'x') + "=\n" + std::string(5, 'x')},
        {l73 + "\xe9", l73 + "=\n=E9"},               // an escape does not fit after 73
        {std::string(72, 'a') + "\xe9", std::string(72, 'a') + "=E9"},
        {l73 + " b", l73 + "=\n b"},
        {"a=b", "a=3Db"},
        {std::string("x\0y", 3), "x"},                // a NUL ends the input
        {"\x01\x7f\x80\xff", "=01=7F=80=FF"},
        {"", ""},
        {"  \n", "  =\n\n"},
    };
    for (const Case& c : cases) {
        for (std::size_t piece : {1, 2, 3, 1 << 20})
            EXPECT_EQ(qpText(c.in, piece), c.out) << c.in << " in pieces of " << piece;
    }
}

TEST(QuotedPrintableWriter, NoLineLongerThan76)
{
    std::mt19937 rng(3);
    std::string in(20000, '\0');
    for (char& c : in)
        c = static_cast<char>(1 + rng() % 255);
    std::string out = qpText(in);
    std::size_t start = 0;
    for (std::size_t nl; (nl = out.find('\n', start)) != std::string::npos; start = nl + 1)
        ASSERT_LE(nl - start, 76u) << start;
    EXPECT_LE(out.size() - start, 76u);
}

std::string decodedLine(std::string line)
{
    std::vector<char> buf(line.begin(), line.end());
    buf.push_back('\0');
    tarn::decodeQuotedLine(buf.data());
    return std::string(buf.data());
}

// The writer's text decoded line by line.
std::string qpDecoded(const std::string& text)
{
    std::string bytes;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = std::min(text.find('\n', start), text.size() - 1) + 1;
        bytes += decodedLine(text.substr(start, end - start));
        start = end;
    }
    return bytes;
}

TEST(QuotedPrintableWriter, AnyReadSizeGivesTheSameTextWhichDecodesBack)
{
    // Blanks, line ends and escapes close together, so that reads end
    // between a blank and what decides its line end.
    const char alphabet[] = {'a', ' ', '\t', '\n', '\r', '=', '\xe9', 'x', ' '};
    std::mt19937 rng(11);
    std::string in(30000, 'a');
    for (char& c : in)
        c = alphabet[rng() % sizeof alphabet];
    const std::string whole = qpText(in);
    EXPECT_EQ(qpDecoded(whole), in);  // by the line decoder of DECODE_ISO
    for (std::size_t piece : {1, 2, 3, 5, 64, 4095, 65536})
        EXPECT_EQ(qpText(in, piece), whole) << "pieces of " << piece;
}

TEST(QuotedPrintableLine, Decoding)
{
    struct Case {
        std::string in, out;
    } cases[] = {
        {"caf=E9\r\n", "caf\xe9\r\n"},
        {"soft=\r\n", "soft"},
        {"soft=\n", "soft"},
        {"soft=", "soft"},
        {"one=A", "one"},
        {"=3D=20=0D=0A", "= \r\n"},
        {"=e9", "\xe9"},       // a lower-case first digit is its capital
        {"=9e", "\xbe"},       // a lower-case second digit is not
        {"=H1", "\x11"},       // any character: 16 * ('H' - 55) + 1
        {"=A\n", "s"},         // 16 * 10 + ('\n' - 55)
        {"under_score", "under_score"},
        {"a=00b", "a"},        // a decoded NUL cuts the line
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(decodedLine(c.in), c.out) << c.in;
}

TEST(OutputMapping, Latin1ToCp850)
{
    tarn::selectLatin1ToCp850();
    struct Case {
        unsigned char in, out;
    } cases[] = {
        {0xE9, 0x82}, {0xC0, 0xB7}, {0xDF, 0xE1}, {0xFF, 0x98}, {0xE4, 0x84}, {0x80, 0x20},
        {0x9F, 0x20}, {0xA0, 0x20}, {0xAD, 0x2D}, {0xB8, 0x2C}, {0x41, 0x41}, {0x00, 0x00},
        {0x7F, 0x7F}, {0xFC, 0x81}, {0xA3, 0x9C},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tarn::mapOutputByte(c.in), c.out) << std::hex << int(c.in);
    // The printable Latin-1 characters keep distinct code page 850 bytes.
    std::set<unsigned char> seen;
    for (int b = 0xA1; b <= 0xFF; ++b) {
        if (b == 0xAD || b == 0xB8)
            continue;
        unsigned char m = tarn::mapOutputByte(static_cast<unsigned char>(b));
        EXPECT_GE(m, 0x80) << b;
        EXPECT_TRUE(seen.insert(m).second) << b;
    }
    tarn::selectNoMapping();
    for (int b = 0; b < 256; ++b)
        ASSERT_EQ(tarn::mapOutputByte(static_cast<unsigned char>(b)), b);
}

TEST(UuRules, DirectionByExtension)
{
    struct Case {
        const char* name;
        bool decodes;
    } cases[] = {
        {"data", true},        {"x.enc", true},       {"x.uue", true},   {"x.xxe", true},
        {"x.encoded", true},   {"x.zip", false},      {"x.en2", false},  {"x.", false},
        {"c:\\a.b\\data", true}, {"c:\\a.enc\\x.zip", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tarn::uuDecodes(c.name), c.decodes) << c.name;
}

TEST(UuRules, PartNames)
{
    struct Case {
        int part;
        const char* name;  // nullptr: refused
    } cases[] = {
        {2, "x.en2"}, {9, "x.en9"}, {10, "x.e10"}, {11, "x.e11"}, {42, "x.e42"},
        {99, "x.e99"}, {100, nullptr}, {1, nullptr},
    };
    for (const Case& c : cases) {
        std::string name = "x.enc";
        bool ok = tarn::uuPartName(name, c.part);
        EXPECT_EQ(ok, c.name != nullptr) << c.part;
        if (c.name) {
            EXPECT_EQ(name, c.name);
        }
    }
    std::string noExtension = "x";
    EXPECT_FALSE(tarn::uuPartName(noExtension, 2));
}

TEST(UuRules, DataLines)
{
    char alphabet[64];
    alphabet[0] = '`';
    for (int v = 1; v < 64; ++v)
        alphabet[v] = static_cast<char>(0x20 + v);
    const unsigned char cat[] = {'C', 'a', 't'};
    EXPECT_EQ(tarn::uuEncodeLine(cat, 3, alphabet), "#0V%T\n");
    const unsigned char zeros[45] = {0};
    EXPECT_EQ(tarn::uuEncodeLine(zeros, 45, alphabet), "M" + std::string(60, '`') + "\n");
    const unsigned char one[] = {0xFF};
    EXPECT_EQ(tarn::uuEncodeLine(one, 1, alphabet), "!_P``\n");  // missing bytes count as zero
}

}  // namespace

namespace {

// The reader's pieces and end flag, against fgets and feof on the same file
// opened the same way.
void expectPiecesAsFgets(const std::string& bytes, const char* mode, int width)
{
    const std::string path = "bytereader_test.tmp";
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    std::FILE* a = std::fopen(path.c_str(), mode);
    std::FILE* b = std::fopen(path.c_str(), mode);
    ASSERT_TRUE(a && b);
    tarn::ByteReader reader;
    reader.attach(b);
    std::vector<char> expected(width + 1), got(width + 1);
    for (int piece = 0;; ++piece) {
        // Filled alike, so that a different length shows past the NUL.
        std::fill(expected.begin(), expected.end(), '\x55');
        std::fill(got.begin(), got.end(), '\x55');
        bool more = std::fgets(expected.data(), width, a) != nullptr;
        ASSERT_EQ(reader.readPiece(got.data(), width) != nullptr, more) << mode << " piece " << piece;
        if (!more)
            break;
        ASSERT_EQ(got, expected) << mode << " piece " << piece;
        ASSERT_EQ(reader.hitEnd(), std::feof(a) != 0) << mode << " piece " << piece;
    }
    std::fclose(a);
    std::fclose(b);
    std::remove(path.c_str());
}

}  // namespace

TEST(ByteReader, PiecesAndEndAreThoseOfFgetsAcrossReads)
{
    // Line feeds, carriage returns and NULs, on both sides of the 64 KB
    // reads; a last line with and without its line feed.
    const char alphabet[] = {'a', 'b', '\n', '\r', '\0', '='};
    std::mt19937 rng(5);
    for (std::size_t size : {std::size_t(0), std::size_t(79), std::size_t(65535), std::size_t(65536),
                             std::size_t(65537), std::size_t(200000)}) {
        std::string bytes(size, 'a');
        for (char& c : bytes)
            c = rng() % 4 ? alphabet[rng() % 2] : alphabet[rng() % sizeof alphabet];
        for (const char* mode : {"rb", "r"}) {
            for (int width : {80, 256}) {
                expectPiecesAsFgets(bytes, mode, width);
                expectPiecesAsFgets(bytes + "\n", mode, width);
                expectPiecesAsFgets(bytes + "\r\n", mode, width);
            }
        }
    }
    // Lines that exactly fill a piece, the last ending at the end.
    expectPiecesAsFgets(std::string(79 * 1000, 'x'), "rb", 80);
}
