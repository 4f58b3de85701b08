#include "uucpmail/jobfile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

tarn::JobFile readFrom(const std::string& text, tarn::JobLetters letters = tarn::JobLetters::kAnyCase)
{
    std::FILE* f = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), f);
    std::rewind(f);
    tarn::JobFile job = tarn::readJobFile(f, letters);
    std::fclose(f);
    return job;
}

TEST(JobFile, KeepsLastDataAndCommandLines)
{
    tarn::JobFile job = readFrom(
        "U uucp gate\nF D.first\nC rnews\nZ\nF D.gateA1b2C\nC rmail joe@example.com\nR uucp\n");
    EXPECT_EQ(job.spoolName, "D.gateA1b2C");
    EXPECT_EQ(job.commandLine, "C rmail joe@example.com\n");
}

TEST(JobFile, LetterCaseOfKinds)
{
    tarn::JobFile any = readFrom("f D.lower\nc rmail a@b\n");
    EXPECT_EQ(any.spoolName, "D.lower");
    EXPECT_EQ(any.commandLine, "c rmail a@b\n");
    tarn::JobFile upper = readFrom("f D.lower\nc rmail a@b\n", tarn::JobLetters::kUpperOnly);
    EXPECT_EQ(upper.spoolName, "");
    EXPECT_EQ(upper.commandLine, "");
}

TEST(JobFile, SpoolNameWidthAndLineFeed)
{
    // 37 characters and a line feed: the line feed lies within the first 38.
    std::string n37(37, 'a');
    EXPECT_EQ(readFrom("F " + n37 + "\n").spoolName, n37);
    // 38 characters: the line feed is the 39th and stays.
    std::string n38(38, 'b');
    EXPECT_EQ(readFrom("F " + n38 + "\n").spoolName, n38 + "\n");
    // Longer names are cut to 39 characters.
    std::string n50(50, 'c');
    EXPECT_EQ(readFrom("F " + n50 + "\n").spoolName, std::string(39, 'c'));
    // A second field stays part of the name, as the line is taken whole.
    EXPECT_EQ(readFrom("F D.x1 extra\n").spoolName, "D.x1 extra");
}

TEST(JobFile, LongLinesAreReadAsSeveral)
{
    // A 3000-character line: its continuation starting with "C" counts as a
    // command line of its own; nothing is written past the line buffer.
    std::string longLine = "X" + std::string(1998, 'y') + "C rmail z@w" + std::string(990, 'q') + "\n";
    tarn::JobFile job = readFrom(longLine + "F D.ok\n");
    EXPECT_EQ(job.spoolName, "D.ok");
    EXPECT_EQ(job.commandLine.substr(0, 11), "C rmail z@w");
}

TEST(JobFile, BinaryGarbageAndNulBytes)
{
    std::string junk;
    for (int i = 0; i < 5000; ++i)
        junk += static_cast<char>((i * 7919) & 0xFF);
    tarn::JobFile job = readFrom(junk + std::string("\0\0\nF D.fine\n", 12));
    EXPECT_EQ(job.spoolName, "D.fine");
}

}  // namespace
