#include "frame/prelog.h"

#include "testdir.h"

#include <gtest/gtest.h>

namespace {

TEST(PreLog, PrefixPrintsMillisecondsWithAtLeastTwoDigits)
{
    char out[64];
    tarn::formatLogPrefix({1999, 1, 2, 8, 5, 9, 5}, out, sizeof out);
    EXPECT_STREQ(out, "1999-01-02 08:05:09.05\t");
    tarn::formatLogPrefix({2026, 12, 31, 23, 59, 58, 123}, out, sizeof out);
    EXPECT_STREQ(out, "2026-12-31 23:59:58.123\t");
    tarn::formatLogPrefix({2026, 12, 31, 23, 59, 58, 0}, out, sizeof out);
    EXPECT_STREQ(out, "2026-12-31 23:59:58.00\t");
}

TEST(PreLog, ThresholdsAndTextMode)
{
    testsupport::TestDir dir;
    std::string path = dir.file("x.log");
    {
        tarn::PreLog log;
        ASSERT_TRUE(log.open(path, 3));
        log.write(3, "three\n");
        log.write(4, "four\n");
        log.write(0, "always\n");
        log.writeBare(0, "bare\n");
    }
    {
        tarn::PreLog log;
        ASSERT_TRUE(log.open(path, -5));
        log.write(0, "negative level still logs errors\n");
        log.write(2, "not this\n");
    }
    std::string text = testsupport::readFile(path);
    // prefix is 24 bytes ("YYYY-MM-DD HH:MM:SS.mm\t") or 25 with three-digit ms
    EXPECT_NE(text.find("\tthree\r\n"), std::string::npos);
    EXPECT_EQ(text.find("four"), std::string::npos);
    EXPECT_NE(text.find("\talways\r\nbare\r\n"), std::string::npos);
    EXPECT_NE(text.find("\tnegative level still logs errors\r\n"), std::string::npos);
    EXPECT_EQ(text.find("not this"), std::string::npos);
}

}  // namespace
