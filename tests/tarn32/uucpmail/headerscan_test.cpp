#include "uucpmail/headerscan.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

tarn::MailHeaders scan(const std::string& text)
{
    std::FILE* f = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), f);
    std::rewind(f);
    tarn::MailHeaders h = tarn::scanMailHeaders(f);
    std::fclose(f);
    return h;
}

TEST(HeaderScan, KeepsLastOccurrenceAndStopsAtEmptyLine)
{
    tarn::MailHeaders h = scan(
        "from: first@a\nFrom: second@a\nSUBJECT: hi\nDate: Mon, 1 Jan 2001\n"
        "Message-ID: <1@a>\ncc: c@d\n\nFrom: body@line\nSubject: body\n");
    EXPECT_EQ(h.from, "From: second@a\n");
    EXPECT_EQ(h.subject, "SUBJECT: hi\n");
    EXPECT_EQ(h.date, "Date: Mon, 1 Jan 2001\n");
    EXPECT_EQ(h.messageId, "Message-ID: <1@a>\n");
    EXPECT_EQ(h.cc, "cc: c@d\n");
}

TEST(HeaderScan, NamesNeedTheirExactForm)
{
    // "Message-Id" needs no colon; the others need their blank.
    tarn::MailHeaders h = scan("Message-Idx: odd\nFrom:nospace\nCc:x\nDate:y\n\n");
    EXPECT_TRUE(h.hasMessageId);
    EXPECT_EQ(h.messageId, "Message-Idx: odd\n");
    EXPECT_FALSE(h.hasFrom);
    EXPECT_FALSE(h.hasCc);
    EXPECT_FALSE(h.hasDate);
}

TEST(HeaderScan, CrLfLinesAndFoldedHeaders)
{
    // CR LF is not an empty line: the scan goes on into the body.
    tarn::MailHeaders h = scan("Subject: one\r\n\tfolded\r\n\r\nSubject: two\r\n");
    EXPECT_EQ(h.subject, "Subject: two\r\n");
    h = scan("Subject: one\n\tfolded part\n\n");
    EXPECT_EQ(h.subject, "Subject: one\n");
}

TEST(HeaderScan, KeptSizesAndLongLines)
{
    std::string longFrom = "From: " + std::string(300, 'f') + "\n";
    std::string longDate = "Date: " + std::string(300, 'd') + "\n";
    std::string longCc = "Cc: " + std::string(3000, 'c') + "\n";
    tarn::MailHeaders h = scan(longFrom + longDate + longCc + "\n");
    EXPECT_EQ(h.from, longFrom.substr(0, 199));
    EXPECT_EQ(h.date, longDate.substr(0, 99));
    // A line past 2000 characters is read as two; the first piece is kept.
    EXPECT_EQ(h.cc, longCc.substr(0, 2000).substr(0, 2047));
}

TEST(HeaderScan, NoEmptyLineNulBytesAndGarbage)
{
    tarn::MailHeaders h = scan(std::string("Subject: a\0b\nFrom: x\n", 21));
    EXPECT_EQ(h.subject, "Subject: a");
    EXPECT_EQ(h.from, "From: x\n");
    std::string junk;
    for (int i = 0; i < 20000; ++i)
        junk += static_cast<char>((i * 131) & 0xFF);
    h = scan(junk);
    EXPECT_LE(h.from.size(), 199u);
    EXPECT_LE(h.subject.size(), 199u);
    EXPECT_LE(h.date.size(), 99u);
    EXPECT_LE(h.cc.size(), 2047u);
}

}  // namespace
