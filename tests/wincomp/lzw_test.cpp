// The LZW codec on its own: round trips that cross every width change and
// table clear, input split at every boundary, and damaged streams.
#include "lzw.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

namespace {

using Status = lzw::Decoder::Status;

std::string compress(const std::string& data, int bits, std::size_t chunk = 0)
{
    lzw::Encoder e(bits);
    std::string out;
    const auto* p = reinterpret_cast<const std::uint8_t*>(data.data());
    if (chunk == 0)
        chunk = data.size() ? data.size() : 1;
    for (std::size_t i = 0; i < data.size(); i += chunk)
        e.write(p + i, std::min(chunk, data.size() - i), out);
    e.finish(out);
    return out;
}

Status expand(const std::string& z, std::string& out, std::size_t chunk = 0)
{
    lzw::Decoder d;
    const auto* p = reinterpret_cast<const std::uint8_t*>(z.data());
    if (chunk == 0)
        chunk = z.size() ? z.size() : 1;
    for (std::size_t i = 0; i < z.size(); i += chunk) {
        Status s = d.write(p + i, std::min(chunk, z.size() - i), out);
        if (s != Status::kOk)
            return s;
    }
    return d.finish();
}

std::string randomBytes(std::size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(rng() & 0xff);
    return s;
}

// Text with a small vocabulary compresses well and fills the table with
// long strings; random bytes fill it with short ones and make it clear.
std::string wordText(std::size_t n, unsigned seed)
{
    static const char* words[] = {"news ", "comp.lang.c ", "article ", "the ", "\n", "of ",
                                  "batch ", "rnews "};
    std::mt19937 rng(seed);
    std::string s;
    while (s.size() < n)
        s += words[rng() % 8];
    s.resize(n);
    return s;
}

TEST(Lzw, RoundTripsAtEveryWidthAcrossGrowthAndClears)
{
    const std::string inputs[] = {
        "",
        "a",
        "abababababababababab",           // KwKwK: a code used as soon as it is made
        std::string(100000, 'x'),          // long runs, codes of every width
        wordText(300000, 1),
        randomBytes(200000, 2),            // table full, ratio falls, clears
        wordText(100000, 3) + randomBytes(100000, 4) + wordText(100000, 5),
    };
    for (int bits = lzw::kMinBits; bits <= lzw::kMaxBits; ++bits) {
        for (const std::string& in : inputs) {
            std::string z = compress(in, bits);
            ASSERT_GE(z.size(), 3u);
            EXPECT_EQ(static_cast<unsigned char>(z[2]), 0x80u | bits);
            std::string back;
            ASSERT_EQ(expand(z, back), Status::kOk) << "bits " << bits << " size " << in.size();
            EXPECT_TRUE(back == in) << "bits " << bits << " size " << in.size();
        }
    }
}

TEST(Lzw, All256ByteValuesSurvive)
{
    std::string all;
    for (int round = 0; round < 40; ++round)
        for (int b = 0; b < 256; ++b)
            all += static_cast<char>((b * (round + 1)) & 0xff);
    for (int bits : {9, 12, 16}) {
        std::string back;
        ASSERT_EQ(expand(compress(all, bits), back), Status::kOk);
        EXPECT_TRUE(back == all);
    }
}

TEST(Lzw, SplitAtEveryBoundaryGivesTheSameBytes)
{
    const std::string in = wordText(3000, 7) + randomBytes(1500, 8);
    const std::string whole = compress(in, 12);
    for (std::size_t chunk : {1u, 2u, 3u, 7u, 13u, 64u, 1000u}) {
        EXPECT_EQ(compress(in, 12, chunk), whole) << "encoder chunk " << chunk;
        std::string back;
        ASSERT_EQ(expand(whole, back, chunk), Status::kOk) << "decoder chunk " << chunk;
        EXPECT_TRUE(back == in) << "decoder chunk " << chunk;
    }
    // Every two-way split of a short stream.
    const std::string small = compress("the news of the news of the news", 16);
    for (std::size_t cut = 0; cut <= small.size(); ++cut) {
        lzw::Decoder d;
        std::string back;
        const auto* p = reinterpret_cast<const std::uint8_t*>(small.data());
        ASSERT_EQ(d.write(p, cut, back), Status::kOk);
        ASSERT_EQ(d.write(p + cut, small.size() - cut, back), Status::kOk);
        ASSERT_EQ(d.finish(), Status::kOk);
        EXPECT_EQ(back, "the news of the news of the news") << "cut " << cut;
    }
}

TEST(Lzw, DamagedStreamsAreRefused)
{
    std::string good = compress(wordText(5000, 9), 16);
    struct Case {
        const char* name;
        std::string stream;
        Status expected;
    };
    std::string wideHeader = good;
    wideHeader[2] = static_cast<char>(0x80 | 17);
    std::string narrowHeader = good;
    narrowHeader[2] = static_cast<char>(0x80 | 8);
    // First code 300 refers to no entry; then a code past the next free one.
    std::string badFirst = std::string("\x1f\x9d\x90", 3) + std::string("\x2c\x03", 2);
    std::string tooFar = std::string("\x1f\x9d\x90", 3) + std::string("\x61\x10\x02\x00", 4);
    const Case cases[] = {
        {"gzip magic", std::string("\x1f\x8b\x08\x00", 4), Status::kBadMagic},
        {"plain text", "#! rnews 12\n", Status::kBadMagic},
        {"17 bits", wideHeader, Status::kBadBits},
        {"8 bits", narrowHeader, Status::kBadBits},
        {"empty", "", Status::kTruncated},
        {"two bytes", std::string("\x1f\x9d", 2), Status::kTruncated},
        {"first code not a byte", badFirst, Status::kCorrupt},
        {"code beyond the table", tooFar, Status::kCorrupt},
    };
    for (const Case& c : cases) {
        std::string out;
        EXPECT_EQ(expand(c.stream, out), c.expected) << c.name;
    }
    // Random garbage after a valid header is either refused as corrupt or
    // expanded into something; the decoder comes back either way.
    for (unsigned seed = 0; seed < 20; ++seed) {
        std::string out;
        Status s = expand(std::string("\x1f\x9d\x90", 3) + randomBytes(20000, seed), out);
        EXPECT_TRUE(s == Status::kOk || s == Status::kCorrupt) << seed;
        if (s == Status::kOk) {
            EXPECT_FALSE(out.empty()) << seed;  // a first code that is a byte was written
        }
    }
}

TEST(Lzw, HeaderOnlyStreamIsEmpty)
{
    std::string out;
    EXPECT_EQ(compress("", 16), std::string("\x1f\x9d\x90", 3));
    EXPECT_EQ(expand(std::string("\x1f\x9d\x90", 3), out), Status::kOk);
    EXPECT_EQ(out, "");
}

}  // namespace
