#include "frame/paths.h"

#include <gtest/gtest.h>

namespace {

TEST(Paths, JoinWithinAndPastWidth)
{
    std::string out;
    EXPECT_TRUE(tarn::joinPath("C:\\in", "a.x", 60, out));
    EXPECT_EQ(out, "C:\\in\\a.x");
    // 59 characters fit a width of 60; 60 do not.
    std::string folder(55, 'f');
    EXPECT_TRUE(tarn::joinPath(folder, "abc", 60, out));
    EXPECT_EQ(out.size(), 59u);
    EXPECT_FALSE(tarn::joinPath(folder, "abcd", 60, out));
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(tarn::appendName("C:\\w\\", "mail.hdr", 80, out));
    EXPECT_EQ(out, "C:\\w\\mail.hdr");
    EXPECT_FALSE(tarn::appendName(std::string(72, 'w'), "mail.hdr", 80, out));
}

TEST(Paths, BackslashAppendedInPlace)
{
    char folder[16] = "C:\\in";
    tarn::appendBackslashInPlace(folder);
    EXPECT_STREQ(folder, "C:\\in\\");
}

}  // namespace
